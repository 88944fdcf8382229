// Where the running code lives: the file of the binary (program or loaded module) that holds an
// address, and the bundle folder around it. A plug-in finds its own files this way, whichever
// way the host loaded it (by path, through the bundle, or from a copy of the binary).
#pragma once

#include "Util_String.h"

// The path of the binary that holds `address` (for example a function of the caller's own);
// false (and the path empty) when the system cannot tell. Not on Windows.
bool Util_GetModuleFile(const void* address, Util_String* path);

// The bundle folder around a binary laid out as <bundle>/Contents/<folder>/<binary> (macOS:
// Contents/MacOS; VST 3 on Linux: Contents/x86_64-linux); false (and the path empty) for a
// binary that is not inside a bundle.
bool Util_GetBundleOfBinary(const char* binaryPath, Util_String* bundle);
