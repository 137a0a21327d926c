#include "platform/qt/qtchart.h"

#include "platform/qt/cp1252.h"
#include "platform/qt/qtwidgets.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <mutex>

namespace {

// Decimals that tell neighbouring ticks apart.
int TickDecimals(double step)
{
    step = std::fabs(step);
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    return std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
}

// The value axis as drawn: an unusable range spans something, equal limits are spread apart.
void DrawnRange(const UiChartState &s, double *lo, double *hi)
{
    *lo = s.lo;
    *hi = s.hi;
    if (!std::isfinite(*lo) || !std::isfinite(*hi))
        *lo = 0.0, *hi = 10.0;
    if (*lo == *hi) {
        const double pad = *lo == 0.0 ? 1.0 : std::fabs(*lo) * 0.1;
        *lo -= pad;
        *hi += pad;
    }
}

QString ClockText(double seconds, bool millis)
{
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(std::llround(seconds * 1000.0)));
    return t.toString(millis ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
}

QStringList TraceNames(const UiChartState &s)
{
    return Cp1252ToQString(s.traceNames).split(u'\n', Qt::SkipEmptyParts);
}

constexpr QColor kPlotColor(0x14, 0x1c, 0x24);
constexpr QColor kGridColor(0x3c, 0x4c, 0x5c);
constexpr QColor kMarkColor(0xc8, 0xc8, 0xd0);

}  // namespace

StripChartWidget::StripChartWidget(int panel, int control, QWidget *parent)
    : QWidget(parent), panel_(panel), control_(control)
{
    // Every pixel comes from the chart itself, so nothing behind it is painted first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
}

double StripChartWidget::pixelsPerPoint(const UiChartState &s) const
{
    return std::round(info_.plot.width() * devicePixelRatioF()) / std::max(2, s.pointsPerScreen);
}

StripChartWidget::Screen StripChartWidget::screen(const UiChartState &s) const
{
    Screen g;
    const qreal dpr = devicePixelRatioF();
    g.w = std::max(1, static_cast<int>(std::round(info_.plot.width() * dpr)));
    g.h = std::max(1, static_cast<int>(std::round(info_.plot.height() * dpr)));
    g.dx = pixelsPerPoint(s);
    g.newest = s.end > 0 ? g.column(s.end - 1) : 0;
    // The edge moves on in steps of a fortieth of the width: in between, a new point only fills its
    // own columns and the rest of the plot stays where it is.
    const long long step = std::max(1, g.w / 40);
    g.edge = (g.newest / step + 1) * step - 1;
    return g;
}

StripChartWidget::FrameKey StripChartWidget::frameKey(const UiChartState &s, double lo, double hi) const
{
    // Held, the time labels name the clock time of the screen's points.
    return {size(),
            devicePixelRatioF(),
            lo,
            hi,
            s.yName,
            s.xName,
            s.traceNames,
            s.stepTraces,
            s.pointsPerScreen,
            s.paused ? s.end : -1,
            s.paused ? s.keptFirst : -1,
            palette().cacheKey(),
            font()};
}

void StripChartWidget::modelChanged()
{
    UiChartState s;
    if (UiModel_ChartState(panel_, control_, &s) != 0)
        return;
    double lo, hi;
    DrawnRange(s, &lo, &hi);
    if (!(frameKey(s, lo, hi) == backgroundKey_) || s.note != noteBytes_ || !info_.plot.isValid()) {
        update();
        return;
    }
    // New points between two steps of the edge: only their columns are painted again.
    const Screen g = screen(s);
    const long long oldNewest = layerEnd_ > 0 ? g.column(layerEnd_ - 1) : 0;
    if (g.edge == layerRight_ && s.end >= layerEnd_ && s.first >= layerFirst_ && !info_.plot.contains(mouse_)) {
        const qreal dpr = devicePixelRatioF();
        const double x0 = info_.plot.left() + static_cast<double>(g.w - 1 - (g.edge - oldNewest + 1)) / dpr;
        const double x1 = info_.plot.left() + static_cast<double>(g.w - (g.edge - g.newest)) / dpr;
        update(QRectF(x0 - 2, info_.plot.top(), x1 - x0 + 4, info_.plot.height()).toAlignedRect() &
               info_.plot.toAlignedRect());
        return;
    }
    update(info_.plot.toAlignedRect());
}

