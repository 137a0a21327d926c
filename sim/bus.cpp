#include "sim/bus.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tlx1sim {

namespace {

enum class Range { Gain, Volt, Mode, Slope, ReadOnly };
// The role of a name within its channel; the table lists each channel's names in this order.
enum Role { kP, kI, kD, kSoll, kAnfangssoll, kMax, kMin, kMode, kSlope, kOutput, kActual, kRoles };

struct Param {
  std::string_view name;
  char letter;
  char qualifier;
  Range range;
  std::string_view initial;
};

// clang-format off
constexpr std::array<Param, kParamCount> kParams = {{
    {"P1",            'P', '1', Range::Gain,     "1.0000"},
    {"I1",            'I', '1', Range::Gain,     "1.0000"},
    {"D1",            'D', '1', Range::Gain,     "0.0000"},
    {"soll1",         'S', '1', Range::Volt,     "0.000"},
    {"anfangssoll1",  'S', '5', Range::Volt,     "0.000"},
    {"max1",          'H', '1', Range::Volt,     "10.000"},
    {"min1",          'L', '1', Range::Volt,     "0.000"},
    {"betriebsart1",  'M', '1', Range::Mode,     "1"},
    {"anstiegszeit1", 'F', '1', Range::Slope,    "10.000"},
    {"stellgroesse1", 'V', '1', Range::Volt,     "0.000"},
    {"istwert1",      'V', '5', Range::ReadOnly, "0.000"},
    {"P2",            'P', '2', Range::Gain,     "1.0000"},
    {"I2",            'I', '2', Range::Gain,     "1.0000"},
    {"D2",            'D', '2', Range::Gain,     "0.0000"},
    {"soll2",         'S', '2', Range::Volt,     "0.000"},
    {"anfangssoll2",  'S', '6', Range::Volt,     "0.000"},
    {"max2",          'H', '2', Range::Volt,     "10.000"},
    {"min2",          'L', '2', Range::Volt,     "0.000"},
    {"betriebsart2",  'M', '2', Range::Mode,     "1"},
    {"anstiegszeit2", 'F', '2', Range::Slope,    "10.000"},
    {"stellgroesse2", 'V', '2', Range::Volt,     "0.000"},
    {"istwert2",      'V', '6', Range::ReadOnly, "0.000"},
}};
// clang-format on
static_assert(kParams.size() == 2 * kRoles, "two channels of eleven names");

struct FaultRow {
  Fault fault;
  std::string_view name;
};
// clang-format off
constexpr std::array<FaultRow, 15> kFaults = {{
    {Fault::None,      "none"},
    {Fault::Silent,    "silent"},
    {Fault::Nak,       "nak"},
    {Fault::Can,       "can"},
    {Fault::BadAck,    "badack"},
    {Fault::HighAck,   "highack"},
    {Fault::NoAnswer,  "noanswer"},
    {Fault::Cut,       "cut"},
    {Fault::WrongAddr, "wrongaddr"},
    {Fault::WrongEcho, "wrongecho"},
    {Fault::Blank,     "blank"},
    {Fault::HighByte,  "highbyte"},
    {Fault::Extra,     "extra"},
    {Fault::Late,      "late"},
    {Fault::Hangup,    "hangup"},
}};
// clang-format on
static_assert(static_cast<int>(Fault::Hangup) + 1 == kFaults.size(), "one row per fault kind");

constexpr char kCr = '\r';
constexpr char kBadAckByte = 0x07;
constexpr char kHighAckByte = static_cast<char>(0x86);
// Stray bytes of the extra fault: a NAK first, so a command that takes them for its reply fails.
constexpr std::string_view kStray = "\x15#0JUNK\r";
constexpr std::size_t kMaxText = 64;

int paramIndex(std::string_view name) {
  for (std::size_t i = 0; i < kParams.size(); ++i)
    if (kParams[i].name == name) return static_cast<int>(i);
  return -1;
}

int paramByCommand(char letter, char qualifier) {
  for (std::size_t i = 0; i < kParams.size(); ++i)
    if (kParams[i].letter == letter && kParams[i].qualifier == qualifier) return static_cast<int>(i);
  return -1;
}

// The module's number format: optional '-', digits, optionally '.' and more digits.
std::optional<double> parseNumber(std::string_view s) {
  std::size_t i = 0, digits = 0;
  auto isDigit = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
  if (i < s.size() && s[i] == '-') ++i;
  while (isDigit(i)) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    std::size_t fraction = 0;
    while (isDigit(i)) ++i, ++fraction;
    if (fraction == 0) return std::nullopt;
  }
  if (digits == 0 || i != s.size()) return std::nullopt;
  return std::strtod(std::string(s).c_str(), nullptr);
}

