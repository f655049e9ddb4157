// Gives the runtime's own dialogs (the multiplayer group's "Start Multiplayer
// Game") the fonts group's faces; called once when the graphics group starts.
#pragma once

namespace kr {

void installDialogFace();

}  // namespace kr
