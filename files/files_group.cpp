// The files and banks group: registration table, init and shutdown.
#include "runtime/command_table.h"

namespace kr {

// Not built yet: registers nothing and its init succeeds.
extern const CommandGroup filesGroup;
const CommandGroup filesGroup = {"files and banks", nullptr, 0, nullptr, nullptr};

}  // namespace kr
