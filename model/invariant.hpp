// A check that stays in release builds: states what the code relies on where
// a violation would otherwise index out of range or give a wrong value, and
// stops the program with the reason instead.
#pragma once

#include <cstdio>
#include <cstdlib>

#define RCPSPDC_CHECK(condition, reason)                                                 \
  do {                                                                                   \
    if (!(condition)) [[unlikely]] {                                                     \
      std::fprintf(stderr, "rcpspdc: internal error at %s:%d: %s\n", __FILE__, __LINE__, \
                   (reason));                                                            \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)
