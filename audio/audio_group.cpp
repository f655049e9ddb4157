// The audio group: registration table, init and shutdown.
#include "runtime/command_table.h"

namespace kr {

// Not built yet: registers nothing and its init succeeds.
extern const CommandGroup audioGroup;
const CommandGroup audioGroup = {"audio", nullptr, 0, nullptr, nullptr};

}  // namespace kr
