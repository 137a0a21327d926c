// The Qt view with the program's own panels on the offscreen platform: typing, picking, pressing,
// timers, the chart, windows and popups, checked on the real widgets and in the model behind them;
// the layout, and screenshots of each panel at scale 1 and 2 for anyone to look at.
#include "platform/qt/cp1252.h"
#include "platform/qt/qtchart.h"
#include "platform/qt/qtchoices.h"
#include "platform/qt/qtview.h"
#include "platform/qt/qtwidgets.h"
#include "platform/userint/userint_view.h"
#include "tlx1_version.h"
#include "ui/TLX1Steuerung.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

// What the callbacks saw: the control's model value when the callback ran; a menu item as control.
struct Event {
    int panel, control, event;
    double value;
};
std::vector<Event> g_events;
int g_ticks = 0;
bool g_toggleRefuses = false;

// Records the event; like a connect that fails it may set the toggle back to off.
int OnCtrl(int panel, int control, int event, void *, int, int)
{
    if (event == EVENT_TIMER_TICK)
        ++g_ticks;
    else
        g_events.push_back({panel, control, event, UiModel_NumericValue(panel, control)});
    if (g_toggleRefuses && control == PANEL_VERBINDEN)
        SetCtrlVal(panel, control, 0);
    return 0;
}
int OnPanel(int panel, int event, void *, int, int)
{
    g_events.push_back({panel, 0, event, 0});
    return 0;
}
void OnMenu(int, int item, void *, int panel)
{
    g_events.push_back({panel, item, EVENT_COMMIT, 0});
}

// Every callback the panels name, answered by the recorders above (or by `first` for its name).
void InstallRecorders(std::initializer_list<int> panels, CallbackEntry first = {})
{
    std::vector<CallbackEntry> table{first};  // the toolkit keeps copies of the names
    for (int panel : panels) {
        const PanelDef *def = UiModel_PanelDef(panel);
        table.push_back({def->panelCallbackName, nullptr, OnPanel, nullptr});
        for (int i = 0; i < def->controlCount; ++i)
            table.push_back({def->controls[i].callbackName, OnCtrl, nullptr, nullptr});
        for (int m = 0; def->menuBar && m < def->menuBar->menuCount; ++m)
            for (int i = 0; i < def->menuBar->menus[m].itemCount; ++i)
                table.push_back({def->menuBar->menus[m].items[i].callbackName, nullptr, nullptr, OnMenu});
    }
    InstallCallbackTable(table.data(), static_cast<int>(table.size()));
}

class QtView : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        UiTest_Reset();
        QtView_Reset();
        UseQtView();
        ASSERT_EQ(InitUserInterface(0, nullptr), 1);
        TLX1Steuerung_PanelDateiRegistrieren();
        main_ = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL);
        konfig_ = LoadPanel(main_, TLX1STEUERUNG_UIR, KONFIGPNL);
        about_ = LoadPanel(main_, TLX1STEUERUNG_UIR, ABOUTPANEL);
        schnitt_ = LoadPanel(main_, TLX1STEUERUNG_UIR, SCHNITTPNL);
        ASSERT_TRUE(main_ > 0 && konfig_ > 0 && about_ > 0 && schnitt_ > 0);
        InstallRecorders({main_, konfig_, about_, schnitt_});
        DisplayPanel(main_);
        Frame();
        QWidget *w = QtView_PanelWindow(main_);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        g_events.clear();
        g_toggleRefuses = false;
    }
    void TearDown() override { QtView_Reset(); }

    // Brings the widgets to the model's state now instead of with the next frame.
    static void Frame() { ASSERT_TRUE(QtView_WaitIdle()); }
    template <class W>
    W *Widget(int control, int panel = 0)
    {
        auto *w = dynamic_cast<W *>(QtView_ControlWidget(panel ? panel : main_, control));
        EXPECT_NE(w, nullptr);
        return w;
    }
    // Selects what the field shows, types, and ends with the key (none: keeps typing).
    static void Type(NumericField *field, const char *text, Qt::Key end)
    {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        if (end != Qt::Key_unknown)
            QTest::keyClick(field, end);
        Frame();
    }
    // What the running program shows: texts, a connection with some history on the chart.
    void FillLikeARunningProgram()
    {
        SetCtrlVal(main_, PANEL_TEXT, "Suche Ger\xE4t an Adresse 8 ...");
        SetCtrlVal(main_, PANEL_IDSTRING, "OKV-TLX1 V2.03");
        SetCtrlVal(main_, PANEL_FEHLERLED, 1);
        SetCtrlVal(main_, PANEL_FEHLERSTRING,
                   "Zeit\xFC"
                   "berschreitung beim Lesen vom TLX-1");
        SetCtrlVal(main_, PANEL_FEHLERNUMMER, -7051);
        SetCtrlVal(main_, PANEL_VERBINDEN, 1);
        SetCtrlAttribute(main_, PANEL_ISTWERT, ATTR_DIMMED, 0);
        SetCtrlAttribute(main_, PANEL_ISTWERTEINHEIT, ATTR_DIMMED, 0);
        SetCtrlVal(main_, PANEL_ISTWERT, 4.9871);
        SetCtrlVal(about_, ABOUTPANEL_VERSION, "V 1.1");
        SetCtrlVal(about_, ABOUTPANEL_DATUM, "08/2008");
        SetCtrlVal(about_, ABOUTPANEL_PROGRAMMVERSION, "Programmversion " TLX1_VERSION);
        for (int i = 0; i < 260; ++i)
            PlotStripChartPoint(main_, PANEL_STRIPCHART, 5.0 - 4.0 * std::exp(-i / 40.0) * std::cos(i / 9.0));
        for (int n = 1; n <= 8; ++n) {
            const std::string device = n == 1 ? "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0"
                                              : "/dev/ttyS" + std::to_string(n - 1);
            SetCtrlVal(schnitt_, SCHNITTPNL_COM1 + n - 1, device.c_str());
            SetCtrlVal(schnitt_, SCHNITTPNL_QUELLE1 + n - 1, n == 2 ? "Umgebungsvariable TLX1_COM2 gilt" : "Vorgabe");
        }
        SetCtrlAttribute(schnitt_, SCHNITTPNL_COM2, ATTR_DIMMED, 1);
        Frame();
    }

    int main_ = 0, konfig_ = 0, about_ = 0, schnitt_ = 0;
};

