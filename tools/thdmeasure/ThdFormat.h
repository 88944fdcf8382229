// printf into a std::string, for the measurement tool's messages and reports.
#pragma once

#include <string>

// At most 511 characters: every message and table row of the tool fits.
std::string ThdFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
