#pragma once

#include "plotter/SweepExport.h"
#include "reports/ReportLayout.h"
#include "reports/ReportPainter.h"
#include "statistics/BinPlan.h"

#include <QString>

#include <functional>
#include <memory>

class ProcedureModel;
class ResultTableModel;
class WorkbookWriter;

// What the result table becomes outside the program: the result workbook
// (the results sheet, then "Statistics"), the CSV file (the title and data
// rows) and the printed report with its statistics page. Made from a copy of
// the steps and rows taken when it is made; the copy shares the rows' store,
// so it is cheap, and another thread may write from it while the table goes
// on growing.
// Told the sheet row about to be written; a background task's progress
// (which may throw to cancel).
using RowWritten = std::function<void(int sheetRow)>;

class ResultOutputs
{
public:
    ResultOutputs(const ProcedureModel &procedure, const ResultTableModel &results);

    // The sheet rows a file of these rows has, for a progress total.
    int sheetRows() const;

    void writeWorkbook(WorkbookWriter &out) const;
    void writeCsv(WorkbookWriter &out) const;
    // The whole file, replacing path only once it is complete.
    bool workbookToFile(const QString &path, QString *error, const RowWritten &rowWritten = {}) const;
    bool csvToFile(const QString &path, QString *error, const RowWritten &rowWritten = {}) const;

    // The printed report's lay-out; keepGoing as ReportLayout::prepare takes it.
    ReportLayout reportLayout(const std::function<bool(int done, int total)> &keepGoing = {}) const;
    // Its pages, known without laying it out.
    int reportPageCount() const;
    // The statistics page printed after the report, of these rows.
    ReportPainter::Appendix statisticsAppendix() const;
    // With a bin plan the workbook gains a sheet "Bins"; its page, of these rows.
    void setBinPlan(const std::optional<BinPlan> &plan) { m_binPlan = plan; }
    ReportPainter::Appendix binsAppendix() const;

    const ProcedureModel &procedure() const { return *m_procedure; }
    const ResultTableModel &results() const { return *m_results; }

private:
    std::shared_ptr<ProcedureModel> m_procedure;
    std::shared_ptr<const ResultTableModel> m_results;
    std::optional<BinPlan> m_binPlan;
};

// The Plotter View's sweep export, from a copy of its texts and rows taken
// when it is made.
class SweepOutputs
{
public:
    explicit SweepOutputs(SweepExportInput input) : m_input(std::move(input)) {}

    // The sheet rows the workbook has, for a progress total.
    int sheetRows() const;
    // The whole workbook, replacing path only once it is complete.
    bool workbookToFile(const QString &path, QString *error, const RowWritten &rowWritten = {}) const;

    const SweepExportInput &input() const { return m_input; }

private:
    SweepExportInput m_input;
};
