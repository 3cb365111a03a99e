// Early return on the first failed automation call, for the engine's step
// functions (each returns Status). Private to engine/.
#pragma once

#include <utility>

#include "base/Status.h"

// Declares `var` holding the value of a Result-returning `expr`, or leaves
// the function with its error.
#define TRY_ASSIGN(var, expr)                         \
  auto var##Result = (expr);                          \
  if (!var##Result.ok()) return var##Result.status(); \
  auto var = std::move(var##Result).value()
// Leaves the function with the error of a failed Status-returning `expr`.
#define TRY(expr)                          \
  do {                                     \
    Status tryStatus = (expr);             \
    if (!tryStatus.ok()) return tryStatus; \
  } while (0)
