// Running compiled code: the recovery point of a run, fault signals, the group
// inits and shutdowns around the entry call.
#pragma once

class Debugger;

namespace kr {

class HostRuntime;

// Runs the groups' inits, the entry and the shutdowns. Returns null for a normal
// end, the runtime error's message, or "Unable to start program".
const char* runProgram(HostRuntime* host, void (*entry)(), unsigned char debug);

// Everything execute does around runProgram: fault handlers, x87 control word,
// host creation and destruction.
void executeProgram(void (*entry)(), Debugger* debugger, unsigned char debug, int windowFlags,
                    void* instance);

}  // namespace kr