void StripChartWidget::paintEvent(QPaintEvent *event)
{
    UiChartState s;
    if (UiModel_ChartState(panel_, control_, &s) != 0)
        return;
    double lo, hi;
    DrawnRange(s, &lo, &hi);
    s.lo = lo;
    s.hi = hi;

    // Grid, ticks, names and the legend change rarely: they are drawn into a picture kept until one of
    // them, the size or the palette changes.
    const qreal dpr = devicePixelRatioF();
    const FrameKey key = frameKey(s, lo, hi);
    if (background_.isNull() || !(key == backgroundKey_)) {
        backgroundKey_ = key;
        const ChartPaintInfo before = info_;
        info_ = ChartPaintInfo{};
        info_.fullDraws = before.fullDraws;
        info_.pointsDrawn = before.pointsDrawn;
        info_.bottomValue = lo;
        info_.topValue = hi;
        info_.yName = Cp1252ToQString(s.yName);
        info_.xName = Cp1252ToQString(s.xName);
        background_ = QPixmap(size() * dpr);
        background_.setDevicePixelRatio(dpr);
        background_.fill(palette().color(QPalette::Window));  // opaque: drawn as a plain copy
        QPainter b(&background_);
        b.setRenderHint(QPainter::Antialiasing);
        paintBackground(b, s);
    }
    if (s.note != noteBytes_) {
        noteBytes_ = s.note;
        const QString note = Cp1252ToQString(s.note);
        note_ = QPixmap();
        if (!note.isEmpty()) {
            const QFontMetrics fm = fontMetrics();
            const QRect text = fm.boundingRect(QRect(0, 0, 2000, 2000), Qt::AlignLeft | Qt::AlignTop, note);
            note_ = QPixmap((text.size() + QSize(12, 8)) * dpr);
            note_.setDevicePixelRatio(dpr);
            note_.fill(Qt::transparent);
            QPainter n(&note_);
            n.setRenderHint(QPainter::Antialiasing);
            n.setPen(QPen(kGridColor, 1));
            n.setBrush(QColor(0x0a, 0x10, 0x16, 215));
            n.drawRoundedRect(QRectF(0.5, 0.5, text.width() + 11, text.height() + 7), 4, 4);
            n.setPen(QColor(0xe8, 0xee, 0xf4));
            n.drawText(QRect(6, 4, text.width(), text.height()), Qt::AlignLeft | Qt::AlignTop, note);
        }
    }

    QPainter p(this);
    const QRectF plot = info_.plot;
    const bool usable = plot.width() >= 10 && plot.height() >= 10;
    // The plot's own picture covers the plot; the background is copied only around it.
    const QRegion around = usable ? event->region().subtracted(QRegion(plot.toAlignedRect())) : event->region();
    for (const QRect &r : around)
        p.drawPixmap(r, background_, QRectF(QRectF(r).topLeft() * dpr, QSizeF(r.size()) * dpr));
    if (!usable)
        return;
    drawTraces(s, false);
    p.save();
    p.setClipRect(plot);
    // The picture's column right+1 .. (its x = split ..) comes first on screen, then 0 .. split.
    const int w = layer_.width();
    const int split = static_cast<int>(((layerRight_ + 1) % w + w) % w);
    const double h = layer_.height() / dpr;
    p.drawPixmap(QRectF(plot.left(), plot.top(), (w - split) / dpr, h), layer_,
                 QRectF(split, 0, w - split, layer_.height()));
    if (split > 0)
        p.drawPixmap(QRectF(plot.left() + (w - split) / dpr, plot.top(), split / dpr, h), layer_,
                     QRectF(0, 0, split, layer_.height()));
    // The time grid stays where the divisions are labelled.
    if (timeGrid_.isNull() || timeGrid_.height() != layer_.height()) {
        timeGrid_ = QPixmap(1, layer_.height());
        timeGrid_.fill(Qt::transparent);
        QPainter g(&timeGrid_);
        for (int y = 0; y < timeGrid_.height(); y += 3)
            g.fillRect(0, y, 1, 1, kGridColor);
    }
    for (int i = 1; i < kTimeDivisions; ++i) {
        const double x = std::round((plot.left() + plot.width() * i / kTimeDivisions) * dpr) / dpr;
        p.drawPixmap(QRectF(x, plot.top(), 1.0 / dpr, h), timeGrid_, QRectF(timeGrid_.rect()));
    }
    if (!note_.isNull())
        p.drawPixmap(plot.topLeft() + QPointF(6, 6), note_);
    drawReadout(p, s);
    p.restore();
}

