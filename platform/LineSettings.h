// The mapping between the line state of a DCB and the termios attributes of a tty.
#pragma once

#include <termios.h>

#include "Serial.h"

namespace platform {

// Raw mode: no echo, no canonical processing, no signals, no CR/LF mapping or output processing,
// and VMIN = VTIME = 0 (reads are timed by the device, never by the driver). Bytes are binary.
void MakeRaw(termios& attributes);

// Puts the line state of dcb into attributes, in raw mode. False, with attributes untouched, when
// a tty cannot take it: a speed without a termios constant, data bits outside 5..8, an unknown
// parity, or stop bits other than ONESTOPBIT and TWOSTOPBITS (1.5 stop bits do not exist here).
[[nodiscard]] bool TermiosFromDcb(const DCB& dcb, termios& attributes);

// The line state that attributes describe, as the starting state of a device just opened.
DCB DcbFromTermios(const termios& attributes);

// Modem-line bits (TIOCM_) that dcb asks to hold asserted, and those it asks to hold clear.
struct ModemLines {
  int set;
  int clear;
};
ModemLines ModemLinesFromDcb(const DCB& dcb);

}  // namespace platform
