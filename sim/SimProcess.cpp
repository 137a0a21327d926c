#include "sim/SimProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace tlx1sim {

namespace {

constexpr int kStartMs = 10000;
constexpr int kTermMs = 2000;

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

SimProcess::SimProcess(const std::vector<std::string>& args, int comPort) {
  char dirTemplate[] = "/tmp/tlx1sim-XXXXXX";
  if (!mkdtemp(dirTemplate)) throw std::runtime_error("SimProcess: mkdtemp failed");
  dir_ = dirTemplate;
  link_ = dir_ + "/tty";

  std::vector<std::string> argv = {TLX1SIM_PATH, "--exit-on-eof", "--link", link_};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> cargv;
  for (std::string& a : argv) cargv.push_back(a.data());
  cargv.push_back(nullptr);

  int in[2], out[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, in) != 0) {
    rmdir(dir_.c_str());
    throw std::runtime_error("SimProcess: socketpair failed");
  }
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    rmdir(dir_.c_str());
    throw std::runtime_error("SimProcess: pipe failed");
  }
  pid_ = fork();
  if (pid_ == 0) {
    // Child: only async-signal-safe calls until exec.
    dup2(in[1], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    execv(cargv[0], cargv.data());
    _exit(127);
  }
  close(in[1]);
  close(out[1]);
  input_ = in[0];
  output_ = out[0];
  if (pid_ < 0) {
    stop();
    throw std::runtime_error("SimProcess: fork failed");
  }
  reader_ = std::thread(&SimProcess::readOutput, this);

  if (!waitFor(kStartMs, [&] { return !pty_.empty() || ended_; }) || pty_.empty()) {
    stop();
    throw std::runtime_error("SimProcess: tlx1sim did not start (see its messages above)");
  }
  if (comPort > 0) mapToPort(comPort);
}

SimProcess::~SimProcess() {
  stop();
}

void SimProcess::stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTermMs);
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (done == 0) {
      kill(pid_, SIGKILL);
      while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
    pid_ = -1;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopReader_ = true;
  }
  if (reader_.joinable()) reader_.join();
  closeFd(input_);
  closeFd(output_);
  if (!dir_.empty()) {
    unlink(link_.c_str());  // the simulator removes it itself unless it was killed
    rmdir(dir_.c_str());
    dir_.clear();
  }
}

// Reader thread: splits the simulator's output into lines and files them. It polls with a short
// time-out so stop() can end it even if some other process still holds the pipe open.
void SimProcess::readOutput() {
  std::string pending;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopReader_) break;
    }
    pollfd p{output_, POLLIN, 0};
    const int r = poll(&p, 1, 50);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    char buf[4096];
    const ssize_t n = read(output_, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    if (n <= 0) {
      ended_ = true;
      changed_.notify_all();
      break;
    }
    pending.append(buf, static_cast<std::size_t>(n));
    std::size_t eol;
    while ((eol = pending.find('\n')) != std::string::npos) {
      const std::string line = pending.substr(0, eol);
      pending.erase(0, eol + 1);
      if (line.rfind("RX ", 0) == 0)
        received_.push_back(line.substr(3));
      else if (line.rfind("PTY ", 0) == 0)
        pty_ = line.substr(4);
      else if (line == "HANGUP")
        hungUp_ = true;
      else if (line == "OK" || line.rfind("OK ", 0) == 0 || line.rfind("ERR", 0) == 0)
        answers_.push_back(line);
    }
    changed_.notify_all();
  }
}

template <class Pred>
bool SimProcess::waitFor(int timeoutMs, Pred pred) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred);
}

void SimProcess::mapToPort(int comPort) const {
  const std::string name = "TLX1_COM" + std::to_string(comPort);
  setenv(name.c_str(), link_.c_str(), 1);
}

std::string SimProcess::tryCommand(const std::string& line, int timeoutMs) {
  std::size_t index;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    index = commandsSent_++;
  }
  const std::string text = line + "\n";
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = send(input_, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return "";
    done += static_cast<std::size_t>(n);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (!changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return answers_.size() > index || ended_; }) ||
      answers_.size() <= index)
    return "";
  return answers_[index];
}

std::string SimProcess::command(const std::string& line, int timeoutMs) {
  const std::string answer = tryCommand(line, timeoutMs);
  if (answer == "OK") return "";
  if (answer.rfind("OK ", 0) == 0) return answer.substr(3);
  throw std::runtime_error("tlx1sim command \"" + line + "\": " + (answer.empty() ? std::string("no answer") : answer));
}

std::vector<std::string> SimProcess::received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void SimProcess::clearReceived() {
  std::lock_guard<std::mutex> lock(mutex_);
  received_.clear();
}

bool SimProcess::waitForFrame(const std::string& frame, int timeoutMs) {
  return waitFor(timeoutMs, [&] { return std::find(received_.begin(), received_.end(), frame) != received_.end(); });
}

bool SimProcess::waitForFrames(std::size_t count, int timeoutMs) {
  return waitFor(timeoutMs, [&] { return received_.size() >= count; });
}

bool SimProcess::waitForHangup(int timeoutMs) {
  return waitFor(timeoutMs, [&] { return hungUp_; });
}

}  // namespace tlx1sim
