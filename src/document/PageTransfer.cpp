#include "document/PageTransfer.h"

#include "document/Cp950Codec.h"
#include "document/PlotPageAccess.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QSignalBlocker>

namespace PageTransfer {

namespace {

// Index just past the cells-th line feed, or -1 when there are fewer.
qsizetype endOfCells(QStringView joined, int cells)
{
    if (cells <= 0)
        return 0;
    const char16_t *p = joined.utf16();
    int seen = 0;
    for (qsizetype i = 0, n = joined.size(); i < n; ++i) {
        if (p[i] == u'\n' && ++seen == cells)
            return i + 1;
    }
    return -1;
}

} // namespace

QString joinedCells(QStringView joined, int cells)
{
    const qsizetype end = endOfCells(joined, cells);
    if (end >= 0)
        return joined.left(end).toString();
    // Fewer cells than columns: the missing ones are empty.
    QString out = joined.toString();
    int have = int(out.count(QLatin1Char('\n')));
    if (!out.isEmpty() && !out.endsWith(QLatin1Char('\n'))) {
        out += QLatin1Char('\n');
        ++have;
    }
    for (; have < cells; ++have)
        out += QLatin1Char('\n');
    return out;
}

void refresh(DocumentData &data, const ProcedureModel &procedure, const ResultTableModel &results,
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

    const int rows = results.resultCount();
    const int cells = 2 * (steps + procedure.secondItemCount());
    data.reportRowCount = rows;
    // Let go of the old copy first: with a million rows it is large.
    data.reportRows.clear();
    data.reportTable.reset();
    data.reportRows.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        const QString joined = results.joinedRow(r);
        const qsizetype end = endOfCells(joined, cells);
        if (end >= 0)
            data.reportRows.append(QStringView(joined).left(end));
        else
            data.reportRows.append(joinedCells(joined, cells));
    }
    data.reportDates = results.reportDates();
    data.reportTimes = results.reportTimes();

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
    const int rows = int(qBound(qint64(0), qint64(data.reportRowCount), qint64(data.reportRows.size())));
    const int maxCells = 4 * steps;
    // Emptied, given the new columns, then filled under one insertion
    // notice: followers of the table (the report's sampling count) see the
    // rows arrive, and a view attached to a million rows takes them at once.
    results.removeAllRows();
    results.setStepColumns(titles);
    if (ready && data.reportTable && ready->resultCount() == data.reportTable->resultCount()) {
        results.adoptRows(*ready);
    } else if (data.reportTable) {
        // Read straight into a table: shared, not decoded again.
        results.assignRows(*data.reportTable, maxCells);
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
            const qsizetype end = endOfCells(joined, maxCells);
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
