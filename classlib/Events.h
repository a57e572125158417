// Event slots of the components. A slot holds a handler bound to an object (usually a lambda over a
// form method); a component fires an event only when its slot holds a handler.
#pragma once

#include <functional>
#include <string>

namespace classlib {

class TObject;

using TNotifyEvent = std::function<void(TObject* Sender)>;
// Key may be changed by the handler; 0 or an exception (the silent cancel included) discards the
// key press.
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TSetEditEvent =
    std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;

enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;

}  // namespace classlib
