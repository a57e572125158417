// The classes that the windows' descriptions name beyond the class library's own: the serial-port
// component and the database query.
#pragma once

#include "classlib/ClassRegistry.h"

namespace app {

// Registers TComm (its CommName, its 25 settings by value name, its five events) and TADOQuery.
// Does nothing when they are registered already, so every window may call it before it loads.
void RegisterAppClasses(classlib::TClassRegistry& Classes);

}  // namespace app
