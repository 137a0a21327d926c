// The toolkit model: values, ranges, precision, events, operator input, strip chart.
#include "TestPanels.h"

#include <clocale>
#include <tuple>

TEST_F(Toolkit, ValuesAndRangesAreCoercedAndRangesNeverInvert)
{
    struct Case {
        int control;
        double set, expected;
    };
    const Case cases[] = {
        {C_NUM, 12.5, 10.0},
        {C_NUM, -11.0, -10.0},
        {C_NUM, 3.14159265358979, 3.14159265358979},
        {C_INT, 42.6, 43.0},
        {C_INT, 1e300, 100.0},
        {C_INT, -HUGE_VAL, 0.0},
        {C_FREE, -HUGE_VAL, -HUGE_VAL},
        {C_TOGGLE, 5.0, 1.0},
        {C_LED, -1.0, 1.0},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SetCtrlVal(panel, c.control, c.set), 0);
        EXPECT_EQ(Num(c.control), c.expected) << "control " << c.control << " set " << c.set;
    }
    // The application's order: minimum to -inf, then the maximum, then the minimum.
    SetCtrlVal(panel, C_NUM, 8.0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MIN_VALUE, -HUGE_VAL), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MAX_VALUE, 1000.0), 0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MIN_VALUE, 20.0), 0);
    EXPECT_EQ(Num(C_NUM), 20.0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MAX_VALUE, 7.0), 0);
    EXPECT_EQ(Attr(C_NUM, ATTR_MIN_VALUE), 7.0) << "a limit crossing the other one drags it along";
    EXPECT_EQ(Num(C_NUM), 7.0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MIN_VALUE, 9.0), 0);
    EXPECT_EQ(Attr(C_NUM, ATTR_MAX_VALUE), 9.0);
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_MIN_VALUE, NAN), UIE_BAD_VALUE);
    EXPECT_TRUE(gEvents.empty()) << "values set by code raise no event";
}

TEST_F(Toolkit, PrecisionChangesOnlyTheDisplay)
{
    struct Case {
        int precision;
        double value;
        const char *shown;
    };
    const Case cases[] = {
        {2, 1.23456789, "1.23"},          {0, 1.23456789, "1"},
        {6, 1.23456789, "1.234568"},      {3, -0.0001, "0.000"},  // no minus sign on a rounded zero
        {1000, 0.5, "0.500000000000000"}, {-5, 0.5, "0"},         // at most 15 decimals, at least none
    };
    for (const auto &c : cases) {
        SetCtrlVal(panel, C_NUM, c.value);
        EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, c.precision), 0);
        EXPECT_EQ(Shown(C_NUM), c.shown);
        EXPECT_EQ(Num(C_NUM), c.value) << "the value keeps its full precision";
    }
    EXPECT_EQ(SetCtrlAttribute(panel, C_NUM, ATTR_PRECISION, double(NAN)), UIE_BAD_VALUE);

    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // where installed, the decimal separator would be a comma
    SetCtrlVal(panel, C_FREE, 2.5);
    EXPECT_EQ(Shown(C_FREE), "2.50");
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(SetCtrlVal(panel, C_NUM, NAN), 0) << "a double field keeps what the program computed";
    EXPECT_EQ(Shown(C_NUM), "NaN");
    EXPECT_EQ(SetCtrlVal(panel, C_NUMIND, NAN), 0);
    EXPECT_EQ(Shown(C_NUMIND), "") << "an indicator without a value shows an empty field";
    EXPECT_EQ(SetCtrlVal(panel, C_NUMIND, -HUGE_VAL), 0);
    EXPECT_EQ(Shown(C_NUMIND), "-Inf");
    EXPECT_EQ(SetCtrlVal(panel, C_INT, NAN), UIE_BAD_VALUE);
}

TEST_F(Toolkit, OnlyOperatorInputRaisesCommitWithTheCoercedValue)
{
    SetActiveCtrl(panel, C_INT);  // raises no event
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, 99.0), 0);
    EXPECT_EQ(UiTest_Enter(panel, C_INT, "  41,6 "), 0) << "a comma is the decimal point";
    EXPECT_EQ(UiTest_Press(panel, C_TOGGLE), 0);
    EXPECT_EQ(UiTest_Press(panel, C_TOGGLE), 0);
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, "zehn"), UIE_BAD_VALUE);
    EXPECT_EQ(UiTest_Enter(panel, C_NUM, NAN), UIE_BAD_VALUE);
    const std::vector<Event> expected = {{panel, C_NUM, EVENT_COMMIT, 10.0},
                                         {panel, C_INT, EVENT_COMMIT, 42.0},
                                         {panel, C_TOGGLE, EVENT_COMMIT, 1.0},
                                         {panel, C_TOGGLE, EVENT_COMMIT, 0.0}};
    EXPECT_EQ(gEvents, expected);
    EXPECT_EQ(GetActiveCtrl(panel), C_TOGGLE);
}

