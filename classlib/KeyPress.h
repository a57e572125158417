// Inside the class library only: how a Qt key press becomes the character a key handler sees.
#pragma once

#include <QKeyEvent>
#include <memory>

#include "classlib/Events.h"

namespace classlib {

// Offers the character that Event types to Handler before the widget acts on it. Control
// characters count: Ctrl with a letter types 1 to 26 (copy 3, paste 22, cut 24), Backspace 8,
// Enter 13, Escape 27. Returns false when the key press is to be discarded: the handler refused
// it (Key 0 or an exception, the silent cancel included) or it types a character beyond Latin-1.
// Otherwise the widget acts on Event, or on Replacement when the handler changed the character.
// Keys that type nothing (arrows, Delete, Shift+Insert) pass untouched.
bool OfferKeyPress(const TKeyPressEvent& Handler, TObject* Sender, QKeyEvent& Event,
                   std::unique_ptr<QKeyEvent>& Replacement);

}  // namespace classlib
