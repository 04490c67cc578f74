#include "document/PageTransfer.h"

#include "document/Cp950Codec.h"
#include "document/PlotPageAccess.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QSignalBlocker>

namespace PageTransfer {

void refresh(DocumentData &data, const ProcedureModel &procedure, std::shared_ptr<const ResultTableModel> results,
    const PlotPageAccess *plot)
{
    const int steps = procedure.stepCount();
    data.stepCount = steps;
    for (int k = 0; k < DocumentData::StepColumnCount; ++k) {
        QStringList column;
        column.reserve(steps);
        for (int j = 0; j < steps; ++j)
            column << procedure.text(j, k + 1);
        data.stepColumns[size_t(k)] = column;
    }

    // The rows are written from the table itself, each cut or filled to the
    // procedure's cells on the way: a million rows are not copied first.
    data.reportRows.clear();
    data.reportRowCount = results->resultCount();
    data.reportCells = 2 * (steps + procedure.secondItemCount());
    data.reportDates = results->reportDates();
    data.reportTimes = results->reportTimes();
    data.reportTable = std::move(results);

    if (plot) {
        data.plotFirstItem = plot->firstItemText();
        data.plotSecondItem = plot->secondItemText();
        data.plotRows = plot->joinedRows();
        data.plotRowCount = qint32(data.plotRows.size());
        data.plotColumnCount = plot->columnCounter();
    }
}

int cellLimit(const DocumentData &data)
{
    // Counts were checked against the arrays when the file was read; the
    // bounds here keep a document filled any other way from reading past them.
    int steps = qMax(0, data.stepCount);
    for (const QStringList &column : data.stepColumns)
        steps = qMin(steps, int(column.size()));
    return 4 * steps;
}

std::unique_ptr<ResultTableModel> cutRows(const ResultTableModel &table, int cells)
{
    auto cut = std::make_unique<ResultTableModel>();
    const QSignalBlocker quiet(cut.get());
    cut->assignRows(table, cells);
    return cut;
}

void rebuild(const DocumentData &data, ProcedureModel &procedure, ResultTableModel &results, PlotPageAccess *plot,
    ResultTableModel *ready)
{
    const int steps = cellLimit(data) / 4;
    QVector<ProcedureStep> list(steps);
    for (int j = 0; j < steps; ++j) {
        ProcedureStep &s = list[j];
        s.fields[ProcedureStep::Step] = QString::number(j + 1);
        for (int k = 0; k < DocumentData::StepColumnCount; ++k)
            s.fields[size_t(k + 1)] = data.stepColumns[size_t(k)].at(j);
        s.picture = ProcedureStep::pictureFor(s[ProcedureStep::FItem], s[ProcedureStep::Circuit]);
    }
    procedure.setSteps(list);

    const QStringList titles = ResultTableModel::stepColumnsFor(procedure);
    const int rows = int(qBound(qint64(0), qint64(data.reportRowCount), qint64(data.reportEntryCount())));
    const int maxCells = 4 * steps;
    // Emptied, given the new columns, then filled under one insertion
    // notice: followers of the table (the report's sampling count) see the
    // rows arrive, and a view attached to a million rows takes them at once.
    results.removeAllRows();
    results.setStepColumns(titles);
    const bool tableAsRead = data.reportTable && data.reportCells < 0 && data.reportTable->resultCount() == rows;
    if (tableAsRead && ready && ready->resultCount() == rows) {
        results.adoptRows(*ready);
    } else if (tableAsRead) {
        // Read straight into a table: shared, not decoded again.
        results.assignRows(*data.reportTable, maxCells);
    } else if (data.reportTable) {
        results.reserveRows(rows, 0);
        results.appendJoinedRows(rows, [&](int i, QString &joined, int &image) {
            joined = data.reportEntry(i);
            image = joined.contains(QLatin1String("fail")) ? ResultTableModel::Failed : ResultTableModel::Passed;
            const qsizetype end = DocumentData::endOfCells(joined, maxCells);
            if (end >= 0)
                joined.truncate(end);
        });
    } else {
        results.reserveRows(rows, data.reportRows.byteSize());
        results.appendJoinedRows(rows, [&](int i, QString &joined, int &image) {
            const QByteArrayView bytes = data.reportRows.encodedAt(i);
            joined = Cp950Codec::decode(bytes.data(), bytes.size());
            // In ASCII the bytes can be searched; a Big5 trail byte could fake a match.
            const bool failed = Cp950Codec::isAscii(bytes.data(), bytes.size())
                ? bytes.contains(QByteArrayView("fail"))
                : joined.contains(QLatin1String("fail"));
            image = failed ? ResultTableModel::Failed : ResultTableModel::Passed;
            const qsizetype end = DocumentData::endOfCells(joined, maxCells);
            if (end >= 0)
                joined.truncate(end);
        });
    }
    results.setReportDates(data.reportDates);
    results.setReportTimes(data.reportTimes);

    if (plot) {
        const int plotRows = int(qBound(qint64(0), qint64(data.plotRowCount), qint64(data.plotRows.size())));
        plot->restoreFromDocument(data.plotRows.mid(0, plotRows), data.plotColumnCount, data.plotFirstItem,
            data.plotSecondItem);
    }
}

} // namespace PageTransfer
