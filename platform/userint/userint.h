// Panel toolkit: the operations the application uses on panels, controls, menus and popups.
//
// The model behind these functions holds every panel's state (values, ranges, attributes, visibility,
// the active control, chart points, popups) and is the single source of truth. A view backend (the Qt
// view, see userint_view.h) mirrors it; without a backend the model runs headless, which the tests use
// through the UiTest_ functions at the end of this header.
//
// All texts are single-byte Windows-1252. Handles and control ids are positive ints; a negative result
// is one of the UIE_ codes below.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// ---- results -------------------------------------------------------------------------------------
enum {
    UIE_NO_ERROR = 0,
    UIE_NOT_INITIALISED = -1,    // InitUserInterface was not called
    UIE_BAD_PANEL = -2,          // no panel with this handle
    UIE_BAD_CONTROL = -3,        // no control with this id on the panel
    UIE_TYPE_MISMATCH = -4,      // value or attribute of the wrong data type for the control
    UIE_BAD_ATTRIBUTE = -5,      // attribute not offered by this kind of control
    UIE_PANEL_FILE = -6,         // panel file or resource not found
    UIE_BAD_MENU = -7,           // no menu bar or menu item with this id
    UIE_NO_POPUP = -8,           // RemovePopup with no popup installed
    UIE_BUFFER_TOO_SMALL = -9,   // text value does not fit the caller's buffer (it is cut, zero-terminated)
    UIE_BAD_VALUE = -10,         // NaN where a number is needed, no ring item with this value, bad interval
    UIE_BLOCKED_BY_POPUP = -11,  // operator input to a panel below an installed modal popup
    UIE_NO_VIEW = -12,           // no view shows the control (headless), or it could not be drawn
};

// ---- events --------------------------------------------------------------------------------------
enum {
    EVENT_NONE = 0,
    EVENT_COMMIT,      // operator entered a value, pressed a button, chose a ring item
    EVENT_CLOSE,       // operator asked to close the panel (panel callbacks)
    EVENT_GOT_FOCUS,   // panel callbacks
    EVENT_LOST_FOCUS,  // panel callbacks
    EVENT_TIMER_TICK,  // timer controls
};

// Control callback: returns 0 (the event is never swallowed).
typedef int (*CtrlCallbackPtr)(int panel, int control, int event, void *callbackData, int eventData1, int eventData2);
// Panel callback: EVENT_CLOSE, EVENT_GOT_FOCUS, EVENT_LOST_FOCUS.
typedef int (*PanelCallbackPtr)(int panel, int event, void *callbackData, int eventData1, int eventData2);
// Menu item callback: called on every selection of the item.
typedef void (*MenuCallbackPtr)(int menuBar, int menuItem, void *callbackData, int panel);

// ---- control kinds and data types (used by the panel catalogue) -----------------------------------
enum CtrlKind {
    CTRL_NUMERIC,            // editable number (double or integer)
    CTRL_NUMERIC_INDICATOR,  // number shown, not editable
    CTRL_STRING,             // editable text
    CTRL_STRING_INDICATOR,   // text shown, not editable
    CTRL_TEXT_MSG,           // label text; its value is the text
    CTRL_RING,               // list of items, each with a label and a value (integer or double)
    CTRL_COMMAND_BUTTON,
    CTRL_TOGGLE_BUTTON,  // integer 0/1, with an off text and an on text
    CTRL_LED,            // integer 0/1, with an on-colour
    CTRL_TIMER,          // invisible; sends EVENT_TIMER_TICK every interval while enabled
    CTRL_STRIP_CHART,    // one trace, scrolling screen of N points
    CTRL_DECORATION,     // frame
    CTRL_PICTURE,
    CTRL_COMBO_BOX,  // editable text with a list of choices the program fills (a label and a text each)
    CTRL_CHECK_BOX,  // integer 0/1, its label beside the box
    CTRL_TABLE,      // text shown as a table: rows separated by '\n', cells by '\t', the first row the header
};

enum DataType { VAL_NO_TYPE, VAL_DOUBLE, VAL_INTEGER, VAL_STRING };

