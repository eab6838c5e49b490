#include "support/devsim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace quillon::devsim {

DevsimProcess::DevsimProcess(std::vector<std::string> args) : args_(std::move(args)) {}

DevsimProcess::~DevsimProcess() { Stop(); }

std::string DevsimProcess::DeviceAddress() {
  const char* address = std::getenv("QUILLON_DEVICE_ADDR");
  return address && *address ? address : "10.77.0.2";
}

std::string DevsimProcess::TempPath(const std::string& stem) {
  static std::atomic<int> counter{0};
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "-" + std::to_string(::getpid()) +
         "-" + std::to_string(counter++);
}

bool DevsimProcess::Start(int timeoutMs) {
  if (pid_ > 0) return true;
  const char* netns = std::getenv("QUILLON_DEVICE_NETNS");
  const char* devsim = std::getenv("QUILLON_DEVSIM");
  if (!netns || !*netns || !devsim || !*devsim) {
    error_ = "QUILLON_DEVICE_NETNS/QUILLON_DEVSIM not set: run under scripts/netns-run.sh";
    return false;
  }

  // Everything the child needs is prepared before fork: the parent may have other threads.
  std::vector<std::string> words{"nsenter", std::string("--net=") + netns, "--", devsim};
  words.insert(words.end(), args_.begin(), args_.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error_ = std::string("pipe: ") + std::strerror(errno);
    return false;
  }
  pid_ = ::fork();
  if (pid_ < 0) {
    error_ = std::string("fork: ") + std::strerror(errno);
    ::close(fds[0]);
    ::close(fds[1]);
    return false;
  }
  if (pid_ == 0) {
    ::dup2(fds[1], STDOUT_FILENO);  // dup2 clears O_CLOEXEC on the copy
    ::execvp(argv[0], argv.data());
    _exit(127);
  }
  ::close(fds[1]);
  readyFd_ = fds[0];

  // The simulator writes "ready" to its standard output once both sockets are bound.
  std::string seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (seen.find("ready\n") == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      error_ = "quillon-devsim was not ready in time";
      Stop();
      return false;
    }
    pollfd pfd{readyFd_, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[256];
    const ssize_t n = ::read(readyFd_, chunk, sizeof chunk);
    if (n <= 0) {
      error_ = "quillon-devsim ended before it was ready";
      Stop();
      return false;
    }
    seen.append(chunk, static_cast<size_t>(n));
  }
  return true;
}

void DevsimProcess::Stop() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    pid_ = -1;
  }
  if (readyFd_ >= 0) {
    ::close(readyFd_);
    readyFd_ = -1;
  }
}

}  // namespace quillon::devsim
