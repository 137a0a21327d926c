// Benchmark: the program's device actions in its real window (Qt view, offscreen) against tlx1sim
// paced at 9600 baud (1.04 ms a character, 1 ms module turnaround).
//
//   bench_app_device [SECONDS]        polling window, default 60
//
// 1. Connected for SECONDS: points reaching the chart per second and this process's CPU use.
//    Every successful poll plots exactly one point, so the points are counted as the "istwert1"
//    reads the module received while the connection stayed up with the error display clear.
// 2. "Scann" with one module on the bus (seven silent addresses) and with eight modules.
// 3. "Lesen" and "Schreiben" (eight writes and the eight-read read-back) against the time their
//    bytes need on the wire: frame and CR, acknowledge byte, answer frame, 10 bits a character.
#include "app/TLX1Steuerung.h"
#include "platform/qt/qtview.h"
#include "platform/userint/userint.h"
#include "sim/SimProcess.h"
#include "ui/TLX1Steuerung.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSekundeProZeichen = 10.0 / 9600.0;
constexpr double kTurnaround = 0.001;
constexpr int kWiederholungen = 5;
const std::vector<std::string> kParameter = {"P1", "I1", "D1", "anfangssoll1", "min1", "max1", "anstiegszeit1",
                                             "betriebsart1"};

