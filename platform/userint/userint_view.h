// The toolkit's side facing a view backend (the Qt view): read access to the model, the operator
// input entry points, and the table of functions through which the model tells the view what changed.
// The application never includes this header.
#pragma once

#include "platform/userint/userint.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

// What the model tells the view. Every member may be null.
//
// The change reports (panelLoaded .. activeControlChanged) come after the model changed, on whatever
// thread changed it (the program thread, see below), with the model's mutex held: they must only note
// what changed and return; the view reads the model later, under UiModel_Mutex, when it paints.
// The popups are called without the mutex and may wait for the operator; a view that paints on a
// thread of its own shows them there while the calling program thread waits (see QtView_OnQtThread).
// A new modal dialog is one more member of this kind plus its toolkit function in userint.h.
struct UiBackend {
    int (*init)(int argc, char *argv[]);             // 1 on success
    void (*panelLoaded)(int panel);                  // build the widgets for a new panel
    void (*panelVisibility)(int panel);              // shown, hidden, installed or removed as popup
    void (*controlChanged)(int panel, int control);  // value or any attribute changed
    void (*chartChanged)(int panel, int control);    // points added or axis range changed
    // The program made a control the active one (SetActiveCtrl); the operator's own input that makes
    // a control active is not reported, the view already has it there.
    void (*activeControlChanged)(int panel, int control);
    int (*runLoop)(void);  // without a program thread: runs until quitLoop
    void (*quitLoop)(int code);
    void (*messagePopup)(const char *title, const char *message);  // modal, returns when closed
    // Modal box with `count` buttons (1..3); returns the 1-based button pressed, `count` when closed.
    int (*genericMessagePopup)(const char *title, const char *message, const char *const *buttons, int count);
    // Modal file dialog; fills pathName (MAX_PATHNAME_LEN bytes), returns a VAL_..._SELECTED result.
    int (*fileSelectPopup)(const char *defaultDirectory, const char *defaultFileSpec, const char *title,
                           int buttonLabel, int restrictExtension, int allowMakeDirectory, char *pathName);
    // Shows the document in the help window and returns without waiting: 1 when it could be read.
    int (*helpWindow)(const char *title, const char *path);
    // The control as shown, as PNG bytes; 0 or UIE_NO_VIEW. Called without the mutex, like a popup.
    int (*controlImagePng)(int panel, int control, std::string *png);
};
// Sets the backend before InitUserInterface; null returns to headless operation.
void SetUiBackend(const UiBackend *backend);

// ---- the program thread --------------------------------------------------------------------------
// A view that must keep painting while a callback waits on the serial line runs the program routine
// on a program thread of its own: every callback then runs there, one at a time, in the order the
// input came in, and RunUserInterface on that thread waits for queued input. Every toolkit function
// may be called from any thread; one mutex guards the model. Without a program thread, input is
// delivered at once on the calling thread (headless tests, a view used on its own thread).

// Starts routine(argc, argv) on the program thread; `finished` (may be null) is called there with the
// routine's result after it returned. 1, or 0 when a program thread is already running.
int UiProgram_Start(int (*routine)(int, char **), int argc, char **argv, void (*finished)(int result));
// Waits for the program thread to end and returns the routine's result (-1 when none was started).
int UiProgram_Join(void);
// 1 while the program routine runs on its thread.
int UiProgram_Running(void);
// 1 when the calling thread is the program thread.
int UiProgram_OnProgramThread(void);
// 1 when the program waits for input: its event loop runs, nothing is queued and no callback runs;
// also 1 when no program thread runs.
int UiProgram_Idle(void);

// Hands one piece of operator input on (panel, control) to the program: `input` (a UiOperator_ call)
// runs on the program thread after all input before it; without a program thread it runs at once, or,
// while a callback runs, right after that callback. Afterwards the view is told the control changed,
// so a widget the operator moved shows what the model holds even when the input was refused. Input on
// a control a running callback takes as its stop (StopRequested) is never run. control 0: the input
// belongs to no control (a menu item).
void UiOperator_Queue(int panel, int control, std::function<void()> input);
// A timer's tick, as input; dropped while a tick of the same timer waits or its callback runs.
void UiOperator_QueueTimerTick(int panel, int control);
// The operator asks to close a panel's window: EVENT_CLOSE as input, and a stop for a running callback.
void UiOperator_QueueClose(int panel);

