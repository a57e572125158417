// The reader of window descriptions. A description is text in this form:
//
//   object Form1: TForm1            // the form itself; its class need not be registered
//     Caption = 'Tavkel V.1.4'      // quoted 8-bit string; '' is a quote, #nn a character code
//     Left = 168                    // integer (decimal, or hexadecimal after $)
//     OnShow = FormShow             // identifier: True/False, enumeration values, handler names
//     BorderIcons = [biSystemMenu, biMinimize]   // set of identifiers
//     object ComboBox1: TComboBox   // a component owned by the form; a control nested in a
//       Items = ( 'COM1' 'COM2' )   // control is parented by it. String lists in ( ).
//     end
//   end
//
// Comments run from // to the end of the line.
#pragma once

#include <string_view>

namespace classlib {

class TClassRegistry;
class TForm;

// Creates the components of Description in Form and sets their properties and the form's, events
// bound to the form's registered handlers by name. Raises EReadError, naming the line, for a
// syntax fault, an unknown class, property or handler, a handler of the wrong type, a duplicate
// name or a value the property refuses; the components made so far stay owned by Form.
void ReadComponents(TForm& Form, std::string_view Description, const TClassRegistry& Classes);

}  // namespace classlib
