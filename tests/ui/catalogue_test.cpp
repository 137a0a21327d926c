// The panel file as the toolkit loads it: numbering, start values, ranges, texts, layout.
#include "ui/TLX1Steuerung.h"

#include "platform/userint/userint_view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <set>
#include <string>

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiTest_Reset();
        TLX1Steuerung_PanelDateiRegistrieren();
        main = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL);
        about = LoadPanel(main, TLX1STEUERUNG_UIR, ABOUTPANEL);
        konfig = LoadPanel(main, TLX1STEUERUNG_UIR, KONFIGPNL);
        ASSERT_GT(main, 0);
        ASSERT_GT(about, 0);
        ASSERT_GT(konfig, 0);
    }
    void TearDown() override { UiTest_Reset(); }

    double Attr(int panel, int control, int attribute)
    {
        double v = NAN;
        EXPECT_EQ(GetCtrlAttribute(panel, control, attribute, &v), 0) << control;
        return v;
    }
    int main = 0, about = 0, konfig = 0;
};

TEST_F(Catalogue, ControlsAreNumberedFromTwoInTableOrder)
{
    struct Expect { int panel; int count; std::vector<std::string> names; };
    const Expect expected[] = {
        {PANEL, 50, {"TEXTMSG", "PANTEIL", "IANTEIL", "DANTEIL", "STELLMIN", "STELLMAX", "ANFANGSSOLLWERT",
                     "ANSTIEGSZEIT", "BETRIEBSART", "LESEN", "SCHREIBEN", "VERBINDEN", "STELLWERT", "SOLLWERT",
                     "ISTWERT", "GRAPHZOOMMIN", "GRAPHZOOMMAX", "GRAPHZOOMZURUECK", "TEXTMSG_3", "ADRESSE", "PORT",
                     "LED1", "LED2", "LED3", "LED4", "LED5", "LED6", "LED7", "LED8", "SCANN", "IDLESEN",
                     "FEHLERLED", "FEHLERSTRING", "FEHLERNUMMER", "TEXTMSG_2", "TIMER", "TEXT", "IDSTRING",
                     "DECORATION", "DECORATION_2", "DECORATION_3", "ANFANGSSOLLWERTEINHEI", "ANSTEIGSZEITEINHEIT",
                     "STELLWERTEINHEIT", "ISTWERTEINHEIT", "SOLLWERTEINHEIT", "STRIPCHART", "ZOOMMINEINHEIT",
                     "ZOOMMAXEINHEIT", "TEXTMSG_4"}},
        {KONFIGPNL, 10, {"TEXTMSG", "SKALMIN_VOLT", "SKALMAX_VOLT", "TEXTMSG_2", "SKALMIN_UMGERECHNET",
                         "SKALMAX_UMGERECHNET", "SKAL_EINHEIT", "AUFSTANDARDWERTE", "ABBRUCH", "OK"}},
        {ABOUTPANEL, 7, {"TEXTMSG", "VERSION", "DATUM", "TEXTMSG_4", "TEXTMSG_5", "OK", "PICTURE"}},
    };
    for (const auto &e : expected) {
        const int handle = e.panel == PANEL ? main : e.panel == KONFIGPNL ? konfig : about;
        const PanelDef *def = UiModel_PanelDef(handle);
        ASSERT_NE(def, nullptr);
        EXPECT_EQ(def->resourceId, e.panel);
        ASSERT_EQ(def->controlCount, e.count);
        for (int i = 0; i < e.count; ++i) {
            EXPECT_EQ(def->controls[i].id, i + 2);
            EXPECT_EQ(def->controls[i].constantName, e.names[i]) << "id " << i + 2;
        }
    }
    EXPECT_EQ(PANEL_PANTEIL, 3);
    EXPECT_EQ(PANEL_STRIPCHART, 48);
    EXPECT_EQ(KONFIGPNL_OK, 11);
    EXPECT_EQ(ABOUTPANEL_OK, 7);
    EXPECT_EQ(PANEL_ANFANGSSOLLWERTEINHEI, 43);
    EXPECT_EQ(PANEL_ANSTEIGSZEITEINHEIT, 44);
}

