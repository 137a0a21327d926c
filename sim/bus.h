// The simulated bus: TLX-1 modules at their addresses, their parameters, faults and plants.
// No input or output here: main.cpp feeds received frames and command lines in and puts the
// replies on the line, so this part is plain logic.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "sim/plant.h"

namespace tlx1sim {

inline constexpr char kAck = 0x06;
inline constexpr char kNak = 0x15;
inline constexpr char kCan = 0x18;
inline constexpr int kBroadcast = 9;
inline constexpr int kParamCount = 22;
inline constexpr const char* kDefaultId = "OKV-TLX1-SIM";

// Ways a module can misbehave; each spoils the reply in one way.
enum class Fault {
  None,       // answer correctly
  Silent,     // no reply at all, the command is not carried out
  Nak,        // NAK instead of ACK, not carried out
  Can,        // CAN instead of ACK, not carried out
  BadAck,     // 0x07 instead of the acknowledge byte
  HighAck,    // 0x86 (ACK with the top bit set) instead of the acknowledge byte
  NoAnswer,   // ACK, then no answer frame
  Cut,        // ACK, then only the first half of the answer frame, no CR
  WrongAddr,  // answer frame carries another address digit
  WrongEcho,  // answer frame repeats another command letter (status and parameter read)
  Blank,      // a blank before the answer's CR
  HighByte,   // a byte >= 0x80 in the answer (in a write: the acknowledge byte)
  Extra,      // stray bytes after the reply
  Late,       // the whole reply comes after the latency (default 1.5 s)
  Hangup,     // the line is closed instead of replying
};

// Bytes to put on the line for one received frame.
struct Reply {
  std::string bytes;
  double delay = 0;     // seconds to wait before the first byte
  bool hangup = false;  // close the line instead of sending anything
};

class Bus {
 public:
  // Handles one received frame (from '#' up to, not including, the CR) at monotonic time now
  // (seconds). Returns the reply, or nothing when no module answers.
  std::optional<Reply> frame(std::string_view frame, double now);

  // Runs one command line of the standard-input language. Returns "OK", "OK <value>" or
  // "ERR <reason>"; sets quit for the quit command.
  std::string command(std::string_view line, double now, bool& quit);

  // Brings every plant up to time now.
  void advance(double now);

 private:
  struct Module {
    std::string id = kDefaultId;
    int status = 0;
    std::array<std::string, kParamCount> text;
    std::array<double, 2> analog{};
    std::optional<Fault> fault;
    std::map<int, Fault> paramFaults;  // faults limited to one parameter (by table index)
    std::array<Plant, 2> plant;
  };

  Module& add(int address, std::string id, double now);
  Fault faultOf(const Module& m) const;
  // The fault for one frame: a fault limited to the frame's parameter wins over the module's.
  Fault faultFor(const Module& m, std::string_view cmd) const;
  enum class Command { Id, Status, Read, Write };
  std::optional<Command> carryOut(int address, Module& m, std::string_view cmd, std::string& answer);
  std::string readValue(const Module& m, int param) const;
  void powerOn(Module& m);
  std::string get(int address, std::string_view what) const;
  std::string set(int address, std::string_view what, std::string_view value);
  LoopSettings settings(const Module& m, int channel) const;

  std::map<int, Module> modules_;
  Fault fault_ = Fault::None;
  double latency_ = 1.5;
  bool plantOn_ = true;
  double plantTime_ = -1;  // time the plants have been brought up to; -1 before the first call
};

// Name of a fault kind as used on the command line and standard input, and back.
std::string_view faultName(Fault f);
std::optional<Fault> faultByName(std::string_view name);

}  // namespace tlx1sim
