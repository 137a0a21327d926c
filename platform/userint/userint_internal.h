// Private to the panel toolkit: the model's state and the helpers its source files share.
#pragma once

#include "platform/userint/userint_view.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace uimodel {

// A strip chart's kept points and how it shows them (userint_chart.cpp).
struct ChartData {
    std::vector<ChartPoint> ring;  // grows to kChartHistory, then point p sits at ring[p % kChartHistory]
    long long total = 0;           // points plotted so far
    long long cleared = 0;         // points before this one are forgotten (ClearStripChart)
    double rawRef = 0.0, shownRef = 0.0, factor = 1.0;
    unsigned revision = 0;
    std::string traceNames;
    int stepTraces = 0;
    std::deque<long long> marks;
    std::string note;
    int paused = 0;
    long long pausedEnd = 0;  // end of the held screen
};

struct Control {
    const CtrlDef *def = nullptr;
    double value = 0.0;                   // numeric, ring, toggle, LED; integer controls hold whole numbers
    std::string text;                     // string controls, combo boxes and text messages
    std::vector<std::string> itemLabels;  // rings (from the catalogue, relabelled at run time), combo boxes
    std::vector<std::string> itemTexts;   // combo boxes: what a pick puts into the field
    double minValue = 0.0, maxValue = 0.0, increment = 1.0;
    int precision = 0;
    int dimmed = 0, visible = 1;
    int maxEntryLength = -1;  // string controls; -1 unlimited
    int onColor = VAL_GREEN, offColor = VAL_DK_GRAY;
    std::string onText, offText, label, tooltip;
    std::shared_ptr<ChartData> chart;  // strip charts
    int pointsPerScreen = 100;
    int yMode = VAL_MANUAL;
    double yMin = 0.0, yMax = 10.0;
    std::string yName, xName;
    double interval = 1.0;  // timer seconds
    int enabled = 0;        // timer running
};

struct Panel {
    int handle = 0;
    const PanelDef *def = nullptr;
    int parent = 0;
    int visible = 0;
    int popup = 0;
    int activeCtrl = 0;
    int menuBar = 0;  // menu bar handle, 0 when the panel has none
    std::vector<Control> controls;
};

struct PanelFile {
    std::string name;
    const PanelDef *panels;
    int count;
};

struct Callback {
    std::string name;
    CtrlCallbackPtr ctrl;
    PanelCallbackPtr panel;
    MenuCallbackPtr menu;
};

struct State {
    bool initialised = false;
    const UiBackend *backend = nullptr;
    std::vector<PanelFile> files;
    std::vector<Callback> callbacks;
    std::vector<std::unique_ptr<Panel>> panels;  // load order; pointers stay valid while callbacks run
    int nextPanelHandle = 1;
    int nextMenuBarHandle = 1;
    std::vector<int> popupStack;  // installed popups, topmost last
    int dialogsWaiting = 0;       // message or file popups waiting for the operator
    std::deque<std::pair<int, std::string>> fileAnswers;
    std::deque<int> messageAnswers;
    std::vector<UiTestPopup> popups;
    std::function<void()> runScript;
    bool running = false;
    bool quitRequested = false;
    int quitCode = 0;
};

// The one model, built on first use (no work at load time).
State &S();
void ResetState();

// Every toolkit function holds the model's mutex while it touches the model; callbacks and the
// backend's popups run without it, so the view can paint while they take their time.
class ModelLock {
public:
    ModelLock() : lock_(UiModel_Mutex()) {}
    void unlock() { lock_.unlock(); }

private:
    std::unique_lock<std::recursive_mutex> lock_;
};

// Calls a callback, with the model's mutex released by the caller. Marks it as running, so that
// input arriving meanwhile waits for it and StopRequested can see what came in after it began.
int RunCallback(const std::function<int()> &call);
// Drops queued input and the stop bookkeeping (UiTest_Reset).
void ResetProgramQueue();
// The program thread's event loop (RunUserInterface there); QuitUserInterface there ends it.
int ProgramLoop();
bool ProgramQuit(int code);

Panel *FindPanel(int handle);
Control *FindControl(Panel *panel, int id);
const MenuItemDef *FindMenuItem(const Panel &panel, int itemId);

// Callbacks by name from the installed table (null when the table lacks the name or its kind).
CtrlCallbackPtr CtrlCallbackByName(const char *name);
PanelCallbackPtr PanelCallbackByName(const char *name);
MenuCallbackPtr MenuCallbackByName(const char *name);

bool IsIntegerControl(const Control &c);
bool IsNumericKind(CtrlKind kind);
bool IsStringKind(CtrlKind kind);        // string controls and combo boxes
bool IsOnOffKind(CtrlKind kind);         // 0/1 controls: toggle buttons, check boxes, LEDs
bool TakesOperatorInput(CtrlKind kind);  // fields, rings, buttons, combo and check boxes
// Number into the control's range (integer controls also rounded to a whole int); NaN passes.
double Coerce(const Control &c, double v);
// Text cut to the control's maximum entry length.
std::string CutToEntryLength(const Control &c, const char *text);
// Number as a control shows it: fixed decimals with a point, "NaN", "Inf", "-Inf".
std::string FormatFixed(double v, int precision);
std::string FormatShortest(double v);
std::string FormatInt(double v);

// Tell the view (if any) what changed.
void NotifyControl(int panel, int control);
void NotifyChart(int panel, int control);
void NotifyVisibility(int panel);
void NotifyActive(int panel, int control);

}  // namespace uimodel
