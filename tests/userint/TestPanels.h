// A small panel file that has one control of every kind, and a recorder for the events it raises.
#pragma once

#include "platform/userint/userint_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

enum { P_MAIN = 1, P_POPUP = 2 };
enum {
    C_NUM = 2, C_INT, C_STR, C_RING, C_TOGGLE, C_LED, C_TIMER, C_CHART, C_BUTTON, C_FREE, C_MSG, C_STRIND,
};
enum { M_BAR = 1, M_FILE, M_FILE_OPEN, M_FILE_SEP, M_FILE_QUIT };

struct Event {
    int panel, control, event;
    double valueSeen;   // the control's value when the callback ran
    bool operator==(const Event &) const = default;
};

inline std::vector<Event> gEvents;
inline std::vector<int> gMenuCalls;

inline int OnCtrl(int panel, int control, int event, void *, int, int)
{
    gEvents.push_back({panel, control, event, UiModel_NumericValue(panel, control)});
    return 0;
}

inline int OnPanel(int panel, int event, void *, int, int)
{
    gEvents.push_back({panel, 0, event, 0});
    return 0;
}

inline void OnMenu(int menuBar, int menuItem, void *, int panel)
{
    gMenuCalls = {menuBar, menuItem, panel};
}

constexpr RingItemDef kTestRing[] = {{"eins komma f\xFCnf", 1.5}, {"zwei komma f\xFCnf", 2.5}};

inline CtrlDef Ctrl(int id, CtrlKind kind, DataType type, double lo, double hi, const char *cb)
{
    CtrlDef d{};
    d.id = id;
    d.constantName = "C";
    d.kind = kind;
    d.dataType = type;
    d.label = "";
    d.minValue = lo;
    d.maxValue = hi;
    d.increment = 1;
    d.precision = 2;
    d.callbackName = cb;
    d.maxEntryLength = -1;
    d.top = 10 * id;
    d.width = d.height = 8;
    return d;
}

inline const CtrlDef *MainControls()
{
    static CtrlDef c[] = {
        Ctrl(C_NUM, CTRL_NUMERIC, VAL_DOUBLE, -10, 10, "OnCtrl"),
        Ctrl(C_INT, CTRL_NUMERIC, VAL_INTEGER, 0, 100, "OnCtrl"),
        Ctrl(C_STR, CTRL_STRING, VAL_STRING, 0, 0, "OnCtrl"),
        Ctrl(C_RING, CTRL_RING, VAL_DOUBLE, -HUGE_VAL, HUGE_VAL, "OnCtrl"),
        Ctrl(C_TOGGLE, CTRL_TOGGLE_BUTTON, VAL_INTEGER, 0, 1, "OnCtrl"),
        Ctrl(C_LED, CTRL_LED, VAL_INTEGER, 0, 1, nullptr),
        Ctrl(C_TIMER, CTRL_TIMER, VAL_NO_TYPE, 0, 0, "OnCtrl"),
        Ctrl(C_CHART, CTRL_STRIP_CHART, VAL_DOUBLE, 0, 10, nullptr),
        Ctrl(C_BUTTON, CTRL_COMMAND_BUTTON, VAL_NO_TYPE, 0, 0, "Missing_Button"),
        Ctrl(C_FREE, CTRL_NUMERIC, VAL_DOUBLE, -HUGE_VAL, HUGE_VAL, nullptr),
        Ctrl(C_MSG, CTRL_TEXT_MSG, VAL_STRING, 0, 0, nullptr),
        Ctrl(C_STRIND, CTRL_STRING_INDICATOR, VAL_STRING, 0, 0, nullptr),
    };
    c[C_STR - 2].maxEntryLength = 5;
    c[C_STR - 2].startText = "V";
    c[C_RING - 2].items = kTestRing;
    c[C_RING - 2].itemCount = 2;
    c[C_RING - 2].startValue = 1.5;
    c[C_TOGGLE - 2].onText = "an";
    c[C_TOGGLE - 2].offText = "aus";
    c[C_TIMER - 2].startValue = 1;
    c[C_TIMER - 2].extra = 0.1;
    c[C_CHART - 2].extra = 5;
    c[C_CHART - 2].onText = "y";
    c[C_CHART - 2].offText = "x";
    c[C_MSG - 2].startText = "Hinweis";
    return c;
}

constexpr MenuItemDef kFileItems[] = {
    {M_FILE_OPEN, "OPEN", "\xD6" "ffnen", 0, "OnMenu"},
    {M_FILE_SEP, "SEP", nullptr, 1, nullptr},
    {M_FILE_QUIT, "QUIT", "Ende", 0, "Missing_Menu"},
};
constexpr MenuDef kTestMenus[] = {{M_FILE, "FILE", "Datei", kFileItems, 3}};
constexpr MenuBarDef kTestMenuBar = {M_BAR, kTestMenus, 1};

inline const CtrlDef *PopupControls()
{
    static CtrlDef c[] = {Ctrl(2, CTRL_COMMAND_BUTTON, VAL_NO_TYPE, 0, 0, "OnCtrl")};
    return c;
}

inline void RegisterTestPanels()
{
    static PanelDef panels[2];
    panels[0] = {P_MAIN, "MAIN", "Test", "OnPanel", 400, 300, MainControls(), 12, &kTestMenuBar};
    panels[1] = {P_POPUP, "POPUP", "Popup", nullptr, 100, 100, PopupControls(), 1, nullptr};
    RegisterPanelFile("test.uir", panels, 2);
}

constexpr CallbackEntry kTestCallbacks[] = {
    {"OnCtrl", OnCtrl, nullptr, nullptr},
    {"OnPanel", nullptr, OnPanel, nullptr},
    {"OnMenu", nullptr, nullptr, OnMenu},
    {"Missing_Menu", OnCtrl, nullptr, nullptr},   // a control callback where a menu callback is needed
};

class Toolkit : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiTest_Reset();
        gEvents.clear();
        gMenuCalls.clear();
        RegisterTestPanels();
        InstallCallbackTable(kTestCallbacks, 4);
        panel = LoadPanel(0, "test.uir", P_MAIN);
        ASSERT_GT(panel, 0);
    }
    void TearDown() override { UiTest_Reset(); }

    double Num(int control)
    {
        double v = -999;
        EXPECT_EQ(GetCtrlVal(panel, control, &v), 0);
        return v;
    }
    std::string Shown(int control) { return UiModel_DisplayText(panel, control); }

    int panel = 0;
};
