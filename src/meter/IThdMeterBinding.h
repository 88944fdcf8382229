// The one place that selects the host binding the meter derives from in this build.
#pragma once

// ThdDocumentsFolderOverride: the documents folder the binding was told to use instead of the
// platform's (tests and tools), or null; read once, at construction.
#if defined(VX_BINDING_VST3)
#include "IFxVST3.h"
using IThdMeterBinding = IFxVST3;
inline const char* ThdDocumentsFolderOverride(const IThdMeterBinding&) { return nullptr; }
#elif defined(VX_BINDING_VST2)
#include "IFxVST.h"
using IThdMeterBinding = IFxVST;
inline const char* ThdDocumentsFolderOverride(const IThdMeterBinding&) { return nullptr; }
#else
#include "IFxTestBinding.h"
using IThdMeterBinding = IFxTestBinding;
inline const char* ThdDocumentsFolderOverride(const IThdMeterBinding& b) { return b.DocumentsFolderOverride(); }
#endif
