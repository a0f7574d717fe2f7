#pragma once
// Message boxes for the few failures the user must see. A box appears only
// when the program allows it (the saver run by a user on a display); tests
// and tools never allow it, so nothing waits for a click there. The text
// always goes to standard error as well.

namespace klx {

void SetMessageBoxesAllowed(bool allowed);
bool AreMessageBoxesAllowed();

// Caption and text in UTF-8.
void ShowMessageBox(const char* caption, const char* text);

}  // namespace klx
