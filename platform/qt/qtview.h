// The Qt 6 Widgets view of the panel toolkit: real windows for the loaded panels, mirroring the model
// and turning operator input into the toolkit's operator calls.
//
// Threads. The program runs on a program thread of its own (QtView_RunProgram); the Qt thread, the
// one that created the QApplication, only paints and takes input:
// - The model reports changes through the backend; the view notes them and paints them with its next
//   frame, at most one frame each 16 ms, reading the model under its mutex.
// - Operator input (typing, clicks, menu items, the close box, timer ticks) is queued for the program
//   thread in the order it was made (UiOperator_Queue); a callback that runs long never blocks painting.
// - Whatever needs widgets and an answer (a modal dialog) runs on the Qt thread through
//   QtView_OnQtThread while the program thread waits.
// Used without QtView_RunProgram (tests that drive the view on their own thread), the callbacks run on
// the Qt thread, at once.
#pragma once

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

class QWidget;

// Installs the Qt view as the toolkit's backend. Call before InitUserInterface; InitUserInterface then
// creates the QApplication (unless one exists) and returns 0 when no display can be reached.
void UseQtView(void);

// Runs routine(argc, argv), the program's main routine, on the program thread while this thread
// paints and serves input and popups until the routine has returned (its closing work included);
// returns the routine's result, or -1 when a program thread already runs. Creates the QApplication
// unless one exists. Without a display the routine runs here and its InitUserInterface fails.
int QtView_RunProgram(int (*routine)(int, char **), int argc, char **argv);

// Runs `work` on the Qt thread and returns its result; a program thread waits for it while the Qt
// thread goes on painting. On the Qt thread itself `work` runs at once. This is the one way to reach
// widgets from a backend entry. A new modal dialog needs only:
//   1. a member of UiBackend (userint_view.h) and its toolkit function in userint.h, which records
//      the dialog for the tests and calls the member without the model's mutex (as MessagePopup does);
//   2. here, the member's implementation:
//        int ViewButtonPopup(const char *title, const char *text, ...)
//        {
//            return QtView_OnQtThread([&] { QMessageBox box(...); ...; return box.exec(); });
//        }
// The arguments stay valid while `work` runs: the caller waits for it.
void QtView_RunOnQtThread(const std::function<void()> &work);
template <class Work>
auto QtView_OnQtThread(Work &&work) -> decltype(work())
{
    using Result = decltype(work());
    if constexpr (std::is_void_v<Result>) {
        QtView_RunOnQtThread(std::forward<Work>(work));
    } else {
        std::optional<Result> result;
        QtView_RunOnQtThread([&] { result.emplace(work()); });
        return std::move(*result);
    }
}

// ---- view-side access, for tests and screenshots --------------------------------------------------
// The window of a loaded panel, or null. Its controls lie in the child widget named "panelContent",
// below the menu bar if the panel has one.
QWidget *QtView_PanelWindow(int panel);
// The widget that shows a control (the field, button, lamp, chart ...), or null.
QWidget *QtView_ControlWidget(int panel, int control);
// The label shown next to a control, or null when it has none.
QWidget *QtView_ControlLabel(int panel, int control);
// Deletes every window the view built; use after UiTest_Reset so the next panels start afresh.
void QtView_Reset(void);
// On the Qt thread: lets the Qt thread work (popups the program raised are shown and can be answered)
// until the program thread waits for input with nothing queued, then brings every widget to the
// model's state at once. false when that took longer than timeoutMs. Without a program thread it
// only does the latter.
bool QtView_WaitIdle(int timeoutMs = 30000);
