// Levels in decibels: the one conversion from linear values that the checks, the reports and
// the plots of the measurement tool share, and the levels they judge by.
#pragma once

// Below this a capture holds nothing a converter would call signal: the loudest 10 ms of a
// capture, or of a stepped recording, must reach it.
inline constexpr double kThdSilenceDbfs = -100.0;

// A level that is nothing at all (digital silence) as ThdRmsToDbfs gives it: a number that
// sorts below every real level and that reports can carry.
inline constexpr double kThdNothingDbfs = -400.0;

// 20 log10 of a ratio of amplitudes (a harmonic over full scale, THD as a fraction): -inf for
// 0, +inf for +inf, NaN for a negative ratio or NaN.
double ThdDb(double ratio);

// The level of a stretch of signal from its RMS, in dBFS (a full-scale sine reads 0 dBFS);
// kThdNothingDbfs when the RMS is 0.
double ThdRmsToDbfs(double rms);