bool inRange(Range r, double v) {
  switch (r) {
    case Range::Gain:
      return v >= -99999 && v <= 99999;
    case Range::Volt:
      return v >= 0 && v <= 10;
    case Range::Mode:
      return v == 1 || v == 2 || v == 3;
    case Range::Slope:
      return v >= 0 && v <= 1000;
    case Range::ReadOnly:
      return false;
  }
  return false;
}

// Value of a stored text for the plant; anything that is not a number counts as 0.
double numberOf(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  return end == text.c_str() ? 0.0 : v;
}

std::string volts(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  return buf;
}

bool printable(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) return false;
  return true;
}

// Splits off the next blank-separated word; rest keeps what follows it (leading blanks removed).
std::string_view nextWord(std::string_view& rest) {
  while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t')) rest.remove_prefix(1);
  std::size_t n = 0;
  while (n < rest.size() && rest[n] != ' ' && rest[n] != '\t') ++n;
  std::string_view word = rest.substr(0, n);
  rest.remove_prefix(n);
  if (!rest.empty()) rest.remove_prefix(1);  // one separator; the rest may keep inner blanks
  return word;
}

std::optional<int> parseAddress(std::string_view s) {
  if (s.size() != 1 || s[0] < '0' || s[0] > '8') return std::nullopt;
  return s[0] - '0';
}

}  // namespace

std::string_view faultName(Fault f) {
  return kFaults[static_cast<std::size_t>(f)].name;
}

std::optional<Fault> faultByName(std::string_view name) {
  for (const FaultRow& row : kFaults)
    if (row.name == name) return row.fault;
  return std::nullopt;
}

Bus::Module& Bus::add(int address, std::string id, double now) {
  advance(now);
  Module& m = modules_[address] = Module{};
  m.id = std::move(id);
  for (std::size_t i = 0; i < kParams.size(); ++i) m.text[i] = kParams[i].initial;
  powerOn(m);
  return m;
}

Fault Bus::faultOf(const Module& m) const {
  return m.fault.value_or(fault_);
}

Fault Bus::faultFor(const Module& m, std::string_view cmd) const {
  if (cmd.size() >= 2) {
    const auto it = m.paramFaults.find(paramByCommand(cmd[0], cmd[1]));
    if (it != m.paramFaults.end()) return it->second;
  }
  return faultOf(m);
}

void Bus::powerOn(Module& m) {
  for (int ch = 0; ch < 2; ++ch) {
    m.text[ch * kRoles + kSoll] = m.text[ch * kRoles + kAnfangssoll];
    m.plant[ch].restart();
  }
}

LoopSettings Bus::settings(const Module& m, int channel) const {
  auto value = [&](int role) { return numberOf(m.text[channel * kRoles + role]); };
  LoopSettings s;
  s.mode = static_cast<int>(value(kMode));
  s.p = value(kP);
  s.i = value(kI);
  s.d = value(kD);
  s.min = value(kMin);
  s.max = value(kMax);
  s.target = s.mode == 2 ? m.analog[channel] : value(kSoll);
  s.slope = value(kSlope);
  s.manual = value(kOutput);
  return s;
}

void Bus::advance(double now) {
  if (plantTime_ < 0 || !plantOn_) {
    plantTime_ = now;
    return;
  }
  // After a long pause the loop has settled long ago; do not replay hours of steps.
  if (now - plantTime_ > 600) plantTime_ = now - 600;
  while (plantTime_ + Plant::kStep <= now) {
    for (auto& [address, m] : modules_)
      for (int ch = 0; ch < 2; ++ch) m.plant[ch].step(settings(m, ch));
    plantTime_ += Plant::kStep;
  }
}

std::string Bus::readValue(const Module& m, int param) const {
  const int ch = param / kRoles;
  const int role = param % kRoles;
  if (plantOn_ && role == kActual) return volts(m.plant[ch].actual());
  if (plantOn_ && role == kOutput && settings(m, ch).mode != 3) return volts(m.plant[ch].output());
  return m.text[param];
}

