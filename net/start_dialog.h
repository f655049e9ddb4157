// The "Start Multiplayer Game" dialog, drawn by the runtime in its own window.
#pragma once
#include <memory>

namespace kr::net {

class SessionService;

// Runs the dialog. Returns 1 (joined) or 2 (created) with the game in *session,
// or 0 (cancelled, failed, or no display to show it on).
int runStartDialog(std::unique_ptr<SessionService>* session);

}  // namespace kr::net
