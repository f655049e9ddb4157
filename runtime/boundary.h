// The module boundary: every routine registered for module code is entered
// through Boundary<F>::entry. Module code keeps only 4-byte stack alignment and
// has no unwind tables, so the wrapper realigns the stack and turns a krEx into
// a jump to the recovery point of the run.
#pragma once
#include "runtime/errors.h"

namespace kr {

[[noreturn]] void unwindToRecovery(const char* message);

template <auto F>
struct Boundary;

template <typename R, typename... A, R (*F)(A...)>
struct Boundary<F> {
  __attribute__((force_align_arg_pointer)) static R entry(A... args) {
    const char* message;
    try {
      return F(args...);
    } catch (const krEx& e) {
      message = e.message;
    }
    unwindToRecovery(message);
  }
};

}  // namespace kr