TEST_F(Catalogue, NumericFieldsStartWithTheirValuesRangesAndDigits)
{
    struct Row { int control; double start, min, max, incr; int digits; };
    const Row rows[] = {
        {PANEL_PANTEIL, 0, -99999, 99999, 1, 4},        {PANEL_IANTEIL, 1, -99999, 99999, 1, 4},
        {PANEL_DANTEIL, 0, -99999, 99999, 0.001, 4},    {PANEL_STELLMIN, 0, 0, 10, 1, 3},
        {PANEL_STELLMAX, 10, 0, 10, 1, 3},              {PANEL_ANFANGSSOLLWERT, 0, 0, 10, 1, 3},
        {PANEL_ANSTIEGSZEIT, 1000, 0, 1000, 1, 3},      {PANEL_STELLWERT, 0, 0, 10, 1, 3},
        {PANEL_SOLLWERT, 0, 0, 10, 1, 3},               {PANEL_ISTWERT, 0, -HUGE_VAL, HUGE_VAL, 1, 3},
        {PANEL_GRAPHZOOMMIN, 0, -HUGE_VAL, HUGE_VAL, 1, 2}, {PANEL_GRAPHZOOMMAX, 10, -HUGE_VAL, HUGE_VAL, 1, 2},
    };
    for (const auto &r : rows) {
        double v = NAN;
        EXPECT_EQ(GetCtrlVal(main, r.control, &v), 0);
        EXPECT_EQ(v, r.start) << r.control;
        EXPECT_EQ(Attr(main, r.control, ATTR_MIN_VALUE), r.min) << r.control;
        EXPECT_EQ(Attr(main, r.control, ATTR_MAX_VALUE), r.max) << r.control;
        EXPECT_EQ(Attr(main, r.control, ATTR_INCR_VALUE), r.incr) << r.control;
        EXPECT_EQ(Attr(main, r.control, ATTR_PRECISION), r.digits) << r.control;
    }
    for (int c : {KONFIGPNL_SKALMIN_VOLT, KONFIGPNL_SKALMAX_VOLT, KONFIGPNL_SKALMIN_UMGERECHNET,
                  KONFIGPNL_SKALMAX_UMGERECHNET}) {
        EXPECT_EQ(Attr(konfig, c, ATTR_MIN_VALUE), -HUGE_VAL);
        EXPECT_EQ(Attr(konfig, c, ATTR_MAX_VALUE), HUGE_VAL);
        EXPECT_EQ(Attr(konfig, c, ATTR_PRECISION), 3);
    }
    EXPECT_EQ(UiModel_DisplayText(main, PANEL_DANTEIL), "0.0000");

    // The error number takes every int: the error display shows -code.
    int n = 0;
    EXPECT_EQ(SetCtrlVal(main, PANEL_FEHLERNUMMER, INT_MAX), 0);
    EXPECT_EQ(GetCtrlVal(main, PANEL_FEHLERNUMMER, &n), 0);
    EXPECT_EQ(n, INT_MAX);
    SetCtrlVal(main, PANEL_FEHLERNUMMER, INT_MIN);
    GetCtrlVal(main, PANEL_FEHLERNUMMER, &n);
    EXPECT_EQ(n, INT_MIN);
}

TEST_F(Catalogue, OnlyIstwertAndItsUnitStartDimmed)
{
    for (int handle : {main, konfig, about}) {
        const PanelDef *def = UiModel_PanelDef(handle);
        for (int i = 0; i < def->controlCount; ++i) {
            const int id = def->controls[i].id;
            int dimmed = -1;
            GetCtrlAttribute(handle, id, ATTR_DIMMED, &dimmed);
            const bool expected = handle == main && (id == PANEL_ISTWERT || id == PANEL_ISTWERTEINHEIT);
            EXPECT_EQ(dimmed, expected ? 1 : 0) << def->constantName << " " << def->controls[i].constantName;
        }
    }
}

