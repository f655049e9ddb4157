// What other parts of the runtime reach of the input group.
#pragma once

namespace kr {

class InputDriver;

// The open input driver of the run, or null outside one.
InputDriver* inputDriver();

}  // namespace kr
