// The platform's list of serial ports as the detected-port list shows it: one enumeration for the
// main window's first filling and for the port dialog's "Refresh" (which the port search runs too).
#pragma once

#include "classlib/StdCtrls.h"

namespace app {

// Replaces the entries of Ports by the port names of HKEY_LOCAL_MACHINE
// "hardware\devicemap\serialcomm", in the platform's order, and selects the last one when
// SelectLast, none otherwise. When the platform lists no port, or the key is missing or refused,
// Ports keeps its entries and its selection. A value whose data is not text raises
// ERegistryException with that value's name; the entries read before it stay, none selected.
void ListSerialPorts(classlib::TComboBox& Ports, bool SelectLast);

}  // namespace app