TEST_F(QtView, TypedNumberCommitsExactlyWhatWasTyped)
{
    struct Case {
        const char *typed;
        double committed;
        const char *shown;
    };  // shown with three decimals
    static const Case kCases[] = {
        {"1.23456789", 1.23456789, "1.235"},  // more decimals than shown: kept in full
        {"3,75", 3.75, "3.750"},              // comma as decimal point
        {"1e1", 10.0, "10.000"},
        {" -7 ", 0.0, "0.000"},  // blanks ignored; coerced into 0..10 by the model
    };
    NumericField *field = Widget<NumericField>(PANEL_SOLLWERT);
    for (const Case &c : kCases) {
        g_events.clear();
        Type(field, c.typed, Qt::Key_Return);
        ASSERT_EQ(g_events.size(), 1u) << c.typed;
        EXPECT_EQ(g_events[0].event, EVENT_COMMIT);
        EXPECT_EQ(g_events[0].value, c.committed) << c.typed;
        EXPECT_EQ(field->text(), QString::fromLatin1(c.shown)) << c.typed;
    }

    // Refused or unfinished input commits nothing; Escape drops what was typed.
    g_events.clear();
    Type(field, "1a2b", Qt::Key_unknown);  // letters never reach the field
    EXPECT_EQ(field->text(), QStringLiteral("12"));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(field->text(), QStringLiteral("0.000"));
    Type(field, "-", Qt::Key_Return);
    EXPECT_TRUE(g_events.empty());

    // Leaving the field commits what was typed, leaving it untouched nothing; an arrow one increment.
    Type(field, "4,125", Qt::Key_Tab);
    Type(field, "", Qt::Key_Tab);
    QTest::mouseClick(field, Qt::LeftButton, {}, field->arrowRect(true).center());
    ASSERT_EQ(g_events.size(), 2u);
    EXPECT_EQ(g_events[0].value, 4.125);
    EXPECT_EQ(g_events[1].value, 5.125);
}

TEST_F(QtView, ValueSetByCodeIsShownWithThePrecisionAndRaisesNoEvent)
{
    NumericField *field = Widget<NumericField>(PANEL_SOLLWERT);
    SetCtrlVal(main_, PANEL_SOLLWERT, 1.23456);
    Frame();
    EXPECT_EQ(field->text(), QStringLiteral("1.235"));
    SetCtrlAttribute(main_, PANEL_SOLLWERT, ATTR_PRECISION, 4);
    Frame();
    EXPECT_EQ(field->text(), QStringLiteral("1.2346"));
    EXPECT_EQ(UiModel_NumericValue(main_, PANEL_SOLLWERT), 1.23456);  // the display never rounds the model

    // The actual value is dimmed at start, label included, and never editable.
    NumericField *indicator = Widget<NumericField>(PANEL_ISTWERT);
    EXPECT_FALSE(indicator->isEnabled());
    EXPECT_FALSE(QtView_ControlLabel(main_, PANEL_ISTWERT)->isEnabled());
    SetCtrlAttribute(main_, PANEL_ISTWERT, ATTR_DIMMED, 0);
    SetCtrlVal(main_, PANEL_BETRIEBSART, 3.0);
    SetCtrlVal(main_, PANEL_VERBINDEN, 1);
    Frame();
    EXPECT_TRUE(indicator->isEnabled());
    EXPECT_TRUE(indicator->isReadOnly());
    EXPECT_EQ(Widget<QComboBox>(PANEL_BETRIEBSART)->currentText(), QStringLiteral("Stellbetrieb"));
    EXPECT_EQ(Widget<QPushButton>(PANEL_VERBINDEN)->text(), QStringLiteral("trennen"));
    SetCtrlVal(konfig_, KONFIGPNL_SKAL_EINHEIT, "mm");
    EXPECT_TRUE(g_events.empty());
}

