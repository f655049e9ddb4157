#include "audio/decoder_process.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace kr {
namespace audio {

namespace {

std::string directoryOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool isExecutable(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

}  // namespace

// krdecode is built and shipped beside libkrruntime.so and krrun; a packed game
// carries it beside itself.
std::string decoderExecutable() {
  static const std::string found = [] {
    std::vector<std::string> dirs;
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&decoderExecutable), &info) && info.dli_fname)
      dirs.push_back(directoryOf(info.dli_fname));
    char self[4096];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
      self[n] = 0;
      dirs.push_back(directoryOf(self));
      dirs.push_back(directoryOf(self) + "/..");  // test and benchmark binaries
    }
    for (const std::string& dir : dirs)
      if (isExecutable(dir + "/krdecode")) return dir + "/krdecode";
    return std::string();
  }();
  return found;
}

DecoderProcess spawnDecoder() {
  DecoderProcess process;
  const std::string& program = decoderExecutable();
  if (program.empty()) return process;
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return process;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 3);  // dup2 clears close-on-exec
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return process;
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  process.pid = pid;
  process.fd = fds[0];
  return process;
}

void endDecoder(DecoderProcess& process) {
  if (process.pid > 0) {
    kill(process.pid, SIGKILL);
    while (waitpid(process.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (process.fd >= 0) close(process.fd);
  process = DecoderProcess();
}

void abandonDecoder(DecoderProcess& process, std::vector<pid_t>& dying) {
  if (process.pid > 0) {
    kill(process.pid, SIGKILL);
    try {
      dying.push_back(process.pid);
    } catch (...) {
      while (waitpid(process.pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }
  }
  if (process.fd >= 0) close(process.fd);
  process = DecoderProcess();
}

void reapDecoders(std::vector<pid_t>& dying, bool wait) {
  for (std::size_t i = 0; i < dying.size();) {
    pid_t got;
    while ((got = waitpid(dying[i], nullptr, wait ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (got == 0) {
      ++i;
    } else {  // reaped, or not ours to wait for any more
      dying[i] = dying.back();
      dying.pop_back();
    }
  }
}

bool sendDecodeRequest(const DecoderProcess& process, const std::string& hostPath,
                       const std::vector<std::uint32_t>& kinds) {
  if (!process.running() || hostPath.size() > kMaxDecodePath || kinds.empty() ||
      kinds.size() > static_cast<std::size_t>(kMaxDecodeKinds))
    return false;
  DecodeRequest request = {};
  request.magic = kDecodeMagic;
  request.kindCount = static_cast<std::uint32_t>(kinds.size());
  for (std::size_t i = 0; i < kinds.size(); ++i) request.kinds[i] = kinds[i];
  request.pathBytes = static_cast<std::uint32_t>(hostPath.size());
  std::string message(reinterpret_cast<const char*>(&request), sizeof request);
  message += hostPath;
  // The request is far smaller than the socket buffer of an idle decoder.
  ssize_t sent = send(process.fd, message.data(), message.size(), MSG_NOSIGNAL);
  return sent == static_cast<ssize_t>(message.size());
}

int readDecodeReply(const DecoderProcess& process, DecodeReply& reply) {
  ssize_t n = recv(process.fd, &reply, sizeof reply, MSG_PEEK);
  if (n == 0) return -1;
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
  if (n < static_cast<ssize_t>(sizeof reply)) return 0;
  recv(process.fd, &reply, sizeof reply, 0);
  return reply.magic == kDecodeMagic ? 1 : -1;
}

}  // namespace audio
}  // namespace kr
