// Text typed into the Spectrum: the desktop clipboard's (the menu's Paste)
// and --type's.
#pragma once

// Types the clipboard's text as a user would (see typing/typing.h); any key
// the user presses stops it. Characters the Spectrum cannot type are left
// out and named once in a message box.
void paste_clipboard();
// Types --type's text once the ROM is ready; characters left out are named
// once on standard error.
void type_given_text();