TEST_F(QtView, OperatorChoicesCommitTheirValues)
{
    for (int ring : {PANEL_ADRESSE, PANEL_BETRIEBSART}) {  // the last items: "alle" and "Stellbetrieb"
        Widget<QComboBox>(ring)->setFocus();
        QTest::keyClick(Widget<QComboBox>(ring), Qt::Key_End);
    }
    EXPECT_EQ(Widget<QComboBox>(PANEL_ADRESSE)->currentText(), QStringLiteral("alle"));
    EXPECT_EQ(UiModel_NumericValue(main_, PANEL_ADRESSE), 9.0);

    QPushButton *toggle = Widget<QPushButton>(PANEL_VERBINDEN);
    QTest::mouseClick(toggle, Qt::LeftButton);
    Frame();
    EXPECT_EQ(toggle->text(), QStringLiteral("trennen"));
    QTest::mouseClick(toggle, Qt::LeftButton);
    g_toggleRefuses = true;  // the callback sets it back at once
    QTest::mouseClick(toggle, Qt::LeftButton);
    Frame();
    EXPECT_FALSE(toggle->isChecked());
    EXPECT_EQ(toggle->text(), QStringLiteral("verbinden"));

    // Buttons and menu items by keyboard: tests/qt/qt_keys_test.cpp.
    std::vector<std::pair<int, double>> seen;  // the address ring has no callback
    for (const Event &e : g_events)
        seen.push_back({e.control, e.value});
    const std::vector<std::pair<int, double>> expected = {
        {PANEL_BETRIEBSART, 3.0}, {PANEL_VERBINDEN, 1.0}, {PANEL_VERBINDEN, 0.0}, {PANEL_VERBINDEN, 1.0}};
    EXPECT_EQ(seen, expected);
}

TEST_F(QtView, StringFieldTakesOnlyWhatTheProgramCanStore)
{
    DisplayPanel(konfig_);
    QLineEdit *edit = Widget<QLineEdit>(KONFIGPNL_SKAL_EINHEIT, konfig_);
    edit->setFocus();
    edit->selectAll();
    // QTest only types ASCII; a keyboard sends these as key events carrying the character.
    for (QChar ch : QString::fromUtf16(u"\u00B0C\u03A9abcdef"))
        QTest::sendKeyEvent(QTest::KeyAction::Press, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    EXPECT_EQ(edit->text(), QString::fromUtf16(u"\u00B0Cabc"));  // Omega has no byte; five at most
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(UiModel_TextValue(konfig_, KONFIGPNL_SKAL_EINHEIT), "\xB0"
                                                                  "Cabc");
}

// Ring labels set at run time reach the box, which elides a long one with "…" and shows it whole as
// tooltip and in its list; the combo box shows the program's items and takes a pick (its text, not its
// label) or typed text; the check box flips; a long indicator text ends in "…" with the whole text as
// tooltip.
TEST_F(QtView, ChoicesAndLongTextsInTheWidgets)
{
    SetListItemLabel(main_, PANEL_PORT, 1, "COM 2 (/dev/serial/by-id/usb-FTDI_FT232R-port0)");
    SetCtrlVal(main_, PANEL_PORT, 2);
    const QString error =
        QStringLiteral("Fehler beim \u00f6ffnen der seriellen Schnittstelle \u2013 keine Berechtigung "
                       "f\u00fcr /dev/ttyUSB0: den Benutzer in die Gruppe \"dialout\" aufnehmen");
    SetCtrlVal(main_, PANEL_FEHLERSTRING, QStringToCp1252(error).c_str());
    Frame();
    auto *ring = Widget<RingBox>(PANEL_PORT);
    EXPECT_EQ(ring->itemText(1), QStringLiteral("COM 2 (/dev/serial/by-id/usb-FTDI_FT232R-port0)"));
    EXPECT_EQ(ring->toolTip(), ring->itemText(1));
    EXPECT_TRUE(ring->shownText().startsWith(QStringLiteral("COM 2 (\u2026"))) << ring->shownText().toStdString();
    auto *shown = Widget<IndicatorField>(PANEL_FEHLERSTRING);
    EXPECT_TRUE(shown->text().endsWith(QChar(0x2026))) << shown->text().toStdString();
    EXPECT_TRUE(error.startsWith(shown->text().chopped(1)));
    EXPECT_EQ(shown->toolTip(), error);

    InsertListItem(schnitt_, SCHNITTPNL_COM3, -1, "/dev/ttyS0", "/dev/ttyS0");
    InsertListItem(schnitt_, SCHNITTPNL_COM3, -1, "/dev/serial/by-id/usb-x (/dev/ttyUSB0, FTDI)",
                   "/dev/serial/by-id/usb-x");
    SetCtrlVal(schnitt_, SCHNITTPNL_COM3, "/dev/ttyS2");
    InstallPopup(schnitt_);
    Frame();
    auto *combo = Widget<ComboField>(SCHNITTPNL_COM3, schnitt_);
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->itemText(1), QStringLiteral("/dev/serial/by-id/usb-x (/dev/ttyUSB0, FTDI)"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("/dev/ttyS2"));
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);  // the first item, then the second
    QTest::keyClick(combo, Qt::Key_Down);
    Frame();
    EXPECT_EQ(combo->currentText(), QStringLiteral("/dev/serial/by-id/usb-x"));
    EXPECT_EQ(UiModel_TextValue(schnitt_, SCHNITTPNL_COM3), "/dev/serial/by-id/usb-x");
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), "rfc2217://127.0.0.1:7000");
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    Frame();
    EXPECT_EQ(UiModel_TextValue(schnitt_, SCHNITTPNL_COM3), "rfc2217://127.0.0.1:7000");
    EXPECT_EQ(combo->count(), 2) << "a typed text is no new item";
    QTest::mouseClick(Widget<QCheckBox>(SCHNITTPNL_WIEDERVERBINDEN, schnitt_), Qt::LeftButton, {}, QPoint(6, 11));
    Frame();
    EXPECT_EQ(UiModel_NumericValue(schnitt_, SCHNITTPNL_WIEDERVERBINDEN), 1.0);
    RemovePopup(0);
}

