// Calibration text: frequency and level pairs, read byte by byte as the meter always has, so
// that files written for earlier versions read the same. Kept free of the plug-in so that
// the fuzz target can drive it alone.
#pragma once

#include <cstddef>

// The parser's token buffer: at most 99 characters and the terminator.
constexpr int kCalibrationTokenSize = 100;

// Parses size bytes at data into the two tables and returns the number of complete points.
// Commas in data are turned into points in place (a comma is a decimal point in these files).
// Points beyond maxPoints are not stored: parsing ends when the tables are full. Characters
// of a token beyond the 99th are not stored (the number is read from its first 99).
int ParseCalibrationText(char* data, size_t size, double* frequencies, double* levels, int maxPoints);

// The linear divisor for a harmonic at x Hz from a table of n >= 1 points: the level
// interpolated between the two points around x (the first point's level below the table, the
// last point's at and above its end), as 10^(dB/20). In a table that is not ascending the
// last interval holding x wins; an x that compares with nothing (NaN) gets divisor 1.
double CalibrationDivisor(double x, const double* frequencies, const double* levels, int n);