// Where a field's, ring's or LED's label sits next to its body (buttons and text messages carry their
// text inside). Above is the usual place; to the right lets a row of fields read as one sentence.
enum LabelPosition { LABEL_ABOVE, LABEL_RIGHT, LABEL_LEFT };

// Keys that press a command button from anywhere on its panel (CtrlDef::panelKeys, may be combined):
// Enter where the focused control does not take it itself, Escape likewise.
enum { VAL_ENTER_KEY = 1, VAL_ESCAPE_KEY = 2 };

// What a control does when the operator enlarges a resizable panel: it keeps its place and size, or
// takes the extra width, height or both (its top left corner stays).
enum Growth { GROW_NONE = 0, GROW_WIDTH = 1, GROW_HEIGHT = 2 };

// ---- attributes ----------------------------------------------------------------------------------
enum {
    ATTR_DIMMED = 1,         // int 0/1: disabled for operator input
    ATTR_VISIBLE,            // int 0/1
    ATTR_PRECISION,          // int: decimals shown by a numeric control (display only)
    ATTR_MIN_VALUE,          // double (or int for integer controls): lower end of the range
    ATTR_MAX_VALUE,          // double (or int): upper end of the range
    ATTR_INCR_VALUE,         // double: step of the arrows
    ATTR_MAX_ENTRY_LENGTH,   // int: most characters a string control takes; -1 unlimited
    ATTR_ON_COLOR,           // int 0xRRGGBB: LED colour when on
    ATTR_OFF_COLOR,          // int 0xRRGGBB: LED colour when off
    ATTR_ON_TEXT,            // text: toggle button text when on
    ATTR_OFF_TEXT,           // text: toggle button text when off
    ATTR_LABEL_TEXT,         // text: the control's label
    ATTR_DATA_TYPE,          // int DataType (read only)
    ATTR_CTRL_KIND,          // int CtrlKind (read only)
    ATTR_YNAME,              // text: strip chart value axis name
    ATTR_XNAME,              // text: strip chart time axis name
    ATTR_POINTS_PER_SCREEN,  // int: strip chart screen width in points
    ATTR_INTERVAL,           // double seconds: timer interval
    ATTR_ENABLED,            // int 0/1: timer running
    ATTR_CALLBACK_NAME,      // text (read only): the callback name the catalogue gives
    ATTR_TOOLTIP,            // text: what the view shows when the pointer rests on the control or its label
};

// Colours as 0xRRGGBB.
enum { VAL_BLACK = 0x000000, VAL_RED = 0xFF0000, VAL_GREEN = 0x00FF00, VAL_DK_GRAY = 0x808080 };

// Strip chart axes and scaling modes.
enum { VAL_LEFT_YAXIS = 1, VAL_BOTTOM_XAXIS = 2 };
enum { VAL_MANUAL = 0, VAL_AUTOSCALE = 1 };

// File popups.
enum { VAL_OK_BUTTON = 0, VAL_SAVE_BUTTON = 1, VAL_SELECT_BUTTON = 2, VAL_LOAD_BUTTON = 3 };
enum { VAL_NO_FILE_SELECTED = 0, VAL_EXISTING_FILE_SELECTED = 1, VAL_NEW_FILE_SELECTED = 2 };
enum { MAX_PATHNAME_LEN = 1024 };  // size of the buffer FileSelectPopup fills

// ---- panel file: the catalogue a program registers and LoadPanel builds from -----------------------
struct RingItemDef {
    const char *label;
    double value;  // integer rings hold whole numbers here
};