// The plot's pixels go into layer_: plot colour, value grid, marks and traces, one pixel column per
// column of points. Column c lies at x = c mod width, so new points never move the picture: only
// their columns are drawn, and the paint puts the two parts side by side with the edge column at the
// right. Anything else (size, range, conversion, span, a screen scrolled back) draws all columns anew.
void StripChartWidget::drawTraces(const UiChartState &s, bool forceFull)
{
    const qreal dpr = devicePixelRatioF();
    const Screen g = screen(s);
    const int w = g.w, h = g.h;
    const double dx = g.dx;
    auto column = [&g](long long point) { return g.column(point); };
    const LayerKey key{
        w, h, s.lo, s.hi, s.revision, s.pointsPerScreen, s.stepTraces, static_cast<int>(info_.tickLabels.size())};
    const long long right = g.edge;
    const long long oldNewest = layerEnd_ > 0 ? column(layerEnd_ - 1) : 0;
    const bool full = forceFull || layer_.isNull() || !(key == layerKey_) || s.end < layerEnd_ ||
                      s.first < layerFirst_ || right - layerRight_ >= w || layerEnd_ <= layerFirst_;
    const bool moved = right != layerRight_;
    layerRight_ = right;
    info_.columnsDrawn = 0;
    if (!full && !moved && s.end == layerEnd_ && s.first == layerFirst_)
        return;  // nothing new

    long long from = s.first;               // points to draw
    long long clearFrom = right - (w - 1);  // first column drawn anew
    if (full) {
        layer_ = QPixmap(w, h);
        layerKey_ = key;
        ++info_.fullDraws;
        info_.pointsDrawn = static_cast<int>(UiModel_ChartFiniteCount(panel_, control_, s.first, s.end));
    } else {
        // The old newest column may have taken more points; it is drawn again from the one before it,
        // and the columns up to the edge are cleared of what they showed a screen ago.
        clearFrom = oldNewest;
        from = std::max(s.first, static_cast<long long>(std::ceil(static_cast<double>(oldNewest - 1) / dx)) - 1);
        info_.pointsDrawn += static_cast<int>(UiModel_ChartFiniteCount(panel_, control_, layerEnd_, s.end) -
                                              UiModel_ChartFiniteCount(panel_, control_, layerFirst_, s.first));
    }
    layerFirst_ = s.first;
    layerEnd_ = s.end;
    const std::vector<UiChartColumn> columns =
        s.end > s.first ? UiModel_ChartColumns(panel_, control_, from, s.end, dx) : std::vector<UiChartColumn>{};
    const double scale = h / (s.hi - s.lo);
    auto yOf = [&](double v) { return std::clamp(h - (v - s.lo) * scale, -4.0 * h, 5.0 * h); };
    // Dense screens (several points to a pixel) draw plain lines; the smoothing would cost far more.
    const bool dense = dx < 1.0;

    QPainter p(&layer_);
    // The columns clearFrom..right, in one or two runs where they wrap round the picture's edge.
    for (long long a = clearFrom; a <= right;) {
        const long long wrap = a - ((a % w) + w) % w;  // column shown at x = 0 in this run
        const long long b = std::min(right, wrap + w - 1);
        p.save();
        p.setClipRect(QRect(static_cast<int>(a - wrap), 0, static_cast<int>(b - a + 1), h));
        p.translate(static_cast<double>(-wrap), 0.0);
        const QRectF cleared(static_cast<double>(a), 0.0, static_cast<double>(b - a + 1), h);
        p.fillRect(cleared, kPlotColor);
        // Value grid: dotted lines whose dots sit on the same columns however the run begins.
        QPen grid(kGridColor, 1, Qt::CustomDashLine);
        grid.setDashPattern({1.0, 2.0});
        grid.setDashOffset(static_cast<double>(((a % 3) + 3) % 3));
        p.setPen(grid);
        const int divisions = std::max(1, static_cast<int>(info_.tickLabels.size()) - 1);
        for (int i = 1; i < divisions; ++i) {
            const double y = std::round(h - static_cast<double>(h) * i / divisions) + 0.5;
            p.drawLine(QPointF(static_cast<double>(a), y), QPointF(static_cast<double>(b + 1), y));
        }
        p.setPen(QPen(kMarkColor, dpr, Qt::DashLine));
        for (long long m : s.marks)
            if (const long long c = column(m); c >= a - 1 && c <= b)
                p.drawLine(QPointF(static_cast<double>(c) + 0.5, 0), QPointF(static_cast<double>(c) + 0.5, h));
        p.setRenderHint(QPainter::Antialiasing, !dense);
        for (int t = 0; t < kChartTraces; ++t) {
            QPainterPath path;
            bool open = false;
            double lastX = 0.0, lastY = 0.0;
            const bool step = (s.stepTraces >> t) & 1;
            std::vector<QLineF> lines;
            for (const UiChartColumn &c : columns) {
                if (std::isnan(c.first[t])) {
                    open = false;
                    continue;
                }
                const double x = static_cast<double>(c.column) + 0.5;
                const double y = yOf(c.first[t]);
                if (open && (c.joined >> t & 1)) {
                    if (step) {
                        lines.emplace_back(lastX, lastY, x, lastY);
                        lines.emplace_back(x, lastY, x, y);
                    } else {
                        lines.emplace_back(lastX, lastY, x, y);
                    }
                }
                if (c.lo[t] != c.hi[t])
                    lines.emplace_back(x, yOf(c.lo[t]), x, yOf(c.hi[t]));
                lastX = x;
                lastY = yOf(c.last[t]);
                open = true;
            }
            if (dense) {
                p.setPen(QPen(RgbColor(kTraceColors[t]), 1));
                p.drawLines(lines.data(), static_cast<int>(lines.size()));
            } else {
                // Sparse: one smoothed path, so the joins look right.
                for (const QLineF &l : lines) {
                    if (path.isEmpty() || path.currentPosition() != l.p1())
                        path.moveTo(l.p1());
                    path.lineTo(l.p2());
                }
                p.setPen(QPen(RgbColor(kTraceColors[t]), (t == 0 ? 1.6 : 1.4) * dpr));
                p.drawPath(path);
            }
        }
        p.restore();
        a = b + 1;
    }
    info_.columnsDrawn = static_cast<int>(columns.size());
}

