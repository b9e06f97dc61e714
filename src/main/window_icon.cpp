// The window's icon: the desktop icon's drawing at 32 x 32, as an XPM picture
// (rendered by scripts/make-icons.sh).
#include "main/window_icon.h"

namespace {
#include "main/window_icon.xpm"
}  // namespace

// Allegro's X driver hands the XPM picture this points at to the window
// manager (WM_HINTS) whenever it creates a window.
extern "C" void *allegro_icon;

void set_window_icon() { allegro_icon = const_cast<char **>(window_icon_xpm); }
