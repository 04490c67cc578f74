#include "session/SessionOutputs.h"

#include "sheets/CsvWriter.h"
#include "execution/ResultCsvExport.h"
#include "execution/ResultExport.h"
#include "execution/ResultTableModel.h"
#include "sheets/XlsxWorkbook.h"
#include "procedure/ProcedureModel.h"
#include "statistics/Statistics.h"
#include "statistics/BinOutputs.h"
#include "statistics/StatisticsOutputs.h"

namespace {

// Passes every call on, telling each row first.
class RowTellingWriter : public WorkbookWriter
{
public:
    RowTellingWriter(WorkbookWriter &out, const RowWritten &told) : m_out(out), m_told(told) {}
    void centreColumn(int column) override { m_out.centreColumn(column); }
    void writeRow(int row, const QStringList &cells) override
    {
        m_told(row);
        m_out.writeRow(row, cells);
    }
    void boldRow(int row) override { m_out.boldRow(row); }
    void blueRow(int row) override { m_out.blueRow(row); }
    bool addSheet(const QString &name) override { return m_out.addSheet(name); }
    void numberRow(int row) override { m_out.numberRow(row); }
    bool close() override { return m_out.close(); }
    QString errorText() const override { return m_out.errorText(); }

private:
    WorkbookWriter &m_out;
    const RowWritten &m_told;
};

// Runs write on out, through a row-telling writer when someone listens.
template <class Write>
void writeTelling(WorkbookWriter &out, const RowWritten &told, Write write)
{
    if (!told) {
        write(out);
        return;
    }
    RowTellingWriter telling(out, told);
    write(telling);
}

} // namespace

ResultOutputs::ResultOutputs(const ProcedureModel &procedure, const ResultTableModel &results)
    : m_procedure(std::make_shared<ProcedureModel>()),
      m_results(std::shared_ptr<const ResultTableModel>(results.snapshot().release()))
{
    m_procedure->setSteps(procedure.steps());
}

int ResultOutputs::sheetRows() const
{
    return m_results->resultCount() + ResultExport::FirstDataRow;
}

void ResultOutputs::writeWorkbook(WorkbookWriter &out) const
{
    StatisticsOutputs::writeWorkbook(*m_procedure, *m_results, out, m_binPlan ? &*m_binPlan : nullptr);
}

void ResultOutputs::writeCsv(WorkbookWriter &out) const
{
    ResultExport::write(*m_procedure, *m_results, out);
}

bool ResultOutputs::workbookToFile(const QString &path, QString *error, const RowWritten &rowWritten) const
{
    return XlsxWorkbook::writeFile(
        path, [&](WorkbookWriter &out) { writeTelling(out, rowWritten, [this](WorkbookWriter &w) { writeWorkbook(w); }); },
        error);
}

bool ResultOutputs::csvToFile(const QString &path, QString *error, const RowWritten &rowWritten) const
{
    return CsvWriter::writeFile(
        path, ResultCsvExport::keepsRow,
        [&](WorkbookWriter &out) { writeTelling(out, rowWritten, [this](WorkbookWriter &w) { writeCsv(w); }); }, error);
}

ReportLayout ResultOutputs::reportLayout(const std::function<bool(int, int)> &keepGoing) const
{
    return ReportLayout::prepare(*m_procedure, *m_results, keepGoing);
}

int ResultOutputs::reportPageCount() const
{
    return ReportLayout::blockCountFor(m_results->resultCount())
        * ReportLayout::pagesPerBlockFor(m_procedure->stepCount() + m_procedure->secondItemCount());
}

ReportPainter::Appendix ResultOutputs::statisticsAppendix() const
{
    TableStatistics statistics;
    statistics.setSteps(m_procedure->steps());
    statistics.addTable(*m_results);
    return StatisticsOutputs::appendix(statistics);
}

ReportPainter::Appendix ResultOutputs::binsAppendix() const
{
    if (!m_binPlan || !m_binPlan->checkAgainst(m_procedure->steps()).isEmpty())
        return {};
    BinSorter sorter;
    sorter.setPlan(*m_binPlan, m_procedure->steps());
    sorter.countTable(*m_results);
    return BinOutputs::appendix(sorter);
}

int SweepOutputs::sheetRows() const
{
    // The titles, four rows of settings and the units come first.
    return int(m_input.rows.size()) + 6;
}

bool SweepOutputs::workbookToFile(const QString &path, QString *error, const RowWritten &rowWritten) const
{
    return XlsxWorkbook::writeFile(
        path,
        [&](WorkbookWriter &out) { writeTelling(out, rowWritten, [this](WorkbookWriter &w) { SweepExport::write(m_input, w); }); },
        error);
}
