// tlx1sim: TLX-1 modules on a pseudo-terminal. The program under test opens the slave side as
// its serial port; this program answers on the master side and takes commands on standard input.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "sim/bus.h"
#include "tlx1_version.h"

namespace {

constexpr double kCharTime = 10.0 / 9600.0;  // start, 7 data, parity, stop bit at 9600 baud
constexpr std::size_t kMaxFrame = 64;        // longer runs without CR are line noise

constexpr const char* kHelp = R"(usage: tlx1sim [options]
Simulates TLX-1 modules on a pseudo-terminal. The first line on standard output is
"PTY <slave device>"; open that device (or the --link path) as the serial port.

options:
  --module ADDR[=IDTEXT]  module at address 0..8 (repeatable; default: 1=OKV-TLX1-SIM)
  --no-modules            no default module (an empty bus unless --module is given)
  --fault KIND[@ADDR]     switch a fault on from the start, for all modules or one address
  --latency MS            delay of the "late" fault (default 1500)
  --plant on|off          simulate the process (default on); off: istwert and stellgroesse
                          are plain stored values
  --pace                  9600-baud timing: 1.04 ms per character plus a turnaround
  --turnaround MS         module turnaround with --pace (default 1)
  --link PATH             symbolic link to the slave device (replaced; removed on exit)
  --cmd LINE              run a standard-input command at start (repeatable, in order)
  --exit-on-eof           end when standard input is closed
  --no-stdin              do not read standard input; run until SIGINT or SIGTERM
  --version               print the version and end
  --help                  this text

standard input, one command a line, each answered by "OK [value]" or "ERR <reason>":
  add ADDR [IDTEXT]        put a module on the bus (default text OKV-TLX1-SIM)
  remove ADDR              take it off the bus
  set ADDR NAME VALUE      store a parameter (P1 ... istwert2) as the text VALUE
  set ADDR id TEXT         identification text (rest of the line)
  set ADDR status BYTE     status byte 0..255 (decimal or 0xHH)
  set ADDR analogN VOLTS   analogue setpoint input of channel N (mode 2)
  get ADDR NAME|id|status|analogN   value as the module would send it
  reset ADDR               power-on: setpoint := anfangssoll, controller restarted
  fault KIND [ADDR]        KIND: none silent nak can badack highack noanswer cut wrongaddr
                           wrongecho blank highbyte extra late hangup
  fault KIND ADDR NAME     the fault only for frames of parameter NAME at ADDR
  latency MS               delay of the "late" fault
  plant on|off
  ping
  quit

standard output: "RX <frame>" for every frame received (from '#' up to the CR, the CR not
shown; bytes outside 0x20..0x7E and the backslash written as \xHH), "HANGUP" when the
hangup fault closed the line.
)";

volatile sig_atomic_t gStop = 0;
void onSignal(int) {
  gStop = 1;
}

double now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// One line on standard output, written at once so a reader sees it without delay.
void say(const std::string& text) {
  const std::string line = text + "\n";
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = write(STDOUT_FILENO, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // nobody reads any more: the simulation goes on regardless
    done += static_cast<std::size_t>(n);
  }
}

std::string escaped(std::string_view frame) {
  std::string out;
  for (char c : frame) {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 0x20 && b <= 0x7E && c != '\\') {
      out += c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out;
}

struct Options {
  std::vector<std::string> modules;   // "add" commands
  std::vector<std::string> commands;  // everything else, in order
  bool defaultModule = true;
  bool pace = false;
  double turnaround = 0.001;
  std::string link;
  bool exitOnEof = false;
  bool readStdin = true;
};

// Parses the command line into options; returns false (after a message) on a mistake.
bool parseOptions(int argc, char** argv, Options& o, bool& help, bool& version) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "tlx1sim: %s needs a value\n", a.c_str());
        return false;
      }
      out = argv[++i];
      return true;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      help = true;
    } else if (a == "--version") {
      version = true;
    } else if (a == "--module") {
      if (!value(v)) return false;
      const std::size_t eq = v.find('=');
      o.modules.push_back("add " + v.substr(0, eq) + (eq == std::string::npos ? "" : " " + v.substr(eq + 1)));
    } else if (a == "--no-modules") {
      o.defaultModule = false;
    } else if (a == "--fault") {
      if (!value(v)) return false;
      const std::size_t at = v.find('@');
      o.commands.push_back("fault " + v.substr(0, at) + (at == std::string::npos ? "" : " " + v.substr(at + 1)));
    } else if (a == "--latency") {
      if (!value(v)) return false;
      o.commands.push_back("latency " + v);
    } else if (a == "--plant") {
      if (!value(v)) return false;
      o.commands.push_back("plant " + v);
    } else if (a == "--pace") {
      o.pace = true;
    } else if (a == "--turnaround") {
      if (!value(v)) return false;
      char* end = nullptr;
      const double ms = std::strtod(v.c_str(), &end);
      if (*end != '\0' || !(ms >= 0 && ms <= 1000)) {
        std::fprintf(stderr, "tlx1sim: --turnaround takes 0..1000 ms\n");
        return false;
      }
      o.turnaround = ms / 1000.0;
    } else if (a == "--link") {
      if (!value(o.link)) return false;
    } else if (a == "--cmd") {
      if (!value(v)) return false;
      o.commands.push_back(v);
    } else if (a == "--exit-on-eof") {
      o.exitOnEof = true;
    } else if (a == "--no-stdin") {
      o.readStdin = false;
    } else {
      std::fprintf(stderr, "tlx1sim: unknown option %s (see --help)\n", a.c_str());
      return false;
    }
  }
  if (o.modules.empty() && o.defaultModule) o.modules.push_back("add 1");
  return true;
}

