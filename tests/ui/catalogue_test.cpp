// The panel file as the toolkit loads it: numbering, start values, ranges and texts (the layout is
// checked on the real widgets in tests/qt).
#include "ui/TLX1Steuerung.h"

#include "platform/userint/userint_view.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

class Catalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        UiTest_Reset();
        TLX1Steuerung_PanelDateiRegistrieren();
        ASSERT_GT(main = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL), 0);
        ASSERT_GT(about = LoadPanel(main, TLX1STEUERUNG_UIR, ABOUTPANEL), 0);
        ASSERT_GT(konfig = LoadPanel(main, TLX1STEUERUNG_UIR, KONFIGPNL), 0);
        ASSERT_GT(schnitt = LoadPanel(main, TLX1STEUERUNG_UIR, SCHNITTPNL), 0);
        ASSERT_GT(analyse = LoadPanel(main, TLX1STEUERUNG_UIR, ANALYSEPNL), 0);
    }
    void TearDown() override { UiTest_Reset(); }

    double Attr(int p, int c, int a)
    {
        double v = NAN;
        EXPECT_EQ(GetCtrlAttribute(p, c, a, &v), 0) << c;
        return v;
    }
    std::string Text(int p, int c, int a)
    {
        std::string s;
        EXPECT_EQ(GetCtrlAttribute(p, c, a, &s), 0);
        return s;
    }
    int main = 0, about = 0, konfig = 0, schnitt = 0, analyse = 0;
};

TEST_F(Catalogue, ControlsAreNumberedFromTwoInTableOrder)
{
    // clang-format off
    const std::pair<int, std::vector<std::string>> panels[] = {
        {main, {"TEXTMSG", "PANTEIL", "IANTEIL", "DANTEIL", "STELLMIN", "STELLMAX", "ANFANGSSOLLWERT", "ANSTIEGSZEIT",
                "BETRIEBSART", "LESEN", "SCHREIBEN", "VERBINDEN", "STELLWERT", "SOLLWERT", "ISTWERT", "GRAPHZOOMMIN",
                "GRAPHZOOMMAX", "GRAPHZOOMZURUECK", "TEXTMSG_3", "ADRESSE", "PORT", "LED1", "LED2", "LED3", "LED4",
                "LED5", "LED6", "LED7", "LED8", "SCANN", "IDLESEN", "FEHLERLED", "FEHLERSTRING", "FEHLERNUMMER",
                "TEXTMSG_2", "TIMER", "TEXT", "IDSTRING", "DECORATION", "DECORATION_2", "DECORATION_3",
                "ANFANGSSOLLWERTEINHEI", "ANSTEIGSZEITEINHEIT", "STELLWERTEINHEIT", "ISTWERTEINHEIT",
                "SOLLWERTEINHEIT", "STRIPCHART", "ZOOMMINEINHEIT", "ZOOMMAXEINHEIT", "TEXTMSG_4", "ZEITSPANNE",
                "ANHALTEN", "AUFZEICHNUNG", "SPRUENGE"}},
        {konfig, {"TEXTMSG", "SKALMIN_VOLT", "SKALMAX_VOLT", "TEXTMSG_2", "SKALMIN_UMGERECHNET", "SKALMAX_UMGERECHNET",
                  "SKAL_EINHEIT", "AUFSTANDARDWERTE", "ABBRUCH", "OK"}},
        {about, {"TEXTMSG", "VERSION", "DATUM", "TEXTMSG_4", "TEXTMSG_5", "OK", "PICTURE", "PROGRAMMVERSION"}},
        {schnitt, {"TEXTMSG", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "QUELLE1", "QUELLE2",
                   "QUELLE3", "QUELLE4", "QUELLE5", "QUELLE6", "QUELLE7", "QUELLE8", "HINWEIS", "WIEDERVERBINDEN",
                   "ABBRUCH", "OK"}},
        {analyse, {"TEXT", "STELLALT", "STELLNEU", "DAUER", "STARTEN", "STATUS", "DIAGRAMM", "K", "T", "L", "R2",
                   "REGEL", "TAUC", "P", "I", "D", "UEBERNEHMEN", "SCHLIESSEN"}},
    };
    // clang-format on
    for (const auto &[handle, names] : panels) {
        const PanelDef *def = UiModel_PanelDef(handle);
        ASSERT_EQ(def->controlCount, int(names.size()));
        for (int i = 0; i < def->controlCount; ++i) {
            EXPECT_EQ(def->controls[i].id, i + 2);
            EXPECT_EQ(def->controls[i].constantName, names[i]) << "id " << i + 2;
        }
    }
}