struct CtrlDef {
    int id;                    // control constant (2, 3, ... in panel order)
    const char *constantName;  // e.g. "PANTEIL", for listings and tests
    CtrlKind kind;
    DataType dataType;
    const char *label;          // Windows-1252, "\n" breaks the line; may be "" or nullptr
    double startValue;          // numeric, ring (the value of the start item), toggle, LED, timer (1 = running)
    const char *startText;      // string controls and text messages; pictures: the image's name
    double minValue, maxValue;  // -HUGE_VAL/+HUGE_VAL for unbounded
    double increment;
    int precision;             // decimals shown at start
    const RingItemDef *items;  // ring items
    int itemCount;
    const char *callbackName;      // nullptr or "" for none
    int dimmed;                    // dimmed at start
    int top, left, width, height;  // the body's position and size in pixels at scale 1 (label outside it)
    const char *onText, *offText;  // toggle buttons; strip chart: onText = value axis name, offText = time axis name
    double extra;                  // timer: interval in seconds; strip chart: points per screen
    int maxEntryLength;            // string controls; -1 unlimited
    int onColor;                   // LED on-colour, 0xRRGGBB
    int hidden = 0;                // not visible at start (ATTR_VISIBLE 0)
    LabelPosition labelPosition = LABEL_ABOVE;
    int panelKeys = 0;       // command buttons: VAL_ENTER_KEY, VAL_ESCAPE_KEY or both
    int growth = GROW_NONE;  // Growth bits, on a resizable panel
};

struct MenuItemDef {
    int id;  // item constant, e.g. MENUBAR_DATEI_BEENDEN
    const char *constantName;
    const char *text;  // nullptr or "" with separator = 1 for a separator line
    int separator;
    const char *callbackName;
    // Key that chooses the item while its panel's window is active, shown beside the item, written
    // "Ctrl+O", "Ctrl+Shift+S", "F1"; nullptr for none.
    const char *shortcut = nullptr;
};

struct MenuDef {
    int id;  // menu constant, e.g. MENUBAR_DATEI
    const char *constantName;
    const char *title;
    const MenuItemDef *items;
    int itemCount;
    // Alt and this character open the menu ('D': Alt+D), marked in the title as it is shown; the
    // title's text stays as it is. 0 for none.
    char mnemonic = 0;
};

struct MenuBarDef {
    int id;  // menu bar constant, e.g. MENUBAR
    const MenuDef *menus;
    int menuCount;
};

struct PanelDef {
    int resourceId;  // ABOUTPANEL 1, KONFIGPNL 2, PANEL 3
    const char *constantName;
    const char *title;
    const char *panelCallbackName;
    int width, height;  // pixels at scale 1
    const CtrlDef *controls;
    int controlCount;
    const MenuBarDef *menuBar;  // nullptr when the panel has none
    int resizable = 0;          // the operator may enlarge it; width and height are its least size
};

// Makes a panel file known under its name, so LoadPanel(parent, fileName, resourceId) finds it. The
// tables are used in place and must stay valid (static data); registering a name again replaces it.
void RegisterPanelFile(const char *fileName, const PanelDef *panels, int panelCount);

// The program's callbacks by the names the catalogue uses. Install before LoadPanel; a name the
// table lacks leaves its control, panel or menu item without a callback.
struct CallbackEntry {
    const char *name;
    CtrlCallbackPtr ctrl;  // exactly one of the three is set
    PanelCallbackPtr panel;
    MenuCallbackPtr menu;
};
void InstallCallbackTable(const CallbackEntry *entries, int count);
// Callback names used by the loaded panels that the installed table does not provide (sorted, unique).
std::vector<std::string> MissingCallbackNames();

// ---- operations ----------------------------------------------------------------------------------
// Starts the toolkit (and the view backend, if one is set). 1 on success, 0 on failure.
int InitUserInterface(int argc, char *argv[]);
// Loads panel resourceId of the registered panel file as a child of parent (0 for top level):
// the handle (> 0), or UIE_PANEL_FILE, UIE_NOT_INITIALISED.
int LoadPanel(int parentPanel, const char *fileName, int resourceId);
// 0, UIE_BAD_PANEL.
int DisplayPanel(int panel);
int HidePanel(int panel);
// Shows the panel as a modal popup: 0, UIE_BAD_PANEL.
int InstallPopup(int panel);
// Removes the topmost popup (all = 0) or every popup (all != 0): 0, UIE_NO_POPUP.
int RemovePopup(int all);

