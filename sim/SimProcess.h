// Runs the module simulator tlx1sim as a child process on its own pseudo-terminal and drives it:
// the fixture of the end-to-end tests and of the benchmarks.
//
//   tlx1sim::SimProcess sim({"--module", "3=OKV-TLX1-A"}, 1);  // TLX1_COM1 -> the simulator
//   OKVTLX1_Open(1); ...
//   sim.command("fault nak 3");                 // standard-input command, waits for its OK
//   EXPECT_TRUE(sim.waitForFrame("#3P1W2.5000")); // what the module received (CR not shown)
//
// The simulator's options and command language are described in sim/README.md and by
// `tlx1sim --help`. Every wait here is bounded; the destructor stops the simulator.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tlx1sim {

class SimProcess {
 public:
  // Starts tlx1sim with the given options; when comPort is 1..8 also maps that COM port to it
  // (see mapToPort). Throws std::runtime_error when the simulator is not up within 10 s.
  explicit SimProcess(const std::vector<std::string>& args = {}, int comPort = 0);
  // Stops the simulator: SIGTERM, SIGKILL after 2 s, then reaps it and removes its link.
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // The slave device the simulator printed, e.g. "/dev/pts/5".
  const std::string& ptyPath() const { return pty_; }
  // A link to the slave device in a private temporary folder; it disappears on hang-up, so an
  // open after a hang-up fails cleanly instead of reaching a reused pseudo-terminal number.
  const std::string& devicePath() const { return link_; }
  // Sets the environment variable TLX1_COM<comPort> to devicePath(), so the serial service's
  // port comPort opens the simulator.
  void mapToPort(int comPort) const;

  // Sends one standard-input command and waits at most timeoutMs for its answer. Returns the
  // text after "OK " ("" for a plain OK); throws std::runtime_error on "ERR ..." or time-out.
  std::string command(const std::string& line, int timeoutMs = 5000);
  // Same, but returns the whole answer line ("OK ...", "ERR ...") or "" on time-out.
  std::string tryCommand(const std::string& line, int timeoutMs = 5000);

  // Frames the modules received since the start or the last clearReceived(), oldest first, as
  // logged by the simulator: '#' up to the CR, CR not shown, other control bytes as \xHH.
  std::vector<std::string> received() const;
  void clearReceived();
  // Waits at most timeoutMs until frame is among received(); true when it is.
  bool waitForFrame(const std::string& frame, int timeoutMs = 2000);
  // Waits at most timeoutMs until received() holds at least count frames; true when it does.
  bool waitForFrames(std::size_t count, int timeoutMs = 2000);
  // Waits at most timeoutMs until the simulator has closed the line (hangup fault); true if so.
  bool waitForHangup(int timeoutMs = 2000);

 private:
  void readOutput();
  void stop();
  template <class Pred>
  bool waitFor(int timeoutMs, Pred pred);

  pid_t pid_ = -1;
  int input_ = -1;   // the simulator's standard input (a socket, so a dead child gives no SIGPIPE)
  int output_ = -1;  // the simulator's standard output
  std::string dir_;
  std::string link_;
  std::string pty_;
  std::thread reader_;

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> received_;
  std::vector<std::string> answers_;  // OK/ERR lines, in command order
  std::size_t commandsSent_ = 0;
  bool hungUp_ = false;
  bool ended_ = false;  // the simulator's output has closed
  bool stopReader_ = false;
};

}  // namespace tlx1sim
