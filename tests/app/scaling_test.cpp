// Applying a scaling: converted values, ranges, unit labels, chart axis and decimals on the main
// panel, and the conversions themselves.
#include "AppFixture.h"

#include "app/TLX1Func.h"

#include <cmath>

TEST(Umrechnung, ConversionsComputeTheFactorFirst)
{
    const KonfigStruktur alt = gKonfig;
    KonfigstrukturAufStandardwerte();
    EXPECT_EQ(Umrechnen_VoltZuBenutzereinheit(3.3), 3.3);
    EXPECT_EQ(Umrechnen_BenutzereinheitZuVolt(3.3), 3.3);

    // 0..3 V as 0..1: the factor 1/3 is rounded before the product, which gives a different last
    // bit than (v - vmin) * (emax - emin) / (vmax - vmin).
    gKonfig = {0.0, 3.0, 0.0, 1.0, "x"};
    const double faktor = 1.0 / 3.0;
    for (double v : {0.1, 2.9, 7.0})
        EXPECT_EQ(Umrechnen_VoltZuBenutzereinheit(v), v * faktor) << v;
    gKonfig = {10.0, 0.0, 0.0, 100.0, "%"};
    EXPECT_EQ(Umrechnen_VoltZuBenutzereinheit(0.0), 100.0);
    EXPECT_EQ(Umrechnen_VoltZuBenutzereinheit(10.0), 0.0);
    EXPECT_EQ(Umrechnen_BenutzereinheitZuVolt(25.0), 7.5);
    gKonfig = alt;
}

TEST_F(AppTest, PercentScalingRescalesTheMainPanel)
{
    runProgram([] {
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 5.0);
        applyScaling(0, 10, 0, 100, "%");
        EXPECT_FALSE(UiTest_IsVisible(konfigpanelHandle));
        EXPECT_EQ(num(panelHandle, PANEL_SOLLWERT), 50.0);
        EXPECT_EQ(minValue(panelHandle, PANEL_SOLLWERT), 0.0);
        EXPECT_EQ(maxValue(panelHandle, PANEL_SOLLWERT), 100.0);
        EXPECT_EQ(maxValue(panelHandle, PANEL_ANFANGSSOLLWERT), 100.0);
        EXPECT_EQ(minValue(panelHandle, PANEL_ANSTIEGSZEIT), 0.0);
        EXPECT_EQ(maxValue(panelHandle, PANEL_ANSTIEGSZEIT), 10000.0);
        EXPECT_EQ(num(panelHandle, PANEL_ANSTIEGSZEIT), 10000.0);
        EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), 100.0);
        for (int label : {PANEL_ANFANGSSOLLWERTEINHEI, PANEL_SOLLWERTEINHEIT, PANEL_ISTWERTEINHEIT,
                          PANEL_ZOOMMINEINHEIT, PANEL_ZOOMMAXEINHEIT})
            EXPECT_EQ(text(panelHandle, label), "[%]") << label;
        EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[%/s]");
        EXPECT_EQ(text(panelHandle, PANEL_STELLWERTEINHEIT), "[V]") << "the output stays in volts";
        EXPECT_EQ(attrText(panelHandle, PANEL_STRIPCHART, ATTR_YNAME), "Istwert [%]");
        int mode = -1;
        double lo = 0, hi = 0;
        GetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
        EXPECT_EQ(mode, VAL_MANUAL);
        EXPECT_EQ(lo, 0.0);
        EXPECT_EQ(hi, 100.0);
        for (int c : {PANEL_ANFANGSSOLLWERT, PANEL_SOLLWERT, PANEL_ISTWERT})
            EXPECT_EQ(precision(panelHandle, c), 2) << c;
        EXPECT_EQ(precision(panelHandle, PANEL_ANSTIEGSZEIT), 3) << "the slope keeps its decimals";

        // Applying the same scaling again changes nothing.
        applyScaling(0, 10, 0, 100, "%");
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_SOLLWERT), 50.0);
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

TEST_F(AppTest, FallingScalingGivesOrderedRangesAndAxis)
{
    runProgram([] {
        UiTest_Enter(panelHandle, PANEL_SOLLWERT, 2.5);
        applyScaling(0, 10, 100, 0, "%");
        EXPECT_EQ(num(panelHandle, PANEL_SOLLWERT), 75.0);
        EXPECT_EQ(minValue(panelHandle, PANEL_SOLLWERT), 0.0);
        EXPECT_EQ(maxValue(panelHandle, PANEL_SOLLWERT), 100.0);
        // The zoom fields keep their converted, now reversed values; the axis is put in order.
        EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMIN), 100.0);
        EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), 0.0);
        int mode = -1;
        double lo = 0, hi = 0;
        GetAxisScalingMode(panelHandle, PANEL_STRIPCHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
        EXPECT_EQ(lo, 0.0);
        EXPECT_EQ(hi, 100.0);
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

TEST_F(AppTest, OffsetScalingShiftsTheSlopeToo)
{
    runProgram([] {
        UiTest_Enter(panelHandle, PANEL_ANSTIEGSZEIT, 0.0);
        applyScaling(0, 10, 20, 120, "mbar");
        EXPECT_EQ(num(panelHandle, PANEL_ANSTIEGSZEIT), 20.0);
        EXPECT_EQ(minValue(panelHandle, PANEL_ANSTIEGSZEIT), 20.0);
        EXPECT_EQ(maxValue(panelHandle, PANEL_ANSTIEGSZEIT), 10020.0);
        EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[mbar/s]");
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

// Decimals of the setpoint fields follow the span of the unit across 0 V to 10 V.
TEST_F(AppTest, DecimalsFollowTheSpan)
{
    const struct {
        double span;
        int decimals;
    } faelle[] = {{0.1, 5}, {1, 4}, {10, 3}, {100, 2}, {1000, 1}, {10000, 0}, {1e9, 0}, {4.095, 3}, {1e-30, 15}};
    runProgram([&] {
        for (const auto &f : faelle) {
            applyScaling(0, 10, 0, f.span, "u");
            EXPECT_EQ(precision(panelHandle, PANEL_SOLLWERT), f.decimals) << f.span;
            EXPECT_EQ(precision(panelHandle, PANEL_ISTWERT), f.decimals) << f.span;
        }
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

TEST_F(AppTest, GainDecimalsFollowTheirMagnitude)
{
    const struct {
        double p;
        int decimals;
    } faelle[] = {{9.99999, 4}, {10, 3}, {-150, 2}, {1000, 1}, {99999, 0}, {-99999, 0}};
    runProgram([&] {
        for (const auto &f : faelle) {
            SetCtrlVal(panelHandle, PANEL_PANTEIL, f.p);
            SetPrecision();
            EXPECT_EQ(precision(panelHandle, PANEL_PANTEIL), f.decimals) << f.p;
        }
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}

TEST_F(AppTest, UnitFieldTakesAtMostFiveCharacters)
{
    runProgram([] {
        applyScaling(0, 10, 0, 10, "mbar/s");
        EXPECT_STREQ(gKonfig.einheit, "mbar/");
        EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[mbar//s]");
        UiTest_ChooseMenuItem(panelHandle, MENUBAR_DATEI_BEENDEN);
    });
}
