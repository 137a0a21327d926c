// The toolkit model: values, ranges, precision, events, operator input, strip chart.
#include "TestPanels.h"

#include <climits>
#include <clocale>
#include <cstring>

TEST_F(Toolkit, ValuesSetByCodeAreCoercedIntoTheRange)
{
    struct Case { int control; double set; double expected; };
    const Case cases[] = {
        {C_NUM, 12.5, 10.0},  {C_NUM, -11.0, -10.0}, {C_NUM, 3.14159265358979, 3.14159265358979},
        {C_INT, 42.6, 43.0},  {C_INT, 1e300, 100.0},  {C_INT, -HUGE_VAL, 0.0},
        {C_FREE, 1e300, 1e300}, {C_FREE, -HUGE_VAL, -HUGE_VAL},
        {C_TOGGLE, 5.0, 1.0}, {C_LED, -1.0, 1.0}, {C_LED, 0.0, 0.0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SetCtrlVal(panel, c.control, c.set), 0);
        EXPECT_EQ(Num(c.control), c.expected) << "control " << c.control << " set " << c.set;
    }
    int i = 0;
    EXPECT_EQ(SetCtrlVal(panel, C_INT, 77), 0);
    EXPECT_EQ(GetCtrlVal(panel, C_INT, &i), 0);
    EXPECT_EQ(i, 77);
    EXPECT_TRUE(gEvents.empty()) << "values set by code raise no event";
}

TEST_F(Toolkit, RangesCoerceTheValueAndNeverInvert)
{
    SetCtrlVal(panel, C_NUM, 8.0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MAX_VALUE, 5.0), 0);
    EXPECT_EQ(Num(C_NUM), 5.0);

    // The application's order: minimum to -inf first, then the maximum, then the minimum.
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MIN_VALUE, -HUGE_VAL), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MAX_VALUE, 1000.0), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MIN_VALUE, 20.0), 0);
    EXPECT_EQ(Num(C_NUM), 20.0);

    // A limit crossing the other one drags it along.
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MAX_VALUE, 7.0), 0);
    double lo = 0, hi = 0;
    GetCtrlAttribute(panel, C_NUM, ATTR_MIN_VALUE, &lo);
    GetCtrlAttribute(panel, C_NUM, ATTR_MAX_VALUE, &hi);
    EXPECT_EQ(lo, 7.0);
    EXPECT_EQ(hi, 7.0);
    EXPECT_EQ(Num(C_NUM), 7.0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MIN_VALUE, NAN), UIE_BAD_VALUE);

    // Integer controls: infinite limits become the ends of int.
    int ilo = 0;
    EXPECT_EQ(SetCtrlAttribute(panel, C_INT, ATTR_MIN_VALUE, -HUGE_VAL), 0);
    EXPECT_EQ(GetCtrlAttribute(panel, C_INT, ATTR_MIN_VALUE, &ilo), 0);
    EXPECT_EQ(ilo, INT_MIN);
    EXPECT_EQ(GetCtrlAttribute(panel, C_NUM, ATTR_MIN_VALUE, &ilo), UIE_TYPE_MISMATCH);
    EXPECT_TRUE(gEvents.empty());
}

TEST_F(Toolkit, PrecisionChangesOnlyTheDisplay)
{
    SetCtrlVal(panel, C_NUM, 1.23456789);
    EXPECT_EQ(Shown(C_NUM), "1.23");
    SetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, 0);
    EXPECT_EQ(Shown(C_NUM), "1");
    SetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, 6);
    EXPECT_EQ(Shown(C_NUM), "1.234568");
    EXPECT_EQ(Num(C_NUM), 1.23456789);

    SetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, 3);
    SetCtrlVal(panel, C_NUM, -0.0001);
    EXPECT_EQ(Shown(C_NUM), "0.000") << "no minus sign on a rounded zero";

    int prec = 0;
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, 1000), 0);
    GetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, &prec);
    EXPECT_EQ(prec, 15);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, -5), 0);
    GetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, &prec);
    EXPECT_EQ(prec, 0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, double(NAN)), UIE_BAD_VALUE);
}

TEST_F(Toolkit, NumbersShowWithAPointAndNonFiniteValuesShowSafely)
{
    const char *old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");   // where installed, the decimal separator would be a comma
    SetCtrlAttribute(panel, C_FREE, ATTR_PRECISION, 15);
    SetCtrlVal(panel, C_FREE, 2.5);
    EXPECT_EQ(Shown(C_FREE), "2.500000000000000");
    SetCtrlVal(panel, C_FREE, 1e300);
    EXPECT_EQ(Shown(C_FREE).substr(0, 4), "1000");
    std::setlocale(LC_ALL, saved.c_str());

    SetCtrlVal(panel, C_FREE, HUGE_VAL);
    EXPECT_EQ(Shown(C_FREE), "Inf");
    SetCtrlVal(panel, C_FREE, -HUGE_VAL);
    EXPECT_EQ(Shown(C_FREE), "-Inf");
    EXPECT_EQ(SetCtrlVal(panel, C_NUM, NAN), 0) << "a double field keeps what the program computed";
    EXPECT_EQ(Shown(C_NUM), "NaN");
    EXPECT_EQ(SetCtrlVal(panel, C_INT, NAN), UIE_BAD_VALUE);
    EXPECT_EQ(SetCtrlVal(panel, C_LED, NAN), UIE_BAD_VALUE);
}