TEST_F(Catalogue, ControlsStartWithTheirValuesRangesDigitsAndDimming)
{
    struct Row {
        int panel, control;
        double start, min, max, incr;
        int digits;
    };
    const double inf = HUGE_VAL;
    // clang-format off
    const Row rows[] = {
        {main, PANEL_PANTEIL, 0, -99999, 99999, 1, 4},      {main, PANEL_IANTEIL, 1, -99999, 99999, 1, 4},
        {main, PANEL_DANTEIL, 0, -99999, 99999, 0.001, 4},  {main, PANEL_STELLMIN, 0, 0, 10, 1, 3},
        {main, PANEL_STELLMAX, 10, 0, 10, 1, 3},            {main, PANEL_ANFANGSSOLLWERT, 0, 0, 10, 1, 3},
        {main, PANEL_ANSTIEGSZEIT, 1000, 0, 1000, 1, 3},    {main, PANEL_STELLWERT, 0, 0, 10, 1, 3},
        {main, PANEL_SOLLWERT, 0, 0, 10, 1, 3},             {main, PANEL_ISTWERT, 0, -inf, inf, 1, 3},
        {main, PANEL_GRAPHZOOMMIN, 0, -inf, inf, 1, 2},     {main, PANEL_GRAPHZOOMMAX, 10, -inf, inf, 1, 2},
        {konfig, KONFIGPNL_SKALMIN_VOLT, 0, -inf, inf, 1, 3}, {konfig, KONFIGPNL_SKALMAX_VOLT, 10, -inf, inf, 1, 3},
        {konfig, KONFIGPNL_SKALMIN_UMGERECHNET, 0, -inf, inf, 1, 3},
        {konfig, KONFIGPNL_SKALMAX_UMGERECHNET, 10, -inf, inf, 1, 3},
    };
    // clang-format on
    for (const auto &r : rows) {
        double v = NAN;
        EXPECT_EQ(GetCtrlVal(r.panel, r.control, &v), 0);
        const auto a = [&](int attr) { return Attr(r.panel, r.control, attr); };
        const std::vector got = {v, a(ATTR_MIN_VALUE), a(ATTR_MAX_VALUE), a(ATTR_INCR_VALUE), a(ATTR_PRECISION)};
        EXPECT_EQ(got, (std::vector<double>{r.start, r.min, r.max, r.incr, double(r.digits)})) << r.control;
    }
    int mode = -1;  // the value axis: manual, 0 to 10
    double lo = NAN, hi = NAN;
    EXPECT_EQ(Attr(main, PANEL_TIMER, ATTR_ENABLED), 1);
    EXPECT_EQ(Attr(main, PANEL_TIMER, ATTR_INTERVAL), 0.1);
    EXPECT_EQ(Attr(main, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN), 200);
    GetAxisScalingMode(main, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ((std::vector<double>{double(mode), lo, hi}), (std::vector<double>{VAL_MANUAL, 0, 10}));
    EXPECT_EQ(SetCtrlVal(main, PANEL_FEHLERNUMMER, INT_MIN), 0);
    EXPECT_EQ(UiModel_NumericValue(main, PANEL_FEHLERNUMMER), INT_MIN) << "the error number takes every int";

    for (int handle : {main, konfig, about, schnitt}) {
        const PanelDef *def = UiModel_PanelDef(handle);
        for (int i = 0; i < def->controlCount; ++i) {
            const int id = def->controls[i].id;
            const bool expected = handle == main && (id == PANEL_ISTWERT || id == PANEL_ISTWERTEINHEIT);
            EXPECT_EQ(Attr(handle, id, ATTR_DIMMED), expected) << def->controls[i].constantName;
        }
    }
}

TEST_F(Catalogue, RingValuesAreDataAndTheUnitFieldRefusesASixthCharacter)
{
    struct Pick {
        int control;
        const char *label;
        double value;
    };
    const Pick picks[] = {
        {PANEL_ADRESSE, "alle", 9},
        {PANEL_ADRESSE, "1", 1},
        {PANEL_PORT, "COM 1", 1},
        {PANEL_PORT, "COM 8", 8},
        {PANEL_BETRIEBSART, "Stellbetrieb", 3.0},
        {PANEL_BETRIEBSART, "Analoger Sollwert", 2.0},
    };
    EXPECT_EQ(UiModel_DisplayText(main, PANEL_BETRIEBSART), "Digitaler Sollwert") << "a ring starts on its first item";
    for (const auto &p : picks) {
        EXPECT_EQ(UiTest_Enter(main, p.control, p.label), 0) << p.label;
        EXPECT_EQ(UiModel_NumericValue(main, p.control), p.value) << p.label;
    }
    EXPECT_EQ(UiModel_TextValue(konfig, KONFIGPNL_SKAL_EINHEIT), "V");
    SetCtrlAttribute(konfig, KONFIGPNL_SKAL_EINHEIT, ATTR_MAX_ENTRY_LENGTH, 5);
    EXPECT_EQ(UiTest_Enter(konfig, KONFIGPNL_SKAL_EINHEIT, "mbar/s"), 0);
    EXPECT_EQ(UiModel_TextValue(konfig, KONFIGPNL_SKAL_EINHEIT), "mbar/");
}

TEST_F(Catalogue, TextsAreWindows1252BytesWithTheirLineBreaks)
{
    EXPECT_EQ(Text(main, PANEL_STELLMIN, ATTR_LABEL_TEXT), "min. Stellgr\xF6\xDF"
                                                           "e [V]");
    EXPECT_EQ(Text(main, PANEL_ANFANGSSOLLWERT, ATTR_LABEL_TEXT), "Sollwert beim\nEinschalten");
    EXPECT_EQ(Text(main, PANEL_ANSTIEGSZEIT, ATTR_LABEL_TEXT), "max. Anstiegsgeschwindigkeit\ndes Sollwertes");
    EXPECT_EQ(Text(konfig, KONFIGPNL_AUFSTANDARDWERTE, ATTR_LABEL_TEXT), "auf Standardwerte zur\xFC"
                                                                         "cksetzen");
    EXPECT_EQ(UiModel_TextValue(about, ABOUTPANEL_TEXTMSG_5),
              "Mit TLX1-Steuerung k\xF6nnen die Regelparameter\neines TLX-1 Regelmoduls eingestellt werden.");
    EXPECT_EQ(std::string(UiModel_PanelDef(about)->title), "\xDC"
                                                           "ber TLX1-Steuerung");
    EXPECT_EQ(UiModel_DisplayText(main, PANEL_VERBINDEN), "verbinden");
    SetCtrlVal(main, PANEL_VERBINDEN, 1);
    EXPECT_EQ(UiModel_DisplayText(main, PANEL_VERBINDEN), "trennen");
    EXPECT_EQ(Text(main, PANEL_STRIPCHART, ATTR_YNAME) + "|" + Text(main, PANEL_STRIPCHART, ATTR_XNAME),
              "Istwert [V]|4 s / div");
    EXPECT_EQ(Text(main, PANEL_STELLMAX, ATTR_CALLBACK_NAME), "Callback_Main_Numerics_Parametereingabe");
    EXPECT_EQ(Text(main, PANEL_ANFANGSSOLLWERT, ATTR_CALLBACK_NAME), "");
    const MenuBarDef *bar = UiModel_PanelDef(main)->menuBar;
    ASSERT_TRUE(bar && bar->menuCount == 4);
    EXPECT_EQ(std::string(bar->menus[0].title) + "|" + bar->menus[1].title + "|" + bar->menus[2].title + "|" +
                  bar->menus[3].title,
              "Datei|Konfiguration|Analyse|?");
    EXPECT_STREQ(bar->menus[0].items[1].text, "Parametersatz speichern");
}
