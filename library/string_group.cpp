// The string commands group: registration table. It has no init or shutdown.
#include "library/string_commands.h"
#include "runtime/command_table.h"

namespace kr {

namespace {

const CommandEntry kStringCommands[] = {
    KR_ENTRY("$String$string%repeat", strRepeat),
    KR_ENTRY("$Left$string%count", strLeft),
    KR_ENTRY("$Right$string%count", strRight),
    KR_ENTRY("$Replace$string$from$to", strReplace),
    KR_ENTRY("%Instr$string$find%from=1", strInstr),
    KR_ENTRY("$Mid$string%start%count=-1", strMid),
    KR_ENTRY("$Upper$string", strUpper),
    KR_ENTRY("$Lower$string", strLower),
    KR_ENTRY("$Trim$string", strTrim),
    KR_ENTRY("$LSet$string%size", strLSet),
    KR_ENTRY("$RSet$string%size", strRSet),
    KR_ENTRY("$Chr%ascii", strChr),
    KR_ENTRY("%Asc$string", strAsc),
    KR_ENTRY("%Len$string", strLen),
    KR_ENTRY("$Hex%value", strHex),
    KR_ENTRY("$Bin%value", strBin),
    KR_ENTRY("$CurrentDate", strCurrentDate),
    KR_ENTRY("$CurrentTime", strCurrentTime),
};

}  // namespace

extern const CommandGroup stringGroup;
const CommandGroup stringGroup = KR_GROUP("string commands", kStringCommands, nullptr, nullptr);

}  // namespace kr
