// Panel toolkit model: strip charts, their kept points, traces, marks and the held screen.
#include "platform/userint/userint_internal.h"

#include <algorithm>
#include <chrono>
#include <cmath>

using namespace uimodel;

namespace {

constexpr std::size_t kMarks = 32;

// The strip chart (panel, control), or the toolkit's code why there is none.
int ChartLookup(int panel, int control, Control **c)
{
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    *c = FindControl(p, control);
    if (!*c)
        return UIE_BAD_CONTROL;
    return (*c)->def->kind == CTRL_STRIP_CHART && (*c)->chart ? UIE_NO_ERROR : UIE_TYPE_MISMATCH;
}

long long KeptFirst(const ChartData &d)
{
    return std::max(d.cleared, d.total - static_cast<long long>(kChartHistory));
}

const ChartPoint &At(const ChartData &d, long long p)
{
    return d.ring[static_cast<std::size_t>(p % kChartHistory)];
}

double Shown(const ChartData &d, double raw)
{
    return (raw - d.rawRef) * d.factor + d.shownRef;
}

// The end of the screen: the newest point, or where the operator held or scrolled it, never so far
// back that the screen would show fewer points than it could.
long long ScreenEnd(const Control &c)
{
    const ChartData &d = *c.chart;
    if (!d.paused)
        return d.total;
    const long long least = std::min(d.total, KeptFirst(d) + c.pointsPerScreen);
    return std::clamp(d.pausedEnd, least, d.total);
}

// Under the model's lock: applies `change` to the strip chart (panel, control) and tells the view.
// The lookup's code when there is no such chart, else what `change` returns.
template <typename Change>
int ChangeChart(int panel, int control, Change change)
{
    const ModelLock lock;
    Control *c;
    if (int rc = ChartLookup(panel, control, &c))
        return rc;
    const int rc = change(*c, *c->chart);
    if (rc == UIE_NO_ERROR)
        NotifyChart(panel, control);
    return rc;
}

double Now()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

int PlotStripChartPoint(int panel, int control, double y)
{
    return PlotStripChartPoints(panel, control, &y, 1);
}

int PlotStripChartPoints(int panel, int control, const double *values, int count)
{
    const ModelLock lock;
    Control *c;
    if (int rc = ChartLookup(panel, control, &c))
        return rc;
    if (!values || count < 1 || count > kChartTraces)
        return UIE_BAD_VALUE;
    ChartData &d = *c->chart;
    ChartPoint point{Now(), {}};
    for (int t = 0; t < kChartTraces; ++t)
        point.raw[t] = t < count ? values[t] : NAN;  // a non-finite value is kept; the view leaves a gap
    if (d.ring.size() < static_cast<std::size_t>(kChartHistory)) {
        if (d.ring.capacity() == 0)
            d.ring.reserve(kChartHistory);  // one allocation for the hour, no moves later
        d.ring.push_back(point);
    } else {
        d.ring[static_cast<std::size_t>(d.total % kChartHistory)] = point;
    }
    ++d.total;
    NotifyChart(panel, control);
    return UIE_NO_ERROR;
}

int SetAxisScalingMode(int panel, int control, int axis, int mode, double min, double max)
{
    return ChangeChart(panel, control, [&](Control &c, ChartData &) {
        if (axis != VAL_LEFT_YAXIS)
            return int(UIE_BAD_ATTRIBUTE);
        if (mode == VAL_MANUAL) {
            if (!std::isfinite(min) || !std::isfinite(max))
                return int(UIE_BAD_VALUE);
            c.yMin = min;
            c.yMax = max;
        } else if (mode != VAL_AUTOSCALE) {
            return int(UIE_BAD_VALUE);
        }
        c.yMode = mode;
        return int(UIE_NO_ERROR);
    });
}

int GetAxisScalingMode(int panel, int control, int axis, int *mode, double *min, double *max)
{
    const ModelLock lock;
    Control *c;
    if (int rc = ChartLookup(panel, control, &c))
        return rc;
    if (axis != VAL_LEFT_YAXIS)
        return UIE_BAD_ATTRIBUTE;
    if (mode)
        *mode = c->yMode;
    if (min)
        *min = c->yMin;
    if (max)
        *max = c->yMax;
    return UIE_NO_ERROR;
}

int SetStripChartConversion(int panel, int control, double rawRef, double shownRef, double factor)
{
    return ChangeChart(panel, control, [&](Control &, ChartData &d) {
        if (!std::isfinite(rawRef) || !std::isfinite(shownRef) || !std::isfinite(factor))
            return int(UIE_BAD_VALUE);
        d.rawRef = rawRef;
        d.shownRef = shownRef;
        d.factor = factor;
        ++d.revision;
        return int(UIE_NO_ERROR);
    });
}

int SetStripChartTraces(int panel, int control, const char *names, int stepTraces)
{
    return ChangeChart(panel, control, [&](Control &, ChartData &d) {
        d.traceNames = names ? names : "";
        d.stepTraces = stepTraces;
        ++d.revision;
        return UIE_NO_ERROR;
    });
}

int ClearStripChart(int panel, int control)
{
    return ChangeChart(panel, control, [](Control &, ChartData &d) {
        d.cleared = d.total;
        d.pausedEnd = d.total;
        d.marks.clear();
        ++d.revision;
        return UIE_NO_ERROR;
    });
}

int MarkStripChart(int panel, int control)
{
    return ChangeChart(panel, control, [](Control &, ChartData &d) {
        if (d.marks.empty() || d.marks.back() != d.total)
            d.marks.push_back(d.total);
        while (d.marks.size() > kMarks)
            d.marks.pop_front();
        return UIE_NO_ERROR;
    });
}

int SetStripChartNote(int panel, int control, const char *text)
{
    return ChangeChart(panel, control, [&](Control &, ChartData &d) {
        d.note = text ? text : "";
        return UIE_NO_ERROR;
    });
}

int SetStripChartPaused(int panel, int control, int paused)
{
    return ChangeChart(panel, control, [&](Control &, ChartData &d) {
        if (paused && !d.paused)
            d.pausedEnd = d.total;
        d.paused = paused ? 1 : 0;
        return UIE_NO_ERROR;
    });
}

int GetStripChartHistory(int panel, int control, std::vector<ChartPoint> *points)
{
    const ModelLock lock;
    Control *c;
    if (int rc = ChartLookup(panel, control, &c))
        return rc;
    if (!points)
        return UIE_BAD_VALUE;
    const ChartData &d = *c->chart;
    points->clear();
    points->reserve(static_cast<std::size_t>(d.total - KeptFirst(d)));
    for (long long p = KeptFirst(d); p < d.total; ++p)
        points->push_back(At(d, p));
    return UIE_NO_ERROR;
}

int GetCtrlImagePng(int panel, int control, std::string *png)
{
    ModelLock lock;
    Panel *p = FindPanel(panel);
    if (!p)
        return UIE_BAD_PANEL;
    if (!FindControl(p, control))
        return UIE_BAD_CONTROL;
    const UiBackend *backend = S().backend;
    lock.unlock();
    if (!png || !backend || !backend->controlImagePng)
        return UIE_NO_VIEW;
    return backend->controlImagePng(panel, control, png);
}

// ---- the view's side ----------------------------------------------------------------------------

std::vector<double> UiModel_ChartPoints(int panel, int control)
{
    const ModelLock lock;
    Control *c;
    if (ChartLookup(panel, control, &c) != UIE_NO_ERROR)
        return {};
    const ChartData &d = *c->chart;
    std::vector<double> points;
    for (long long p = std::max(KeptFirst(d), d.total - c->pointsPerScreen); p < d.total; ++p)
        points.push_back(Shown(d, At(d, p).raw[0]));
    return points;
}

int UiModel_ChartState(int panel, int control, UiChartState *state)
{
    const ModelLock lock;
    Control *c;
    if (int rc = ChartLookup(panel, control, &c))
        return rc;
    const ChartData &d = *c->chart;
    UiChartState s;
    s.keptFirst = KeptFirst(d);
    s.total = d.total;
    s.end = ScreenEnd(*c);
    s.first = std::max(s.keptFirst, s.end - c->pointsPerScreen);
    s.pointsPerScreen = c->pointsPerScreen;
    s.paused = d.paused;
    s.revision = d.revision;
    s.stepTraces = d.stepTraces;
    s.yName = c->yName;
    s.xName = c->xName;
    s.traceNames = d.traceNames;
    s.note = d.note;
    for (long long m : d.marks)
        if (m >= s.first && m < s.end)
            s.marks.push_back(m);
    s.lo = c->yMin;
    s.hi = c->yMax;
    if (c->yMode != VAL_MANUAL) {
        // Autoscale: span the values on screen (the cost of a screen, as drawing it).
        s.lo = HUGE_VAL;
        s.hi = -HUGE_VAL;
        for (long long p = s.first; p < s.end; ++p)
            for (double raw : At(d, p).raw)
                if (const double v = Shown(d, raw); std::isfinite(v))
                    s.lo = std::min(s.lo, v), s.hi = std::max(s.hi, v);
        if (s.lo > s.hi)
            s.lo = 0.0, s.hi = 10.0;
        // A margin, so the traces do not run along the plot's edges.
        const double margin = (s.hi - s.lo) * 0.05;
        s.lo -= margin;
        s.hi += margin;
    }
    *state = std::move(s);
    return UIE_NO_ERROR;
}

std::vector<UiChartColumn> UiModel_ChartColumns(int panel, int control, long long from, long long to,
                                                double pixelsPerPoint)
{
    const ModelLock lock;
    Control *c;
    std::vector<UiChartColumn> columns;
    if (ChartLookup(panel, control, &c) != UIE_NO_ERROR || !(pixelsPerPoint > 0.0))
        return columns;
    const ChartData &d = *c->chart;
    from = std::max(from, KeptFirst(d));
    to = std::min(to, d.total);
    bool gap[kChartTraces];
    std::fill(std::begin(gap), std::end(gap), true);
    for (long long p = from; p < to; ++p) {
        const auto column = static_cast<long long>(std::floor(static_cast<double>(p) * pixelsPerPoint));
        if (columns.empty() || columns.back().column != column) {
            UiChartColumn n{};
            n.column = column;
            std::fill(std::begin(n.lo), std::end(n.lo), NAN);
            std::fill(std::begin(n.hi), std::end(n.hi), NAN);
            std::fill(std::begin(n.first), std::end(n.first), NAN);
            std::fill(std::begin(n.last), std::end(n.last), NAN);
            columns.push_back(n);
        }
        UiChartColumn &col = columns.back();
        for (int t = 0; t < kChartTraces; ++t) {
            const double v = Shown(d, At(d, p).raw[t]);
            if (!std::isfinite(v)) {
                gap[t] = true;
                continue;
            }
            if (std::isnan(col.first[t])) {
                col.first[t] = col.lo[t] = col.hi[t] = v;
                if (!gap[t])
                    col.joined |= 1u << t;
            } else {
                col.lo[t] = std::min(col.lo[t], v);
                col.hi[t] = std::max(col.hi[t], v);
            }
            col.last[t] = v;
            gap[t] = false;
        }
    }
    return columns;
}

long long UiModel_ChartFiniteCount(int panel, int control, long long from, long long to)
{
    const ModelLock lock;
    Control *c;
    if (ChartLookup(panel, control, &c) != UIE_NO_ERROR)
        return 0;
    const ChartData &d = *c->chart;
    long long n = 0;
    for (long long p = std::max(from, KeptFirst(d)); p < std::min(to, d.total); ++p)
        n += std::isfinite(Shown(d, At(d, p).raw[0])) ? 1 : 0;
    return n;
}

int UiModel_ChartPoint(int panel, int control, long long index, ChartPoint *raw, double shown[kChartTraces])
{
    const ModelLock lock;
    Control *c;
    if (int rc = ChartLookup(panel, control, &c))
        return rc;
    const ChartData &d = *c->chart;
    if (index < KeptFirst(d) || index >= d.total)
        return UIE_BAD_VALUE;
    const ChartPoint &p = At(d, index);
    if (raw)
        *raw = p;
    if (shown)
        for (int t = 0; t < kChartTraces; ++t)
            shown[t] = Shown(d, p.raw[t]);
    return UIE_NO_ERROR;
}

int UiOperator_ScrollChart(int panel, int control, long long points)
{
    return ChangeChart(panel, control, [&](Control &c, ChartData &d) {
        if (!d.paused)
            return int(UIE_BAD_VALUE);
        const long long n =
            std::clamp(points, -static_cast<long long>(kChartHistory), static_cast<long long>(kChartHistory));
        d.pausedEnd = ScreenEnd(c) - n;
        d.pausedEnd = ScreenEnd(c);
        return int(UIE_NO_ERROR);
    });
}

int UiTest_ScrollChart(int panel, int control, long long points)
{
    return UiOperator_ScrollChart(panel, control, points);
}