void StripChartWidget::paintBackground(QPainter &p, const UiChartState &s)
{
    const double lo = info_.bottomValue, hi = info_.topValue;
    const QFontMetrics fm = fontMetrics();
    // Value ticks: as many divisions as fit the height, at most ten.
    const int lineH = fm.height();
    const double bottomRows = 2.0 * lineH + 10;  // time labels, then legend and time axis name
    const double probeH = height() - lineH - bottomRows;
    int yDiv = 10;
    while (yDiv > 2 && probeH / yDiv < lineH * 1.4)
        yDiv /= 2;
    const int decimals = TickDecimals((hi - lo) / yDiv);
    int tickW = 0;
    for (int i = 0; i <= yDiv; ++i) {
        info_.tickLabels << FormatTick(lo + (hi - lo) * i / yDiv, decimals);
        tickW = std::max(tickW, fm.horizontalAdvance(info_.tickLabels.back()));
    }

    const double left = lineH + 6 + tickW + 6;
    const double top = std::round(lineH / 2.0 + 2);
    const QRectF plot(left, top, std::round(width() - left - 12), std::round(height() - top - bottomRows));
    info_.plot = plot;
    if (plot.width() < 10 || plot.height() < 10)
        return;

    const QPalette &pal = palette();
    p.fillRect(plot, kPlotColor);  // the grid lies in the traces' picture (drawTraces) and over it
    p.setPen(QPen(pal.color(QPalette::Mid), 1));
    p.drawRect(plot.adjusted(-0.5, -0.5, 0.5, 0.5));

    p.setPen(pal.color(QPalette::WindowText));
    for (int i = 0; i <= yDiv; ++i) {
        const double y = plot.bottom() - plot.height() * i / yDiv;
        const QRectF r(plot.left() - 6 - tickW, y - lineH / 2.0, tickW, lineH);
        p.drawText(r, Qt::AlignRight | Qt::AlignVCenter, info_.tickLabels[i]);
    }

    // Time labels: live, seconds before the newest point; held, the clock time of the points there.
    const int pps = std::max(2, s.pointsPerScreen);
    for (int i = 0; i <= kTimeDivisions; ++i) {
        const double back = static_cast<double>(pps) * (kTimeDivisions - i) / kTimeDivisions;
        QString label;
        if (!s.paused) {
            const double seconds = -back * kSecondsPerPoint;
            label = FormatTick(seconds, TickDecimals(pps * kSecondsPerPoint / kTimeDivisions)) + QStringLiteral(" s");
        } else {
            // The clock time at the division: of its point, or counted on from the newest one.
            const Screen g = screen(s);
            const long long there = std::llround((static_cast<double>(g.edge) + 0.5) / g.dx - 0.5 - back);
            ChartPoint point{};
            if (UiModel_ChartPoint(panel_, control_, std::min(there, s.end - 1), &point, nullptr) == 0)
                label = ClockText(
                    point.time + static_cast<double>(std::max(0LL, there - (s.end - 1))) * kSecondsPerPoint, false);
        }
        info_.timeLabels << label;
        const double x = plot.left() + plot.width() * i / kTimeDivisions;
        const double lw = fm.horizontalAdvance(label) + 2;
        const double lx = std::clamp(x - lw / 2, 0.0, width() - lw);
        p.drawText(QRectF(lx, plot.bottom() + 3, lw, lineH), Qt::AlignCenter, label);
    }

    // Legend on the left, the time axis name in the middle, a hint while held on the right.
    const double row = plot.bottom() + 5 + lineH;
    double x = plot.left();
    const QStringList names = TraceNames(s);
    for (int t = 0; t < std::min<int>(kChartTraces, static_cast<int>(names.size())); ++t) {
        p.setPen(QPen(RgbColor(kTraceColors[t]).darker(t == 0 ? 125 : 110), 3));
        p.drawLine(QPointF(x, row + lineH / 2.0), QPointF(x + 16, row + lineH / 2.0));
        x += 20;
        p.setPen(pal.color(QPalette::WindowText));
        const double nw = fm.horizontalAdvance(names[t]) + 2;
        p.drawText(QRectF(x, row, nw, lineH), Qt::AlignLeft | Qt::AlignVCenter, names[t]);
        x += nw + 12;
    }
    p.setPen(pal.color(QPalette::WindowText));
    if (!s.paused)
        p.drawText(QRectF(plot.left(), row, plot.width(), lineH + 2), Qt::AlignCenter, info_.xName);
    else
        p.drawText(QRectF(x, row, plot.right() - x, lineH + 2), Qt::AlignRight | Qt::AlignVCenter,
                   info_.xName + QStringLiteral(" \u2013 angehalten: Ziehen oder Mausrad bl\u00e4ttert"));
    p.save();
    p.translate(2, plot.center().y());
    p.rotate(-90);
    p.drawText(QRectF(-plot.height() / 2, 0, plot.height(), lineH), Qt::AlignCenter, info_.yName);
    p.restore();
}

