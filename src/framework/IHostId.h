// Host identification: classifies a host's product name, names a host for display, and
// formats the packed 0xMMMMmmbb versions used for the plug-in and the host.
#pragma once

#include "IFxStructs.h"

// Room for the longest display name, "VST3PluginTestHost", and its terminator.
constexpr int kMaxHostNameLen = 19;

// Classifies a product name by the first search key it contains (case-insensitive);
// 0 (kHostUnknown) when none does. Names of 256 characters or more are looked at only up
// to their first 255.
EHost LookUpHost(const char* hostName);

// Writes the display name of host into name (size bytes, cut to fit); hosts without a
// name of their own, including kHostUninit, write "Unknown".
void GetHostNameStr(EHost host, char* name, int size);

void GetVersionParts(int version, int* major, int* minor, int* patch);
// major * 10000 + minor * 100 + patch
int GetDecimalVersion(int version);
// "v%d.%d.%d", cut to size bytes.
void GetVersionStr(int version, char* str, int size);
