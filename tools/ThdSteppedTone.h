// Sweeps through real hardware: the stepped tone file (every step's settling second and
// averaging window, separated by short silences) and the analysis of its recording, which
// finds each step and checks and measures it as a single capture is.
#pragma once

#include "ThdSweep.h"

// Writes the stepped sequence of the sweep to options.mToneFile; fills the points' steps
// and where each step starts in the file. Returns 0, or 1 with a one-line reason in error.
int ThdWriteSteppedTone(const ThdOptions& options, const std::vector<ThdSweepStep>& steps, ThdSweepResult& result,
                        std::string* error);

// Finds the steps in the capture options.mCapture and measures each; returns 0, 1 (with a
// reason in error: the file cannot be read, or its steps cannot be found) or 3 (a check
// failed on some step and --force was not given).
int ThdAnalyseSteppedCapture(const ThdOptions& options, const std::vector<ThdSweepStep>& steps,
                             ThdSweepResult& result, ThdSweepProgress* progress, std::string* error);
