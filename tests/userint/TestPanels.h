// A small panel file that has one control of every kind, and a recorder for the events it raises.
#pragma once

#include "platform/userint/userint_view.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

enum { P_MAIN = 1, P_POPUP = 2 };
enum {
    C_NUM = 2,
    C_INT,
    C_STR,
    C_RING,
    C_TOGGLE,
    C_LED,
    C_TIMER,
    C_CHART,
    C_BUTTON,
    C_FREE,
    C_MSG,
    C_STRIND,
    C_COMBO,
    C_CHECK,
    C_NUMIND
};
enum { M_BAR = 1, M_FILE, M_FILE_OPEN, M_FILE_SEP, M_FILE_QUIT };

struct Event {
    int panel, control, event;
    double valueSeen;  // the control's value when the callback ran
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

// A control with two decimals and no entry limit, placed below the one before it.
inline CtrlDef Ctrl(int id, CtrlKind kind, DataType type, double lo, double hi, const char *cb, double start = 0,
                    const char *text = nullptr, const char *on = nullptr, const char *off = nullptr, double extra = 0)
{
    return {id, "C", kind,    type, "", start, text, lo,  hi,    1,  2, nullptr, 0,
            cb, 0,   10 * id, 0,    8,  8,     on,   off, extra, -1, 0, 0,       LABEL_ABOVE};
}

inline void RegisterTestPanels()
{
    static CtrlDef main[] = {
        Ctrl(C_NUM, CTRL_NUMERIC, VAL_DOUBLE, -10, 10, "OnCtrl"),
        Ctrl(C_INT, CTRL_NUMERIC, VAL_INTEGER, 0, 100, "OnCtrl"),
        Ctrl(C_STR, CTRL_STRING, VAL_STRING, 0, 0, "OnCtrl", 0, "V"),
        Ctrl(C_RING, CTRL_RING, VAL_DOUBLE, -HUGE_VAL, HUGE_VAL, "OnCtrl", 1.5),
        Ctrl(C_TOGGLE, CTRL_TOGGLE_BUTTON, VAL_INTEGER, 0, 1, "OnCtrl", 0, nullptr, "an", "aus"),
        Ctrl(C_LED, CTRL_LED, VAL_INTEGER, 0, 1, nullptr),
        Ctrl(C_TIMER, CTRL_TIMER, VAL_NO_TYPE, 0, 0, "OnCtrl", 1, nullptr, nullptr, nullptr, 0.1),
        Ctrl(C_CHART, CTRL_STRIP_CHART, VAL_DOUBLE, 0, 10, nullptr, 0, nullptr, "y", "x", 5),
        Ctrl(C_BUTTON, CTRL_COMMAND_BUTTON, VAL_NO_TYPE, 0, 0, "Missing_Button"),
        Ctrl(C_FREE, CTRL_NUMERIC, VAL_DOUBLE, -HUGE_VAL, HUGE_VAL, nullptr),
        Ctrl(C_MSG, CTRL_TEXT_MSG, VAL_STRING, 0, 0, nullptr, 0, "Hinweis"),
        Ctrl(C_STRIND, CTRL_STRING_INDICATOR, VAL_STRING, 0, 0, nullptr),
        Ctrl(C_COMBO, CTRL_COMBO_BOX, VAL_STRING, 0, 0, "OnCtrl", 0, "COM"),
        Ctrl(C_CHECK, CTRL_CHECK_BOX, VAL_INTEGER, 0, 1, "OnCtrl"),
        Ctrl(C_NUMIND, CTRL_NUMERIC_INDICATOR, VAL_DOUBLE, -HUGE_VAL, HUGE_VAL, nullptr),
    };
    main[C_COMBO - 2].maxEntryLength = 8;
    main[C_STR - 2].maxEntryLength = 5;
    main[C_RING - 2].items = kTestRing;
    main[C_RING - 2].itemCount = 2;
    static const CtrlDef popup[] = {Ctrl(2, CTRL_COMMAND_BUTTON, VAL_NO_TYPE, 0, 0, "OnCtrl")};
    static constexpr MenuItemDef items[] = {{M_FILE_OPEN, "OPEN",
                                             "\xD6"
                                             "ffnen",
                                             0, "OnMenu"},
                                            {M_FILE_SEP, "SEP", nullptr, 1, nullptr},
                                            {M_FILE_QUIT, "QUIT", "Ende", 0, "Missing_Menu"}};
    static constexpr MenuDef menus[] = {{M_FILE, "FILE", "Datei", items, 3}};
    static constexpr MenuBarDef bar = {M_BAR, menus, 1};
    static const PanelDef panels[] = {
        {P_MAIN, "MAIN", "Test", "OnPanel", 400, 300, main, std::size(main), &bar},
        {P_POPUP, "POPUP", "Popup", nullptr, 100, 100, popup, 1, nullptr},
    };
    RegisterPanelFile("test.uir", panels, 2);
}

// "Missing_Menu" names a control callback where a menu callback is needed.
constexpr CallbackEntry kTestCallbacks[] = {{"OnCtrl", OnCtrl, nullptr, nullptr},
                                            {"OnPanel", nullptr, OnPanel, nullptr},
                                            {"OnMenu", nullptr, nullptr, OnMenu},
                                            {"Missing_Menu", OnCtrl, nullptr, nullptr}};

class Toolkit : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiTest_Reset();
        gEvents.clear();
        gMenuCalls.clear();
        RegisterTestPanels();
        InstallCallbackTable(kTestCallbacks, 4);
        ASSERT_GT(panel = LoadPanel(0, "test.uir", P_MAIN), 0);
    }
    void TearDown() override { UiTest_Reset(); }

    // A control's value or a double attribute; -999 when the toolkit refuses it.
    double Num(int c)
    {
        double v = -999;
        GetCtrlVal(panel, c, &v);
        return v;
    }
    double Attr(int c, int attribute)
    {
        double v = -999;
        GetCtrlAttribute(panel, c, attribute, &v);
        return v;
    }
    std::string Shown(int control) { return UiModel_DisplayText(panel, control); }

    int panel = 0;
};
