// The user's folders by the XDG base directory rules, and the folder part of a path: what the
// headless and X11 window hosts report as the desktop, application-data and host folders.
#pragma once

#include "Util_String.h"

// $name when it is set and absolute, else $HOME/fallback ("." when HOME is unset; on Windows
// USERPROFILE stands in for an unset HOME).
void Util_XdgDir(const char* name, const char* fallback, Util_String* out);

// XDG_DESKTOP_DIR from the user's user-dirs.dirs ("$HOME/..." or an absolute path); false when
// the user set none.
bool Util_UserDesktopDir(Util_String* out);

// The folder part of path without the trailing separator, or "." when there is none ('\\'
// counts as a separator on Windows too).
void Util_DirectoryOf(const char* path, Util_String* out);
