// Runs ser2net on 127.0.0.1 in front of a serial device (the simulator's link) as a child process:
// the network forms of the end-to-end tests and the benchmark.
//
//   tlx1sim::SimProcess sim;
//   tlx1sim::Ser2netProcess server(sim.devicePath());
//   OpenComConfig(1, server.rfc2217Address().c_str(), ...);
//
// One port serves raw TCP, one Telnet with RFC 2217; both are chosen at run time, so suites can run
// side by side. Every wait here is bounded; the destructor stops ser2net.
#pragma once

#include <sys/types.h>

#include <string>

namespace tlx1sim {

class Ser2netProcess {
 public:
  // Whether ser2net is installed (tests that need it skip otherwise).
  static bool available();

  // Starts ser2net for `device` at 9600 baud, 7 data bits, odd parity, 1 stop bit. Throws
  // std::runtime_error when it does not listen on both ports within 10 s.
  explicit Ser2netProcess(const std::string& device);
  // Stops ser2net: SIGTERM, SIGKILL after 2 s.
  ~Ser2netProcess();
  Ser2netProcess(const Ser2netProcess&) = delete;
  Ser2netProcess& operator=(const Ser2netProcess&) = delete;

  std::string tcpAddress() const;      // "tcp://127.0.0.1:<port>"
  std::string rfc2217Address() const;  // "rfc2217://127.0.0.1:<port>"
  // Ends ser2net now (its connections drop, as when a device server goes away).
  void stop();

 private:
  bool start(const std::string& device);

  pid_t pid_ = -1;
  std::string dir_;
  int tcpPort_ = 0;
  int rfc2217Port_ = 0;
};

}  // namespace tlx1sim
