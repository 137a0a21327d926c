// Applying a scaling: converted values, ranges, unit labels, chart axis and decimals on the main panel.
#include "AppFixture.h"

#include "app/TLX1Func.h"

TEST(Umrechnung, FactorIsComputedFirst)
{
    const KonfigStruktur alt = gKonfig;
    // 0..3 V as 0..1: rounding the factor 1/3 first gives another last bit for 2.9 and 7 than
    // (v - vmin) * (emax - emin) / (vmax - vmin) would.
    gKonfig = {0.0, 3.0, 0.0, 1.0, "x"};
    for (double v : {0.1, 2.9, 7.0})
        EXPECT_EQ(Umrechnen_VoltZuBenutzereinheit(v), v * (1.0 / 3.0)) << v;
    gKonfig = {10.0, 0.0, 0.0, 100.0, "%"};  // falling
    EXPECT_EQ(Umrechnen_VoltZuBenutzereinheit(0.0), 100.0);
    EXPECT_EQ(Umrechnen_BenutzereinheitZuVolt(25.0), 7.5);
    gKonfig = alt;
}

// A percent scaling, then setpoint decimals following the span across 0 V to 10 V, clamped to 0..15,
// and the gains' decimals following their magnitude.
TEST_F(AppTest, PercentScalingAndDecimals)
{
    const std::pair<double, int> spans[] = {{0.1, 5},  {1, 4},     {10, 3},    {100, 2},
                                            {1000, 1}, {10000, 0}, {4.095, 3}, {1e-30, 15}};
    const std::pair<double, int> gains[] = {{9.99999, 4}, {10, 3}, {-150, 2}, {1000, 1}, {99999, 0}};
    run([&] {
        SetCtrlVal(panelHandle, PANEL_SOLLWERT, 5.0);  // as if read from the module
        scale(0, 10, 0, 100, "%");
        EXPECT_FALSE(UiTest_IsVisible(konfigpanelHandle));
        EXPECT_EQ(num(panelHandle, PANEL_SOLLWERT), 50.0);
        EXPECT_EQ(limit(PANEL_ANFANGSSOLLWERT, ATTR_MAX_VALUE), 100.0);
        EXPECT_EQ(limit(PANEL_ANSTIEGSZEIT, ATTR_MAX_VALUE), 10000.0);
        for (int label : {PANEL_ANFANGSSOLLWERTEINHEI, PANEL_SOLLWERTEINHEIT, PANEL_ISTWERTEINHEIT,
                          PANEL_ZOOMMINEINHEIT, PANEL_ZOOMMAXEINHEIT})
            EXPECT_EQ(text(panelHandle, label), "[%]") << label;
        EXPECT_EQ(text(panelHandle, PANEL_ANSTEIGSZEITEINHEIT), "[%/s]");
        EXPECT_EQ(text(panelHandle, PANEL_STELLWERTEINHEIT), "[V]") << "the output stays in volts";
        EXPECT_EQ(axisName(), "Istwert [%]");
        for (int c : {PANEL_ANFANGSSOLLWERT, PANEL_SOLLWERT, PANEL_ISTWERT})
            EXPECT_EQ(precision(c), 2) << c;
        EXPECT_EQ(precision(PANEL_ANSTIEGSZEIT), 3);
        // The same scaling once more changes nothing.
        scale(0, 10, 0, 100, "%");
        EXPECT_DOUBLE_EQ(num(panelHandle, PANEL_SOLLWERT), 50.0);

        for (const auto &[span, decimals] : spans) {
            scale(0, 10, 0, span, "u");
            EXPECT_EQ(precision(PANEL_SOLLWERT), decimals) << span;
        }
        for (const auto &[p, decimals] : gains) {
            SetCtrlVal(panelHandle, PANEL_PANTEIL, p);
            SetPrecision();
            EXPECT_EQ(precision(PANEL_PANTEIL), decimals) << p;
        }
        quit();
    });
}

// Falling and offset scalings: ranges and the chart axis come out in order, the zoom fields keep
// their converted values, the slope is shifted by the offset too.
TEST_F(AppTest, FallingAndOffsetScalings)
{
    const struct {
        double emin, emax, sollwert, slope, slopeMin, slopeMax, zoomMin, zoomMax;
    } cases[] = {{100, 0, 75, 100, -9900, 100, 100, 0}, {20, 120, 45, 20, 20, 10020, 20, 120}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.emin);
        run([&] {
            SetCtrlVal(panelHandle, PANEL_SOLLWERT, 2.5);
            UiTest_Enter(panelHandle, PANEL_ANSTIEGSZEIT, 0.0);
            scale(0, 10, c.emin, c.emax, "u");
            EXPECT_EQ(num(panelHandle, PANEL_SOLLWERT), c.sollwert);
            EXPECT_EQ(limit(PANEL_SOLLWERT, ATTR_MIN_VALUE), std::min(c.emin, c.emax));
            EXPECT_EQ(limit(PANEL_SOLLWERT, ATTR_MAX_VALUE), std::max(c.emin, c.emax));
            EXPECT_EQ(num(panelHandle, PANEL_ANSTIEGSZEIT), c.slope);
            EXPECT_EQ(limit(PANEL_ANSTIEGSZEIT, ATTR_MIN_VALUE), c.slopeMin);
            EXPECT_EQ(limit(PANEL_ANSTIEGSZEIT, ATTR_MAX_VALUE), c.slopeMax);
            EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMIN), c.zoomMin);
            EXPECT_EQ(num(panelHandle, PANEL_GRAPHZOOMMAX), c.zoomMax);
            const auto [lo, hi] = std::minmax(c.zoomMin, c.zoomMax);
            EXPECT_EQ(axis(), std::make_tuple(VAL_MANUAL, lo, hi));
            scale(0, 10, 0, 10, "V");  // the next case starts from volts again
            quit();
        });
    }
}
