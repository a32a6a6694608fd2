#pragma once
// Copies values between a dialog's controls and the fields the program works
// on. `save` true reads the control into the field; false writes the field
// into the control. None of them validates: the exchange cannot fail on
// anything the user typed.

#include <windows.h>

#include <string>

namespace sizewalk {

// The edit control's whole text, however long, as UTF-8 (the control holds
// UTF-16). Writing sets the text only when it differs, so the caret and
// selection stay put otherwise.
void ExchangeText(HWND dialog, int id, std::string& value, bool save);

// The radio group that starts at `firstId` and runs up to the next control
// that starts a group. Reading gives the index of the checked button (0 for
// the first), or -1 when none is checked; writing checks the button whose
// index equals the value and unchecks the others, so an out-of-range value
// leaves every button unchecked.
void ExchangeRadioGroup(HWND dialog, int firstId, int& value, bool save);

// A check box: 0 unchecked, 1 checked, 2 indeterminate. Writing a value
// outside 0 to 2 first resets the field to 0.
void ExchangeCheck(HWND dialog, int id, int& value, bool save);

}  // namespace sizewalk
