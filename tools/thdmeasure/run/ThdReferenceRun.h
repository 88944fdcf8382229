// The interface reference in a run: the references read and checked before anything is
// measured (a 20-minute run is not spent on a reference that cannot serve), the results
// compensated by them, and a run's results written as one.
#pragma once

#include "ThdOptions.h"
#include "ThdReferenceFile.h"

#include <string>
#include <vector>

struct ThdResult;

// The references a run compensates by: one file per capture of the interface.
struct ThdReferenceSet
{
  std::vector<std::string> mFiles;
  std::vector<ThdReferenceFile> mReferences;
};

// What the options measure, point by point, as a reference without figures: its sample
// rate (the capture's, when analysing one: the file is opened for it), Denoising, sweep plan,
// and each point's frequency, level and measured harmonics. Returns 0, or 1 (the capture
// cannot be opened) or 2 (the sweep gives no point) with a one-line reason in error.
int ThdPlanOfRun(const ThdOptions& options, ThdReferenceFile* plan, std::string* error);

// Reads options.mReferences and checks each against the run's plan. Returns 0; 1 when a file
// cannot be read or is no reference; 2 when one was made another way (another frequency,
// rate, level, Denoising or sweep): error says which and what to do.
int ThdLoadReferences(const ThdOptions& options, ThdReferenceSet* set, std::string* error);

// Compensates a run's results by point `index` of every reference of the set.
void ThdApplyReferences(const ThdReferenceSet& set, size_t index, ThdResult& result);

// Writes the results of a run (one per point of its plan, in order) as the reference
// options.mSaveReference; false with a one-line reason in error when a point gives none.
bool ThdSaveReference(const ThdOptions& options, const std::vector<const ThdResult*>& results, std::string* error);
