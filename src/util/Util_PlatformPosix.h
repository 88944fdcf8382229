// Shared by the POSIX implementations of the platform services (Util_Platform_Posix.cpp and
// Util_Platform_Apple.cpp): starting an opener program without a shell.
#pragma once

#include "Util_Platform.h"

// Starts program (looked up on PATH unless it holds a '/') with the address as its one
// argument, standard input from /dev/null and none of the caller's other descriptors. Waits a
// short while for it: an opener that hands the address on and ends in that time reports what
// it did (exit status 0 opened, 2 not found, anything else failed); one still running then (a
// browser started in the foreground) counts as opened and is reaped by a later call.
EUtilOpenResult Util_SpawnOpener(const char* program, const char* address);
