// The module boundary: every routine registered for module code is entered
// through Boundary<F>::entry. Module code keeps only 4-byte stack alignment and
// has no unwind tables, so the wrapper realigns the stack and turns a krEx into
// a jump to the recovery point of the run. Any other C++ exception (memory
// running out in a library, a thread that cannot start) becomes a runtime
// error here rather than terminating the process.
#pragma once
#include <new>
#include <stdexcept>

#include "runtime/errors.h"

namespace kr {

[[noreturn]] void unwindToRecovery(const char* message);
// Reports a runtime error without throwing (the boundary's own catch).
void reportRuntimeError(const char* message);

template <auto F>
struct Boundary;

template <typename R, typename... A, R (*F)(A...)>
struct Boundary<F> {
  __attribute__((force_align_arg_pointer)) static R entry(A... args) {
    // The jump is made after the handler has finished, so the exception is
    // freed and the C++ runtime's record of exceptions in flight stays clean.
    const char* message;
    bool reported = false;
    try {
      return F(args...);
    } catch (const krEx& e) {
      message = e.message;
      reported = true;
    } catch (const std::bad_alloc&) {
      message = "Out of memory";
    } catch (const std::length_error&) {
      message = "Out of memory";
    } catch (...) {
      message = "Unknown runtime exception";
    }
    if (!reported) reportRuntimeError(message);
    unwindToRecovery(message);
  }
};

}  // namespace kr
