#include "analysis/ui/SweepChartBuilder.h"

#include "analysis/ImpedanceItems.h"
#include "analysis/SweepAnalysis.h"
#include "common/AxisTicks.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLegend>
#include <QLineSeries>
#include <QScatterSeries>

#include <algorithm>
#include <cmath>

namespace SweepChartStyle {

QColor lineColor(int line)
{
    static const QColor colors[4] = {QColor(0x00, 0x72, 0xb2), QColor(0x00, 0x9e, 0x73), QColor(0xe6, 0x9f, 0x00),
        QColor(0xcc, 0x79, 0xa7)};
    return colors[(std::max(1, line) - 1) % 4];
}

const QColor Fit(0, 0, 0);
const QColor Mask(0xd5, 0x5e, 0x00);
const QColor Failing(0xf0, 0xe4, 0x42);
const QColor Marker(80, 80, 80);
const QColor Axis(40, 40, 40);

} // namespace SweepChartStyle

namespace {

const double Pi = 3.14159265358979323846;

} // namespace

SweepChartBuilder::SweepChartBuilder(QChart *chart, const SweepAnalysis &analysis, const Options &options)
    : m_chart(chart), m_analysis(analysis), m_options(options)
{
}

QString SweepChartBuilder::xTitle(const SweepAnalysis &analysis)
{
    return analysis.isFrequencySweep() ? QStringLiteral("Frequency (Hz)") : QStringLiteral("Voltage (V)");
}

int SweepChartBuilder::build()
{
    m_chart->removeAllSeries();
    for (QAbstractAxis *a : m_chart->axes())
        m_chart->removeAxis(a), delete a;
    m_leftOut = 0;
    // The legend shows each line as drawn: dashes, dash-dots, triangles.
    m_chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    addAxes();
    addLines();
    addFit();
    if (m_analysis.hasMask() && m_options.showMask) {
        addMask();
        addFailures();
    }
    return m_leftOut;
}

QPointF SweepChartBuilder::toChart(const QPointF &p, bool secondItem) const
{
    return QPointF(m_analysis.logX ? std::log10(p.x()) : p.x(),
        m_options.logY[secondItem ? 1 : 0] ? std::log10(p.y()) : p.y());
}

bool SweepChartBuilder::usable(const QPointF &p, bool secondItem) const
{
    return (!m_analysis.logX || p.x() > 0) && (!m_options.logY[secondItem ? 1 : 0] || p.y() > 0)
        && std::isfinite(p.y());
}

QXYSeries *SweepChartBuilder::add(QXYSeries *series, bool secondItem)
{
    m_chart->addSeries(series);
    for (QAbstractAxis *a : m_chart->axes(Qt::Horizontal))
        series->attachAxis(a);
    for (QAbstractAxis *a : m_chart->axes(Qt::Vertical))
        if ((a->alignment() == Qt::AlignRight) == secondItem)
            series->attachAxis(a);
    return series;
}

// side: the chart puts a Y axis's tick marks right against its labels; a
// space between them keeps "50" on the right-hand axis from reading as
// "-50" (the labels are HTML: only this space stays).
QAbstractAxis *SweepChartBuilder::makeAxis(bool log, double lo, double hi, const QString &unit, const QString &title,
    Qt::Alignment side, const QColor &color)
{
    const AxisTicks::Scale scale = log ? AxisTicks::log(lo, hi, unit) : AxisTicks::linear(lo, hi, unit);
    auto chartValue = [log](double v) { return log ? std::log10(v) : v; };
    auto *a = new QCategoryAxis;
    a->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    a->setRange(chartValue(scale.lo), chartValue(scale.hi));
    a->setStartValue(chartValue(scale.lo));
    // Minor grid lines are categories too, named by blanks of their own
    // length (a category's name is its key).
    QVector<QPair<double, QString>> ticks;
    for (int i = 0; i < scale.major.size(); ++i) {
        const QString label = side == Qt::AlignLeft ? scale.labels[i] + QStringLiteral("&#160;")
            : side == Qt::AlignRight                ? QStringLiteral("&#160;") + scale.labels[i]
                                                    : scale.labels[i];
        ticks.append({scale.major[i], label});
    }
    for (int i = 0; i < scale.minor.size(); ++i)
        ticks.append({scale.minor[i], QString(i + 1, QChar(0x200b))});
    std::sort(ticks.begin(), ticks.end(), [](const auto &l, const auto &r) { return l.first < r.first; });
    for (const auto &t : ticks)
        a->append(t.second, chartValue(t.first));
    a->setTitleText(title);
    a->setLinePenColor(color);
    a->setLabelsColor(color);
    a->setTitleBrush(color);
    return a;
}