// Carries out one command for module m; fills answer with the answer frame of a query.
// Returns nothing when the module refuses the command (it then sends NAK).
std::optional<Bus::Command> Bus::carryOut(int address, Module& m, std::string_view cmd, std::string& answer) {
  if (cmd.size() < 3) return std::nullopt;
  const std::string head = std::string("#") + static_cast<char>('0' + address);
  const std::string_view value = cmd.substr(3);
  if (cmd.substr(0, 3) == "IDR" && value.empty()) {
    answer = head + m.id + kCr;
    return Command::Id;
  }
  if (cmd.substr(0, 3) == "STR" && value.empty()) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "$%02X", m.status & 0xFF);
    answer = head + "STR" + hex + kCr;
    return Command::Status;
  }
  const int param = paramByCommand(cmd[0], cmd[1]);
  if (param < 0) return std::nullopt;
  if (cmd[2] == 'R' && value.empty()) {
    answer = head + std::string(cmd.substr(0, 3)) + readValue(m, param) + kCr;
    return Command::Read;
  }
  if (cmd[2] != 'W') return std::nullopt;
  const std::optional<double> v = parseNumber(value);
  if (!v || !inRange(kParams[param].range, *v)) return std::nullopt;
  m.text[param] = std::string(value);
  return Command::Write;
}

std::optional<Reply> Bus::frame(std::string_view f, double now) {
  advance(now);
  if (f.size() < 2 || f[0] != '#' || f[1] < '0' || f[1] > '9') return std::nullopt;
  const int address = f[1] - '0';
  const std::string_view cmd = f.substr(2);
  std::string answer;

  if (address == kBroadcast) {
    // Every module takes a valid write; none answers.
    for (auto& [a, m] : modules_) {
      const Fault k = faultFor(m, cmd);
      if (k == Fault::Hangup) return Reply{{}, 0, true};
      if (k == Fault::Silent || k == Fault::Nak || k == Fault::Can) continue;
      if (cmd.size() >= 3 && cmd[2] == 'W') carryOut(a, m, cmd, answer);
    }
    return std::nullopt;
  }

  auto it = modules_.find(address);
  if (it == modules_.end()) return std::nullopt;
  Module& m = it->second;
  const Fault k = faultFor(m, cmd);
  switch (k) {
    case Fault::Silent:
      return std::nullopt;
    case Fault::Hangup:
      return Reply{{}, 0, true};
    case Fault::Nak:
      return Reply{std::string(1, kNak)};
    case Fault::Can:
      return Reply{std::string(1, kCan)};
    default:
      break;
  }

  const std::optional<Command> kind = carryOut(address, m, cmd, answer);
  char ack = kind ? kAck : kNak;
  Reply r;
  switch (k) {
    case Fault::BadAck:
      ack = kBadAckByte;
      break;
    case Fault::HighAck:
      ack = kHighAckByte;
      break;
    case Fault::NoAnswer:
      answer.clear();
      break;
    case Fault::Cut:
      answer.resize(answer.size() / 2);
      break;
    case Fault::WrongAddr:
      if (answer.size() > 1) answer[1] = static_cast<char>('0' + (address + 1) % 10);
      break;
    case Fault::WrongEcho:
      if (answer.size() > 2 && kind != Command::Id) ++answer[2];
      break;
    case Fault::Blank:
      if (!answer.empty()) answer.insert(answer.size() - 1, 1, ' ');
      break;
    case Fault::HighByte:
      if (answer.empty())
        ack = kHighAckByte;
      else
        answer[answer.size() / 2] = static_cast<char>(answer[answer.size() / 2] | 0x80);
      break;
    case Fault::Extra:
      answer += kStray;
      break;
    case Fault::Late:
      r.delay = latency_;
      break;
    default:
      break;
  }
  r.bytes = ack + answer;
  return r;
}

std::string Bus::get(int address, std::string_view what) const {
  auto it = modules_.find(address);
  if (it == modules_.end()) return "ERR no module at this address";
  const Module& m = it->second;
  if (what == "id") return "OK " + m.id;
  if (what == "status") {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", m.status & 0xFF);
    return std::string("OK ") + hex;
  }
  if (what == "analog1" || what == "analog2") return "OK " + volts(m.analog[what.back() - '1']);
  const int param = paramIndex(what);
  if (param < 0) return "ERR unknown name";
  return "OK " + readValue(m, param);
}

