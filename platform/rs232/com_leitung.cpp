// A terminal's line settings put back when the process ends while it is open: at exit, and on
// SIGINT, SIGTERM and SIGHUP. A terminal left raw at 9600 baud without echo (say, the operator's own
// terminal named by mistake) would otherwise stay unusable.
//
// The handlers are installed only for signals whose disposition is the default (ending the process)
// and only while a terminal is open; a program that handles a signal itself keeps its handler and
// closes the port on its own way out. The handler uses async-signal-safe calls only (tcsetattr,
// ioctl, sigaction, raise) and ends the process with the signal as before.
#include "platform/rs232/com_intern.h"
#include "platform/rs232/rs232.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iterator>

#include <sys/ioctl.h>

namespace com_intern {

namespace {

struct Platz {
    std::atomic<int> belegt{0};
    int fd = -1;
    termios alt{};
    bool warExklusiv = false;
};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slots");

constexpr int kPlaetze = 32;
Platz gPlaetze[kPlaetze];
int gBelegt = 0;  // slots in use; touched by the service's thread only

constexpr int kSignale[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction gVorher[std::size(kSignale)];
bool gEigener[std::size(kSignale)] = {};
bool gExitEingetragen = false;

void AllesZurueck()
{
    for (Platz &p : gPlaetze) {
        if (p.belegt.load(std::memory_order_acquire) == 0)
            continue;
        tcsetattr(p.fd, TCSANOW, &p.alt);
        if (!p.warExklusiv)
            ioctl(p.fd, TIOCNXCL);
    }
}

void BeiSignal(int sig)
{
    AllesZurueck();
    // End the process as the signal would have without us.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(sig, &standard, nullptr);
    raise(sig);  // blocked while the handler runs: delivered with the default action on return
}

void BeiExit()
{
    AllesZurueck();
}

void HandlerEinrichten()
{
    if (!gExitEingetragen)
        gExitEingetragen = std::atexit(BeiExit) == 0;
    for (std::size_t i = 0; i < std::size(kSignale); ++i) {
        struct sigaction jetzt {};
        if (sigaction(kSignale[i], nullptr, &jetzt) != 0 || jetzt.sa_handler != SIG_DFL ||
            (jetzt.sa_flags & SA_SIGINFO) != 0)
            continue;
        struct sigaction unser {};
        unser.sa_handler = BeiSignal;
        sigemptyset(&unser.sa_mask);
        for (int s : kSignale)
            sigaddset(&unser.sa_mask, s);  // one hand-back at a time
        gEigener[i] = sigaction(kSignale[i], &unser, &gVorher[i]) == 0;
    }
}

void HandlerEntfernen()
{
    for (std::size_t i = 0; i < std::size(kSignale); ++i) {
        if (!gEigener[i])
            continue;
        struct sigaction jetzt {};
        // Someone who replaced our handler since keeps theirs.
        if (sigaction(kSignale[i], nullptr, &jetzt) == 0 && jetzt.sa_handler == BeiSignal)
            sigaction(kSignale[i], &gVorher[i], nullptr);
        gEigener[i] = false;
    }
}

}  // namespace

int LeitungMerken(int fd, const termios &alt, bool warExklusiv)
{
    for (int i = 0; i < kPlaetze; ++i) {
        Platz &p = gPlaetze[i];
        if (p.belegt.load(std::memory_order_relaxed) != 0)
            continue;
        p.fd = fd;
        p.alt = alt;
        p.warExklusiv = warExklusiv;
        p.belegt.store(1, std::memory_order_release);
        if (gBelegt++ == 0)
            HandlerEinrichten();
        return i;
    }
    return -1;
}

void LeitungVergessen(int slot)
{
    if (slot < 0 || slot >= kPlaetze || gPlaetze[slot].belegt.load(std::memory_order_relaxed) == 0)
        return;
    gPlaetze[slot].belegt.store(0, std::memory_order_release);
    if (--gBelegt == 0)
        HandlerEntfernen();
}

}  // namespace com_intern

void ComRestoreLines(void)
{
    com_intern::AllesZurueck();
}