void SweepChartBuilder::addAxes()
{
    const QVector<SweepAnalysis::Line> &lines = m_analysis.lines();
    // Ranges from the data (the model curve and mask lie within it).
    double xlo = INFINITY, xhi = -INFINITY, ylo[2] = {INFINITY, INFINITY}, yhi[2] = {-INFINITY, -INFINITY};
    int count[2] = {0, 0};
    int first[2] = {0, 0};
    QString yTitle[2], yUnit[2];
    for (const SweepAnalysis::Line &l : lines) {
        const int s = l.secondItem ? 1 : 0;
        if (count[s]++ == 0) {
            first[s] = l.line;
            yUnit[s] = l.unit;
            yTitle[s] = l.item + (l.unit.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(l.unit));
        }
        for (const QPointF &p : l.points) {
            if (!m_analysis.logX || p.x() > 0) {
                xlo = std::min(xlo, p.x());
                xhi = std::max(xhi, p.x());
            }
            if (!m_options.logY[s] || p.y() > 0) {
                ylo[s] = std::min(ylo[s], p.y());
                yhi[s] = std::max(yhi[s], p.y());
            }
        }
    }
    if (!(xlo <= xhi))
        xlo = m_analysis.logX ? 1 : 0, xhi = 10;
    m_xlo = xlo;
    m_xhi = xhi;
    const QString xUnit = m_analysis.isFrequencySweep() ? QStringLiteral("Hz") : QStringLiteral("V");
    m_chart->addAxis(makeAxis(m_analysis.logX, xlo, xhi, xUnit, xTitle(m_analysis), Qt::AlignBottom,
                         SweepChartStyle::Axis),
        Qt::AlignBottom);
    for (int s = 0; s < 2; ++s) {
        if (count[s] == 0)
            continue;
        if (!(ylo[s] <= yhi[s]))
            ylo[s] = m_options.logY[s] ? 1 : 0, yhi[s] = 10;
        const Qt::Alignment side = s == 0 ? Qt::AlignLeft : Qt::AlignRight;
        // An axis takes the colour of its line; one shared by several lines
        // stays neutral.
        const QColor color = count[s] == 1 ? SweepChartStyle::lineColor(first[s]) : SweepChartStyle::Axis;
        QAbstractAxis *y = makeAxis(m_options.logY[s], ylo[s], yhi[s], yUnit[s], yTitle[s], side, color);
        if (s == 1)
            y->setGridLineVisible(false);
        m_chart->addAxis(y, side);
    }
}

void SweepChartBuilder::addLines()
{
    for (const SweepAnalysis::Line &l : m_analysis.lines()) {
        auto *series = new QLineSeries;
        series->setName(l.title);
        series->setPen(QPen(SweepChartStyle::lineColor(l.line), 1.5));
        series->setPointsVisible(true);
        series->setMarkerSize(5);
        QList<QPointF> pts;
        for (const QPointF &p : l.points) {
            if (usable(p, l.secondItem))
                pts << toChart(p, l.secondItem);
            else
                ++m_leftOut;
        }
        series->replace(pts);
        add(series, l.secondItem);
    }
}

