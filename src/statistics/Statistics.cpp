#include "statistics/Statistics.h"

#include "execution/ResultTableModel.h"
#include "measurement/PassEvaluator.h"
#include "procedure/FieldParsing.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
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

bool isBlank(char16_t c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char16_t c)
{
    return c >= '0' && c <= '9';
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
                const PassEvaluator::Limits l = PassEvaluator::limits(s[standard], s[low], s[high], s[unit], second);
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

bool TableStatistics::usable(double v)
{
    // A hair under the overload value: a reading shown in a unit and read
    // back may round just below it.
    return std::isfinite(v) && std::fabs(v) < Overload * (1 - 1e-9);
}

std::optional<double> TableStatistics::parseReading(QStringView text)
{
    // The same token as FieldParsing::leadingDouble: blanks, sign, digits,
    // point, digits, exponent. Without digits there is no reading.
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size && isBlank(text[i].unicode()))
        ++i;
    char buf[64];
    int len = 0;
    auto put = [&](char16_t c) {
        if (len < int(sizeof buf) - 1)
            buf[len++] = char(c);
    };
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            put('-');
        ++i;
    }
    const bool negative = len == 1; // the minus sign is all that was written
    // Clinger's fast path: a mantissa below 2^53 over a power of ten up to
    // 1e22 is one correctly rounded division, as strtod would round it.
    uint64_t mantissa = 0;
    int fraction = 0;
    bool fast = true;
    auto digit = [&](char16_t c, bool afterPoint) {
        put(c);
        if (mantissa > (uint64_t(1) << 53) / 10)
            fast = false;
        mantissa = mantissa * 10 + uint64_t(c - u'0');
        fraction += afterPoint;
    };
    int digits = 0;
    while (i < size && isDigit(text[i].unicode()))
        digit(text[i++].unicode(), false), ++digits;
    if (i < size && text[i] == u'.') {
        put('.');
        ++i;
        while (i < size && isDigit(text[i].unicode()))
            digit(text[i++].unicode(), true), ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    const bool exponent = i + 1 < size && (text[i] == u'e' || text[i] == u'E')
                          && (isDigit(text[i + 1].unicode())
                              || (i + 2 < size && (text[i + 1] == u'+' || text[i + 1] == u'-')
                                  && isDigit(text[i + 2].unicode())));
    if (fast && !exponent && fraction <= 22 && mantissa <= (uint64_t(1) << 53)) {
        static const double powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        const double v = double(mantissa) / powers[fraction];
        return negative ? -v : v;
    }
    if (i < size && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        if (j < size && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (j < size && isDigit(text[j].unicode())) {
            put('e');
            if (text[i + 1] == u'-')
                put('-');
            while (j < size && isDigit(text[j].unicode()))
                put(text[j++].unicode());
        }
    }
    double v = 0;
    if (len >= int(sizeof buf) - 1) {
        // A long "%f" text (a huge reading): the C runtime reads it whole.
        v = FieldParsing::leadingDouble(text.toString());
    } else {
        buf[len] = '\0';
        const auto r = std::from_chars(buf, buf + len, v);
        if (r.ec == std::errc::result_out_of_range)
            v = FieldParsing::leadingDouble(text.toString());
    }
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}

void TableStatistics::addRow(const QStringView *cells, int cellCount, const double *values, int valueCount)
{
    static const QString fail = PassEvaluator::failText();
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
        if (v && usable(*v)) {
            c.stats.add(*v);
            if (m_keep)
                m_readings[size_t(k)].push_back(*v);
        } else
            ++c.notNumbers;
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
        addJoined(table.joinedRow(r));
}

Figure TableStatistics::firstPassYield() const
{
    if (m_rows == 0)
        return Figure::none(QStringLiteral("no rows yet"));
    return Figure::of(double(m_passed) / double(m_rows));
}
