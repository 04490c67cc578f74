#include "statistics/BinPlan.h"

#include "common/LocaleNumbers.h"
#include "execution/ResultTableModel.h"
#include "procedure/FieldParsing.h"
#include "statistics/Statistics.h"
#include "statistics/StatisticsJson.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace {

QString refuse(QString *error, const QString &sentence)
{
    if (error)
        *error = sentence;
    return sentence;
}

bool isNumber(const QJsonValue &v)
{
    return v.isDouble() && std::isfinite(v.toDouble());
}

QByteArray num(double v)
{
    return StatisticsJson::number(v).toUtf8();
}

bool inside(double v, std::optional<double> low, std::optional<double> high)
{
    return (!low || v >= *low) && (!high || v <= *high);
}

} // namespace

namespace {

// A percentage of the nominal rounded to 15 significant digits, so that
// 100n - 2 % is the 98n a reading of "98nF" reads as, not a hair below.
double percentOf(double nominal, double percent)
{
    return QString::number(nominal * (1 + percent / 100), 'g', 15).toDouble();
}

} // namespace

double BinPlan::low(int i) const
{
    const auto &b = bins.at(i);
    if (mode == Mode::Sequential)
        return b.first;
    return std::min(percentOf(nominal, b.first), percentOf(nominal, b.second));
}

double BinPlan::high(int i) const
{
    const auto &b = bins.at(i);
    if (mode == Mode::Sequential)
        return b.second;
    return std::max(percentOf(nominal, b.first), percentOf(nominal, b.second));
}

QString BinPlan::name(int index) const
{
    if (index == aux())
        return QStringLiteral("AUX");
    if (index == out())
        return QStringLiteral("OUT");
    return QStringLiteral("BIN%1").arg(index + 1);
}

int BinPlan::sort(std::optional<double> primary, std::optional<double> secondary) const
{
    QVector<double> lows, highs;
    for (int i = 0; i < binCount(); ++i) {
        lows << low(i);
        highs << high(i);
    }
    return sort(primary, secondary, lows.constData(), highs.constData());
}

int BinPlan::sort(std::optional<double> primary, std::optional<double> secondary, const double *lows,
                  const double *highs) const
{
    if (hasSecondary()) {
        // A secondary that cannot be read does not pass its limit either.
        if (!secondary || !TableStatistics::usable(*secondary) || !inside(*secondary, secondaryLow, secondaryHigh))
            return aux();
    }
    if (!primary || !TableStatistics::usable(*primary))
        return out();
    const double v = *primary;
    for (int i = 0; i < binCount(); ++i)
        if (v >= lows[i] && v <= highs[i])
            return i;
    return out();
}