TEST_F(Catalogue, RingValuesAreDataNotPositions)
{
    struct Pick { int control; const char *label; double value; };
    const Pick picks[] = {
        {PANEL_ADRESSE, "alle", 9}, {PANEL_ADRESSE, "1", 1}, {PANEL_PORT, "COM 1", 1}, {PANEL_PORT, "COM 8", 8},
        {PANEL_BETRIEBSART, "Stellbetrieb", 3.0}, {PANEL_BETRIEBSART, "Analoger Sollwert", 2.0},
    };
    EXPECT_EQ(UiModel_DisplayText(main, PANEL_ADRESSE), "1") << "a ring starts on its first item";
    EXPECT_EQ(UiModel_DisplayText(main, PANEL_BETRIEBSART), "Digitaler Sollwert");
    for (const auto &p : picks) {
        EXPECT_EQ(UiTest_Enter(main, p.control, p.label), 0) << p.label;
        double v = 0;
        GetCtrlVal(main, p.control, &v);
        EXPECT_EQ(v, p.value) << p.label;
    }
    int address = 0;
    UiOperator_PickRingIndex(main, PANEL_ADRESSE, 8);
    EXPECT_EQ(GetCtrlVal(main, PANEL_ADRESSE, &address), 0);
    EXPECT_EQ(address, 9);

    // A module may report a mode the ring does not offer: kept, shown as the number.
    EXPECT_EQ(SetCtrlVal(main, PANEL_BETRIEBSART, 4.0), 0);
    EXPECT_EQ(UiModel_DisplayText(main, PANEL_BETRIEBSART), "4");
}

TEST_F(Catalogue, UnitFieldRefusesASixthCharacter)
{
    EXPECT_EQ(UiModel_TextValue(konfig, KONFIGPNL_SKAL_EINHEIT), "V");
    EXPECT_EQ(SetCtrlAttribute(konfig, KONFIGPNL_SKAL_EINHEIT, ATTR_MAX_ENTRY_LENGTH, 5), 0);
    EXPECT_EQ(UiTest_Enter(konfig, KONFIGPNL_SKAL_EINHEIT, "mbar/s"), 0);
    EXPECT_EQ(UiModel_TextValue(konfig, KONFIGPNL_SKAL_EINHEIT), "mbar/");
}

TEST_F(Catalogue, TextsAreWindows1252BytesWithTheirLineBreaks)
{
    auto label = [](int panel, int control) {
        std::string s;
        EXPECT_EQ(GetCtrlAttribute(panel, control, ATTR_LABEL_TEXT, &s), 0);
        return s;
    };
    EXPECT_EQ(label(main, PANEL_STELLMIN), "min. Stellgr\xF6\xDF" "e [V]");
    EXPECT_EQ(label(main, PANEL_STELLMIN).size(), 19u);
    EXPECT_EQ(label(main, PANEL_ANFANGSSOLLWERT), "Sollwert beim\nEinschalten");
    EXPECT_EQ(label(main, PANEL_ANSTIEGSZEIT), "max. Anstiegsgeschwindigkeit\ndes Sollwertes");
    EXPECT_EQ(label(konfig, KONFIGPNL_AUFSTANDARDWERTE), "auf Standardwerte zur\xFC" "cksetzen");
    EXPECT_EQ(label(konfig, KONFIGPNL_SKAL_EINHEIT), "(Einheit)");
    EXPECT_EQ(label(main, PANEL_ADRESSE), "TLX-1 Adresse");
    EXPECT_EQ(UiModel_TextValue(about, ABOUTPANEL_TEXTMSG_5),
              "Mit TLX1-Steuerung k\xF6nnen die Regelparameter\neines TLX-1 Regelmoduls eingestellt werden.");
    EXPECT_EQ(UiModel_TextValue(main, PANEL_TEXT), "Text Message");
    EXPECT_EQ(UiModel_TextValue(main, PANEL_TEXTMSG_3), "COM-Einstellungen");
    EXPECT_EQ(UiModel_TextValue(main, PANEL_ISTWERTEINHEIT), "[V]");
    EXPECT_EQ(std::string(UiModel_PanelDef(about)->title), "\xDC" "ber TLX1-Steuerung");
    EXPECT_EQ(std::string(UiModel_PanelDef(main)->title), "TLX-1 Steuerung");
    EXPECT_EQ(UiModel_DisplayText(main, PANEL_VERBINDEN), "verbinden");
    SetCtrlVal(main, PANEL_VERBINDEN, 1);
    EXPECT_EQ(UiModel_DisplayText(main, PANEL_VERBINDEN), "trennen");
}