// A paint-event counter.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

TEST_F(QtView, ChangesArePaintedOnceWithTheNextFrameAndTextsArriveConverted)
{
    PaintCounter counter;
    QLabel *text = Widget<QLabel>(PANEL_TEXT);
    LedWidget *led = Widget<LedWidget>(PANEL_FEHLERLED);
    text->installEventFilter(&counter);
    led->installEventFilter(&counter);
    for (int before = -1; before != counter.paints; QTest::qWait(50))
        before = counter.paints;  // window shown
    counter.paints = 0;
    for (int n = 1; n <= 8; ++n)
        SetCtrlVal(main_, PANEL_TEXT, ("Suche nach Ger\xE4t " + std::to_string(n)).c_str());
    SetCtrlVal(main_, PANEL_FEHLERLED, 1);
    EXPECT_EQ(counter.paints, 0) << "nothing is painted synchronously";
    QTRY_COMPARE_WITH_TIMEOUT(counter.paints, 2, 5000);  // one frame: each widget once, with the last text
    QTest::qWait(50);
    EXPECT_EQ(counter.paints, 2);
    EXPECT_EQ(text->text(), QString::fromUtf16(u"Suche nach Ger\u00E4t 8"));
    EXPECT_TRUE(led->isOn());
    SetCtrlVal(main_, PANEL_TEXT, "Zeile <b>2</b>");
    EXPECT_EQ(text->textFormat(), Qt::PlainText);

    // Windows-1252 both ways: every byte survives, 0x80-0x9F are their own characters.
    EXPECT_EQ(QtView_PanelWindow(about_)->windowTitle(), QString::fromUtf16(u"\u00DCber TLX1-Steuerung"));
    EXPECT_EQ(Widget<QLabel>(ABOUTPANEL_TEXTMSG_4, about_)->text(),
              QString::fromUtf16(u"TLX1-Steuerung \u2013 Bediensoftware f\u00FCr das TLX-1 Regelmodul"));
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(QStringToCp1252(Cp1252ToQString(all)), all);
    EXPECT_EQ(Cp1252ToQString("\x80\x84\x93\x8A\x9F"), QString::fromUtf16(u"\u20AC\u201E\u201C\u0160\u0178"));
}

