// Benchmark: the strip chart of the main window in the Qt view (platform QT_QPA_PLATFORM, offscreen
// when unset), without the program and the bus.
//
//   bench_chart [FRAMES]        frames per measurement, default 400
//
// 1. One frame of polling as the window paints it: a new point on the chart and a new actual value
//    in the ISTWERT field, the frame, Qt's paint and flush; CPU time per frame. With 200 points kept
//    and with one hour (36 000 points) kept, alternating in blocks, so drift of a loaded machine hits
//    both alike. Goal: one hour at most 1.2 times 200 points.
// 2. The same for the other spans (1, 5, 30 min) with one hour kept, and a whole repaint of the chart
//    (a new value range) per span.
// 3. Memory of one hour of history: the process's resident memory before and after plotting it.
#include "bench/messung.h"
#include "platform/qt/qtchart.h"
#include "platform/qt/qtview.h"
#include "platform/userint/userint_view.h"
#include "ui/TLX1Steuerung.h"

#include <QApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

int g_panel = 0;
long g_punkt = 0;

void Plotten(int anzahl)
{
    for (int i = 0; i < anzahl; ++i, ++g_punkt) {
        const double werte[] = {5.0 + 2.0 * std::sin(static_cast<double>(g_punkt) * 0.01),
                                g_punkt / 600 % 2 ? 7.0 : 3.0};
        PlotStripChartPoints(g_panel, PANEL_STRIPCHART, werte, 2);
    }
}

// CPU seconds per polling frame: point, field, frame, paint.
double Frames(int frames, bool punkt = true, bool feld = true)
{
    QtView_WaitIdle();
    QCoreApplication::processEvents();
    const double a = bench::CpuSekunden();
    for (int i = 0; i < frames; ++i) {
        if (punkt)
            Plotten(1);
        if (feld)
            SetCtrlVal(g_panel, PANEL_ISTWERT, 5.0 + (i % 100) * 0.001);
        QtView_WaitIdle();
        QCoreApplication::processEvents();
    }
    return (bench::CpuSekunden() - a) / frames;
}

// CPU seconds per whole repaint of the chart.
double Ganz(int frames)
{
    auto *chart = dynamic_cast<StripChartWidget *>(QtView_ControlWidget(g_panel, PANEL_STRIPCHART));
    const double a = bench::CpuSekunden();
    for (int i = 0; i < frames; ++i) {
        SetAxisScalingMode(g_panel, PANEL_STRIPCHART, VAL_LEFT_YAXIS, VAL_MANUAL, 0.0, 10.0 + (i % 2));
        QtView_WaitIdle();
        chart->repaint();
    }
    return (bench::CpuSekunden() - a) / frames;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM") && !qEnvironmentVariableIsSet("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int frames = argc > 1 ? std::max(50, std::atoi(argv[1])) : 400;
    UseQtView();
    InitUserInterface(argc, argv);
    TLX1Steuerung_PanelDateiRegistrieren();
    g_panel = LoadPanel(0, TLX1STEUERUNG_UIR, PANEL);
    SetStripChartTraces(g_panel, PANEL_STRIPCHART, "Istwert\nSollwert", 2);
    DisplayPanel(g_panel);
    QtView_WaitIdle();
    std::printf("platform: %s\n", QGuiApplication::platformName().toUtf8().constData());

    // 3. first: the hour plotted into the model, nothing painted yet.
    const long vorher = ResidentKiB();
    Plotten(kChartHistory);
    const long nachher = ResidentKiB();

    // 1. 200 points against one hour, in alternating blocks; the first block of each warms up.
    std::vector<double> kurz, lang;
    for (int block = 0; block < 6; ++block) {
        ClearStripChart(g_panel, PANEL_STRIPCHART);
        Plotten(200);
        const double k = Frames(frames / 4);
        ClearStripChart(g_panel, PANEL_STRIPCHART);
        Plotten(kChartHistory);
        const double l = Frames(frames / 4);
        if (block > 0)
            kurz.push_back(k), lang.push_back(l);
    }
    std::printf("polling frame (point, ISTWERT, paint), 20 s span: %.1f us with 200 points kept, %.1f us with one "
                "hour kept (ratio %.2f, goal <= 1.2)\n",
                bench::Median(kurz) * 1e6, bench::Median(lang) * 1e6, bench::Median(lang) / bench::Median(kurz));

    std::printf("  of it: the chart's point alone %.1f us, the ISTWERT field alone %.1f us, neither %.1f us\n",
                Frames(frames / 2, true, false) * 1e6, Frames(frames / 2, false, true) * 1e6,
                Frames(frames / 2, false, false) * 1e6);

    // 2. The other spans with one hour kept.
    for (int punkte : {200, 600, 3000, 18000}) {
        SetCtrlAttribute(g_panel, PANEL_STRIPCHART, ATTR_POINTS_PER_SCREEN, punkte);
        const double f = Frames(frames / 2);
        const double g = Ganz(frames / 8);
        std::printf("span %5d points: polling frame %.1f us, whole chart repainted %.1f us\n", punkte, f * 1e6,
                    g * 1e6);
    }
    std::printf("memory: one hour of history (%d points, two traces) adds %ld KiB resident (goal < 2048 KiB; "
                "its ring is %zu KiB)\n",
                kChartHistory, nachher - vorher, sizeof(ChartPoint) * kChartHistory / 1024);
    return 0;
}
