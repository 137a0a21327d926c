// Benchmark: one "istwert1" read through the driver against tlx1sim, on its pseudo-terminal directly
// and through ser2net on the loopback address, raw TCP and RFC 2217, in one run.
//
//   bench_network [EXCHANGES [PACED_EXCHANGES]]     defaults 2000 and 500
//
// First, unpaced simulator: median exchange time of each way, the ratio of each network form to
// the pseudo-terminal and the CPU time of this process per exchange (ser2net's own is not counted).
// Beside them, a raw socket baseline sends the same frame to ser2net's raw port with a plain
// send and reads the answer with poll/recv: what ser2net and the loopback cost without the service.
// Then, simulator paced at 9600 baud: median exchange time against the time the bytes need on
// the wire.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "bench/messung.h"
#include "driver/okvtlx1.h"
#include "platform/rs232/rs232.h"
#include "sim/Ser2netProcess.h"
#include "sim/SimProcess.h"

namespace {

constexpr int kPort = 1;
constexpr int kAddress = 1;
constexpr int kRounds = 10;  // blocks alternate between the three ways, so drift hits all alike
constexpr int kWege = 4;
const char *const kNamen[kWege] = {"pty", "tcp", "rfc2217", "raw tcp"};
const std::string kFrame = "#1V5R\r";

using Clock = std::chrono::steady_clock;

// `count` driver reads of istwert1 on `device`, each timed; the open (connection and RFC 2217
// settings included) is not timed.
void Block(const std::string &device, int count, bench::Messung &m)
{
    if (OpenComConfig(kPort, device.c_str(), 9600, 1, 7, 1, 512, 512) != 0 || OKVTLX1_Timeout(kPort, 1.0) != 0) {
        std::fprintf(stderr, "bench_network: cannot open %s: %s\n", device.c_str(), ComOpenFailure(kPort).c_str());
        std::exit(1);
    }
    const double cpu0 = bench::CpuSekunden();
    for (int i = 0; i < count; ++i) {
        double value = 0.0;
        const auto t0 = Clock::now();
        const int rc = OKVTLX1_ParameterLesen(kPort, kAddress, "istwert1", &value);
        m.zeiten.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        m.fehler += rc != 0;
    }
    m.cpu += bench::CpuSekunden() - cpu0;
    OKVTLX1_Close(kPort);
    // ser2net lets go of the device after its client has gone.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// The same exchange on a plain socket to ser2net's raw port: write the frame, poll and read until
// the answer's CR.
void RohBlock(int port, int count, bench::Messung &m)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const int ein = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &ein, sizeof ein);
    if (connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0) {
        std::fprintf(stderr, "bench_network: cannot connect to port %d\n", port);
        std::exit(1);
    }
    const double cpu0 = bench::CpuSekunden();
    for (int i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        std::string got;
        bool gut = send(fd, kFrame.data(), kFrame.size(), 0) == static_cast<ssize_t>(kFrame.size());
        char buf[64];
        while (gut && (got.size() < 2 || got.back() != '\r')) {
            pollfd p{fd, POLLIN, 0};
            const ssize_t n = poll(&p, 1, 1000) > 0 ? recv(fd, buf, sizeof buf, 0) : -1;
            setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &ein, sizeof ein);
            gut = n > 0;
            if (gut)
                got.append(buf, static_cast<std::size_t>(n));
        }
        m.zeiten.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        m.fehler += !gut;
    }
    m.cpu += bench::CpuSekunden() - cpu0;
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

void Compare(const std::vector<std::string> &simArgs, int exchanges, bench::Messung (&m)[kWege], std::string *wert)
{
    tlx1sim::SimProcess sim(simArgs);
    tlx1sim::Ser2netProcess server(sim.devicePath());
    const std::string geraete[kWege - 1] = {sim.devicePath(), server.tcpAddress(), server.rfc2217Address()};
    const int rohPort = std::atoi(server.tcpAddress().substr(server.tcpAddress().rfind(':') + 1).c_str());
    const auto messen = [&](int w, int count, bench::Messung &ziel) {
        if (w < kWege - 1)
            Block(geraete[w], count, ziel);
        else
            RohBlock(rohPort, count, ziel);
    };
    for (int w = 0; w < kWege; ++w) {
        bench::Messung warm;  // warm-up, not counted
        messen(w, 10, warm);
    }
    for (int r = 0; r < kRounds; ++r)
        for (int w = 0; w < kWege; ++w)
            messen(w, exchanges / kRounds, m[w]);
    *wert = sim.command("get 1 istwert1");
}

}  // namespace

int Run(int argc, char **argv)
{
    if (!tlx1sim::Ser2netProcess::available()) {
        std::fprintf(stderr, "bench_network: ser2net is not installed (make deps installs it)\n");
        return 1;
    }
    const int exchanges = std::max(argc > 1 ? std::atoi(argv[1]) : 2000, kRounds);
    const int paced = std::max(argc > 2 ? std::atoi(argv[2]) : 500, kRounds);
    const std::vector<std::string> modul = {"--module", "1=OKV-TLX1-BENCH", "--plant", "off"};

    bench::Messung m[kWege];
    std::string wert;
    Compare(modul, exchanges, m, &wert);
    std::printf("istwert1 read against tlx1sim, unpaced: the pseudo-terminal and ser2net on 127.0.0.1\n");
    for (int w = 0; w < kWege; ++w)
        bench::Bericht(kNamen[w], m[w]);
    for (int w = 1; w < kWege - 1; ++w) {
        bench::Verhaeltnis((std::string("ratio ") + kNamen[w] + "/pty (goal <= 1.5)").c_str(), m[w], m[0]);
        bench::Verhaeltnis((std::string("ratio ") + kNamen[w] + "/raw socket").c_str(), m[w], m[kWege - 1]);
    }

    std::vector<std::string> pacedArgs = modul;
    pacedArgs.push_back("--pace");
    bench::Messung p[kWege];
    Compare(pacedArgs, paced, p, &wert);
    // Frame (6 bytes), ACK and answer ('#', address, three command bytes, value, CR), 10 bits a
    // character at 9600 baud.
    const std::size_t bytes = 6 + 1 + 5 + wert.size() + 1;
    const double wire = static_cast<double>(bytes) * 10.0 / 9600.0;
    std::printf("\nistwert1 read against tlx1sim paced at 9600 baud (1 ms module turnaround included)\n");
    for (int w = 0; w < kWege; ++w)
        bench::Bericht(kNamen[w], p[w]);
    for (int w = 0; w < kWege; ++w)
        std::printf("  %-8s %.2f ms above the wire time of %zu bytes (%.2f ms; goal <= 3 ms)\n", kNamen[w],
                    (bench::Median(p[w].zeiten) - wire) * 1e3, bytes, wire * 1e3);
    int fehler = 0;
    for (int w = 0; w < kWege; ++w)
        fehler += m[w].fehler + p[w].fehler;
    return fehler == 0 ? 0 : 1;
}

int main(int argc, char **argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_network: %s\n", e.what());
        return 1;
    }
}
