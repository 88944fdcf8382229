// What every fuzz target shares: a check that stops the run where libFuzzer records the input,
// and a private HOME for targets that build a plug-in module's meter.
#pragma once

#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <unistd.h>
#endif

#define FUZZ_CHECK(cond)                                                              \
  do                                                                                  \
  {                                                                                   \
    if (!(cond))                                                                      \
    {                                                                                 \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

// A meter built over a host binding finds its documents folder under HOME, as in a host
// process (only the test binding takes a folder of the caller's); keep the fuzzer out of the
// user's.
inline void UsePrivateHome()
{
#ifndef _WIN32
  static char home[] = "/tmp/vx_fuzz_home_XXXXXX";
  if (mkdtemp(home)) setenv("HOME", home, 1);
#endif
}