TEST_F(QtView, ChartPointsAndManualRangeReachThePaintedWidget)
{
    auto *chart = Widget<StripChartWidget>(PANEL_STRIPCHART);
    for (int i = 0; i < 260; ++i)
        PlotStripChartPoint(main_, PANEL_STRIPCHART, 5.0);  // more than a screen
    SetAxisScalingMode(main_, PANEL_STRIPCHART, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 20.0);
    const QImage image = chart->grab().toImage();
    const ChartPaintInfo &info = chart->lastPaint();
    EXPECT_EQ(info.pointsDrawn, 200);
    EXPECT_EQ(std::pair(info.bottomValue, info.topValue), std::pair(0.0, 20.0));
    EXPECT_EQ(QStringList({info.tickLabels.front(), info.tickLabels.back(), info.yName, info.xName}),
              QStringList({"0", "20", "Istwert [V]", "4 s / div"}));

    // The trace of 5 lies a quarter up the plot; nothing of it at half height.
    const double dpr = image.devicePixelRatio();  // 2 under QT_SCALE_FACTOR=2
    const int x = static_cast<int>(info.plot.center().x() * dpr);
    auto traceNear = [&](double y) {
        for (int dy = -3; dy <= 3; ++dy)
            if ((image.pixel(x, static_cast<int>(y * dpr) + dy) & 0xFFFFFF) == StripChartWidget::kTraceColor)
                return true;
        return false;
    };
    EXPECT_TRUE(traceNear(info.plot.bottom() - info.plot.height() * 0.25));
    EXPECT_FALSE(traceNear(info.plot.center().y()));

    // A minimum above the maximum draws the axis reversed; equal limits and gaps are survived.
    SetAxisScalingMode(main_, PANEL_STRIPCHART, VAL_LEFT_YAXIS, VAL_MANUAL, 10.0, 0.0);
    PlotStripChartPoint(main_, PANEL_STRIPCHART, NAN);
    PlotStripChartPoint(main_, PANEL_STRIPCHART, 1e308);
    chart->grab();
    EXPECT_EQ(std::pair(chart->lastPaint().bottomValue, chart->lastPaint().topValue), std::pair(10.0, 0.0));
    EXPECT_EQ(chart->lastPaint().pointsDrawn, 199);
    SetAxisScalingMode(main_, PANEL_STRIPCHART, VAL_LEFT_YAXIS, VAL_MANUAL, 3.0, 3.0);
    chart->grab();
    EXPECT_LT(chart->lastPaint().bottomValue, chart->lastPaint().topValue);
}

// Two traces in their colours with a legend; a new point draws only its own columns, so painting
// with an hour kept costs what it costs with a screen; the picture saved is the chart as shown.
TEST_F(QtView, ChartDrawsTwoTracesAndOnlyWhatIsNew)
{
    auto *chart = Widget<StripChartWidget>(PANEL_STRIPCHART);
    SetStripChartTraces(main_, PANEL_STRIPCHART, "Istwert\nSollwert", 2);
    auto plot = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const double werte[] = {2.5, 7.5};
            PlotStripChartPoints(main_, PANEL_STRIPCHART, werte, 2);
        }
    };
    plot(kChartHistory + 10);  // the ring has wrapped
    chart->grab();
    const ChartPaintInfo &info = chart->lastPaint();
    EXPECT_EQ(info.pointsDrawn, 200);
    EXPECT_EQ(info.timeLabels, QStringList({"-20 s", "-16 s", "-12 s", "-8 s", "-4 s", "0 s"}));
    const int fullDraws = info.fullDraws;
    const QImage image = chart->grab().toImage();
    const double dpr = image.devicePixelRatio();
    auto colourAt = [&](const QImage &im, double fraction) {
        const int x = static_cast<int>(info.plot.center().x() * dpr);
        const int y = static_cast<int>((info.plot.bottom() - info.plot.height() * fraction) * dpr);
        // The smoothed line's middle pixel, near the trace's colour.
        for (int dy = -3; dy <= 3; ++dy)
            for (unsigned c : StripChartWidget::kTraceColors) {
                const QColor p = im.pixelColor(x, y + dy), t = RgbColor(c);
                if (std::abs(p.red() - t.red()) + std::abs(p.green() - t.green()) + std::abs(p.blue() - t.blue()) < 60)
                    return c;
            }
        return 0u;
    };
    EXPECT_EQ(colourAt(image, 0.25), StripChartWidget::kTraceColors[0]);
    EXPECT_EQ(colourAt(image, 0.75), StripChartWidget::kTraceColors[1]);

    // Steady polling: each point draws a column or two, never the whole plot.
    for (int i = 0; i < 5; ++i) {
        plot(1);
        Frame();
        chart->repaint();
        EXPECT_LE(chart->lastPaint().columnsDrawn, 4);
    }
    EXPECT_EQ(chart->lastPaint().fullDraws, fullDraws);
    EXPECT_EQ(chart->lastPaint().pointsDrawn, 200);
    // A wider span with the hour kept: whole repaints draw one column per pixel at most.
    SetCtrlAttribute(main_, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, 18000);
    Frame();
    chart->repaint();
    EXPECT_LE(chart->lastPaint().columnsDrawn, static_cast<int>(info.plot.width() * dpr) + 1);
    EXPECT_EQ(chart->lastPaint().pointsDrawn, 18000);

    // Held, the screen stays while points come and the labels tell the clock time.
    SetStripChartPaused(main_, PANEL_STRIPCHART, 1);
    Frame();
    const QImage held = chart->grab().toImage();
    plot(50);
    Frame();
    EXPECT_EQ(chart->grab().toImage(), held);
    EXPECT_TRUE(chart->lastPaint().timeLabels.back().contains(':'));

    std::string png;
    ASSERT_EQ(GetCtrlImagePng(main_, PANEL_STRIPCHART, &png), 0);
    const QImage saved = QImage::fromData(QByteArray(png.data(), static_cast<qsizetype>(png.size())), "PNG");
    EXPECT_EQ(saved.size(), chart->size() * chart->devicePixelRatioF());
}

