// The strip chart of the Qt view: the kept points of the model drawn as up to two traces with a
// legend, marks and a note, held and scrolled back by the operator, with the time and values under
// the mouse. Painting costs what the pixels on screen cost, not what the history holds: the traces
// lie in a picture of the plot whose columns are used round in turn, and each frame draws only the
// columns of the points that came in since the last one.
#pragma once

#include "platform/userint/userint_view.h"

#include <QFont>
#include <QPixmap>
#include <QRectF>
#include <QStringList>
#include <QWidget>

#include <cmath>
#include <string>

// What the strip chart drew last, so tests can see that points and axis range reached the screen.
struct ChartPaintInfo {
    double bottomValue = 0.0, topValue = 0.0;  // value axis at the bottom and at the top of the plot
    int pointsDrawn = 0;                       // points of trace 0 with a value on screen
    QRectF plot;                               // plot area in widget coordinates
    QStringList tickLabels;                    // value axis labels, bottom to top
    QStringList timeLabels;                    // time axis labels, left to right
    QString yName, xName;
    int fullDraws = 0;     // times the whole plot was drawn anew
    int columnsDrawn = 0;  // pixel columns drawn by the last paint
};

// Time axis: five divisions, the newest point at the right edge or at most a fortieth of the width
// before it (the edge moves on in steps). Live, the divisions are labelled in seconds before the
// edge; held, with the clock time there.
class StripChartWidget : public QWidget {
public:
    StripChartWidget(int panel, int control, QWidget *parent);
    const ChartPaintInfo &lastPaint() const { return info_; }
    // The model reported new points or settings: repaint the plot, or all of it when its frame changed.
    void modelChanged();
    static constexpr int kTimeDivisions = 5;
    static constexpr double kSecondsPerPoint = 0.1;
    static constexpr unsigned kTraceColors[kChartTraces] = {0xFFD400, 0x4FC3F7};
    static constexpr unsigned kTraceColor = kTraceColors[0];

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    // What the background shows and what the traces' picture was drawn for; a change draws it anew.
    struct FrameKey {
        QSize size;
        qreal dpr = 0;
        double lo = 0, hi = 0;
        std::string yName, xName, traceNames;
        int stepTraces = 0;
        int pointsPerScreen = 0;
        long long heldEnd = -1, heldKept = -1;
        qint64 palette = 0;
        QFont font;
        bool operator==(const FrameKey &) const = default;
    };
    struct LayerKey {
        int w = 0, h = 0;
        double lo = 0, hi = 0;
        unsigned revision = 0;
        int pointsPerScreen = 0, stepTraces = 0, divisions = 0;
        bool operator==(const LayerKey &) const = default;
    };
    FrameKey frameKey(const UiChartState &s, double lo, double hi) const;
    // The plot in device pixels: its size, pixels per point, the column of the newest point and the
    // column at the right edge (pixel column c shows the points p with floor(p * dx) == c).
    struct Screen {
        int w = 1, h = 1;
        double dx = 1.0;
        long long newest = 0, edge = 0;
        long long column(long long point) const
        {
            return static_cast<long long>(std::floor(static_cast<double>(point) * dx));
        }
    };
    Screen screen(const UiChartState &s) const;
    void paintBackground(QPainter &p, const UiChartState &s);  // fills info_'s layout
    void drawTraces(const UiChartState &s, bool full);
    void drawReadout(QPainter &p, const UiChartState &s);
    void scroll(long long points);
    double pixelsPerPoint(const UiChartState &s) const;
    int panel_, control_;
    ChartPaintInfo info_;
    QPixmap background_;
    FrameKey backgroundKey_;
    QPixmap layer_;  // the plot: column c at x = c mod width
    LayerKey layerKey_;
    long long layerFirst_ = 0, layerEnd_ = 0, layerRight_ = 0;
    QPixmap timeGrid_;  // one dotted vertical line
    QPixmap note_;
    std::string noteBytes_;
    QPoint mouse_{-1, -1};
    int dragX_ = -1;
    double dragRest_ = 0.0;
};
