#include "statistics/Statistics.h"

#include "common/LocaleNumbers.h"
#include "execution/ResultTableModel.h"
#include "procedure/FieldParsing.h"
#include "procedure/StepLimits.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>

namespace {

const QString NoNumbers = QStringLiteral("no readings with a number");

bool hasNumber(const QString &text)
{
    for (QChar c : text)
        if (c.isDigit())
            return true;
    return false;
}

} // namespace

std::optional<double> RunningStats::stdev() const
{
    if (n < 2)
        return std::nullopt;
    // Rounding can leave a hair below zero when every value is equal.
    return std::sqrt(std::max(0.0, m2 / double(n - 1)));
}

Figure ColumnStatistics::mean() const
{
    return stats.n ? Figure::of(stats.mean) : Figure::none(NoNumbers);
}

Figure ColumnStatistics::stdev() const
{
    if (stats.n == 0)
        return Figure::none(NoNumbers);
    const std::optional<double> s = stats.stdev();
    return s ? Figure::of(*s) : Figure::none(QStringLiteral("one reading: no spread yet"));
}

Figure ColumnStatistics::minimum() const
{
    return stats.n ? Figure::of(stats.min) : Figure::none(NoNumbers);
}

Figure ColumnStatistics::maximum() const
{
    return stats.n ? Figure::of(stats.max) : Figure::none(NoNumbers);
}

Figure ColumnStatistics::cp() const
{
    if (!judged)
        return Figure::none(QStringLiteral("no standard, so no limits"));
    if (!low || !high)
        return Figure::none(low || high ? QStringLiteral("a limit on one side only: Cp needs both")
                                        : QStringLiteral("no limits"));
    if (*high <= *low)
        return Figure::none(QStringLiteral("the low limit is not below the high limit"));
    const Figure s = stdev();
    if (!s.defined())
        return Figure::none(s.why);
    if (*s.value == 0)
        return Figure::none(QStringLiteral("no spread: all readings are equal"));
    return Figure::of((*high - *low) / (6 * *s.value));
}

Figure ColumnStatistics::cpk() const
{
    if (!judged)
        return Figure::none(QStringLiteral("no standard, so no limits"));
    if (!low && !high)
        return Figure::none(QStringLiteral("no limits"));
    if (low && high && *high <= *low)
        return Figure::none(QStringLiteral("the low limit is not below the high limit"));
    const Figure s = stdev();
    if (!s.defined())
        return Figure::none(s.why);
    if (*s.value == 0)
        return Figure::none(QStringLiteral("no spread: all readings are equal"));
    const double three = 3 * *s.value;
    const double m = stats.mean;
    if (low && high)
        return Figure::of(std::min(*high - m, m - *low) / three);
    return Figure::of(high ? (*high - m) / three : (m - *low) / three);
}

Figure ColumnStatistics::yield() const
{
    if (!judged)
        return Figure::none(QStringLiteral("no standard, so no verdicts"));
    if (verdicts == 0)
        return Figure::none(QStringLiteral("no rows yet"));
    return Figure::of(double(verdicts - fails) / double(verdicts));
}

void TableStatistics::setSteps(const QVector<ProcedureStep> &steps)
{
    m_columns.clear();
    int cell = 0;
    int value = 0;
    for (int i = 0; i < steps.size(); ++i) {
        const ProcedureStep &s = steps.at(i);
        for (int second = 0; second < (s.hasSecondItem() ? 2 : 1); ++second) {
            const int item = second ? ProcedureStep::SItem : ProcedureStep::FItem;
            const int standard = second ? ProcedureStep::SStd : ProcedureStep::FStd;
            const int low = second ? ProcedureStep::SLow : ProcedureStep::FLow;
            const int high = second ? ProcedureStep::SHigh : ProcedureStep::FHigh;
            const int unit = second ? ProcedureStep::SUnit : ProcedureStep::FUnit;
            ColumnStatistics c;
            c.step = i + 1;
            c.item = s[item];
            c.unit = s[unit];
            c.secondItem = second;
            c.toBase = FieldParsing::unitToBase(c.unit, c.secondItem);
            c.cell = cell;
            c.value = value;
            // The same rule as the verdicts: an empty standard judges nothing.
            c.judged = !s[standard].isEmpty();
            if (c.judged) {
                const StepLimits::Limits l = StepLimits::limits(s[standard], s[low], s[high], s[unit], second);
                c.standard = FieldParsing::standardValue(s[standard], s[unit], second);
                if (hasNumber(s[low]))
                    c.low = l.low;
                if (hasNumber(s[high]))
                    c.high = l.high;
            }
            m_columns << c;
            cell += 2;
            ++value;
        }
    }
    m_cellsPerRow = cell;
    clear();
}