double Sekunden(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

double CpuSekunden()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Lets the program's event loop run for the given time, timer ticks and all.
void Laufen(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

int Wert(int control)
{
    int v = -1;
    GetCtrlVal(panelHandle, control, &v);
    return v;
}

// Bytes on the wire for the frames the module received: each frame with its CR and the
// acknowledge byte; a read also the answer "#a" + command + value + CR.
struct Leitung {
    int bytes = 0;
    int austausche = 0;
};
Leitung Leitungszeit(tlx1sim::SimProcess &sim, const std::vector<std::string> &frames)
{
    Leitung l;
    for (const std::string &f : frames) {
        l.bytes += static_cast<int>(f.size()) + 1 + 1;
        if (f.size() == 5 && f.back() == 'R') {
            // Which parameter: the one whose read the bench issued in this position of the set.
            const std::string &name = kParameter[static_cast<size_t>(l.austausche) % kParameter.size()];
            l.bytes += 5 + static_cast<int>(sim.command("get 1 " + name).size()) + 1;
        }
        ++l.austausche;
    }
    return l;
}

void Bericht(const char *was, double gemessen, const Leitung &l)
{
    const double draht = l.bytes * kSekundeProZeichen;
    const double grenze = draht + l.austausche * kTurnaround;
    std::printf("%-34s %8.1f ms   wire %6.1f ms (%d bytes, %d exchanges), with turnaround %6.1f ms, "
                "above it %5.2f ms per exchange\n",
                was, gemessen * 1e3, draht * 1e3, l.bytes, l.austausche, grenze * 1e3,
                (gemessen - grenze) * 1e3 / l.austausche);
}

void Messen(tlx1sim::SimProcess &sim, int sekunden)
{
    // Read and close the polling warning whenever it comes up.
    QTimer antwort;
    QObject::connect(&antwort, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->accept();
    });
    antwort.start(50);

    // 1. Polling.
    UiTest_Press(panelHandle, PANEL_VERBINDEN);
    if (Wert(PANEL_VERBINDEN) != 1) {
        std::fprintf(stderr, "bench_app_device: connect failed (%d)\n", Wert(PANEL_FEHLERNUMMER));
        std::exit(1);
    }
    Laufen(1000);  // settle
    sim.command("ping");
    sim.clearReceived();
    const double cpu0 = CpuSekunden();
    const Clock::time_point t0 = Clock::now();
    Laufen(sekunden * 1000);
    const Clock::time_point t1 = Clock::now();
    const double cpu1 = CpuSekunden();
    sim.command("ping");
    const std::vector<std::string> polls = sim.received();
    const long punkte = std::count(polls.begin(), polls.end(), std::string("#1V5R"));
    const bool sauber = Wert(PANEL_VERBINDEN) == 1 && Wert(PANEL_FEHLERLED) == 0;
    const double wand = Sekunden(t0, t1);
    std::printf("polling %.1f s: %ld points, %.3f points/s (goal 10.0 +- 1 %%)%s\n", wand, punkte, punkte / wand,
                sauber ? "" : "  [connection dropped or error shown: not valid]");
    std::printf("CPU of the program while polling: %.2f %% of one core (goal < 3 %%)\n",
                100.0 * (cpu1 - cpu0) / wand);
    UiTest_Press(panelHandle, PANEL_VERBINDEN);

    // 2. Scans, not connected (each opens and closes the port itself).
    Clock::time_point a = Clock::now();
    UiTest_Press(panelHandle, PANEL_SCANN);
    std::printf("scan, one module (7 silent addresses): %.3f s\n", Sekunden(a, Clock::now()));
    for (int adresse = 2; adresse <= 8; ++adresse)
        sim.command("add " + std::to_string(adresse));
    sim.command("ping");
    sim.clearReceived();
    a = Clock::now();
    UiTest_Press(panelHandle, PANEL_SCANN);
    const double scan8 = Sekunden(a, Clock::now());
    sim.command("ping");
    Leitung l;
    for (const std::string &f : sim.received()) {
        const std::string id = sim.command("get " + f.substr(1, 1) + " id");
        l.bytes += static_cast<int>(f.size()) + 1 + 1;        // "#aIDR", CR, ACK
        l.bytes += 2 + static_cast<int>(id.size()) + 1;        // "#a", the text, CR
        ++l.austausche;
    }
    Bericht("scan, eight modules", scan8, l);

    // 3. Parameter set, median of several runs; port opened by each action itself.
    std::vector<double> lesen, schreiben;
    Leitung lesenDraht, schreibenDraht;
    for (int i = 0; i < kWiederholungen; ++i) {
        sim.command("ping");
        sim.clearReceived();
        a = Clock::now();
        UiTest_Press(panelHandle, PANEL_LESEN);
        lesen.push_back(Sekunden(a, Clock::now()));
        sim.command("ping");
        lesenDraht = Leitungszeit(sim, sim.received());

        sim.clearReceived();
        a = Clock::now();
        UiTest_Press(panelHandle, PANEL_SCHREIBEN);
        schreiben.push_back(Sekunden(a, Clock::now()));
        sim.command("ping");
        std::vector<std::string> frames = sim.received();
        // Writes first; the read-back's reads count from the start of the set again.
        Leitung w;
        for (const std::string &f : frames)
            if (f.size() > 5) {
                w.bytes += static_cast<int>(f.size()) + 2;
                ++w.austausche;
            }
        frames.erase(std::remove_if(frames.begin(), frames.end(), [](const std::string &f) { return f.size() > 5; }),
                     frames.end());
        const Leitung r = Leitungszeit(sim, frames);
        schreibenDraht = {w.bytes + r.bytes, w.austausche + r.austausche};
    }
    if (Wert(PANEL_FEHLERLED) != 0)
        std::printf("[error shown after Lesen/Schreiben: %d]\n", Wert(PANEL_FEHLERNUMMER));
    Bericht("Lesen (median of 5)", Median(lesen), lesenDraht);
    Bericht("Schreiben with read-back (median)", Median(schreiben), schreibenDraht);
}

}  // namespace

int main(int argc, char *argv[])
{
    const int sekunden = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    try {
        tlx1sim::SimProcess sim({"--pace"}, 1);
        const std::filesystem::path alt = std::filesystem::current_path();
        std::string ordner = (std::filesystem::temp_directory_path() / "tlx1bench-XXXXXX").string();
        if (!mkdtemp(ordner.data()))
            return 1;
        std::filesystem::current_path(ordner);  // the settings file lands here

        UseQtView();
        QTimer::singleShot(0, [&] {
            Messen(sim, sekunden);
            QuitUserInterface(0);
        });
        char name[] = "tlx1steuerung";
        char *args[] = {name, nullptr};
        const int rc = TLX1Steuerung_Main(1, args);
        std::filesystem::current_path(alt);
        std::filesystem::remove_all(ordner);
        return rc;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_app_device: %s\n", e.what());
        return 1;
    }
}