void SweepChartBuilder::addFit()
{
    const CircuitFit::Result *fit = m_options.fit;
    if (!fit || !fit->ok || !m_analysis.isFrequencySweep() || !(m_xlo > 0))
        return;
    // The model drawn as the lines of the draw it was fitted to.
    const QVector<SweepColumns::Draw> draws = m_analysis.columns().draws(m_analysis.withSecondItem());
    const int d = std::clamp(m_options.fitDraw, 1, int(std::max<qsizetype>(1, draws.size()))) - 1;
    if (d >= draws.size())
        return;
    for (int which = 0; which < 2; ++which) {
        const QString item = which == 0 ? draws[d].firstItem : draws[d].secondItem;
        auto *curve = new QLineSeries;
        curve->setName(QStringLiteral("%1 fit (%2)").arg(item, CircuitFit::modelName(fit->model)));
        // Over the points, so a model that follows them shows between them.
        curve->setPen(QPen(SweepChartStyle::Fit, 1.5, which == 0 ? Qt::DashLine : Qt::DotLine));
        QList<QPointF> pts;
        for (int i = 0; i <= 400; ++i) {
            const double f = m_xlo * std::pow(m_xhi / m_xlo, i / 400.0);
            const QPointF p(f,
                ImpedanceItems::reading(item, draws[d].firstItem, m_options.parallel, 2 * Pi * f, fit->impedance(f)));
            if (usable(p, which == 1))
                pts << toChart(p, which == 1);
        }
        curve->replace(pts);
        add(curve, which == 1);
    }
}

void SweepChartBuilder::addMask()
{
    const LimitMask &mask = m_analysis.mask;
    for (const LimitMask::Limit &limit : mask.limits()) {
        const bool second = m_analysis.withSecondItem() && limit.line % 2 == 0;
        for (const QVector<QPointF> *segment : {&limit.upper, &limit.lower}) {
            if (segment->isEmpty())
                continue;
            auto *s = new QLineSeries;
            s->setName(QStringLiteral("%1 %2 limit").arg(m_analysis.columns().lineTitles.value(limit.line - 1),
                segment == &limit.upper ? QStringLiteral("upper") : QStringLiteral("lower")));
            s->setPen(QPen(SweepChartStyle::Mask, 2.5, Qt::DashDotLine));
            QList<QPointF> pts;
            // Straight on the mask's own X scale, whatever the axis shows.
            for (int i = 0; i + 1 < segment->size(); ++i)
                for (int k = 0; k < 32; ++k) {
                    const double t = k / 32.0;
                    const QPointF a = (*segment)[i], b = (*segment)[i + 1];
                    double xv = a.x() + t * (b.x() - a.x());
                    if (mask.logX())
                        xv = a.x() * std::pow(b.x() / a.x(), t);
                    double yv = 0;
                    if (mask.valueAt(*segment, xv, &yv) && usable(QPointF(xv, yv), second))
                        pts << toChart(QPointF(xv, yv), second);
                }
            if (usable(segment->last(), second))
                pts << toChart(segment->last(), second);
            s->replace(pts);
            add(s, second);
        }
    }
}

void SweepChartBuilder::addFailures()
{
    QList<QPointF> bad[2];
    for (const LimitMask::Failure &f : m_analysis.verdict.failures) {
        const bool second = m_analysis.withSecondItem() && f.line % 2 == 0;
        if (usable(QPointF(f.x, f.value), second))
            bad[second ? 1 : 0] << toChart(QPointF(f.x, f.value), second);
    }
    for (int s = 0; s < 2; ++s) {
        if (s == 1 && bad[1].isEmpty())
            continue;
        auto *fails = new QScatterSeries;
        fails->setName(s == 0 ? QStringLiteral("failing points") : QStringLiteral("failing points (right)"));
        fails->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
        fails->setMarkerSize(13);
        fails->setColor(SweepChartStyle::Failing);
        fails->setBorderColor(Qt::black);
        fails->setPen(QPen(Qt::black, 1.5));
        fails->replace(bad[s]);
        add(fails, s == 1);
    }
}
