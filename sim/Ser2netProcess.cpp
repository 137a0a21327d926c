#include "sim/Ser2netProcess.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace tlx1sim {

namespace {

constexpr const char* kSer2net = "/usr/sbin/ser2net";
constexpr int kVersuche = 3;
constexpr int kStartMs = 10000 / kVersuche;
constexpr int kTermMs = 2000;

// A port of 127.0.0.1 that is free now (another program may still take it before ser2net does;
// start() then tries again).
int freierPort() {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = 0;
  if (s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
    port = ntohs(a.sin_port);
  if (s >= 0) close(s);
  return port;
}

// Inodes of the sockets listening on 127.0.0.1:port, from the kernel's table.
std::set<std::string> lauschendeSockets(int port) {
  std::set<std::string> inodes;
  std::ifstream tabelle("/proc/net/tcp");
  std::string zeile;
  char lokal[32];
  std::snprintf(lokal, sizeof lokal, "0100007F:%04X", port);
  std::getline(tabelle, zeile);  // header
  while (std::getline(tabelle, zeile)) {
    std::istringstream felder(zeile);
    std::string nr, adresse, gegenueber, zustand, queues, timer, retr, uid, timeout, inode;
    felder >> nr >> adresse >> gegenueber >> zustand >> queues >> timer >> retr >> uid >> timeout >> inode;
    if (adresse == lokal && zustand == "0A") inodes.insert("socket:[" + inode + "]");
  }
  return inodes;
}

// Whether process pid holds a socket listening on 127.0.0.1:port.
bool lauschtAuf(pid_t pid, int port) {
  const std::set<std::string> inodes = lauschendeSockets(port);
  if (inodes.empty()) return false;
  const std::string ordner = "/proc/" + std::to_string(pid) + "/fd";
  DIR* d = opendir(ordner.c_str());
  if (d == nullptr) return false;
  bool gefunden = false;
  while (dirent* e = readdir(d)) {
    char ziel[64] = {};
    const std::string pfad = ordner + "/" + e->d_name;
    if (readlink(pfad.c_str(), ziel, sizeof ziel - 1) > 0 && inodes.count(ziel) != 0) gefunden = true;
  }
  closedir(d);
  return gefunden;
}

}  // namespace

bool Ser2netProcess::available() {
  return access(kSer2net, X_OK) == 0;
}

Ser2netProcess::Ser2netProcess(const std::string& device) {
  char vorlage[] = "/tmp/ser2net-XXXXXX";
  if (!mkdtemp(vorlage)) throw std::runtime_error("Ser2netProcess: mkdtemp failed");
  dir_ = vorlage;
  for (int i = 0; i < kVersuche; ++i)
    if (start(device)) return;
  stop();
  std::ifstream log(dir_ + "/ser2net.log");
  const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  std::remove((dir_ + "/ser2net.yaml").c_str());
  std::remove((dir_ + "/ser2net.log").c_str());
  rmdir(dir_.c_str());
  throw std::runtime_error("Ser2netProcess: ser2net does not listen: " + text);
}

Ser2netProcess::~Ser2netProcess() {
  stop();
  std::remove((dir_ + "/ser2net.yaml").c_str());
  std::remove((dir_ + "/ser2net.log").c_str());
  rmdir(dir_.c_str());
}

bool Ser2netProcess::start(const std::string& device) {
  stop();
  tcpPort_ = freierPort();
  rfc2217Port_ = freierPort();
  if (tcpPort_ == 0 || rfc2217Port_ == 0 || tcpPort_ == rfc2217Port_) return false;
  const std::string konfig = dir_ + "/ser2net.yaml";
  {
    std::ofstream f(konfig);
    const std::string anschluss = "    connector: serialdev," + device + ",9600o71,local\n";
    f << "connection: &roh\n    accepter: tcp(nodelay),127.0.0.1," << tcpPort_ << "\n"
      << anschluss << "    options:\n      kickolduser: true\n      chardelay: false\n"
      << "connection: &rfc2217\n    accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1," << rfc2217Port_ << "\n"
      << anschluss << "    options:\n      kickolduser: true\n      chardelay: false\n";
  }
  const std::string log = dir_ + "/ser2net.log";
  pid_ = fork();
  if (pid_ == 0) {
    // Child: only async-signal-safe calls until exec. -n stays in front, -u takes no UUCP lock.
    const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out >= 0) {
      dup2(out, STDOUT_FILENO);
      dup2(out, STDERR_FILENO);
    }
    const int leer = open("/dev/null", O_RDONLY);
    if (leer >= 0) dup2(leer, STDIN_FILENO);
    execl(kSer2net, kSer2net, "-n", "-u", "-c", konfig.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  if (pid_ < 0) return false;
  const auto frist = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartMs);
  while (std::chrono::steady_clock::now() < frist) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    if (lauschtAuf(pid_, tcpPort_) && lauschtAuf(pid_, rfc2217Port_)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void Ser2netProcess::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto frist = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTermMs);
  while (waitpid(pid_, nullptr, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= frist) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  pid_ = -1;
}

std::string Ser2netProcess::tcpAddress() const {
  return "tcp://127.0.0.1:" + std::to_string(tcpPort_);
}

std::string Ser2netProcess::rfc2217Address() const {
  return "rfc2217://127.0.0.1:" + std::to_string(rfc2217Port_);
}

}  // namespace tlx1sim
