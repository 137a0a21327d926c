// Benchmark: the program in its real window against tlx1sim paced at 9600 baud (1.04 ms a character,
// 1 ms module turnaround), its routine on the program thread as in the installed program. Runs on the
// platform QT_QPA_PLATFORM names (offscreen when unset; xcb on an X server such as Xvfb).
//
//   bench_app_device [SECONDS]        polling time, default 20
//
// 1. Start-up: from starting a process to the first paint of its window, the program against a bare
//    Qt window of the same size, alternating, seven of each.
// 2. Polling: points per second and the program's CPU, against `tlx1ctl monitor` polling at the same
//    rate for the same time (its CPU from the child's resource usage).
// 3. The Qt thread's responsiveness: how late a 10 ms timer on it fires while polling, during a scan
//    with one module (seven silent addresses), and during a silent module's time-out; and how long a
//    status text the program sets takes to be painted.
// 4. "Scann" with eight modules, "Lesen" and "Schreiben" against the time their bytes need on the wire.
#include "app/TLX1Steuerung.h"
#include "bench/messung.h"
#include "driver/okvtlx1.h"
#include "platform/qt/qtview.h"
#include "platform/userint/userint_view.h"
#include "sim/SimProcess.h"
#include "ui/TLX1Steuerung.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSekundeProZeichen = 10.0 / 9600.0;
constexpr double kTurnaround = 0.001;
constexpr int kWiederholungen = 5;
constexpr int kStarts = 7;
const std::vector<std::string> kParameter = {"P1",          "I1", "D1", "anfangssoll1", "min1", "max1", "anstiegszeit1",
                                             "betriebsart1"};

double Sekunden(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

// Lets the Qt thread's event loop run for the given time.
void Laufen(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Until the program waits for input again; the Qt thread keeps running meanwhile.
void Warten()
{
    while (!UiProgram_Idle())
        Laufen(2);
}

void Klicken(int control)
{
    static_cast<QAbstractButton *>(QtView_ControlWidget(panelHandle, control))->click();
}

int Wert(int control)
{
    int v = -1;
    GetCtrlVal(panelHandle, control, &v);
    return v;
}

// ---- 1. start-up -----------------------------------------------------------------------------------

// In a child process: the window (the program's or a bare one) up to its first paint; then "1" on the
// pipe and out.
struct ErstesBild : QObject {
    int fd;
    explicit ErstesBild(int f) : fd(f) {}
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Paint && o->isWidgetType()) {
            (void)!write(fd, "1", 1);
            std::_Exit(0);
        }
        return false;
    }
};

enum Start { PROGRAMM, FENSTER, FENSTER_MIT_TEXT };
const char *const kStartArg[] = {"--start-programm", "--start-fenster", "--start-text"};

int StartKind(Start was, int fd)
{
    char name[] = "tlx1steuerung";
    char *argv[] = {name, nullptr};
    int argc = 1;
    auto *app = new QApplication(argc, argv);
    app->installEventFilter(new ErstesBild(fd));
    if (was != PROGRAMM) {
        auto *w = was == FENSTER ? new QWidget : new QLabel(QStringLiteral("TLX-1 Steuerung"));
        w->resize(980, 663);
        w->show();
        return QApplication::exec();
    }
    UseQtView();
    return QtView_RunProgram(TLX1Steuerung_Main, argc, argv);
}

// Seconds from fork to the child's first paint.
double StartMessen(const char *self, Start was)
{
    int p[2];
    if (pipe(p) != 0)
        return -1.0;
    std::fflush(stdout);  // a child must not print what this process has buffered
    const Clock::time_point t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(p[0]);
        execl(self, self, kStartArg[was], std::to_string(p[1]).c_str(), static_cast<char *>(nullptr));
        std::_Exit(127);
    }
    close(p[1]);
    char c = 0;
    const bool gemalt = read(p[0], &c, 1) == 1;
    const double t = Sekunden(t0, Clock::now());
    close(p[0]);
    waitpid(pid, nullptr, 0);
    return gemalt ? t : -1.0;
}