// ---- read access to the model --------------------------------------------------------------------
// The model's mutex (recursive). Each function below takes it for itself; a view holds it around a
// series of reads that must fit together (a whole repaint). Never hold it while waiting for another
// thread.
std::recursive_mutex &UiModel_Mutex(void);
// Handles of the loaded panels in load order.
std::vector<int> UiModel_Panels(void);
// The catalogue entry a loaded panel was built from (null for an unknown handle).
const PanelDef *UiModel_PanelDef(int panel);
int UiModel_PanelParent(int panel);   // 0 for top level
int UiModel_PanelVisible(int panel);  // shown or installed as popup
int UiModel_PanelIsPopup(int panel);
// The catalogue entry of a control (null when unknown).
const CtrlDef *UiModel_CtrlDef(int panel, int control);
// The control's current value as the model holds it, full precision.
double UiModel_NumericValue(int panel, int control);
std::string UiModel_TextValue(int panel, int control);
// Index of the ring item whose value is the control's value; -1 when no item has it (a value set by
// code that the ring does not offer is kept and shown as the number).
int UiModel_RingIndex(int panel, int control);
// The value as the control shows it: numbers with the current precision and a decimal point,
// rings as the label of the current item, text as is (Windows-1252).
std::string UiModel_DisplayText(int panel, int control);
// The items of a ring or combo box: the label shown in its list, and for a combo box the text a pick
// puts into the field ("" for a ring). Empty for other kinds.
struct UiListItem {
    std::string label, value;
    bool operator==(const UiListItem &) const = default;
};
std::vector<UiListItem> UiModel_ListItems(int panel, int control);
// Strip chart screen: the last points (oldest first), axis mode and range.
std::vector<double> UiModel_ChartPoints(int panel, int control);

// What a strip chart shows now. Points are numbered from the chart's first point on and keep their
// number; kept are [keptFirst, total), on screen [first, end).
struct UiChartState {
    long long first = 0, end = 0;
    long long keptFirst = 0, total = 0;
    int pointsPerScreen = 200;
    int paused = 0;
    double lo = 0.0, hi = 10.0;  // value axis, shown units (autoscale: the points on screen)
    unsigned revision = 0;       // changes when kept points change otherwise than by appending
    int stepTraces = 0;
    std::string yName, xName, traceNames, note;
    std::vector<long long> marks;  // marked points on screen
};
// 0, or UIE_BAD_PANEL, UIE_BAD_CONTROL, UIE_TYPE_MISMATCH.
int UiModel_ChartState(int panel, int control, UiChartState *state);

// One pixel column of the screen: the points p with floor(p * pixelsPerPoint) == column, in shown units.
struct UiChartColumn {
    long long column;
    double lo[kChartTraces], hi[kChartTraces];  // not a number when the trace has no value here
    double first[kChartTraces], last[kChartTraces];
    unsigned joined;  // bit t: trace t runs on from the column before
};
// The columns of the points [from, to) that hold points; the cost grows with their number, never
// with the history's length beyond them.
std::vector<UiChartColumn> UiModel_ChartColumns(int panel, int control, long long from, long long to,
                                                double pixelsPerPoint);
// How many of the points [from, to) have a value on trace 0.
long long UiModel_ChartFiniteCount(int panel, int control, long long from, long long to);
// Point `index` with its shown values: 0, or UIE_BAD_VALUE when it is not kept (or as above).
int UiModel_ChartPoint(int panel, int control, long long index, ChartPoint *raw, double shown[kChartTraces]);

// ---- operator input (the view and the test API both come through here) ----------------------------
// The same contracts as the UiTest_ functions of userint.h.
int UiOperator_Enter(int panel, int control, double value);
int UiOperator_EnterText(int panel, int control, const char *text);
int UiOperator_Press(int panel, int control);
// Picks item `index` of a ring, or of a combo box (which then holds the item's text).
int UiOperator_PickRingIndex(int panel, int control, int index);
int UiOperator_TimerTick(int panel, int control);
int UiOperator_ClosePanel(int panel);
int UiOperator_ChooseMenuItem(int panel, int menuItem);
// Scrolls a held strip chart `points` back in time (negative: forward), no further than its kept
// points; raises no event, so the view calls it directly. 0, UIE_BAD_PANEL, UIE_BAD_CONTROL,
// UIE_TYPE_MISMATCH (not a strip chart), UIE_BAD_VALUE (the chart is not held).
int UiOperator_ScrollChart(int panel, int control, long long points);
