// Benchmark: one "istwert1" read through the driver against tlx1sim, side by side with a raw
// exchange of the same bytes on the same pseudo-terminal (plain write/poll/read).
//
//   bench_driver [EXCHANGES [PACED_EXCHANGES]]     defaults 2000 and 1000
//
// First against the unpaced simulator: median exchange time of driver and raw baseline, their ratio
// and the CPU time of this process per exchange. Then against the simulator paced at 9600 baud:
// median exchange time against the time the bytes need on the wire.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "bench/messung.h"
#include "driver/okvtlx1.h"
#include "sim/SimProcess.h"

namespace {

constexpr int kPort = 1;
constexpr int kAddress = 1;
constexpr int kRounds = 10;  // blocks alternate between driver and raw, so drift hits both
const std::string kFrame = "#1V5R\r";

using Clock = std::chrono::steady_clock;

// `count` driver reads of istwert1, each timed.
void DriverBlock(const std::string &device, int count, bench::Messung &m)
{
    setenv("TLX1_COM1", device.c_str(), 1);
    if (OKVTLX1_Open(kPort) != 0 || OKVTLX1_Timeout(kPort, 1.0) != 0) {
        std::fprintf(stderr, "bench_driver: cannot open %s\n", device.c_str());
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
}

// The same exchange by hand: write the frame, then poll and read until the answer's CR.
// Returns the bytes received (ACK and answer), empty on time-out.
std::string RawExchange(int fd)
{
    if (write(fd, kFrame.data(), kFrame.size()) != static_cast<ssize_t>(kFrame.size()))
        return {};
    std::string got;
    char buf[64];
    while (got.size() < 2 || got.back() != '\r') {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 1000) <= 0)
            return {};
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            return {};
        got.append(buf, static_cast<size_t>(n));
    }
    return got;
}

int RawOpen(const std::string &device)
{
    const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0) {
        std::fprintf(stderr, "bench_driver: cannot open %s\n", device.c_str());
        std::exit(1);
    }
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

void RawBlock(const std::string &device, int count, bench::Messung &m, std::string *answer = nullptr)
{
    const int fd = RawOpen(device);
    const double cpu0 = bench::CpuSekunden();
    for (int i = 0; i < count; ++i) {
        const auto t0 = Clock::now();
        const std::string got = RawExchange(fd);
        m.zeiten.push_back(std::chrono::duration<double>(Clock::now() - t0).count());
        m.fehler += got.empty();
        if (answer != nullptr)
            *answer = got;
    }
    m.cpu += bench::CpuSekunden() - cpu0;
    close(fd);
}

void Compare(const std::string &device, int exchanges, bench::Messung &driver, bench::Messung &raw)
{
    DriverBlock(device, 20, driver);  // warm-up, not counted
    RawBlock(device, 20, raw);
    driver = raw = bench::Messung{};
    for (int r = 0; r < kRounds; ++r) {
        DriverBlock(device, exchanges / kRounds, driver);
        RawBlock(device, exchanges / kRounds, raw);
    }
}

}  // namespace

int Run(int argc, char **argv)
{
    const int exchanges = std::max(argc > 1 ? std::atoi(argv[1]) : 2000, kRounds);
    const int paced = std::max(argc > 2 ? std::atoi(argv[2]) : 1000, kRounds);
    const std::vector<std::string> modul = {"--module", "1=OKV-TLX1-BENCH", "--plant", "off"};

    bench::Messung driver, raw;
    {
        tlx1sim::SimProcess sim(modul);
        Compare(sim.devicePath(), exchanges, driver, raw);
    }
    std::printf("istwert1 read against tlx1sim, unpaced\n");
    bench::Bericht("driver", driver);
    bench::Bericht("raw", raw);
    bench::Verhaeltnis("ratio driver/raw (goal <= 1.25)", driver, raw);
    std::printf("\n");

    std::vector<std::string> pacedArgs = modul;
    pacedArgs.push_back("--pace");
    bench::Messung pDriver, pRaw;
    std::string answer;
    {
        tlx1sim::SimProcess sim(pacedArgs);
        RawBlock(sim.devicePath(), 1, pRaw, &answer);  // learn the answer length
        Compare(sim.devicePath(), paced, pDriver, pRaw);
    }
    // Frame, ACK and answer, 10 bits a character at 9600 baud.
    const size_t bytes = kFrame.size() + answer.size();
    const double wire = static_cast<double>(bytes) * 10.0 / 9600.0;
    const double excess = bench::Median(pDriver.zeiten) - wire;
    std::printf("istwert1 read against tlx1sim paced at 9600 baud (module turnaround included)\n");
    bench::Bericht("driver", pDriver);
    bench::Bericht("raw", pRaw);
    std::printf("  wire time of %zu bytes %.2f ms; driver median %.2f ms, %.2f ms above it "
                "(goal <= 2 ms)\n",
                bytes, wire * 1e3, bench::Median(pDriver.zeiten) * 1e3, excess * 1e3);
    return driver.fehler + raw.fehler + pDriver.fehler + pRaw.fehler == 0 ? 0 : 1;
}

int main(int argc, char **argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_driver: %s\n", e.what());
        return 1;
    }
}
