#include "net/start_dialog.h"
#include "net/session_service.h"
namespace kr::net {
int runStartDialog(std::unique_ptr<SessionService>*) { return 0; }
}
