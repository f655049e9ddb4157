#include "files/banks.h"

#include <cstdlib>

#include "files/file_system.h"

namespace kr {

Bank* BankSet::create(std::int32_t size) {
  if (size < 0) size = 0;
  // calloc: large banks come as zero pages from the system, nothing to clear
  std::uint8_t* data = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(size) + 1, 1));
  if (!data) return nullptr;
  Bank* bank = new Bank{data, size};
  banks_.insert(bank);
  return bank;
}

Bank* BankSet::find(int handle) {
  Bank* bank = fromHandle<Bank>(handle);
  if (bank && bank == last_) return bank;
  if (!bank || banks_.find(bank) == banks_.end()) return nullptr;
  last_ = bank;
  return bank;
}

void BankSet::free(int handle) {
  auto it = banks_.find(fromHandle<Bank>(handle));
  if (it == banks_.end()) return;
  Bank* bank = *it;
  banks_.erase(it);
  if (bank == last_) last_ = nullptr;
  std::free(bank->data);
  delete bank;
}

void BankSet::freeAll() {
  for (Bank* bank : banks_) {
    std::free(bank->data);
    delete bank;
  }
  banks_.clear();
  last_ = nullptr;
}

}  // namespace kr
