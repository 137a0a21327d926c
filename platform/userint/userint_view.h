// The toolkit's side facing a view backend (the Qt view): read access to the model, the operator
// input entry points, and the table of functions through which the model tells the view what changed.
// The application never includes this header.
#pragma once

#include "platform/userint/userint.h"

#include <string>
#include <vector>

// What the model tells the view. Every member may be null. The model calls them after it changed.
struct UiBackend {
    int (*init)(int argc, char *argv[]);                 // 1 on success
    void (*panelLoaded)(int panel);                      // build the widgets for a new panel
    void (*panelVisibility)(int panel);                  // shown, hidden, installed or removed as popup
    void (*controlChanged)(int panel, int control);      // value or any attribute changed: repaint now
    void (*chartChanged)(int panel, int control);        // points added or axis range changed
    void (*activeControlChanged)(int panel, int control);
    int (*runLoop)(void);                                // runs until quitLoop; returns the code
    void (*quitLoop)(int code);
    void (*messagePopup)(const char *title, const char *message);   // modal, returns when closed
    // Modal box with `count` buttons (1..3); returns the 1-based button pressed, `count` when closed.
    int (*genericMessagePopup)(const char *title, const char *message, const char *const *buttons, int count);
    // Modal file dialog; fills pathName (MAX_PATHNAME_LEN bytes), returns a VAL_..._SELECTED result.
    int (*fileSelectPopup)(const char *defaultDirectory, const char *defaultFileSpec, const char *title,
                           int buttonLabel, int restrictExtension, int allowMakeDirectory, char *pathName);
};
// Sets the backend before InitUserInterface; null returns to headless operation.
void SetUiBackend(const UiBackend *backend);

// ---- read access to the model --------------------------------------------------------------------
// Handles of the loaded panels in load order.
std::vector<int> UiModel_Panels(void);
// The catalogue entry a loaded panel was built from (null for an unknown handle).
const PanelDef *UiModel_PanelDef(int panel);
int UiModel_PanelParent(int panel);                      // 0 for top level
int UiModel_PanelVisible(int panel);                     // shown or installed as popup
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
// Strip chart screen: the last points (oldest first), axis mode and range.
std::vector<double> UiModel_ChartPoints(int panel, int control);

// ---- operator input (the view and the test API both come through here) ----------------------------
// The same contracts as the UiTest_ functions of userint.h.
int UiOperator_Enter(int panel, int control, double value);
int UiOperator_EnterText(int panel, int control, const char *text);
int UiOperator_Press(int panel, int control);
int UiOperator_PickRingIndex(int panel, int control, int index);
int UiOperator_TimerTick(int panel, int control);
int UiOperator_ClosePanel(int panel);
int UiOperator_ChooseMenuItem(int panel, int menuItem);