TEST_F(Toolkit, RefusedInputAndWrongTypesChangeNothing)
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

    int i = 0;
    EXPECT_EQ(SetCtrlVal(panel, C_NUM, "1.0"), UIE_TYPE_MISMATCH);
    EXPECT_EQ(GetCtrlVal(panel, C_NUM, &i), UIE_TYPE_MISMATCH) << "a double does not fit an int";
    EXPECT_EQ(SetCtrlVal(panel + 99, C_NUM, 1.0), UIE_BAD_PANEL);
    EXPECT_EQ(SetCtrlVal(panel, 99, 1.0), UIE_BAD_CONTROL);
    EXPECT_EQ(Num(C_NUM), 5.0);
}

TEST_F(Toolkit, StringControlsKeepToTheirEntryLengthAndBuffers)
{
    EXPECT_EQ(UiTest_Enter(panel, C_STR, "mbar/s"), 0);
    EXPECT_EQ(UiModel_TextValue(panel, C_STR), "mbar/");
    EXPECT_EQ(SetCtrlVal(panel, C_STR, "\xB5m/min"), 0);
    EXPECT_EQ(UiModel_TextValue(panel, C_STR), "\xB5m/mi");

    char buf[8] = "xxxxxxx";  // no zero where the cut text must put one
    EXPECT_EQ(GetCtrlVal(panel, C_MSG, buf, 6), UIE_BUFFER_TOO_SMALL);
    EXPECT_STREQ(buf, "Hinwe");
    EXPECT_EQ(GetCtrlVal(panel, C_MSG, buf, 0), UIE_BUFFER_TOO_SMALL);
    EXPECT_EQ(GetCtrlVal(panel, C_MSG, buf, sizeof buf), 0) << "7 characters and the zero fit 8 bytes";
    EXPECT_STREQ(buf, "Hinweis");
}

TEST_F(Toolkit, RingValuesAreData)
{
    EXPECT_EQ(Num(C_RING), 1.5);
    EXPECT_EQ(UiTest_PickRingValue(panel, C_RING, 2.5), 0);
    EXPECT_EQ(Shown(C_RING), "zwei komma f\xFCnf");
    EXPECT_EQ(UiTest_Enter(panel, C_RING, "eins komma f\xFCnf"), 0);
    EXPECT_EQ(UiTest_PickRingValue(panel, C_RING, 4.0), UIE_BAD_VALUE);
    EXPECT_EQ(UiOperator_PickRingIndex(panel, C_RING, 2), UIE_BAD_VALUE);
    const std::vector<Event> expected = {{panel, C_RING, EVENT_COMMIT, 2.5}, {panel, C_RING, EVENT_COMMIT, 1.5}};
    EXPECT_EQ(gEvents, expected);
    // A value no item offers, set by code (e.g. reported by a module), is kept and shown as the number.
    EXPECT_EQ(SetCtrlVal(panel, C_RING, 7.0), 0);
    EXPECT_EQ(Num(C_RING), 7.0);
    EXPECT_EQ(Shown(C_RING), "7");
}

TEST_F(Toolkit, ToggleShowsItsTextsAndTimerTicksOnlyWhileEnabled)
{
    EXPECT_EQ(Shown(C_TOGGLE), "aus");
    SetCtrlVal(panel, C_TOGGLE, 1);
    EXPECT_EQ(Shown(C_TOGGLE), "an");
    for (int enabled : {1, 0, 1}) {
        SetCtrlAttribute(panel, C_TIMER, ATTR_ENABLED, enabled);
        UiTest_TimerTick();
    }
    EXPECT_EQ(gEvents, (std::vector<Event>(2, {panel, C_TIMER, EVENT_TIMER_TICK, 0})));
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

    int mode = -1;
    double lo = 0, hi = 0;
    EXPECT_EQ(SetAxisScalingMode(panel, C_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 100.0, 0.0), 0);
    EXPECT_EQ(SetAxisScalingMode(panel, C_CHART, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, HUGE_VAL), UIE_BAD_VALUE);
    GetAxisScalingMode(panel, C_CHART, VAL_LEFT_YAXIS, &mode, &lo, &hi);
    EXPECT_EQ((std::vector<double>{double(mode), lo, hi}), (std::vector<double>{VAL_MANUAL, 100, 0}))
        << "a refused range leaves the axis as it was";
}