TEST_F(Catalogue, TimerAndStripChartAsDesigned)
{
    int enabled = 0, points = 0, mode = -1;
    double lo = NAN, hi = NAN;
    GetCtrlAttribute(main, PANEL_TIMER, ATTR_ENABLED, &enabled);
    EXPECT_EQ(enabled, 1);
    EXPECT_EQ(Attr(main, PANEL_TIMER, ATTR_INTERVAL), 0.1);
    GetCtrlAttribute(main, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, &points);
    EXPECT_EQ(points, 200);
    GetAxisScalingMode(main, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ(mode, VAL_MANUAL);
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 10.0);
    std::string y, x;
    GetCtrlAttribute(main, PANEL_STRIPCHART, ATTR_YNAME, &y);
    GetCtrlAttribute(main, PANEL_STRIPCHART, ATTR_XNAME, &x);
    EXPECT_EQ(y, "Istwert [V]");
    EXPECT_EQ(x, "4 s / div");
}

TEST_F(Catalogue, CallbacksAreNamedAsTheProgramDefinesThem)
{
    const std::vector<std::string> names = {
        "Callback_Info_Button_Ok", "Callback_Konfig_Button_Abbruch", "Callback_Konfig_Button_AufStandardwerte",
        "Callback_Konfig_Button_Ok", "Callback_MainAndKonfig_Panel", "Callback_Main_ButtonLesen",
        "Callback_Main_Button_IDLesen", "Callback_Main_Button_Scann", "Callback_Main_Button_Schreiben",
        "Callback_Main_MultipleControls_Graphzoom", "Callback_Main_Numeric_Sollwert",
        "Callback_Main_Numeric_Stellwert", "Callback_Main_Numerics_Parametereingabe",
        "Callback_Main_Ring_Betriebsart", "Callback_Main_Timer", "Callback_Main_Togglebutton_Verbinden",
        "Callback_Menu_Beenden", "Callback_Menu_Info", "Callback_Menu_Laden", "Callback_Menu_Skalieren",
        "Callback_Menu_Speichern",
    };
    EXPECT_EQ(MissingCallbackNames(), names);
    EXPECT_EQ(UiModel_PanelDef(about)->panelCallbackName, nullptr);
    std::string cb;
    GetCtrlAttribute(main, PANEL_ANFANGSSOLLWERT, ATTR_CALLBACK_NAME, &cb);
    EXPECT_EQ(cb, "");
    GetCtrlAttribute(main, PANEL_STELLMAX, ATTR_CALLBACK_NAME, &cb);
    EXPECT_EQ(cb, "Callback_Main_Numerics_Parametereingabe");
}

TEST_F(Catalogue, MenuBarOfTheMainPanel)
{
    static int chosen = 0;
    static const CallbackEntry table[] = {
        {"Callback_Menu_Beenden", nullptr, nullptr, [](int, int item, void *, int) { chosen = item; }},
    };
    InstallCallbackTable(table, 1);
    const MenuBarDef *bar = UiModel_PanelDef(main)->menuBar;
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->id, MENUBAR);
    ASSERT_EQ(bar->menuCount, 3);
    EXPECT_STREQ(bar->menus[0].title, "Datei");
    EXPECT_STREQ(bar->menus[1].title, "Konfiguration");
    EXPECT_STREQ(bar->menus[2].title, "?");
    EXPECT_STREQ(bar->menus[0].items[1].text, "Parametersatz speichern");
    EXPECT_EQ(bar->menus[0].items[2].separator, 1);
    EXPECT_STREQ(bar->menus[1].items[0].text, "Skalieren...");
    EXPECT_STREQ(bar->menus[2].items[0].text, "Info...");
    EXPECT_EQ(UiTest_ChooseMenuItem(main, MENUBAR_DATEI_BEENDEN), 0);
    EXPECT_EQ(chosen, MENUBAR_DATEI_BEENDEN);
    EXPECT_EQ(UiModel_PanelDef(about)->menuBar, nullptr);
}

