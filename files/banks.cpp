#include "files/banks.h"

#include <cstdlib>

namespace kr {

namespace {

void destroyBank(Bank* bank) {
  std::free(bank->data);
  delete bank;
}

}  // namespace

Bank* BankSet::create(std::int32_t size) {
  if (size < 0) size = 0;
  // calloc: large banks come as zero pages from the system, nothing to clear
  std::uint8_t* data = static_cast<std::uint8_t*>(std::calloc(static_cast<std::size_t>(size) + 1, 1));
  if (!data) return nullptr;
  Bank* bank = new Bank{data, size};
  banks_.insert(bank);
  return bank;
}

void BankSet::free(int handle) {
  if (Bank* bank = banks_.take(handle)) destroyBank(bank);
}

void BankSet::freeAll() { banks_.clear(destroyBank); }

}  // namespace kr
