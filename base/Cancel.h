// The cancel token: a view of an atomic flag that its owner raises (from any
// thread) to ask long work to stop. Work polls it between bands or rows and
// returns Status::Cancelled() when it is up. A token does not own the flag;
// the flag must outlive every token made from it. An empty token (null flag)
// is never cancelled. Copying a token is as cheap as copying a pointer.
#pragma once

#include <atomic>

#include "base/Status.h"

namespace tessaro {

class CancelToken {
 public:
  CancelToken() = default;
  // Implicit, like a string view from a C string: a function taking a token
  // accepts the address of a flag (or null).
  CancelToken(const std::atomic<bool>* flag) : FFlag(flag) {}  // NOLINT: implicit by design

  bool Requested() const { return FFlag && FFlag->load(std::memory_order_relaxed); }
  // Status::Cancelled() when requested, else ok.
  Status Check() const { return Requested() ? Status::Cancelled() : Status::Ok(); }
  // The flag itself; may be null.
  const std::atomic<bool>* Flag() const { return FFlag; }

 private:
  const std::atomic<bool>* FFlag = nullptr;
};

}  // namespace tessaro