// Ring labels change at run time (the values stay); a combo box takes typed text or an item's text,
// never its label; a check box flips like a toggle. Only operator input raises events.
TEST_F(Toolkit, ListItemsComboBoxesAndCheckBoxes)
{
    EXPECT_EQ(SetListItemLabel(panel, C_RING, 1, "zwei (2.5)"), 0);
    EXPECT_EQ(SetCtrlVal(panel, C_RING, 2.5), 0);
    EXPECT_EQ(Shown(C_RING), "zwei (2.5)");
    EXPECT_EQ(UiTest_Enter(panel, C_RING, "zwei komma f\xFCnf"), UIE_BAD_VALUE) << "the old label is gone";
    EXPECT_EQ(UiTest_Enter(panel, C_RING, "zwei (2.5)"), 0);

    EXPECT_EQ(InsertListItem(panel, C_COMBO, -1, "/dev/ttyUSB0 (FTDI)", "/dev/ttyUSB0"), 0);
    EXPECT_EQ(InsertListItem(panel, C_COMBO, 0, "erstes", "/dev/ttyS0"), 0);
    EXPECT_EQ(UiModel_ListItems(panel, C_COMBO),
              (std::vector<UiListItem>{{"erstes", "/dev/ttyS0"}, {"/dev/ttyUSB0 (FTDI)", "/dev/ttyUSB0"}}));
    EXPECT_EQ(UiModel_TextValue(panel, C_COMBO), "COM") << "items leave the text alone";
    EXPECT_EQ(UiTest_PickListItem(panel, C_COMBO, 1), 0);
    EXPECT_EQ(UiModel_TextValue(panel, C_COMBO), "/dev/tty") << "the item's text, cut to the entry length";
    EXPECT_EQ(UiTest_Enter(panel, C_COMBO, " tcp://a:1 "), 0);
    EXPECT_EQ(UiModel_TextValue(panel, C_COMBO), " tcp://a") << "typed as is, cut to the entry length";
    EXPECT_EQ(UiTest_PickListItem(panel, C_COMBO, 2), UIE_BAD_VALUE);
    EXPECT_EQ(UiTest_Press(panel, C_CHECK), 0);
    EXPECT_EQ(UiModel_NumericValue(panel, C_CHECK), 1.0);
    EXPECT_EQ(SetCtrlVal(panel, C_CHECK, 0), 0);
    int count = -1;
    EXPECT_EQ(ClearListCtrl(panel, C_COMBO), 0);
    EXPECT_EQ(GetNumListItems(panel, C_COMBO, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(GetNumListItems(panel, C_RING, &count), 0);
    EXPECT_EQ(count, 2);

    // Refused: items the control does not have, rings' items are the catalogue's, other kinds have none.
    EXPECT_EQ(SetListItemLabel(panel, C_RING, 2, "x"), UIE_BAD_VALUE);
    EXPECT_EQ(InsertListItem(panel, C_RING, -1, "x", "x"), UIE_TYPE_MISMATCH);
    EXPECT_EQ(ClearListCtrl(panel, C_STR), UIE_TYPE_MISMATCH);
    EXPECT_EQ(SetListItemLabel(panel, C_MSG, 0, "x"), UIE_TYPE_MISMATCH);
    SetCtrlAttribute(panel, C_COMBO, ATTR_DIMMED, 1);
    EXPECT_EQ(UiTest_Enter(panel, C_COMBO, "x"), UIE_BAD_CONTROL) << "a dimmed field takes no input";

    std::vector<std::pair<int, double>> seen;
    for (const Event &e : gEvents)
        seen.emplace_back(e.control, e.valueSeen);
    EXPECT_EQ(seen, (std::vector<std::pair<int, double>>{{C_RING, 2.5}, {C_COMBO, 0}, {C_COMBO, 0}, {C_CHECK, 1}}));
}

// The chart keeps an hour of points in raw units, shows them through the conversion in force, and
// hands the view one column per pixel however many points lie behind it.
TEST_F(Toolkit, StripChartKeepsAnHourRawAndShowsItConverted)
{
    for (int i = 0; i < kChartHistory + 5; ++i) {
        const double v[] = {double(i), i % 2 ? 1.0 : 0.0};
        PlotStripChartPoints(panel, C_CHART, v, 2);
    }
    std::vector<ChartPoint> kept;
    ASSERT_EQ(GetStripChartHistory(panel, C_CHART, &kept), 0);
    ASSERT_EQ(kept.size(), size_t(kChartHistory));
    EXPECT_EQ(std::pair(kept.front().raw[0], kept.back().raw[0]), std::pair(5.0, double(kChartHistory + 4)));

    // A new conversion applies to every kept point: no step where it changed.
    EXPECT_EQ(SetStripChartConversion(panel, C_CHART, 2.0, 100.0, 10.0), 0);
    EXPECT_EQ(UiTest_ChartPoints(panel, C_CHART).back(), (kChartHistory + 4 - 2.0) * 10.0 + 100.0);
    EXPECT_EQ(SetStripChartConversion(panel, C_CHART, 0.0, 0.0, NAN), UIE_BAD_VALUE);
    SetStripChartConversion(panel, C_CHART, 0.0, 0.0, 1.0);

    // 1000 points at a tenth of a pixel each: 100 columns, each with its ten points' range.
    const long long total = kChartHistory + 5;
    std::vector<UiChartColumn> cols = UiModel_ChartColumns(panel, C_CHART, total - 1005, total - 5, 0.1);
    ASSERT_EQ(cols.size(), 100u);
    const UiChartColumn &c = cols[1];
    EXPECT_EQ(
        std::tuple(c.lo[0], c.hi[0], c.first[0], c.last[0]),
        std::tuple(double(c.column * 10), double(c.column * 10 + 9), double(c.column * 10), double(c.column * 10 + 9)));
    EXPECT_EQ(std::pair(c.lo[1], c.hi[1]), std::pair(0.0, 1.0));
    EXPECT_EQ(c.joined, 3u);
    EXPECT_EQ(cols.front().joined, 0u) << "nothing before the first column asked for";

    // A gap: a point without trace 1 (and NaN on trace 0) breaks both lines.
    PlotStripChartPoint(panel, C_CHART, NAN);
    const double v[] = {7.0, 7.0};
    PlotStripChartPoints(panel, C_CHART, v, 2);
    cols = UiModel_ChartColumns(panel, C_CHART, total - 1, total + 2, 1.0);
    ASSERT_EQ(cols.size(), 3u);
    EXPECT_TRUE(std::isnan(cols[1].first[0]) && std::isnan(cols[1].first[1]));
    EXPECT_EQ(cols[2].joined, 0u);
    EXPECT_EQ(UiModel_ChartFiniteCount(panel, C_CHART, total - 1, total + 2), 2);

    // Held: the screen stays while points come; scrolling back stops where the kept points end.
    UiChartState s;
    EXPECT_EQ(UiOperator_ScrollChart(panel, C_CHART, 3), UIE_BAD_VALUE) << "only a held chart scrolls";
    SetStripChartPaused(panel, C_CHART, 1);
    MarkStripChart(panel, C_CHART);
    PlotStripChartPoints(panel, C_CHART, v, 2);
    UiModel_ChartState(panel, C_CHART, &s);
    EXPECT_EQ(std::tuple(s.first, s.end, s.total, s.marks.size()),
              std::tuple(total - 3, total + 2, total + 3, size_t(0)));
    UiTest_ScrollChart(panel, C_CHART, 3);
    UiModel_ChartState(panel, C_CHART, &s);
    EXPECT_EQ(s.end, total - 1);
    UiTest_ScrollChart(panel, C_CHART, 1000000);
    UiModel_ChartState(panel, C_CHART, &s);
    EXPECT_EQ(std::pair(s.first, s.end), std::pair(s.keptFirst, s.keptFirst + 5));
    SetStripChartPaused(panel, C_CHART, 0);
    UiModel_ChartState(panel, C_CHART, &s);
    EXPECT_EQ(std::tuple(s.end, s.marks), std::tuple(total + 3, std::vector<long long>{total + 2}));

    const unsigned before = s.revision;
    ClearStripChart(panel, C_CHART);
    UiModel_ChartState(panel, C_CHART, &s);
    EXPECT_EQ(std::tuple(s.first, s.end, s.marks.empty()), std::tuple(total + 3, total + 3, true));
    EXPECT_NE(s.revision, before);
    EXPECT_TRUE(UiTest_ChartPoints(panel, C_CHART).empty());
}
