// Banks: zero-initialised blocks of bytes that programs address by offset.
// Every access goes through span(), so no offset or count a program passes can
// reach memory outside a bank's buffer.
#pragma once
#include <cstdint>

#include "runtime/handles.h"

namespace kr {

struct Bank {
  std::uint8_t* data;
  std::int32_t size;
};

class BankSet {
 public:
  BankSet() = default;
  ~BankSet() { freeAll(); }
  BankSet(const BankSet&) = delete;
  BankSet& operator=(const BankSet&) = delete;

  // A negative size gives an empty bank; null when the memory cannot be had.
  Bank* create(std::int32_t size);
  void free(int handle);  // nothing unless the handle is live
  void freeAll();
  Bank* find(int handle) { return banks_.find(handle); }
  std::size_t count() const { return banks_.size(); }

 private:
  HandleRegistry<Bank> banks_;
};

// The bytes [offset, offset + count) of a bank, or null when any of them lies
// outside it (a negative offset or count included).
inline std::uint8_t* span(Bank& bank, std::int32_t offset, std::int32_t count) {
  if (offset < 0 || count < 0) return nullptr;
  if (static_cast<std::int64_t>(offset) + count > bank.size) return nullptr;
  return bank.data + offset;
}

}  // namespace kr
