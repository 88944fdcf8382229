// Sweeps through real hardware: the stepped tone file (every step's settling second and
// averaging window, separated by short silences) and the analysis of its recording, which
// finds each step and checks and measures it as a single capture is.
#pragma once

#include "ThdSweep.h"

// Silence before the first step, and between steps and after the last. A step's start is
// searched for within half a gap of where the previous step's end puts it, and each step is
// checked and measured on its own stretch of the recording with a quarter of a second to
// half a gap of silence around it: a gap must outlast a chain's decay and the recorder's
// clock wandering over one step (tens of ppm of 1201 s is a few tens of ms). A second keeps
// a 31-step sequence within 31 s of silence, under 8% of even the shortest (13 s) steps.
inline constexpr double kThdSteppedLeadSeconds = 0.5;
inline constexpr double kThdSteppedGapSeconds = 1.0;

// Writes the stepped sequence of the sweep to options.mToneFile; fills the points' steps
// and where each step starts in the file. Returns 0, or 1 with a one-line reason in error
// (2 when the calibration is refused, as for a single run).
int ThdWriteSteppedTone(const ThdOptions& options, const std::vector<ThdSweepStep>& steps, ThdSweepResult& result,
                        std::string* error);

// Finds the steps in the capture options.mCapture and measures each; returns 0, 1 (with a
// reason in error: the file cannot be read, or none of its steps can be found) or 3 (a check
// failed on some step and --force was not given, or a step was not found: that point's
// status is 1 and its mError says why); 2 when the calibration is refused. A point whose
// checks failed has status 3, and with --force its figures as well.
int ThdAnalyseSteppedCapture(const ThdOptions& options, const std::vector<ThdSweepStep>& steps,
                             ThdSweepResult& result, ThdSweepProgress* progress, std::string* error);