std::optional<BinPlan> BinPlan::parse(const QByteArray &json, QString *error)
{
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (pe.error != QJsonParseError::NoError) {
        refuse(error, QStringLiteral("The bin plan is not JSON (%1 at byte %2).").arg(pe.errorString()).arg(pe.offset));
        return std::nullopt;
    }
    if (!doc.isObject()) {
        refuse(error, QStringLiteral("The bin plan must be a JSON object."));
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    static const QStringList known = {QStringLiteral("step"), QStringLiteral("mode"), QStringLiteral("nominal"),
                                      QStringLiteral("bins"), QStringLiteral("secondary")};
    for (const QString &k : o.keys()) {
        if (!known.contains(k)) {
            refuse(error, QStringLiteral("The bin plan's key \"%1\" is unknown (known: step, mode, nominal, bins, secondary).").arg(k));
            return std::nullopt;
        }
    }
    BinPlan p;
    const QJsonValue step = o.value(QStringLiteral("step"));
    if (!isNumber(step) || step.toDouble() < 1 || step.toDouble() != std::floor(step.toDouble()) || step.toDouble() > 1e6) {
        refuse(error, QStringLiteral("The bin plan's \"step\" must be a step number (1, 2, ...)."));
        return std::nullopt;
    }
    p.step = int(step.toDouble());
    const QString mode = o.value(QStringLiteral("mode")).toString();
    if (mode == QLatin1String("nested"))
        p.mode = Mode::Nested;
    else if (mode == QLatin1String("sequential"))
        p.mode = Mode::Sequential;
    else {
        refuse(error, QStringLiteral("The bin plan's \"mode\" must be \"nested\" or \"sequential\"."));
        return std::nullopt;
    }
    const QJsonValue nominal = o.value(QStringLiteral("nominal"));
    if (p.mode == Mode::Nested) {
        if (!isNumber(nominal) || nominal.toDouble() == 0) {
            refuse(error, QStringLiteral("The bin plan's \"nominal\" must be a number other than 0 for nested bins."));
            return std::nullopt;
        }
        p.nominal = nominal.toDouble();
    } else if (!nominal.isUndefined()) {
        if (!isNumber(nominal)) {
            refuse(error, QStringLiteral("The bin plan's \"nominal\" must be a number."));
            return std::nullopt;
        }
        p.nominal = nominal.toDouble();
    }
    const QJsonValue bins = o.value(QStringLiteral("bins"));
    if (!bins.isArray() || bins.toArray().isEmpty() || bins.toArray().size() > MaxBins) {
        refuse(error, QStringLiteral("The bin plan's \"bins\" must be a list of 1 to %1 [low, high] pairs.").arg(MaxBins));
        return std::nullopt;
    }
    const QJsonArray list = bins.toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QJsonArray pair = list.at(i).toArray();
        if (!list.at(i).isArray() || pair.size() != 2 || !isNumber(pair.at(0)) || !isNumber(pair.at(1))) {
            refuse(error, QStringLiteral("The bin plan's \"bins\" entry %1 must be a [low, high] pair of numbers.").arg(i + 1));
            return std::nullopt;
        }
        const double lo = pair.at(0).toDouble(), hi = pair.at(1).toDouble();
        if (lo > hi) {
            refuse(error, QStringLiteral("The bin plan's \"bins\" entry %1 has its low above its high.").arg(i + 1));
            return std::nullopt;
        }
        p.bins.append({lo, hi});
    }
    const QJsonValue secondary = o.value(QStringLiteral("secondary"));
    if (!secondary.isUndefined() && !secondary.isNull()) {
        const QJsonObject s = secondary.toObject();
        bool ok = secondary.isObject() && !s.isEmpty();
        for (const QString &k : s.keys())
            ok = ok && (k == QLatin1String("low") || k == QLatin1String("high")) && isNumber(s.value(k));
        if (!ok) {
            refuse(error, QStringLiteral("The bin plan's \"secondary\" must be {\"low\": number, \"high\": number} (either may be left out)."));
            return std::nullopt;
        }
        if (s.contains(QStringLiteral("low")))
            p.secondaryLow = s.value(QStringLiteral("low")).toDouble();
        if (s.contains(QStringLiteral("high")))
            p.secondaryHigh = s.value(QStringLiteral("high")).toDouble();
        if (p.secondaryLow && p.secondaryHigh && *p.secondaryLow > *p.secondaryHigh) {
            refuse(error, QStringLiteral("The bin plan's \"secondary\" has its low above its high."));
            return std::nullopt;
        }
    }
    return p;
}

std::optional<BinPlan> BinPlan::load(const QString &path, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        refuse(error, QStringLiteral("Cannot read the bin plan %1: %2.").arg(path, f.errorString()));
        return std::nullopt;
    }
    QString why;
    std::optional<BinPlan> p = parse(f.readAll(), &why);
    if (!p)
        refuse(error, QStringLiteral("%1: %2").arg(path, why));
    return p;
}

QByteArray BinPlan::toJson() const
{
    QByteArray out = "{\"step\": " + QByteArray::number(step) + ", \"mode\": \""
                     + (mode == Mode::Nested ? "nested" : "sequential") + "\"";
    if (mode == Mode::Nested || nominal != 0)
        out += ", \"nominal\": " + num(nominal);
    out += ", \"bins\": [";
    for (int i = 0; i < bins.size(); ++i)
        out += (i ? ", [" : "[") + num(bins[i].first) + ", " + num(bins[i].second) + "]";
    out += "]";
    if (hasSecondary()) {
        out += ", \"secondary\": {";
        if (secondaryLow)
            out += "\"low\": " + num(*secondaryLow);
        if (secondaryHigh)
            out += QByteArray(secondaryLow ? ", " : "") + "\"high\": " + num(*secondaryHigh);
        out += "}";
    }
    out += "}\n";
    return out;
}

QString BinPlan::checkAgainst(const QVector<ProcedureStep> &steps) const
{
    if (step > steps.size())
        return QStringLiteral("The bin plan's \"step\" %1 is not a step of the procedure (it has %2).").arg(step).arg(steps.size());
    if (hasSecondary() && !steps.at(step - 1).hasSecondItem())
        return QStringLiteral("The bin plan's \"secondary\" needs a second item, but step %1 measures none.").arg(step);
    return {};
}

QString BinPlan::pathBeside(const QString &procedurePath)
{
    const QFileInfo fi(procedurePath);
    return fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".bins.json"));
}

