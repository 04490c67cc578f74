#include "plotter/SweepExport.h"

#include "sheets/WorkbookWriter.h"
#include "plotter/PlotterState.h"
#include "procedure/FieldParsing.h"
#include "procedure/Vocabulary.h"

namespace {

constexpr int BufferSize = 6;
constexpr int MaxLines = 4;


// Searched in this order; the first found ends the number. A voltage has
// none of them, so "1.000000V" stays as it is, as sheets of the legacy
// program show it.
const QChar unitLetters[] = {QLatin1Char('F'), QLatin1Char('H'), QLatin1Char('O'), QLatin1Char('S'),
                             QLatin1Char('Q'), QLatin1Char('D'), QLatin1Char('G'), QChar(0x00B0)};

struct Prefix
{
    QChar letter;
    double factor;
};
const Prefix prefixes[] = {{QLatin1Char('M'), 1e6},  {QLatin1Char('K'), 1e3},  {QLatin1Char('m'), 1e-3},
                           {QLatin1Char('u'), 1e-6}, {QLatin1Char('n'), 1e-9}, {QLatin1Char('p'), 1e-12}};

qsizetype unitPosition(const QString &text)
{
    for (QChar letter : unitLetters) {
        const qsizetype at = text.indexOf(letter);
        if (at >= 0)
            return at;
    }
    return -1;
}

// "%E" with the exponent widened to three digits, as spreadsheets of old
// printed it (1.500000E+003).
QString scientific(double value)
{
    QString s = QString::asprintf("%E", value);
    const qsizetype e = s.indexOf(QLatin1Char('E'));
    if (e < 0 || e + 2 > s.size())
        return s; // INF, NAN
    const qsizetype digits = s.size() - (e + 2);
    if (digits < 3)
        s.insert(e + 2, QString(3 - digits, QLatin1Char('0')));
    return s;
}

} // namespace

bool SweepExportInput::isVoltageSweep() const
{
    // An "Rdc" sweep always steps the voltage, whatever its list shows.
    return sweepKind == SweepSetup::kindText(SweepSetup::Voltage) || firstItem == Vocabulary::rdcText();
}

QString SweepExport::unitOf(const QString &cell)
{
    const qsizetype at = unitPosition(cell);
    return at < 0 ? cell : cell.mid(at);
}

QString SweepExport::plainNumber(const QString &cell)
{
    QString text = cell;
    const qsizetype unit = unitPosition(text);
    if (unit >= 0)
        text.truncate(unit);
    for (const Prefix &p : prefixes) {
        const qsizetype at = text.indexOf(p.letter);
        if (at >= 0) {
            const float number = float(FieldParsing::leadingDouble(text.left(at)));
            return scientific(double(number) * p.factor);
        }
    }
    return text;
}

void SweepExport::write(const SweepExportInput &in, WorkbookWriter &out)
{
    // One buffer of six strings serves every row; a string keeps its value
    // until a row sets it again.
    QStringList buffer;
    for (int i = 0; i < BufferSize; ++i)
        buffer << QString();

    const bool voltage = in.isVoltageSweep();
    const int lines = qMin(int(in.lineTitles.size()), MaxLines);

    buffer[0] = QStringLiteral("Seq.");
    buffer[1] = SweepSetup::kindText(voltage ? SweepSetup::Voltage : SweepSetup::Frequency);
    for (int n = 0; n < lines; ++n)
        buffer[n + 2] = in.lineTitles.at(n);
    out.writeRow(1, buffer);
    out.blueRow(1);
    out.boldRow(1);

    // The fixed condition of the sweep: the level of a frequency sweep, the
    // frequency of a voltage sweep; a DC resistance sweep has no frequency.
    QString fixedTitle;
    QString fixedValue;
    if (!voltage) {
        fixedTitle = QStringLiteral("Level");
        fixedValue = in.fixedLevel + in.fixedLevelUnit;
    } else {
        fixedTitle = QStringLiteral("Freq.");
        if (in.firstItem != Vocabulary::rdcText())
            fixedValue = in.fixedFrequency + in.fixedFrequencyUnit;
    }
    const QString settings[][2] = {
        {QStringLiteral("Start"), in.start + in.sweepUnit},
        {QStringLiteral("End"), in.end + in.sweepUnit},
        {QStringLiteral("Points"), in.points},
        {fixedTitle, fixedValue},
    };
    int sheetRow = 2;
    for (const auto &setting : settings) {
        buffer[0] = setting[0];
        buffer[1].clear();
        for (int n = 0; n < lines; ++n)
            buffer[n + 2] = setting[1];
        out.writeRow(sheetRow, buffer);
        out.boldRow(sheetRow);
        ++sheetRow;
    }

    const QStringList noRow;
    const QStringList &first = in.rows.isEmpty() ? noRow : in.rows.first();
    for (int k = 0; k < BufferSize; ++k)
        buffer[k] = unitOf(first.value(k));
    buffer[0] = QStringLiteral("Unit");
    out.writeRow(6, buffer);

    for (int r = 0; r < in.rows.size(); ++r) {
        const QStringList &cells = in.rows.at(r);
        for (int k = 0; k < BufferSize; ++k)
            buffer[k] = plainNumber(cells.value(k));
        out.writeRow(r + 7, buffer);
    }
}

bool SweepExport::exportToFile(const SweepExportInput &input, const QString &path, QString *error)
{
    return XlsxWorkbook::writeFile(
        path, [&](WorkbookWriter &out) { write(input, out); }, error);
}

QString SweepExport::exportAndOpen(const SweepExportInput &input, Prompter &prompter,
                                   const XlsxWorkbook::Opener &opener)
{
    return XlsxWorkbook::exportAndOpen(
        QStringLiteral("qel-sweep"), [&](WorkbookWriter &out) { write(input, out); }, prompter, opener);
}

SweepExportInput SweepExport::inputFrom(const PlotterState &state)
{
    SweepExportInput in;
    in.sweepKind = state.text(PlotterState::SweepKind);
    in.firstItem = state.text(PlotterState::FirstItem);
    in.start = state.text(PlotterState::Start);
    in.end = state.text(PlotterState::End);
    in.points = state.text(PlotterState::Points);
    in.sweepUnit = state.text(PlotterState::SweepUnit);
    in.fixedFrequency = state.text(PlotterState::FixedFrequency);
    in.fixedFrequencyUnit = state.text(PlotterState::FixedFrequencyUnit);
    in.fixedLevel = state.text(PlotterState::FixedLevel);
    in.fixedLevelUnit = state.text(PlotterState::FixedLevelUnit);

    const PlotTableModel &table = state.table();
    in.lineTitles = table.lineTitles();
    const int shown = qMin(2 + int(in.lineTitles.size()), BufferSize);
    in.rows.reserve(table.tableRowCount());
    for (int r = 0; r < table.tableRowCount(); ++r) {
        QStringList cells;
        for (int k = 0; k < BufferSize; ++k)
            cells << (k < shown ? table.cell(r, k) : QString());
        in.rows.append(cells);
    }
    return in;
}

bool SweepExport::exportToFile(const PlotterState &state, const QString &path, QString *error)
{
    return exportToFile(inputFrom(state), path, error);
}

QString SweepExport::exportAndOpen(const PlotterState &state, Prompter &prompter, const XlsxWorkbook::Opener &opener)
{
    return exportAndOpen(inputFrom(state), prompter, opener);
}
