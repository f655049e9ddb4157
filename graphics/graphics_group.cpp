// The graphics and images group: registration table, init and shutdown.
#include "runtime/command_table.h"

namespace kr {

// Not built yet: registers nothing and its init succeeds.
extern const CommandGroup graphicsGroup;
const CommandGroup graphicsGroup = {"graphics and images", nullptr, 0, nullptr, nullptr};

}  // namespace kr
