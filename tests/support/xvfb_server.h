// A private Xvfb server for tests that need a real X screen. Xvfb picks a free
// display number itself (-displayfd), so tests running in parallel never race
// for the same one.
#pragma once
#include <sys/types.h>

#include <string>

namespace krtest {

// True when the program is an executable on PATH.
bool onPath(const std::string& program);

class XServer {
 public:
  explicit XServer(const char* size = "1280x1024x24");
  ~XServer();
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;

  bool ready() const { return display_ >= 0; }
  std::string display() const { return ":" + std::to_string(display_); }

 private:
  int display_ = -1;
  pid_t pid_ = -1;
};

}  // namespace krtest