void TableStatistics::clear()
{
    for (ColumnStatistics &c : m_columns) {
        c.stats = RunningStats();
        c.fails = c.verdicts = c.notNumbers = 0;
    }
    m_rows = m_passed = 0;
    m_readings.assign(size_t(m_columns.size()), {});
}

void TableStatistics::addReading(ColumnStatistics &c, int k, std::optional<double> v)
{
    if (v && usable(*v)) {
        c.stats.add(*v);
        if (m_keep)
            m_readings[size_t(k)].push_back(*v);
    } else
        ++c.notNumbers;
}

bool TableStatistics::usable(double v)
{
    // A hair under the overload value: a reading shown in a unit and read
    // back may round just below it.
    return std::isfinite(v) && std::fabs(v) < Overload * (1 - 1e-9);
}

std::optional<double> TableStatistics::parseReading(QStringView text)
{
    return LocaleNumbers::leadingNumber(text);
}

void TableStatistics::addRow(const QStringView *cells, int cellCount, const double *values, int valueCount)
{
    static const QString fail = StepLimits::failText();
    bool failed = false;
    for (int k = 0; k < m_columns.size(); ++k) {
        ColumnStatistics &c = m_columns[k];
        const QStringView verdict = c.cell + 1 < cellCount ? cells[c.cell + 1] : QStringView();
        if (!verdict.isEmpty()) {
            ++c.verdicts;
            if (verdict == fail) {
                ++c.fails;
                failed = true;
            }
        }
        std::optional<double> v;
        if (values) {
            if (c.value < valueCount)
                v = values[c.value];
        } else if (c.cell < cellCount) {
            v = parseReading(cells[c.cell]);
            if (v)
                *v *= c.toBase;
        }
        addReading(c, k, v);
    }
    ++m_rows;
    if (!failed)
        ++m_passed;
}

void TableStatistics::addJudged(const QStringList &cells, const QVector<double> &values)
{
    QVarLengthArray<QStringView, 64> views;
    for (const QString &c : cells)
        views.append(c);
    addRow(views.constData(), int(views.size()), values.constData(), int(values.size()));
}

void TableStatistics::addCells(const QStringList &cells)
{
    QVarLengthArray<QStringView, 64> views;
    for (const QString &c : cells)
        views.append(c);
    addRow(views.constData(), int(views.size()), nullptr, 0);
}

void TableStatistics::addJoined(QStringView joined)
{
    QVarLengthArray<QStringView, 64> views;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = joined.indexOf(u'\n', start);
        if (end < 0) {
            // A row not ending in a line feed is one raw cell, as the table shows it.
            if (start < joined.size())
                views.append(joined.mid(start));
            break;
        }
        views.append(joined.mid(start, end - start));
        start = end + 1;
    }
    addRow(views.constData(), int(views.size()), nullptr, 0);
}

void TableStatistics::addTable(const ResultTableModel &table)
{
    const int n = table.resultCount();
    for (int r = 0; r < n; ++r)
        addTableRow(table, r);
}

void TableStatistics::addTableRow(const ResultTableModel &table, int row)
{
    // The same figures as addJoined(table.joinedRow(row)), read from the
    // packed cells in place: a column's reading is cell 2k, its verdict
    // cell 2k + 1. A row judged here reads its readings as judged, not the
    // rounded texts (as addJudged and the recorded history do).
    static const QByteArray fail = StepLimits::failText().toUtf8();
    const std::string_view failWord(fail.constData(), size_t(fail.size()));
    const int wanted = m_cellsPerRow;
    int seen = 0;
    bool failed = false;
    ColumnStatistics *const columns = m_columns.data();
    const RowValues::Span judged = table.values(row);
    auto take = [&](const PackedCell &cell) {
        const int k = seen / 2;
        ColumnStatistics &c = columns[k];
        if (seen % 2) {
            if (!cell.isEmpty()) {
                ++c.verdicts;
                if (cell.is(failWord)) {
                    ++c.fails;
                    failed = true;
                }
            }
        } else {
            std::optional<double> v;
            if (c.value < judged.count) {
                v = judged.data[c.value];
            } else {
                if (cell.kind == PackedCell::Text)
                    v = LocaleNumbers::leadingNumber(cell.body);
                if (v)
                    *v *= c.toBase;
            }
            addReading(c, k, v);
        }
        return ++seen < wanted;
    };
    if (wanted > 0)
        table.packedRows().forEachCell(row, take);
    // Readings the row does not reach are not numbers.
    for (int k = (seen + 1) / 2; k < m_columns.size(); ++k)
        ++m_columns[k].notNumbers;
    ++m_rows;
    if (!failed)
        ++m_passed;
}

Figure TableStatistics::firstPassYield() const
{
    if (m_rows == 0)
        return Figure::none(QStringLiteral("no rows yet"));
    return Figure::of(double(m_passed) / double(m_rows));
}