TEST_F(Toolkit, OnlyOperatorInputRaisesCommitWithTheCoercedValue)
{
    SetCtrlVal(panel, C_NUM, 1.0);
    SetCtrlAttribute(panel, C_NUM, ATTR_DIMMED, 0);
    SetCtrlVal(panel, C_STR, "abc");
    SetActiveCtrl(panel, C_INT);
    EXPECT_TRUE(gEvents.empty());

    EXPECT_EQ(UiTest_Enter(panel, C_NUM, 99.0), 0);
    EXPECT_EQ(UiTest_Enter(panel, C_INT, "  41,6 "), 0) << "a comma is the decimal point";
    EXPECT_EQ(UiTest_Press(panel, C_TOGGLE), 0);
    EXPECT_EQ(UiTest_Press(panel, C_TOGGLE), 0);
    const std::vector<Event> expected = {
        {panel, C_NUM, EVENT_COMMIT, 10.0},
        {panel, C_INT, EVENT_COMMIT, 42.0},
        {panel, C_TOGGLE, EVENT_COMMIT, 1.0},
        {panel, C_TOGGLE, EVENT_COMMIT, 0.0},
    };
    EXPECT_EQ(gEvents, expected);
    EXPECT_EQ(GetActiveCtrl(panel), C_TOGGLE);
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, "zehn"), UIE_BAD_VALUE);
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, NAN), UIE_BAD_VALUE);
    EXPECT_EQ(UiTest_Press(panel, C_NUM), UIE_TYPE_MISMATCH);
    EXPECT_EQ(gEvents.size(), 4u);
}

TEST_F(Toolkit, DimmedHiddenAndDisplayOnlyControlsRefuseOperatorInput)
{
    SetCtrlVal(panel, C_NUM, 1.0);
    SetCtrlAttribute(panel, C_NUM, ATTR_DIMMED, 1);
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, 5.0), UIE_BAD_CONTROL);
    EXPECT_EQ(Num(C_NUM), 1.0);
    EXPECT_EQ(SetCtrlVal(panel, C_NUM, 2.0), 0) << "code may still set a dimmed control";
    SetCtrlAttribute(panel, C_NUM, ATTR_DIMMED, 0);
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, 5.0), 0);

    SetCtrlAttribute(panel, C_TOGGLE, ATTR_VISIBLE, 0);
    EXPECT_EQ(UiTest_Press(panel, C_TOGGLE), UIE_BAD_CONTROL);
    EXPECT_EQ(UiTest_Enter(panel, C_LED, 1), UIE_BAD_CONTROL);
    EXPECT_EQ(UiTest_Enter(panel, C_STRIND, "x"), UIE_BAD_CONTROL);
    EXPECT_EQ(gEvents.size(), 1u);
}

TEST_F(Toolkit, StringControlsKeepToTheirEntryLength)
{
    EXPECT_EQ(UiTest_Enter(panel, C_STR, "mbar/s"), 0);
    EXPECT_EQ(UiModel_TextValue(panel, C_STR), "mbar/");
    EXPECT_EQ(SetCtrlVal(panel, C_STR, "\xB5m/min"), 0);
    EXPECT_EQ(UiModel_TextValue(panel, C_STR), "\xB5m/mi");
    SetCtrlAttribute(panel, C_STR, ATTR_MAX_ENTRY_LENGTH, 2);
    EXPECT_EQ(UiModel_TextValue(panel, C_STR), "\xB5m");
    SetCtrlAttribute(panel, C_STR, ATTR_MAX_ENTRY_LENGTH, -1);
    SetCtrlVal(panel, C_STR, "unbegrenzt lang");
    EXPECT_EQ(UiModel_TextValue(panel, C_STR), "unbegrenzt lang");

    char buf[6];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(GetCtrlVal(panel, C_STR, buf, sizeof buf), UIE_BUFFER_TOO_SMALL);
    EXPECT_STREQ(buf, "unbeg");
    EXPECT_EQ(GetCtrlVal(panel, C_STR, buf, 0), UIE_BUFFER_TOO_SMALL);
    char big[8];
    EXPECT_EQ(GetCtrlVal(panel, C_MSG, big, sizeof big), 0) << "7 characters and the zero fit 8 bytes";
    EXPECT_STREQ(big, "Hinweis");
}