// The view places each control where the catalogue says, with a field's label above it (or to its
// right), about 7 pixels per character and 18 per line: no body or label may overlap another or stick
// out of the panel, and each group's controls sit inside its frame.
namespace {
struct Rect {
    int top, left, bottom, right;
};

bool Overlap(Rect a, Rect b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

Rect Body(const CtrlDef &c)
{
    return {c.top, c.left, c.top + c.height, c.left + c.width};
}

// Where the label of a field, ring or LED goes; an empty rectangle when the control has none.
Rect LabelOf(const CtrlDef &c)
{
    const bool separate = c.kind == CTRL_NUMERIC || c.kind == CTRL_NUMERIC_INDICATOR || c.kind == CTRL_STRING ||
                          c.kind == CTRL_STRING_INDICATOR || c.kind == CTRL_RING || c.kind == CTRL_LED;
    if (!separate || !c.label || !*c.label)
        return {0, 0, 0, 0};
    int lines = 1, longest = 0, run = 0;
    for (const char *p = c.label; *p; ++p) {
        if (*p == '\n') {
            ++lines;
            run = 0;
        } else {
            longest = std::max(longest, ++run);
        }
    }
    const int w = 7 * longest, h = 18 * lines;
    if (c.labelPosition == LABEL_RIGHT)
        return {c.top, c.left + c.width + 2, c.top + c.height, c.left + c.width + 2 + w};
    const int left = c.kind == CTRL_LED ? c.left + c.width / 2 - w / 2 : c.left;
    return {c.top - h, left, c.top, left + w};
}
}  // namespace

TEST_F(Catalogue, LayoutIsTidy)
{
    for (int handle : {main, konfig, about}) {
        const PanelDef *def = UiModel_PanelDef(handle);
        std::vector<std::pair<std::string, Rect>> shapes;
        for (int i = 0; i < def->controlCount; ++i) {
            const CtrlDef &c = def->controls[i];
            if (c.kind == CTRL_DECORATION || c.hidden)
                continue;
            shapes.emplace_back(c.constantName, Body(c));
            const Rect l = LabelOf(c);
            if (l.right > l.left)
                shapes.emplace_back(std::string(c.constantName) + " label", l);
        }
        for (size_t i = 0; i < shapes.size(); ++i) {
            const Rect a = shapes[i].second;
            EXPECT_TRUE(a.top >= 0 && a.left >= 0 && a.bottom <= def->height && a.right <= def->width)
                << def->constantName << " " << shapes[i].first;
            for (size_t j = i + 1; j < shapes.size(); ++j)
                EXPECT_FALSE(Overlap(a, shapes[j].second)) << shapes[i].first << " / " << shapes[j].first;
        }
    }
    struct Group { int frame; int first, last; };
    const Group groups[] = {
        {PANEL_DECORATION, PANEL_TEXTMSG, PANEL_SCHREIBEN},
        {PANEL_DECORATION_2, PANEL_TEXTMSG_3, PANEL_IDLESEN},
        {PANEL_DECORATION_3, PANEL_GRAPHZOOMMIN, PANEL_GRAPHZOOMZURUECK},
        {PANEL_DECORATION_3, PANEL_ZOOMMINEINHEIT, PANEL_TEXTMSG_4},
    };
    for (const auto &g : groups) {
        const Rect f = Body(*UiModel_CtrlDef(main, g.frame));
        for (int id = g.first; id <= g.last; ++id) {
            const CtrlDef &c = *UiModel_CtrlDef(main, id);
            for (Rect r : {Body(c), LabelOf(c)}) {
                if (r.right > r.left) {
                    EXPECT_TRUE(r.top > f.top && r.left > f.left && r.bottom < f.bottom && r.right < f.right)
                        << c.constantName;
                }
            }
        }
    }
}