// Typed access to a control's value. Values set by code never raise an event.
// Numbers: numeric controls coerce into their range (integer controls round to a whole int); a double
// control keeps NaN (shown "NaN"); rings keep any value, one no item offers is shown as the number;
// toggles and LEDs take nonzero as 1. Text: cut to a string control's maximum entry length.
// Results: 0, UIE_BAD_PANEL, UIE_BAD_CONTROL, UIE_TYPE_MISMATCH, UIE_BAD_VALUE (NaN for an int value).
int SetCtrlVal(int panel, int control, double value);
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, const char *value);
// Reading: doubles from every number-holding control, ints only from integer ones.
// Results: 0, UIE_BAD_PANEL, UIE_BAD_CONTROL, UIE_TYPE_MISMATCH.
int GetCtrlVal(int panel, int control, double *value);
int GetCtrlVal(int panel, int control, int *value);
// Text value into a buffer of bufferSize bytes, always zero-terminated: 0, UIE_BUFFER_TOO_SMALL (cut),
// UIE_BAD_PANEL, UIE_BAD_CONTROL, UIE_TYPE_MISMATCH.
int GetCtrlVal(int panel, int control, char *buffer, int bufferSize);

// Attributes (see ATTR_ above). Results: 0, UIE_BAD_PANEL, UIE_BAD_CONTROL, UIE_BAD_ATTRIBUTE,
// UIE_TYPE_MISMATCH, UIE_BAD_VALUE (NaN, a timer interval <= 0, points per screen outside 1..100000).
// Setting a range that excludes the current value coerces the value; a limit that crosses the other
// one moves it along, so the range never inverts. Precision is held within 0..15.
int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);
int SetCtrlAttribute(int panel, int control, int attribute, const char *value);
int GetCtrlAttribute(int panel, int control, int attribute, int *value);
int GetCtrlAttribute(int panel, int control, int attribute, double *value);
int GetCtrlAttribute(int panel, int control, int attribute, std::string *value);

// Makes a control the one that takes keyboard input: 0, UIE_BAD_PANEL, UIE_BAD_CONTROL.
int SetActiveCtrl(int panel, int control);
// The active control of the panel, or UIE_BAD_PANEL.
int GetActiveCtrl(int panel);

// Appends one point to a strip chart (the screen keeps the last ATTR_POINTS_PER_SCREEN points; a
// non-finite point is kept and drawn as a gap): 0, UIE_BAD_PANEL, UIE_BAD_CONTROL, UIE_TYPE_MISMATCH.
int PlotStripChartPoint(int panel, int control, double y);
// Value axis (VAL_LEFT_YAXIS) scaling: VAL_MANUAL with min and max, or VAL_AUTOSCALE. min > max is kept
// as given. 0, UIE_BAD_PANEL, UIE_BAD_CONTROL, UIE_TYPE_MISMATCH, UIE_BAD_ATTRIBUTE (other axis),
// UIE_BAD_VALUE (non-finite limit or unknown mode; the axis stays as it was).
int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max);
int GetAxisScalingMode(int panel, int control, int axis, int *mode, double *min, double *max);

// ---- list items of rings and combo boxes ----------------------------------------------------------
// A ring keeps the items and values of its catalogue entry; the program may change their labels. A
// combo box's items are the program's: each has the label shown in the list and the text the field
// takes when the operator picks it. Items are counted from 0.
// Results: 0, UIE_BAD_PANEL, UIE_BAD_CONTROL, UIE_TYPE_MISMATCH (neither a ring nor a combo box, or a
// ring for InsertListItem and ClearListCtrl), UIE_BAD_VALUE (no item at index).
int SetListItemLabel(int panel, int control, int index, const char *label);
// Inserts an item before `index` into a combo box; -1 or an index past the end appends it.
int InsertListItem(int panel, int control, int index, const char *label, const char *value);
// Removes every item of a combo box; its text stays.
int ClearListCtrl(int panel, int control);
int GetNumListItems(int panel, int control, int *count);

// ---- strip chart history and traces --------------------------------------------------------------
// Beyond its screen a strip chart keeps the last kChartHistory points, each with the time it was
// plotted and kChartTraces values in raw units (the program's volts). It shows them converted by a
// straight line (SetStripChartConversion), so a new conversion applies to every kept point alike.
// The operator chooses the span (ATTR_POINTS_PER_SCREEN), holds the screen and scrolls back.
// Results of these functions: 0, UIE_BAD_PANEL, UIE_BAD_CONTROL, UIE_TYPE_MISMATCH (not a strip
// chart), UIE_BAD_VALUE as named.
inline constexpr int kChartTraces = 2;
inline constexpr int kChartHistory = 36000;  // one hour at one point per 0.1 s