void StartVergleich(const char *self)
{
    std::vector<double> programm, fenster, text;
    for (int i = 0; i < kStarts; ++i) {
        fenster.push_back(StartMessen(self, FENSTER));
        text.push_back(StartMessen(self, FENSTER_MIT_TEXT));
        programm.push_back(StartMessen(self, PROGRAMM));
    }
    const double p = bench::Median(programm), f = bench::Median(fenster), t = bench::Median(text);
    std::printf("start-up to the first painted window (median of %d): program %.1f ms, bare Qt window %.1f ms "
                "(ratio %.2f, goal <= 1.3), bare window with one line of text %.1f ms (ratio %.2f)\n",
                kStarts, p * 1e3, f * 1e3, p / f, t * 1e3, p / t);
}

// ---- 3. responsiveness of the Qt thread --------------------------------------------------------------

// A 10 ms timer on the Qt thread; how much longer than 10 ms each interval took.
struct Sonde {
    QTimer timer;
    QElapsedTimer uhr;
    qint64 letzte = -1;
    std::vector<double> verspaetung;  // ms
    Sonde()
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 jetzt = uhr.nsecsElapsed();
            if (letzte >= 0)
                verspaetung.push_back(std::max(0.0, static_cast<double>(jetzt - letzte) / 1e6 - 10.0));
            letzte = jetzt;
        });
    }
    void start()
    {
        verspaetung.clear();
        letzte = -1;
        uhr.start();
        timer.start();
    }
    void stop() { timer.stop(); }
    void bericht(const char *was) const
    {
        std::printf("  10 ms timer %-34s largest delay %6.1f ms, 99th percentile %5.1f ms (%zu ticks)\n", was,
                    verspaetung.empty() ? 0.0 : *std::max_element(verspaetung.begin(), verspaetung.end()),
                    bench::Perzentil(verspaetung, 0.99), verspaetung.size());
    }
};

// When the program set each status text (a watcher thread reads the model every millisecond) and
// when the Qt thread painted it.
struct StatusZeit : QObject {
    std::mutex m;
    std::vector<std::pair<Clock::time_point, std::string>> gesetzt, gemalt;
    std::atomic<bool> laufen{false};
    std::thread beobachter;
    QLabel *text = nullptr;