// The window may grow: the chart takes the width, the step list width and height, every other
// control keeps its catalogue place and size; the design size is the least.
TEST_F(QtView, EnlargingTheWindowMovesNoOtherControl)
{
    QWidget *window = QtView_PanelWindow(main_);
    const QSize design = window->size();
    window->resize(design + QSize(300, 200));
    QTest::qWait(50);
    const PanelDef *def = UiModel_PanelDef(main_);
    for (int i = 0; i < def->controlCount; ++i) {
        const CtrlDef &c = def->controls[i];
        QWidget *w = QtView_ControlWidget(main_, c.id);
        if (!w || c.kind == CTRL_TIMER)
            continue;
        const QRect expected(c.left, c.top, c.width + (c.growth & GROW_WIDTH ? 300 : 0),
                             c.height + (c.growth & GROW_HEIGHT ? 200 : 0));
        EXPECT_EQ(w->geometry(), expected) << c.constantName;
    }
    window->resize(design - QSize(100, 100));
    QTest::qWait(50);
    EXPECT_EQ(window->size(), design);
    EXPECT_EQ(QtView_ControlWidget(main_, PANEL_STRIPCHART)->width(), 612);
}

TEST_F(QtView, TimerTicksOnlyWhileEnabled)
{
    g_ticks = 0;
    QTRY_VERIFY_WITH_TIMEOUT(g_ticks >= 2, 2000);  // the catalogue starts it running
    SetCtrlAttribute(main_, PANEL_TIMER, ATTR_ENABLED, 0);
    const int ticks = g_ticks;
    QTest::qWait(250);
    EXPECT_EQ(g_ticks, ticks);
}

TEST_F(QtView, CloseBoxAsksTheApplicationAndPopupsAreModal)
{
    QWidget *mainWindow = QtView_PanelWindow(main_);
    mainWindow->close();
    ASSERT_EQ(g_events.size(), 1u);
    EXPECT_EQ(g_events[0].event, EVENT_CLOSE);
    EXPECT_TRUE(mainWindow->isVisible());  // only the application hides it

    QWidget *child = QtView_PanelWindow(konfig_);
    EXPECT_EQ(child->parentWidget(), mainWindow);
    InstallPopup(konfig_);
    Frame();
    EXPECT_TRUE(child->isVisible());
    EXPECT_EQ(child->windowModality(), Qt::ApplicationModal);
    RemovePopup(0);
    Frame();
    EXPECT_FALSE(child->isVisible());
}

// Answers the modal dialogs as they come up, from a running timer so that a dialog shown again is
// answered too: each file dialog takes the next name (none left or empty: cancel), each message box
// is noted and closed with OK.
struct Answerer {
    QStringList names;
    QStringList seen;  // "title|filters" of file dialogs, texts of message boxes
    int lines = 0;     // lines of the last message box
    QTimer timer;
    explicit Answerer(QStringList answers) : names(std::move(answers))
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                seen << box->windowTitle() + u'|' + box->text();
                const auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
                lines = label ? label->height() / label->fontMetrics().lineSpacing() : 0;
                box->button(QMessageBox::Ok)->click();
            } else if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
                seen << dialog->windowTitle() + u'|' + dialog->nameFilters().join(u',');
                const QString name = names.isEmpty() ? QString() : names.takeFirst();
                if (name.isEmpty())
                    return dialog->reject();
                dialog->selectFile(name);
                static_cast<QDialog *>(dialog)->accept();  // QFileDialog hides the slot
            }
        });
        timer.start(0);
    }
};

TEST_F(QtView, MessagePopupShowsTheTextAsIsAndWaitsForOk)
{
    // Two lines wider than the box would be by default: they keep their own line breaks.
    const char *message = "Achtung: Das st\xE4ndige Abfragen der Istwerte beansprucht <b>das TLX-1</b>\n"
                          "Au\xDF"
                          "erdem k\xF6nnen schnelle Schwingungen hier nicht dargestellt werden. ";
    Answerer answer({});
    MessagePopup("Info", message);
    ASSERT_EQ(answer.seen.size(), 1);
    EXPECT_EQ(answer.seen[0], QStringLiteral("Info|") + Cp1252ToQString(message));
    EXPECT_EQ(answer.lines, 2);
}