struct ChartPoint {
    double time;               // seconds since 1970-01-01 UTC (system clock) when it was plotted
    double raw[kChartTraces];  // raw units; not a number where the trace has no value
};

// Appends one point of `count` values (1..kChartTraces; the other traces get none, drawn as a gap).
// UIE_BAD_VALUE for a count outside 1..kChartTraces.
int PlotStripChartPoints(int panel, int control, const double *values, int count);
// Shown value = (raw - rawRef) * factor + shownRef, for every kept point and every trace; the value
// axis range stays in shown units. UIE_BAD_VALUE for a non-finite number.
int SetStripChartConversion(int panel, int control, double rawRef, double shownRef, double factor);
// The legend's names, one per trace separated by '\n' (Windows-1252), and which traces are drawn as
// steps (bit t for trace t: the value holds until the next point) rather than as straight lines.
int SetStripChartTraces(int panel, int control, const char *names, int stepTraces);
// Forgets every kept point and mark.
int ClearStripChart(int panel, int control);
// Marks the next point to be plotted (the start of a step); the latest 32 marks are drawn.
int MarkStripChart(int panel, int control);
// A few lines of text drawn in the plot's upper left corner ("" for none).
int SetStripChartNote(int panel, int control, const char *text);
// 1 holds the screen where it is while points keep coming (the operator may scroll back), 0 shows
// the newest points again.
int SetStripChartPaused(int panel, int control, int paused);
// Every kept point, oldest first, in raw units.
int GetStripChartHistory(int panel, int control, std::vector<ChartPoint> *points);

// The control as the view shows it now, at its size on screen, as PNG bytes in *png. 0, UIE_BAD_PANEL,
// UIE_BAD_CONTROL, UIE_NO_VIEW (headless, or the control is not shown).
int GetCtrlImagePng(int panel, int control, std::string *png);

// Menu bar of a panel (0 when it has none).
int GetPanelMenuBar(int panel);

// Modal message box with one button; returns when the operator closed it. 0.
int MessagePopup(const char *title, const char *message);
// Modal message box with up to three buttons (button1 is required; null or "" leaves out button2 or
// button3). Lines of the message that hold tab characters are shown as the rows of a table, one column
// per tab-separated cell. Returns the number of the button pressed, 1 to 3; closing the box (Escape,
// close box) counts as the last button given, which should be the one that changes nothing.
int GenericMessagePopup(const char *title, const char *message, const char *button1, const char *button2,
                        const char *button3);
// Modal file dialog. pathName receives the chosen path as the file system spells it, ready for the
// file functions (MAX_PATHNAME_LEN bytes). Returns
// VAL_NO_FILE_SELECTED (cancelled), VAL_EXISTING_FILE_SELECTED or VAL_NEW_FILE_SELECTED.
int FileSelectPopup(const char *defaultDirectory, const char *defaultFileSpec, const char *fileTypeList,
                    const char *title, int buttonLabel, int restrictDirectory, int restrictExtension, int allowCancel,
                    int allowMakeDirectory, char *pathName);

// Shows a Markdown document (the operator manual), with the pictures it names relative to itself, in
// a help window beside the panels; the program goes on at once and the window stays until the operator
// closes it. Shown again, the window comes to the front with the document. path is as the file system
// spells it, title Windows-1252. 0, UIE_PANEL_FILE (the file cannot be read).
int ShowHelpFile(const char *title, const char *path);

// Popups open now: panels installed with InstallPopup, and message or file popups still waiting for
// the operator (a view runs timers while it waits). 0 when none.
int OpenPopupCount(void);

// Runs the event loop until a callback calls QuitUserInterface; returns its code. On the program
// thread (see userint_view.h) it delivers the queued operator input one callback at a time; headless
// it runs the script of UiTest_SetRunScript instead (see there). UIE_NOT_INITIALISED before
// InitUserInterface.
int RunUserInterface(void);
void QuitUserInterface(int code);

