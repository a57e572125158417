// Inside the class library only: how a Qt key press becomes the character a key handler sees.
#pragma once

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <functional>
#include <memory>

#include "classlib/Events.h"

namespace classlib {

// Offers the character that Event types to Handler before the widget acts on it. Control
// characters count: Ctrl with a letter types 1 to 26 (copy 3, paste 22, cut 24), Backspace 8,
// Ctrl+Backspace 127, Enter 13, Escape 27. Returns false when the key press is to be discarded: the
// handler refused it (Key 0 or an exception, the silent cancel included) or it types a character
// beyond Latin-1. Otherwise the widget acts on Event, or on Replacement when the handler changed
// the character. Keys that type nothing (arrows, Delete, Shift+Insert) pass untouched.
bool OfferKeyPress(const TKeyPressEvent& Handler, TObject* Sender, QKeyEvent& Event,
                   std::unique_ptr<QKeyEvent>& Replacement);

// An input-method event for a field whose typed characters go to Handler. With a handler, each
// character of the committed text goes to Type as the key press that types it, to be offered like
// a key of the keyboard; the text still being composed is not shown and nothing around the cursor
// is replaced, so the field changes only through keys its handler has seen. Without a handler,
// Pass acts on the event.
void RouteInputMethodEvent(const TKeyPressEvent& Handler, QInputMethodEvent& Event,
                           const std::function<void(QKeyEvent&)>& Type,
                           const std::function<void(QInputMethodEvent&)>& Pass);

}  // namespace classlib