TEST_F(QtView, MessagePopupWithButtonsShowsTabLinesAsATableAndEscapeIsTheLastButton)
{
    QStringList texts;
    int clicks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        texts << box->text();
        QList<QAbstractButton *> buttons = box->buttons();
        std::sort(buttons.begin(), buttons.end(), [](auto *a, auto *b) { return a->x() < b->x(); });
        if (clicks++ == 0) {
            for (QAbstractButton *b : buttons)
                if (b->text() == QStringLiteral("Abbrechen"))
                    b->click();
        } else {
            QTest::keyClick(box, Qt::Key_Escape);
        }
    });
    timer.start(0);
    EXPECT_EQ(GenericMessagePopup("Parametersatz schreiben?", "Unterschiede:\nName\tModul\tPanel\nP\t2\t0", "Schreiben",
                                  "Abbrechen", nullptr),
              2);
    EXPECT_EQ(GenericMessagePopup("T", "Einstellungen nicht gespeichert", "Erneut versuchen", "Ohne Speichern beenden",
                                  nullptr),
              2);
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].contains(QStringLiteral("<table")) && texts[0].contains(QStringLiteral("<td>2</td>")))
        << texts[0].toStdString();
    EXPECT_EQ(texts[1], QStringLiteral("Einstellungen nicht gespeichert"));
}

TEST_F(QtView, FileDialogStartsInTheCurrentFolderAndHandsBackTheFileSystemPath)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto back = qScopeGuard([before = QDir::currentPath()] { QDir::setCurrent(before); });
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    QFile existing(dir.filePath(QStringLiteral("alt.tlx")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    char path[MAX_PATHNAME_LEN];
    Answerer answer({QString::fromUtf16(u"\u03A9 gr\u00FCn"), QStringLiteral("alt.tlx"), QString()});
    // Saving adds the extension; a name Windows-1252 cannot spell comes back as the disk spells it.
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Speichern", VAL_SAVE_BUTTON, 0, 1, 1, 1, path), VAL_NEW_FILE_SELECTED);
    EXPECT_EQ(QByteArray(path), QFile::encodeName(dir.filePath(QString::fromUtf16(u"\u03A9 gr\u00FCn.tlx"))));
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, path), VAL_EXISTING_FILE_SELECTED);
    EXPECT_EQ(QString::fromLocal8Bit(path), existing.fileName());
    EXPECT_EQ(FileSelectPopup("", "*.tlx", "", "Laden", VAL_LOAD_BUTTON, 0, 1, 1, 0, path), VAL_NO_FILE_SELECTED);
    EXPECT_STREQ(path, "");
    EXPECT_EQ(answer.seen, QStringList({"Speichern|*.tlx", "Laden|*.tlx", "Laden|*.tlx"}));
}

// ---- the program on a thread of its own -----------------------------------------------------------
// "Lesen" stands for a long device action: it shows a status text, waits until the test opens the
// gate, then raises a popup.
std::mutex g_gateMutex;
std::condition_variable g_gate;
bool g_gateOpen = false;

int LongRead(int panel, int control, int event, void *data, int d1, int d2)
{
    OnCtrl(panel, control, event, data, d1, d2);
    SetCtrlVal(panel, PANEL_TEXT, "lese...");
    {
        std::unique_lock lock(g_gateMutex);
        g_gate.wait_for(lock, std::chrono::seconds(20), [] { return g_gateOpen; });
    }
    MessagePopup("Info", "gelesen");
    SetCtrlVal(panel, PANEL_TEXT, "");
    return 0;
}

int ThreadedProgram(int, char **)
{
    if (!InitUserInterface(0, nullptr))
        return -1;
    TLX1Steuerung_PanelDateiRegistrieren();
    const int main = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL);
    InstallRecorders({main}, {"Callback_Main_ButtonLesen", LongRead, nullptr, nullptr});
    DisplayPanel(main);
    return RunUserInterface() == 0 ? 5 : -1;
}

TEST(QtViewProgramThread, InputDuringALongCallbackWaitsInOrderWhileTheQtThreadPaintsAndShowsItsPopup)
{
    UiTest_Reset();
    QtView_Reset();
    UseQtView();
    g_events.clear();
    g_gateOpen = false;
    QTimer::singleShot(0, [] {
        ASSERT_TRUE(QtView_WaitIdle());
        const int main = UiModel_Panels().front();
        auto *status = dynamic_cast<QLabel *>(QtView_ControlWidget(main, PANEL_TEXT));
        auto *field = dynamic_cast<NumericField *>(QtView_ControlWidget(main, PANEL_SOLLWERT));
        ASSERT_TRUE(status && field);
        QTest::mouseClick(QtView_ControlWidget(main, PANEL_LESEN), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("lese..."), 10000);  // painted meanwhile

        // The operator goes on: a setpoint and "verbinden" wait for the callback.
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, "2");
        QTest::keyClick(field, Qt::Key_Return);
        QTest::mouseClick(QtView_ControlWidget(main, PANEL_VERBINDEN), Qt::LeftButton);
        QTest::qWait(100);
        EXPECT_EQ(UiModel_NumericValue(main, PANEL_SOLLWERT), 0.0);
        EXPECT_FALSE(UiProgram_Idle());

        Answerer answer({});
        {
            const std::lock_guard lock(g_gateMutex);
            g_gateOpen = true;
        }
        g_gate.notify_one();
        ASSERT_TRUE(QtView_WaitIdle());
        EXPECT_EQ(answer.seen, QStringList({"Info|gelesen"}));
        std::vector<std::pair<int, double>> seen;
        for (const Event &e : g_events)
            seen.push_back({e.control, e.value});
        EXPECT_EQ(seen, (std::vector<std::pair<int, double>>{
                            {PANEL_LESEN, 0.0}, {PANEL_SOLLWERT, 2.0}, {PANEL_VERBINDEN, 1.0}}));
        EXPECT_EQ(status->text(), QString());
        QuitUserInterface(0);
    });
    EXPECT_EQ(QtView_RunProgram(ThreadedProgram, 0, nullptr), 5);
    QtView_Reset();
    UiTest_Reset();
}