// ---- stopping a long callback --------------------------------------------------------------------
// Operator input made while a callback runs waits until the callback has returned. A long callback
// (a bus scan) asks between its steps whether the operator wants it to stop: 1 when input on
// (panel, control) came in after the callback began (that input is then taken as the stop and never
// delivered) or when the operator asked to close a window (that request stays queued and is
// delivered after the callback); else 0. Outside a callback: 0.
int StopRequested(int panel, int control);

// ---- test API: act as the operator on the headless model ------------------------------------------
// Clears every panel, popup, registration, callback table, scripted answer and recorded popup, and
// drops the view backend: a fresh headless toolkit, already initialised, for the next test.
void UiTest_Reset(void);
// Operator types a value into a control and commits it (Enter): the value is coerced into the range
// (text cut to the maximum entry length), the control becomes the active one and EVENT_COMMIT goes to
// its callback. Text typed into a numeric field is read as a number (a comma is the decimal point);
// into a ring it picks the item with that label; a combo box takes it as typed.
// Returns the callback's result, 0 without callback, or: UIE_BAD_PANEL, UIE_BAD_CONTROL (also dimmed,
// hidden and display-only controls), UIE_BLOCKED_BY_POPUP (a modal popup is above the panel),
// UIE_TYPE_MISMATCH (no such input for this kind), UIE_BAD_VALUE (NaN, no number, no such ring item).
int UiTest_Enter(int panel, int control, double value);
int UiTest_Enter(int panel, int control, int value);
int UiTest_Enter(int panel, int control, const char *text);
// Operator presses a command button, or flips a toggle button or check box, or picks the ring item with
// this value, or picks item `index` of a ring or combo box (a combo box then holds the item's text).
// Results as for UiTest_Enter.
int UiTest_Press(int panel, int control);
int UiTest_PickRingValue(int panel, int control, double value);
int UiTest_PickListItem(int panel, int control, int index);
// Delivers EVENT_TIMER_TICK to every enabled timer of every loaded panel (in load order).
void UiTest_TimerTick(void);
// Operator closes the panel's window: EVENT_CLOSE to its panel callback (the panel stays as it is).
// The callback's result, 0, UIE_BAD_PANEL, UIE_BLOCKED_BY_POPUP.
int UiTest_ClosePanel(int panel);
// Operator chooses a menu item of the panel's menu bar: 0, UIE_BAD_PANEL, UIE_BAD_MENU (no such item,
// a separator or a menu title), UIE_BLOCKED_BY_POPUP.
int UiTest_ChooseMenuItem(int panel, int menuItem);

// Scripted answers for the next file popup (a queue; an unanswered popup counts as cancelled).
void UiTest_AnswerNextFilePopup(int result, const char *path);
// Scripted answer for the next GenericMessagePopup: the button number (a queue; an unanswered popup,
// or a number it does not offer, counts as its last button).
void UiTest_AnswerNextMessagePopup(int button);
// Every popup shown so far, in order (the latest 1000).
struct UiTestPopup {
    enum Kind { MESSAGE, FILE_SELECT, HELP } kind;
    std::string title;
    std::string text;                       // message text; for file popups the default file pattern; help: the path
    int buttonLabel;                        // file popups
    std::vector<std::string> buttons = {};  // GenericMessagePopup: the button texts offered
};
std::vector<UiTestPopup> UiTest_Popups(void);
void UiTest_ClearPopups(void);
// Visibility, installed popups and chart points as the model holds them.
int UiTest_IsVisible(int panel);
int UiTest_TopPopup(void);  // handle of the topmost installed popup, 0 when none
std::vector<double> UiTest_ChartPoints(int panel, int control);
// Operator scrolls a held strip chart `points` back in time (negative: forward). Results as
// UiOperator_ScrollChart.
int UiTest_ScrollChart(int panel, int control, long long points);
// A script that RunUserInterface runs headless in place of waiting for real input. When the script
// returns without a QuitUserInterface call, RunUserInterface returns -1 instead of waiting forever.
void UiTest_SetRunScript(std::function<void()> script);