TEST_F(Toolkit, RingValuesAreData)
{
    EXPECT_EQ(Num(C_RING), 1.5);
    EXPECT_EQ(UiTest_PickRingValue(panel, C_RING, 2.5), 0);
    EXPECT_EQ(Num(C_RING), 2.5);
    EXPECT_EQ(Shown(C_RING), "zwei komma f\xFCnf");
    EXPECT_EQ(UiTest_Enter(panel, C_RING, "eins komma f\xFCnf"), 0);
    EXPECT_EQ(Num(C_RING), 1.5);
    EXPECT_EQ(UiTest_PickRingValue(panel, C_RING, 4.0), UIE_BAD_VALUE);
    EXPECT_EQ(UiOperator_PickRingIndex(panel, C_RING, 2), UIE_BAD_VALUE);
    EXPECT_EQ(gEvents.size(), 2u);

    // A value no item offers, set by code (e.g. reported by a module), is kept and shown as the number.
    EXPECT_EQ(SetCtrlVal(panel, C_RING, 7.0), 0);
    EXPECT_EQ(Num(C_RING), 7.0);
    EXPECT_EQ(UiModel_RingIndex(panel, C_RING), -1);
    EXPECT_EQ(Shown(C_RING), "7");
}

TEST_F(Toolkit, TypesAreCheckedAgainstTheControl)
{
    int i = 0;
    char buf[8];
    double d = 0;
    EXPECT_EQ(SetCtrlVal(panel, C_NUM, "1.0"), UIE_TYPE_MISMATCH);
    EXPECT_EQ(SetCtrlVal(panel, C_STR, 1.0), UIE_TYPE_MISMATCH);
    EXPECT_EQ(SetCtrlVal(panel, C_BUTTON, 1), UIE_TYPE_MISMATCH);
    EXPECT_EQ(GetCtrlVal(panel, C_NUM, &i), UIE_TYPE_MISMATCH) << "a double does not fit an int";
    EXPECT_EQ(GetCtrlVal(panel, C_INT, &d), 0);
    EXPECT_EQ(GetCtrlVal(panel, C_NUM, buf, sizeof buf), UIE_TYPE_MISMATCH);
    EXPECT_EQ(SetCtrlVal(panel + 99, C_NUM, 1.0), UIE_BAD_PANEL);
    EXPECT_EQ(SetCtrlVal(panel, 99, 1.0), UIE_BAD_CONTROL);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_ON_COLOR, VAL_RED), UIE_BAD_ATTRIBUTE);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_CTRL_KIND, 0), UIE_BAD_ATTRIBUTE);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_LABEL_TEXT, 1), UIE_TYPE_MISMATCH);
    EXPECT_EQ(SetCtrlAttribute(panel, C_LED, ATTR_ON_COLOR, VAL_RED), 0);
    EXPECT_EQ(GetCtrlAttribute(panel, C_LED, ATTR_ON_COLOR, &i), 0);
    EXPECT_EQ(i, VAL_RED);
}

TEST_F(Toolkit, ToggleShowsItsTextsAndTimerTicksOnlyWhileEnabled)
{
    EXPECT_EQ(Shown(C_TOGGLE), "aus");
    SetCtrlVal(panel, C_TOGGLE, 1);
    EXPECT_EQ(Shown(C_TOGGLE), "an");

    UiTest_TimerTick();
    SetCtrlAttribute(panel, C_TIMER, ATTR_ENABLED, 0);
    UiTest_TimerTick();
    SetCtrlAttribute(panel, C_TIMER, ATTR_ENABLED, 1);
    UiTest_TimerTick();
    EXPECT_EQ(gEvents.size(), 2u);
    EXPECT_EQ(gEvents[0].event, EVENT_TIMER_TICK);
    double interval = 0;
    GetCtrlAttribute(panel, C_TIMER, ATTR_INTERVAL, &interval);
    EXPECT_EQ(interval, 0.1);
    EXPECT_EQ(SetCtrlAttribute(panel, C_TIMER, ATTR_INTERVAL, 0.0), UIE_BAD_VALUE);
}

TEST_F(Toolkit, StripChartKeepsOneScreenAndTheManualRange)
{
    for (int i = 1; i <= 8; ++i)
        PlotStripChartPoint(panel, C_CHART, i);
    PlotStripChartPoint(panel, C_CHART, NAN);
    const auto pts = UiTest_ChartPoints(panel, C_CHART);
    ASSERT_EQ(pts.size(), 5u);
    EXPECT_EQ(pts[0], 5.0);
    EXPECT_TRUE(std::isnan(pts[4]));
    SetCtrlAttribute(panel, C_CHART, ATTR_POINTS_PER_SCREEN, 2);
    EXPECT_EQ(UiTest_ChartPoints(panel, C_CHART).front(), 8.0);

    int mode = -1;
    double lo = 0, hi = 0;
    EXPECT_EQ(SetAxisScalingMode(panel, C_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 100.0, 0.0), 0);
    GetAxisScalingMode(panel, C_CHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ(mode, VAL_MANUAL);
    EXPECT_EQ(lo, 100.0);
    EXPECT_EQ(hi, 0.0);
    EXPECT_EQ(SetAxisScalingMode(panel, C_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, NAN, 1.0), UIE_BAD_VALUE);
    EXPECT_EQ(SetAxisScalingMode(panel, C_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, HUGE_VAL), UIE_BAD_VALUE);
    GetAxisScalingMode(panel, C_CHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ(lo, 100.0) << "a refused range leaves the axis as it was";
    EXPECT_EQ(PlotStripChartPoint(panel, C_NUM, 1.0), UIE_TYPE_MISMATCH);
}