// The pseudo-terminal. We keep a slave descriptor of our own open, so the master never sees a
// hang-up when the program closes its port between actions, and the line settings persist.
struct Line {
  int master = -1;
  int slave = -1;
  std::string path;

  bool open() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return false;
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) return false;
    path = name;
    slave = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave < 0) return false;
    // The line as the program configures it: raw, 9600 baud, 7 data bits, odd parity, 1 stop bit.
    // Best effort: a pseudo-terminal passes 8 bits whatever it is told, and the program sets the
    // line itself when it opens the port.
    termios t{};
    if (tcgetattr(slave, &t) == 0) {
      cfmakeraw(&t);
      cfsetispeed(&t, B9600);
      cfsetospeed(&t, B9600);
      t.c_cflag &= ~(CSIZE | CSTOPB | CRTSCTS);
      t.c_cflag |= CS7 | PARENB | PARODD | CLOCAL | CREAD;
      t.c_iflag &= ~(IXON | IXOFF | IXANY);
      tcsetattr(slave, TCSANOW, &t);
    }
    return true;
  }

  void close() {
    if (master >= 0) ::close(master);
    if (slave >= 0) ::close(slave);
    master = slave = -1;
  }
};

// Points link at target, replacing an older link but never a regular file.
bool makeLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      std::fprintf(stderr, "tlx1sim: %s exists and is not a link; not replaced\n", link.c_str());
      return false;
    }
    unlink(link.c_str());
  }
  if (symlink(target.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "tlx1sim: cannot create link %s: %s\n", link.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

// Removes link if it still points at target (another simulator may have taken it over).
void removeLink(const std::string& link, const std::string& target) {
  if (link.empty()) return;
  char buf[256];
  const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
  if (n > 0 && std::string(buf, static_cast<std::size_t>(n)) == target) unlink(link.c_str());
}

class Simulator {
 public:
  Simulator(const Options& o, tlx1sim::Bus& bus) : o_(o), bus_(bus) {}

  int run();

 private:
  void receive(const char* data, std::size_t n, double t);
  void schedule(const tlx1sim::Reply& r, double frameEnd);
  void hangUp();
  bool command(const std::string& line);  // false: quit

  const Options& o_;
  tlx1sim::Bus& bus_;
  Line line_;
  std::string frame_;
  bool inFrame_ = false;
  double rxFree_ = 0;                    // when the receive wire is free again (pacing)
  double txFree_ = 0;                    // when the send wire is free again (pacing)
  std::multimap<double, char> pending_;  // bytes by the time they are due on the line
  std::string ready_;                    // due bytes the pseudo-terminal has not taken yet
};

bool Simulator::command(const std::string& line) {
  bool quit = false;
  say(bus_.command(line, now(), quit));
  return !quit;
}

void Simulator::hangUp() {
  line_.close();
  pending_.clear();
  ready_.clear();
  removeLink(o_.link, line_.path);
  say("HANGUP");
}

void Simulator::schedule(const tlx1sim::Reply& r, double frameEnd) {
  if (r.hangup) {
    hangUp();
    return;
  }
  const double step = o_.pace ? kCharTime : 0.0;
  double start = frameEnd + (o_.pace ? o_.turnaround : 0.0) + r.delay;
  // A late reply is sent on its own schedule; ordinary replies queue behind each other.
  if (r.delay == 0) start = std::max(start, txFree_);
  for (std::size_t i = 0; i < r.bytes.size(); ++i)
    pending_.emplace(start + static_cast<double>(i + 1) * step, r.bytes[i]);
  if (r.delay == 0) txFree_ = start + static_cast<double>(r.bytes.size()) * step;
}

void Simulator::receive(const char* data, std::size_t n, double t) {
  for (std::size_t i = 0; i < n && line_.master >= 0; ++i) {
    const char c = data[i];
    // With pacing, each byte arrives one character time after the one before.
    double arrival = t;
    if (o_.pace) arrival = rxFree_ = std::max(t, rxFree_) + kCharTime;
    if (c == '#') {
      frame_ = "#";
      inFrame_ = true;
    } else if (inFrame_ && c == '\r') {
      inFrame_ = false;
      say("RX " + escaped(frame_));
      if (const auto reply = bus_.frame(frame_, t)) schedule(*reply, arrival);
    } else if (inFrame_) {
      frame_ += c;
      if (frame_.size() > kMaxFrame) inFrame_ = false;
    }
  }
}

int Simulator::run() {
  if (!line_.open()) {
    std::fprintf(stderr, "tlx1sim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  if (!o_.link.empty() && !makeLink(o_.link, line_.path)) {
    line_.close();
    return 1;
  }
  for (const auto& list : {o_.modules, o_.commands}) {
    for (const std::string& c : list) {
      bool quit = false;
      const std::string result = bus_.command(c, now(), quit);
      if (result.rfind("ERR", 0) == 0) {
        std::fprintf(stderr, "tlx1sim: %s: %s\n", c.c_str(), result.c_str() + 4);
        removeLink(o_.link, line_.path);
        line_.close();
        return 2;
      }
    }
  }
  say("PTY " + line_.path);

  sigset_t blocked, waitMask;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGINT);
  sigaddset(&blocked, SIGTERM);
  sigaddset(&blocked, SIGHUP);
  sigprocmask(SIG_BLOCK, &blocked, &waitMask);
  sigdelset(&waitMask, SIGINT);
  sigdelset(&waitMask, SIGTERM);
  sigdelset(&waitMask, SIGHUP);

  bool stdinOpen = o_.readStdin;
  std::string input;
  bool running = true;
  while (running && !gStop) {
    const double t = now();
    while (!pending_.empty() && pending_.begin()->first <= t) {
      ready_ += pending_.begin()->second;
      pending_.erase(pending_.begin());
    }
    if (!ready_.empty() && line_.master >= 0) {
      const ssize_t n = write(line_.master, ready_.data(), ready_.size());
      if (n > 0) ready_.erase(0, static_cast<std::size_t>(n));
    }

    pollfd fds[2];
    nfds_t count = 0;
    int stdinIndex = -1, lineIndex = -1;
    if (stdinOpen) {
      stdinIndex = static_cast<int>(count);
      fds[count++] = {STDIN_FILENO, POLLIN, 0};
    }
    if (line_.master >= 0) {
      lineIndex = static_cast<int>(count);
      fds[count++] = {line_.master, static_cast<short>(POLLIN | (ready_.empty() ? 0 : POLLOUT)), 0};
    }
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (!pending_.empty()) {
      const double wait = std::max(0.0, pending_.begin()->first - t);
      timeout.tv_sec = static_cast<time_t>(wait);
      timeout.tv_nsec = static_cast<long>((wait - static_cast<double>(timeout.tv_sec)) * 1e9);
      timeoutPtr = &timeout;
    }
    const int ready = ppoll(fds, count, timeoutPtr, &waitMask);
    if (ready < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "tlx1sim: poll: %s\n", std::strerror(errno));
      break;
    }
    if (lineIndex >= 0 && (fds[lineIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
      char buf[512];
      const ssize_t n = read(line_.master, buf, sizeof buf);
      if (n > 0) receive(buf, static_cast<std::size_t>(n), now());
    }
    if (stdinIndex >= 0 && (fds[stdinIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
      char buf[512];
      const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
      if (n > 0) {
        input.append(buf, static_cast<std::size_t>(n));
        std::size_t eol;
        while (running && (eol = input.find('\n')) != std::string::npos) {
          std::string cmd = input.substr(0, eol);
          input.erase(0, eol + 1);
          if (!cmd.empty() && cmd.back() == '\r') cmd.pop_back();
          if (cmd.find_first_not_of(" \t") == std::string::npos) continue;
          running = command(cmd);
        }
      } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        stdinOpen = false;
        if (o_.exitOnEof) running = false;
      }
    }
  }
  removeLink(o_.link, line_.path);
  line_.close();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  bool help = false;
  bool version = false;
  if (!parseOptions(argc, argv, options, help, version)) return 2;
  if (help) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (version) {
    std::printf("tlx1sim %s\n", TLX1_VERSION);
    return 0;
  }
  signal(SIGPIPE, SIG_IGN);
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  tlx1sim::Bus bus;
  Simulator sim(options, bus);
  return sim.run();
}