// A line at the point under the mouse and a box with its time and values.
void StripChartWidget::drawReadout(QPainter &p, const UiChartState &s)
{
    const QRectF plot = info_.plot;
    if (!plot.contains(mouse_) || s.end <= s.first)
        return;
    const qreal dpr = devicePixelRatioF();
    const Screen g = screen(s);
    const double dx = g.dx;
    const int w = g.w;
    const long long right = g.edge;
    const double col = static_cast<double>(right) - (w - 1 - std::floor((mouse_.x() - plot.left()) * dpr));
    const long long point = std::clamp(std::llround((col + 0.5) / dx - 0.5), s.first, s.end - 1);
    if (static_cast<double>(g.column(point)) < col - 2.0 * std::max(1.0, 1.0 / dx))
        return;  // right of the newest
    ChartPoint raw{};
    double shown[kChartTraces];
    if (UiModel_ChartPoint(panel_, control_, point, &raw, shown) != 0)
        return;
    const double x =
        plot.left() +
        (w - 1 - (right - static_cast<long long>(std::floor(static_cast<double>(point) * dx))) + 0.5) / dpr;
    p.setPen(QPen(QColor(0xff, 0xff, 0xff, 140), 1));
    p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));

    QStringList lines{ClockText(raw.time, true)};
    const QStringList names = TraceNames(s);
    const int decimals = std::min(6, TickDecimals((s.hi - s.lo) / 10000.0));
    for (int t = 0; t < kChartTraces; ++t) {
        if (t >= names.size() && t > 0)
            break;
        const QString name = t < names.size() ? names[t] : QString();
        const QString value = std::isfinite(shown[t]) ? FormatTick(shown[t], decimals) : QStringLiteral("\u2013");
        lines << (name.isEmpty() ? value : name + QStringLiteral(": ") + value);
    }
    const QString text = lines.join(u'\n');
    const QFontMetrics fm = fontMetrics();
    const QRect r = fm.boundingRect(QRect(0, 0, 1000, 1000), Qt::AlignLeft | Qt::AlignTop, text);
    QRectF box(x + 8, mouse_.y() + 8, r.width() + 10, r.height() + 6);
    if (box.right() > plot.right() - 2)
        box.moveRight(x - 8);
    if (box.bottom() > plot.bottom() - 2)
        box.moveBottom(mouse_.y() - 8);
    p.setPen(QPen(kGridColor, 1));
    p.setBrush(QColor(0x0a, 0x10, 0x16, 225));
    p.drawRect(box);
    p.setPen(QColor(0xe8, 0xee, 0xf4));
    p.drawText(box.adjusted(5, 3, -5, -3), Qt::AlignLeft | Qt::AlignTop, text);
}

