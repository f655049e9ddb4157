// The math group: registration table, init and shutdown.
#include "library/math_commands.h"
#include "library/random.h"
#include "runtime/command_table.h"

namespace kr {

namespace {

bool initMath() {
  seedRandom(kStartupSeed);
  return true;
}

const CommandEntry kMathCommands[] = {
    KR_ENTRY("#Sin#degrees", mathSin),
    KR_ENTRY("#Cos#degrees", mathCos),
    KR_ENTRY("#Tan#degrees", mathTan),
    KR_ENTRY("#ASin#float", mathASin),
    KR_ENTRY("#ACos#float", mathACos),
    KR_ENTRY("#ATan#float", mathATan),
    KR_ENTRY("#ATan2#floata#floatb", mathATan2),
    KR_ENTRY("#Sqr#float", mathSqr),
    KR_ENTRY("#Floor#float", mathFloor),
    KR_ENTRY("#Ceil#float", mathCeil),
    KR_ENTRY("#Exp#float", mathExp),
    KR_ENTRY("#Log#float", mathLog),
    KR_ENTRY("#Log10#float", mathLog10),
    KR_ENTRY("#Rnd#from#to=0", mathRnd),
    KR_ENTRY("SeedRnd%seed", mathSeedRnd),
};

}  // namespace

extern const CommandGroup mathGroup;
const CommandGroup mathGroup = KR_GROUP("math", kMathCommands, initMath, nullptr);

}  // namespace kr
