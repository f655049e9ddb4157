// The language support group: registration table, init and shutdown.
#include "lang/kr_string.h"
#include "runtime/command_table.h"

namespace kr {
namespace {

krString* strConst(const char* text) { return krStringNew(text, std::char_traits<char>::length(text)); }
void strRelease(krString* s) { krStringDelete(s); }

const CommandEntry kLangEntries[] = {
    KR_ENTRY("_krStrRelease", strRelease),
    KR_ENTRY("_krStrConst", strConst),
};

}  // namespace

extern const CommandGroup langGroup;
const CommandGroup langGroup = KR_GROUP("language support", kLangEntries, nullptr, nullptr);

}  // namespace kr