TEST_F(QtView, QuitEndsTheRunLoopAndNumbersKeepTheirDecimalPoint)
{
    QTimer::singleShot(0, [] { QuitUserInterface(7); });
    EXPECT_EQ(RunUserInterface(), 7);
    // Numbers printed and read by the C library keep their decimal point whatever the user's locale.
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
}

// The room a widget's text needs; a number field must show both ends of its range.
QSize Needed(int panel, int control, QWidget *w)
{
    auto *n = dynamic_cast<NumericField *>(w);
    if (!n)
        return w->minimumSizeHint();
    int widest = n->fontMetrics().horizontalAdvance(n->text());
    for (int end : {ATTR_MIN_VALUE, ATTR_MAX_VALUE})  // the finite ends an operator may type
        if (const double v = ModelDouble(panel, control, end, 0); std::fabs(v) < 1e9)
            widest = std::max(widest, n->fontMetrics().horizontalAdvance(
                                          QString::number(v, 'f', ModelInt(panel, control, ATTR_PRECISION, 0))));
    return {widest + n->arrowRect(true).width() + 10, n->fontMetrics().height() + 4};
}

// Every panel with the real fonts: no control or label leaves its panel, is cut off or overlaps another.
TEST_F(QtView, NothingOverlapsOrIsCutOff)
{
    FillLikeARunningProgram();
    const int analyse = LoadPanel(main_, TLX1STEUERUNG_UIR, ANALYSEPNL);
    ASSERT_GT(analyse, 0);
    for (int panel : {main_, konfig_, about_, schnitt_, analyse}) {
        const QRect area = QtView_PanelWindow(panel)->findChild<QWidget *>(QStringLiteral("panelContent"))->rect();
        const PanelDef *def = UiModel_PanelDef(panel);
        std::vector<std::pair<int, QWidget *>> parts;  // frames may hold others; the timer is not seen
        for (int i = 0; i < def->controlCount; ++i)
            for (QWidget *w :
                 {QtView_ControlWidget(panel, def->controls[i].id), QtView_ControlLabel(panel, def->controls[i].id)})
                if (w && !w->isHidden() && def->controls[i].kind != CTRL_DECORATION &&
                    def->controls[i].kind != CTRL_TIMER)
                    parts.push_back({def->controls[i].id, w});
        for (std::size_t i = 0; i < parts.size(); ++i) {
            QWidget *w = parts[i].second;
            const std::string name = w->objectName().toStdString();
            EXPECT_TRUE(area.contains(w->geometry())) << name << " leaves the panel";
            const QSize need = Needed(panel, parts[i].first, w);
            EXPECT_GE(w->width(), need.width()) << name << " is cut off";
            EXPECT_GE(w->height(), need.height() - 2) << name << " is cut off";
            for (std::size_t j = i + 1; j < parts.size(); ++j)
                EXPECT_FALSE(w->geometry().intersects(parts[j].second->geometry()))
                    << name << " overlaps " << parts[j].second->objectName().toStdString();
        }
    }
}

TEST_F(QtView, ScreenshotsOfEachPanelAtScaleOneAndTwo)
{
    FillLikeARunningProgram();
    const QString dir = qEnvironmentVariable("TLX1_SCREENSHOT_DIR", QStringLiteral(TLX1_SCREENSHOT_DIR));
    ASSERT_TRUE(QDir().mkpath(dir));
    for (auto [panel, name] :
         {std::pair{main_, "main"}, {konfig_, "konfig"}, {about_, "about"}, {schnitt_, "schnittstellen"}}) {
        DisplayPanel(panel);
        Frame();
        QWidget *w = QtView_PanelWindow(panel);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        for (int scale : {1, 2}) {
            QImage image(w->size() * scale, QImage::Format_ARGB32);
            image.setDevicePixelRatio(scale);
            image.fill(w->palette().window().color());
            w->render(&image);
            const QString file = QStringLiteral("%1/%2_%3x.png").arg(dir, QLatin1String(name)).arg(scale);
            EXPECT_TRUE(image.save(file)) << file.toStdString();
        }
    }
}

}  // namespace
