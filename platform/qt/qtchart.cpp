#include "platform/qt/qtchart.h"

#include "platform/qt/cp1252.h"
#include "platform/qt/qtwidgets.h"

#include <QDateTime>
#include <QMouseEvent>
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
    if (!(step > 0) || !std::isfinite(step)) return 0;
    return std::clamp(static_cast<int>(std::ceil(-std::log10(step) - 1e-9)), 0, 6);
}

// The value axis as drawn: an unusable range spans something, equal limits are spread apart.
void DrawnRange(const UiChartState &s, double *lo, double *hi)
{
    *lo = s.lo;
    *hi = s.hi;
    if (!std::isfinite(*lo) || !std::isfinite(*hi)) *lo = 0.0, *hi = 10.0;
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

QString StripChartWidget::frameKey(const UiChartState &s, double lo, double hi) const
{
    // Held, the time labels name the clock time of the screen's points.
    return QStringLiteral("%1x%2@%3|%4|%5|%6|%7|%8|%9|%10|%11|%12")
        .arg(width())
        .arg(height())
        .arg(devicePixelRatioF())
        .arg(lo, 0, 'g', 17)
        .arg(hi, 0, 'g', 17)
        .arg(Cp1252ToQString(s.yName + '\x01' + s.xName + '\x01' + s.traceNames))
        .arg(s.pointsPerScreen)
        .arg(s.paused ? s.end : -1)
        .arg(s.paused ? s.keptFirst : -1)
        .arg(palette().cacheKey())
        .arg(s.stepTraces)
        .arg(font().key());
}

void StripChartWidget::modelChanged()
{
    UiChartState s;
    if (UiModel_ChartState(panel_, control_, &s) != 0) return;
    double lo, hi;
    DrawnRange(s, &lo, &hi);
    // New points only: the plot alone is painted again.
    if (frameKey(s, lo, hi) == backgroundKey_ && Cp1252ToQString(s.note) == noteText_ && info_.plot.isValid())
        update(info_.plot.toAlignedRect().adjusted(-2, -2, 2, 2));
    else
        update();
}

void StripChartWidget::paintEvent(QPaintEvent *)
{
    UiChartState s;
    if (UiModel_ChartState(panel_, control_, &s) != 0) return;
    double lo, hi;
    DrawnRange(s, &lo, &hi);
    s.lo = lo;
    s.hi = hi;

    // Grid, ticks, names and the legend change rarely: they are drawn into a picture kept until one of
    // them, the size or the palette changes.
    const qreal dpr = devicePixelRatioF();
    const QString key = frameKey(s, lo, hi);
    if (background_.isNull() || key != backgroundKey_) {
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
        background_.fill(palette().color(QPalette::Window));   // opaque: drawn as a plain copy
        QPainter b(&background_);
        b.setRenderHint(QPainter::Antialiasing);
        paintBackground(b, s);
    }
    const QString note = Cp1252ToQString(s.note);
    if (note != noteText_) {
        noteText_ = note;
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
    p.drawPixmap(0, 0, background_);
    const QRectF plot = info_.plot;
    if (plot.width() < 10 || plot.height() < 10) return;
    drawTraces(s, false);
    p.save();
    p.setClipRect(plot);
    p.drawPixmap(QRectF(plot.topLeft(), QSizeF(layer_.size()) / devicePixelRatioF()), layer_, QRectF(layer_.rect()));
    if (!note_.isNull()) p.drawPixmap(plot.topLeft() + QPointF(6, 6), note_);
    drawReadout(p, s);
    p.restore();
    p.setPen(QPen(palette().color(QPalette::Mid), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(plot);
}

// The traces and marks go into layer_, a picture of the plot whose right edge shows the screen's
// newest point. New points scroll it by whole pixels and only their columns are drawn; anything
// else (size, range, conversion, span, a screen scrolled back) draws all columns anew.
void StripChartWidget::drawTraces(const UiChartState &s, bool forceFull)
{
    const qreal dpr = devicePixelRatioF();
    const int w = static_cast<int>(std::round(info_.plot.width() * dpr));
    const int h = static_cast<int>(std::round(info_.plot.height() * dpr));
    const double dx = pixelsPerPoint(s);
    auto column = [dx](long long point) { return static_cast<long long>(std::floor(static_cast<double>(point) * dx)); };
    const QString key = QStringLiteral("%1x%2|%3|%4|%5|%6|%7")
                            .arg(w)
                            .arg(h)
                            .arg(s.lo, 0, 'g', 17)
                            .arg(s.hi, 0, 'g', 17)
                            .arg(s.revision)
                            .arg(s.pointsPerScreen)
                            .arg(s.stepTraces);
    const long long right = s.end > 0 ? column(s.end - 1) : 0;
    const long long oldRight = layerEnd_ > 0 ? column(layerEnd_ - 1) : 0;
    const bool full = forceFull || layer_.isNull() || key != layerKey_ || s.end < layerEnd_ || s.first < layerFirst_ ||
                      right - oldRight >= w || layerEnd_ <= layerFirst_;
    info_.columnsDrawn = 0;
    if (!full && s.end == layerEnd_ && s.first == layerFirst_) return;   // nothing new

    long long from = s.first;        // points to draw
    int clipFrom = 0;                // first pixel column drawn anew
    if (full) {
        layer_ = QPixmap(w + 1, h);
        layer_.fill(Qt::transparent);
        layerKey_ = key;
        ++info_.fullDraws;
        info_.pointsDrawn = static_cast<int>(UiModel_ChartFiniteCount(panel_, control_, s.first, s.end));
    } else {
        const long long shift = right - oldRight;
        if (shift > 0) layer_.scroll(static_cast<int>(-shift), 0, layer_.rect());
        // The old newest column may have taken more points; it is drawn again from the one before it.
        clipFrom = static_cast<int>(w - 1 - (right - oldRight));
        from = std::max(s.first, static_cast<long long>(std::ceil(static_cast<double>(oldRight - 1) / dx)) - 1);
        info_.pointsDrawn += static_cast<int>(UiModel_ChartFiniteCount(panel_, control_, layerEnd_, s.end) -
                                              UiModel_ChartFiniteCount(panel_, control_, layerFirst_, s.first));
    }
    layerFirst_ = s.first;
    layerEnd_ = s.end;
    if (s.end <= s.first) return;

    const std::vector<UiChartColumn> columns = UiModel_ChartColumns(panel_, control_, from, s.end, dx);
    QPainter p(&layer_);
    if (!full) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(QRect(clipFrom, 0, layer_.width() - clipFrom, h), Qt::transparent);
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        p.setClipRect(QRect(clipFrom, 0, layer_.width() - clipFrom, h));
    }
    auto xOf = [&](long long col) { return static_cast<double>(w - 1 - (right - col)) + 0.5; };
    const double scale = h / (s.hi - s.lo);
    auto yOf = [&](double v) { return std::clamp(h - (v - s.lo) * scale, -4.0 * h, 5.0 * h); };

    // Marks (step starts) behind the traces.
    p.setPen(QPen(kMarkColor, dpr, Qt::DashLine));
    for (long long m : s.marks)
        if (m >= from) {
            const double x = xOf(column(m));
            p.drawLine(QPointF(x, 0), QPointF(x, h));
        }

    p.setRenderHint(QPainter::Antialiasing);
    for (int t = 0; t < kChartTraces; ++t) {
        QPainterPath path;
        bool open = false;
        double lastY = 0.0;
        const bool step = (s.stepTraces >> t) & 1;
        for (const UiChartColumn &c : columns) {
            if (std::isnan(c.first[t])) {
                open = false;
                continue;
            }
            const double x = xOf(c.column);
            const double y = yOf(c.first[t]);
            if (open && (c.joined >> t & 1)) {
                if (step) path.lineTo(x, lastY);
                path.lineTo(x, y);
            } else {
                path.moveTo(x, y);
            }
            if (c.lo[t] != c.hi[t]) {
                path.lineTo(x, yOf(c.lo[t]));
                path.lineTo(x, yOf(c.hi[t]));
                path.lineTo(x, yOf(c.last[t]));
            }
            lastY = yOf(c.last[t]);
            open = true;
        }
        p.setPen(QPen(RgbColor(kTraceColors[t]), (t == 0 ? 1.6 : 1.4) * dpr));
        p.drawPath(path);
    }
    info_.columnsDrawn = static_cast<int>(columns.size());
}

void StripChartWidget::paintBackground(QPainter &p, const UiChartState &s)
{
    const double lo = info_.bottomValue, hi = info_.topValue;
    const QFontMetrics fm = fontMetrics();
    // Value ticks: as many divisions as fit the height, at most ten.
    const int lineH = fm.height();
    const double bottomRows = 2.0 * lineH + 10;   // time labels, then legend and time axis name
    const double probeH = height() - lineH - bottomRows;
    int yDiv = 10;
    while (yDiv > 2 && probeH / yDiv < lineH * 1.4) yDiv /= 2;
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
    if (plot.width() < 10 || plot.height() < 10) return;

    const QPalette &pal = palette();
    p.fillRect(plot, kPlotColor);
    p.setPen(QPen(kGridColor, 1, Qt::DotLine));
    for (int i = 1; i < kTimeDivisions; ++i) {
        const double x = plot.left() + plot.width() * i / kTimeDivisions;
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    for (int i = 1; i < yDiv; ++i) {
        const double y = plot.bottom() - plot.height() * i / yDiv;
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }

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
            ChartPoint point{};
            if (UiModel_ChartPoint(panel_, control_, s.end - 1 - std::llround(back), &point, nullptr) == 0)
                label = ClockText(point.time, false);
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
    p.drawText(QRectF(plot.left(), row, plot.width(), lineH + 2), Qt::AlignCenter, info_.xName);
    if (s.paused)
        p.drawText(QRectF(plot.left(), row, plot.width(), lineH + 2), Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("angehalten: Ziehen oder Mausrad bl\u00e4ttert"));
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
    if (!plot.contains(mouse_) || s.end <= s.first) return;
    const qreal dpr = devicePixelRatioF();
    const double dx = pixelsPerPoint(s);
    const int w = static_cast<int>(std::round(plot.width() * dpr));
    const long long right = static_cast<long long>(std::floor(static_cast<double>(s.end - 1) * dx));
    const double col = static_cast<double>(right) - (w - 1 - std::floor((mouse_.x() - plot.left()) * dpr));
    const long long point = std::clamp(std::llround((col + 0.5) / dx - 0.5), s.first, s.end - 1);
    ChartPoint raw{};
    double shown[kChartTraces];
    if (UiModel_ChartPoint(panel_, control_, point, &raw, shown) != 0) return;
    const double x = plot.left() +
                     (w - 1 - (right - static_cast<long long>(std::floor(static_cast<double>(point) * dx))) + 0.5) / dpr;
    p.setPen(QPen(QColor(0xff, 0xff, 0xff, 140), 1));
    p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));

    QStringList lines{ClockText(raw.time, true)};
    const QStringList names = TraceNames(s);
    const int decimals = std::min(6, TickDecimals((s.hi - s.lo) / 10000.0));
    for (int t = 0; t < kChartTraces; ++t) {
        if (t >= names.size() && t > 0) break;
        const QString name = t < names.size() ? names[t] : QString();
        const QString value = std::isfinite(shown[t]) ? FormatTick(shown[t], decimals) : QStringLiteral("\u2013");
        lines << (name.isEmpty() ? value : name + QStringLiteral(": ") + value);
    }
    const QString text = lines.join(u'\n');
    const QFontMetrics fm = fontMetrics();
    const QRect r = fm.boundingRect(QRect(0, 0, 1000, 1000), Qt::AlignLeft | Qt::AlignTop, text);
    QRectF box(x + 8, mouse_.y() + 8, r.width() + 10, r.height() + 6);
    if (box.right() > plot.right() - 2) box.moveRight(x - 8);
    if (box.bottom() > plot.bottom() - 2) box.moveBottom(mouse_.y() - 8);
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
            if (points != 0) scroll(points);
        }
        dragX_ = mouse_.x();
    }
    if (info_.plot.contains(before) || info_.plot.contains(mouse_)) update(info_.plot.toAlignedRect().adjusted(-2, -2, 2, 2));
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
    if (points != 0) UiOperator_ScrollChart(panel_, control_, points);
}