void StripChartWidget::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint before = mouse_;
    mouse_ = event->position().toPoint();
    if (dragX_ >= 0 && (event->buttons() & Qt::LeftButton)) {
        // Dragging to the right pulls older points into view.
        UiChartState s;
        if (UiModel_ChartState(panel_, control_, &s) == 0 && s.paused) {
            const double perPoint = pixelsPerPoint(s) / devicePixelRatioF();
            dragRest_ += (mouse_.x() - dragX_) / perPoint;
            const auto points = static_cast<long long>(dragRest_);
            dragRest_ -= static_cast<double>(points);
            if (points != 0)
                scroll(points);
        }
        dragX_ = mouse_.x();
    }
    if (info_.plot.contains(before) || info_.plot.contains(mouse_))
        update(info_.plot.toAlignedRect().adjusted(-2, -2, 2, 2));
}

void StripChartWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && info_.plot.contains(event->position())) {
        dragX_ = event->position().toPoint().x();
        dragRest_ = 0.0;
    }
}

void StripChartWidget::mouseReleaseEvent(QMouseEvent *)
{
    dragX_ = -1;
}

void StripChartWidget::leaveEvent(QEvent *)
{
    mouse_ = QPoint(-1, -1);
    update(info_.plot.toAlignedRect().adjusted(-2, -2, 2, 2));
}

void StripChartWidget::wheelEvent(QWheelEvent *event)
{
    UiChartState s;
    if (UiModel_ChartState(panel_, control_, &s) != 0 || !s.paused) {
        event->ignore();
        return;
    }
    // One notch moves a tenth of the screen; turning away from oneself goes back in time.
    const long long step = std::max(1, s.pointsPerScreen / 10);
    scroll(event->angleDelta().y() / 120 * step);
    event->accept();
}

void StripChartWidget::scroll(long long points)
{
    if (points != 0)
        UiOperator_ScrollChart(panel_, control_, points);
}