void BinSorter::setPlan(const BinPlan &plan, const QVector<ProcedureStep> &steps)
{
    m_plan = plan;
    m_primary = m_secondary = Reading();
    int value = 0;
    for (int i = 0; i < steps.size() && i < plan.step; ++i) {
        const ProcedureStep &s = steps.at(i);
        if (i + 1 == plan.step) {
            m_primary = {value, 2 * value, FieldParsing::unitToBase(s[ProcedureStep::FUnit], false)};
            if (s.hasSecondItem())
                m_secondary = {value + 1, 2 * (value + 1), FieldParsing::unitToBase(s[ProcedureStep::SUnit], true)};
        }
        value += s.hasSecondItem() ? 2 : 1;
    }
    m_low.clear();
    m_high.clear();
    for (int i = 0; i < plan.binCount(); ++i) {
        m_low << plan.low(i);
        m_high << plan.high(i);
    }
    m_counts = QVector<int64_t>(plan.out() + 1, 0);
    m_rows = 0;
}

std::optional<double> BinSorter::fromValues(const Reading &r, const double *values, int count) const
{
    if (r.value < 0 || r.value >= count)
        return std::nullopt;
    return values[r.value];
}

int BinSorter::sortValues(const double *values, int count) const
{
    return m_plan.sort(fromValues(m_primary, values, count), fromValues(m_secondary, values, count), m_low.constData(),
                       m_high.constData());
}

int BinSorter::sortCells(const QStringList &cells) const
{
    auto read = [&](const Reading &r) -> std::optional<double> {
        if (r.cell < 0 || r.cell >= cells.size())
            return std::nullopt;
        const std::optional<double> v = LocaleNumbers::leadingNumber(cells.at(r.cell));
        return v ? std::optional<double>(*v * r.toBase) : std::nullopt;
    };
    return m_plan.sort(read(m_primary), read(m_secondary), m_low.constData(), m_high.constData());
}

int BinSorter::sortTableRow(const ResultTableModel &table, int row) const
{
    const RowValues::Span judged = table.values(row);
    if (judged.count > 0)
        return sortValues(judged.data, judged.count);
    std::optional<double> primary, secondary;
    const int last = std::max(m_primary.cell, m_secondary.cell);
    int seen = 0;
    table.packedRows().forEachCell(row, [&](const PackedCell &cell) {
        if (seen == m_primary.cell || seen == m_secondary.cell) {
            const Reading &r = seen == m_primary.cell ? m_primary : m_secondary;
            std::optional<double> v;
            if (cell.kind == PackedCell::Text)
                v = LocaleNumbers::leadingNumber(cell.body);
            if (v)
                *v *= r.toBase;
            (seen == m_primary.cell ? primary : secondary) = v;
        }
        return ++seen <= last;
    });
    return m_plan.sort(primary, secondary, m_low.constData(), m_high.constData());
}

void BinSorter::count(int index)
{
    if (index < 0 || index >= m_counts.size())
        return;
    ++m_counts[index];
    ++m_rows;
}

void BinSorter::clear()
{
    m_counts.fill(0);
    m_rows = 0;
}

void BinSorter::countTable(const ResultTableModel &table)
{
    clear();
    const int n = table.resultCount();
    for (int r = 0; r < n; ++r)
        count(sortTableRow(table, r));
}

std::optional<double> BinSorter::share(int index) const
{
    if (m_rows == 0)
        return std::nullopt;
    return double(countOf(index)) / double(m_rows);
}

QByteArray BinSorter::toJson() const
{
    auto tail = [&](int i) {
        const std::optional<double> s = share(i);
        return "\"count\": " + QByteArray::number(qint64(countOf(i))) + ", \"share\": " + (s ? num(*s) : QByteArray("null"));
    };
    QByteArray out = "{\"rows\": " + QByteArray::number(qint64(m_rows)) + ", \"bins\": [";
    for (int i = 0; i < m_plan.binCount(); ++i) {
        out += (i ? ", " : "") + QByteArray("{\"name\": \"") + m_plan.name(i).toLatin1() + "\", \"low\": "
               + num(m_plan.low(i)) + ", \"high\": " + num(m_plan.high(i)) + ", " + tail(i) + "}";
    }
    out += "], \"aux\": {" + tail(m_plan.aux()) + "}, \"out\": {" + tail(m_plan.out()) + "}}\n";
    return out;
}

QByteArray BinSorter::toText() const
{
    QByteArray out = "bin\tlow\thigh\tcount\tshare\n";
    for (int i = 0; i <= m_plan.out(); ++i) {
        const bool bin = i < m_plan.binCount();
        const std::optional<double> s = share(i);
        out += m_plan.name(i).toLatin1() + '\t' + (bin ? num(m_plan.low(i)) : "-") + '\t'
               + (bin ? num(m_plan.high(i)) : "-") + '\t' + QByteArray::number(qint64(countOf(i))) + '\t'
               + (s ? QString::number(*s * 100, 'f', 2).toLatin1() + '%' : QByteArray("-")) + '\n';
    }
    out += "rows\t\t\t" + QByteArray::number(qint64(m_rows)) + '\n';
    return out;
}
