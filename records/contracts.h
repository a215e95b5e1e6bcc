// Preconditions that run: KW_EXPECTS(condition) checks a helper's
// argument where its correctness rests on the argument's range. The checks
// are on where KW_CONTRACTS is set (the debug, sanitize and fuzz builds),
// and cost nothing in a release build.
#pragma once

#if KW_CONTRACTS
#include <cstdio>
#include <cstdlib>

#define KW_EXPECTS(condition)                                                                   \
  do {                                                                                          \
    if (!(condition)) {                                                                         \
      std::fprintf(stderr, "%s:%d: precondition broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                             \
    }                                                                                           \
  } while (false)
#else
#define KW_EXPECTS(condition) static_cast<void>(0)
#endif
