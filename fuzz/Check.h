#pragma once
// A broken invariant in a fuzz target: says which, then aborts, which the
// fuzzer reports as a finding with the input that caused it.
#include <cstdio>
#include <cstdlib>

#define CHECK(condition)                                                                   \
  do {                                                                                     \
    if (!(condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: CHECK failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (false)