std::string Bus::set(int address, std::string_view what, std::string_view value) {
  auto it = modules_.find(address);
  if (it == modules_.end()) return "ERR no module at this address";
  Module& m = it->second;
  if (what == "id") {
    if (value.size() > kMaxText || !printable(value)) return "ERR text too long or not printable";
    m.id = std::string(value);
    return "OK";
  }
  if (value.empty() || value.find_first_of(" \t") != std::string_view::npos) return "ERR value must be one word";
  if (what == "status") {
    char* end = nullptr;
    const std::string v(value);
    const long status = std::strtol(v.c_str(), &end, 0);
    if (*end != '\0' || status < 0 || status > 255) return "ERR status must be 0..255";
    m.status = static_cast<int>(status);
    return "OK";
  }
  if (what == "analog1" || what == "analog2") {
    const std::optional<double> v = parseNumber(value);
    if (!v) return "ERR not a number";
    m.analog[what.back() - '1'] = *v;
    return "OK";
  }
  const int param = paramIndex(what);
  if (param < 0) return "ERR unknown name";
  if (value.size() > kMaxText || !printable(value)) return "ERR text too long or not printable";
  // Stored as given, unchecked, so a test can make the module answer anything.
  m.text[param] = std::string(value);
  if (param % kRoles == kActual) m.plant[param / kRoles].setActual(numberOf(m.text[param]));
  return "OK";
}

std::string Bus::command(std::string_view line, double now, bool& quit) {
  advance(now);
  std::string_view rest = line;
  const std::string_view verb = nextWord(rest);
  if (verb.empty() || verb == "ping") return "OK";
  if (verb == "quit") {
    quit = true;
    return "OK";
  }
  if (verb == "plant") {
    const std::string_view onOff = nextWord(rest);
    if (onOff != "on" && onOff != "off") return "ERR plant on|off";
    plantOn_ = onOff == "on";
    return "OK";
  }
  if (verb == "latency") {
    const std::optional<double> ms = parseNumber(nextWord(rest));
    if (!ms || *ms < 0 || *ms > 60000) return "ERR latency 0..60000 (ms)";
    latency_ = *ms / 1000.0;
    return "OK";
  }
  if (verb == "fault") {
    const std::optional<Fault> f = faultByName(nextWord(rest));
    if (!f) return "ERR unknown fault kind";
    const std::string_view a = nextWord(rest);
    if (a.empty()) {
      fault_ = *f;
      if (*f == Fault::None)
        for (auto& [address, m] : modules_) {
          m.fault.reset();
          m.paramFaults.clear();
        }
      return "OK";
    }
    const std::optional<int> address = parseAddress(a);
    if (!address) return "ERR address 0..8";
    auto it = modules_.find(*address);
    if (it == modules_.end()) return "ERR no module at this address";
    Module& m = it->second;
    const std::string_view name = nextWord(rest);
    if (!name.empty()) {
      const int param = paramIndex(name);
      if (param < 0) return "ERR unknown name";
      if (*f == Fault::None)
        m.paramFaults.erase(param);
      else
        m.paramFaults[param] = *f;
      return "OK";
    }
    if (*f == Fault::None) {
      m.fault.reset();
      m.paramFaults.clear();
    } else {
      m.fault = *f;
    }
    return "OK";
  }

  const std::optional<int> address = parseAddress(nextWord(rest));
  if (!address) return "ERR address 0..8";
  if (verb == "add") {
    const std::string_view id = rest.empty() ? std::string_view(kDefaultId) : rest;
    if (id.size() > kMaxText || !printable(id)) return "ERR text too long or not printable";
    add(*address, std::string(id), now);
    return "OK";
  }
  if (verb == "remove") return modules_.erase(*address) ? "OK" : "ERR no module at this address";
  if (verb == "reset") {
    auto it = modules_.find(*address);
    if (it == modules_.end()) return "ERR no module at this address";
    powerOn(it->second);
    return "OK";
  }
  if (verb == "get") return get(*address, nextWord(rest));
  if (verb == "set") {
    const std::string_view what = nextWord(rest);
    return set(*address, what, what == "id" ? rest : nextWord(rest));
  }
  return "ERR unknown command";
}

}  // namespace tlx1sim