    void start()
    {
        text = static_cast<QLabel *>(QtView_ControlWidget(panelHandle, PANEL_TEXT));
        text->installEventFilter(this);
        laufen = true;
        beobachter = std::thread([this] {
            std::string zuletzt = UiModel_TextValue(panelHandle, PANEL_TEXT);
            while (laufen) {
                const std::string jetzt = UiModel_TextValue(panelHandle, PANEL_TEXT);
                if (jetzt != zuletzt) {
                    const std::lock_guard lock(m);
                    gesetzt.emplace_back(Clock::now(), jetzt);
                    zuletzt = jetzt;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    void stop()
    {
        laufen = false;
        beobachter.join();
        text->removeEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint) {
            const std::lock_guard lock(m);
            gemalt.emplace_back(Clock::now(), text->text().toLatin1().toStdString());
        }
        return false;
    }
    // The longest time from setting a non-empty text until it, or the text set next (one frame may
    // take both), is painted. The watcher can notice a change a little after it was painted, so a
    // paint counts from the previous change on.
    void bericht()
    {
        const std::lock_guard lock(m);
        double laengste = 0.0;
        int texte = 0;
        for (size_t i = 0; i < gesetzt.size(); ++i) {
            const auto &[wann, was] = gesetzt[i];
            if (was.empty())
                continue;
            const Clock::time_point ab = i > 0 ? gesetzt[i - 1].first : wann;
            const std::string *danach = i + 1 < gesetzt.size() ? &gesetzt[i + 1].second : nullptr;
            for (const auto &[gemaltWann, gemaltWas] : gemalt)
                if (gemaltWann >= ab && (gemaltWas == was || (danach && gemaltWas == *danach))) {
                    laengste = std::max(laengste, gemaltWann > wann ? Sekunden(wann, gemaltWann) : 0.0);
                    ++texte;
                    break;
                }
        }
        std::printf("  status text set -> painted: longest %.1f ms over %d texts (goal <= 50 ms)\n", laengste * 1e3,
                    texte);
    }
};

// ---- 4. wire time ------------------------------------------------------------------------------------

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

// Runs an action by a click and waits for the program to finish it; seconds.
double Aktion(int control)
{
    const Clock::time_point a = Clock::now();
    Klicken(control);
    Warten();
    return Sekunden(a, Clock::now());
}

// `tlx1ctl monitor` at 10 Hz for the given time on the simulator: its CPU seconds, or -1.
double MonitorCpu(const std::string &device, int sekunden)
{
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        if (!freopen("/dev/null", "w", stdout))
            std::_Exit(127);
        const std::string count = std::to_string(sekunden * 10);
        execl(TLX1CTL_PATH, "tlx1ctl", "monitor", "--rate", "10", "--count", count.c_str(), "--device", device.c_str(),
              static_cast<char *>(nullptr));
        std::_Exit(127);
    }
    int status = 0;
    rusage ru{};
    if (pid < 0 || wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1.0;
    return static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           static_cast<double>(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
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
    Sonde sonde;

    // 2. Polling; the first half with the timer probe, the second for the CPU without it.
    Klicken(PANEL_VERBINDEN);
    Warten();
    if (Wert(PANEL_VERBINDEN) != 1) {
        std::fprintf(stderr, "bench_app_device: connect failed (%d)\n", Wert(PANEL_FEHLERNUMMER));
        std::exit(1);
    }
    Laufen(1000);  // settle
    sonde.start();
    Laufen(sekunden * 500);
    sonde.stop();
    sim.command("ping");
    sim.clearReceived();
    antwort.stop();  // no popup comes while polling; the closer's own timer is not the program's CPU
    const double cpu0 = bench::CpuSekunden();
    const Clock::time_point t0 = Clock::now();
    Laufen(sekunden * 1000);
    const Clock::time_point t1 = Clock::now();
    const double cpu1 = bench::CpuSekunden();
    antwort.start(50);
    sim.command("ping");
    const std::vector<std::string> polls = sim.received();
    const long punkte = std::count(polls.begin(), polls.end(), std::string("#1V5R"));
    const bool sauber = Wert(PANEL_VERBINDEN) == 1 && Wert(PANEL_FEHLERLED) == 0;
    const double wand = Sekunden(t0, t1);
    const double programmCpu = (cpu1 - cpu0) / wand;
    Aktion(PANEL_VERBINDEN);
    const double monitorCpu = MonitorCpu(sim.devicePath(), sekunden) / sekunden;
    std::printf("polling %.1f s: %ld points, %.3f points/s (goal 10.0 +- 1 %%)%s\n", wand, punkte, punkte / wand,
                sauber ? "" : "  [connection dropped or error shown: not valid]");
    std::printf("CPU while polling: program %.2f %% of one core, tlx1ctl monitor %.2f %%, ratio %.2f (goal <= 2)\n",
                100.0 * programmCpu, 100.0 * monitorCpu, monitorCpu > 0 ? programmCpu / monitorCpu : 0.0);

    // 3. The Qt thread while the program waits on the line.
    std::printf("Qt thread (goals: largest delay <= 50 ms, 99th percentile <= 16 ms):\n");
    sonde.bericht("while polling:");
    std::vector<double> stumm;
    for (int i = 0; i < 3; ++i) {
        Aktion(PANEL_VERBINDEN);
        Laufen(500);
        sonde.start();
        sim.command("fault silent");
        while (Wert(PANEL_VERBINDEN) == 1)
            Laufen(5);  // the poll runs into its time-out and drops the line
        Laufen(100);
        sonde.stop();
        sim.command("fault none");
        stumm.insert(stumm.end(), sonde.verspaetung.begin(), sonde.verspaetung.end());
    }
    sonde.verspaetung = stumm;
    sonde.bericht("during a silent time-out (3x):");

    StatusZeit status;
    status.start();
    sonde.start();
    const double scan1 = Aktion(PANEL_SCANN);
    sonde.stop();
    sonde.bericht("during a scan, one module:");
    std::printf("scan, one module (7 silent addresses): %.3f s\n", scan1);

    // 4. Eight modules; parameter set, median of several runs; each action opens and closes the port.
    for (int adresse = 2; adresse <= 8; ++adresse)
        sim.command("add " + std::to_string(adresse));
    std::vector<double> scans;
    Leitung l;
    for (int i = 0; i < kWiederholungen; ++i) {
        sim.command("ping");
        sim.clearReceived();
        scans.push_back(Aktion(PANEL_SCANN));
        sim.command("ping");
        l = {};
        for (const std::string &f : sim.received()) {
            const std::string id = sim.command("get " + f.substr(1, 1) + " id");
            l.bytes += static_cast<int>(f.size()) + 1 + 1;   // "#aIDR", CR, ACK
            l.bytes += 2 + static_cast<int>(id.size()) + 1;  // "#a", the text, CR
            ++l.austausche;
        }
    }
    Bericht("scan, eight modules (median of 5)", bench::Median(scans), l);
    // The same eight reads through the driver alone, port opened and closed around them as the
    // program does: what the window adds is the difference.
    std::vector<double> treiber;
    for (int i = 0; i < kWiederholungen; ++i) {
        const Clock::time_point a = Clock::now();
        if (OKVTLX1_Open(1) == 0 && OKVTLX1_Timeout(1, 1.0) == 0) {
            char id[OKVTLX1_ID_PUFFER + 8] = {};
            for (int adresse = 1; adresse <= 8; ++adresse)
                OKVTLX1_IDLesen(1, adresse, id);
        }
        OKVTLX1_Close(1);
        treiber.push_back(Sekunden(a, Clock::now()));
    }
    Bericht("the same reads, driver alone", bench::Median(treiber), l);
    std::printf("  the window adds %.2f ms per exchange to the driver's scan (goal <= 0.3 ms)\n",
                (bench::Median(scans) - bench::Median(treiber)) * 1e3 / l.austausche);

    std::vector<double> lesen, schreiben;
    Leitung lesenDraht, schreibenDraht;
    for (int i = 0; i < kWiederholungen; ++i) {
        sim.command("ping");
        sim.clearReceived();
        lesen.push_back(Aktion(PANEL_LESEN));
        sim.command("ping");
        lesenDraht = Leitungszeit(sim, sim.received());

        sim.clearReceived();
        schreiben.push_back(Aktion(PANEL_SCHREIBEN));
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
    status.stop();
    status.bericht();
    if (Wert(PANEL_FEHLERLED) != 0)
        std::printf("[error shown after Lesen/Schreiben: %d]\n", Wert(PANEL_FEHLERNUMMER));
    Bericht("Lesen (median of 5)", bench::Median(lesen), lesenDraht);
    Bericht("Schreiben with read-back (median)", bench::Median(schreiben), schreibenDraht);
}

}  // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    for (Start was : {PROGRAMM, FENSTER, FENSTER_MIT_TEXT})
        if (argc == 3 && std::string(argv[1]) == kStartArg[was])
            return StartKind(was, std::atoi(argv[2]));
    const std::filesystem::path alt = std::filesystem::current_path();
    std::string ordner = (std::filesystem::temp_directory_path() / "tlx1bench-XXXXXX").string();
    if (!mkdtemp(ordner.data()))
        return 1;
    std::filesystem::current_path(ordner);  // settings files land here

    const int sekunden = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
    std::printf("platform: %s\n", qEnvironmentVariableIsSet("QT_QPA_PLATFORM")
                                      ? qgetenv("QT_QPA_PLATFORM").constData()
                                      : (std::string("xcb on ") + qgetenv("DISPLAY").constData()).c_str());
    StartVergleich("/proc/self/exe");
    int rc = 1;
    try {
        tlx1sim::SimProcess sim({"--pace"}, 1);
        UseQtView();
        char name[] = "tlx1steuerung";
        char *args[] = {name, nullptr};
        int n = 1;
        new QApplication(n, args);
        QTimer::singleShot(0, [&] {
            QtView_WaitIdle();  // the window is built
            Messen(sim, sekunden);
            QuitUserInterface(0);
        });
        rc = QtView_RunProgram(TLX1Steuerung_Main, 1, args);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_app_device: %s\n", e.what());
    }
    std::filesystem::current_path(alt);
    std::filesystem::remove_all(ordner);
    return rc;
}
