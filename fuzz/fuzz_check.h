#pragma once

#include <cstdio>

// Stops the fuzzer on a broken property; libFuzzer then saves the input that broke it.
#define ZOVU_FUZZ_CHECK(condition)                                                           \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      __builtin_trap();                                                                      \
    }                                                                                        \
  } while (0)
