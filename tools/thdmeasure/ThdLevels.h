// Levels in decibels: the one conversion from linear values that the checks, the reports and
// the plots of the measurement tool share, and the levels they judge by.
#pragma once

#include <string>

// Below this a capture holds nothing a converter would call signal: the loudest 10 ms of a
// capture, or of a stepped recording, must reach it.
inline constexpr double kThdSilenceDbfs = -100.0;

// A level that is nothing at all (digital silence) as ThdRmsToDbfs gives it: a number that
// sorts below every real level and that reports can carry.
inline constexpr double kThdNothingDbfs = -400.0;

// The analysis' rounding floor, for levels in dBFS and for ratios to the fundamental in dB.
// The meter correlates in double precision: over the longest averaging window at the highest
// rate the arithmetic leaves a residue of about -250 dB of the fundamental (harmonics that are
// not there read -260 to -340 dBFS), 50 dB below this floor. A 32-bit float capture or host
// buffer rounds the tone to a 24-bit mantissa, which lands 150 to 190 dB below the tone: above
// the floor, and shown, since the samples hold it. Silence (nothing at all) lies below too.
// Reports print a figure below the floor as "< -200", never the residue's number; JSON keeps it.
inline constexpr double kThdFloorDb = -200.0;

// 20 log10 of a ratio of amplitudes (a harmonic over full scale, THD as a fraction): -inf for
// 0, +inf for +inf, NaN for a negative ratio or NaN.
double ThdDb(double ratio);

// The level of a stretch of signal from its RMS, in dBFS (a full-scale sine reads 0 dBFS);
// kThdNothingDbfs when the RMS is 0.
double ThdRmsToDbfs(double rms);

// A level or ratio in dB below the rounding floor (-inf, silence, included; NaN is not).
inline bool ThdBelowFloor(double db) { return db < kThdFloorDb; }

// A figure in dB as the reports print it: in fmt (a printf format of one double), or
// "< -200" below the rounding floor.
std::string ThdDbText(const char* fmt, double db);

// How loud the loudest 10 ms of a recording are, for the messages that call it silent:
// "reach -123.4 dBFS", or "stay below -200 dBFS" for digital silence and rounding dust.
std::string ThdLoudestText(double dbfs);
