#pragma once
// Report files: the reader and the rebuild of the result table under a few
// procedures, then the save of what was shown.

#include "FuzzSupport.h"

#include "document/PageTransfer.h"
#include "execution/ResultTableModel.h"
#include "procedure/ProcedureModel.h"

#include <QIcon>

namespace ReportFileCheckDetail {

// Steps of a procedure with the given items ("off" for no second item).
inline void setProcedure(DocumentData &doc, const QList<QPair<QString, QString>> &items)
{
    doc.stepCount = int(items.size());
    for (QStringList &column : doc.stepColumns)
        column = QStringList(items.size(), QStringLiteral("1"));
    for (int j = 0; j < items.size(); ++j) {
        doc.stepColumns[0][j] = items[j].first;  // F-Item
        doc.stepColumns[5][j] = items[j].second; // S-Item
    }
}

} // namespace ReportFileCheckDetail

inline void checkReportFile(const uint8_t *data, size_t size)
{
    using namespace ReportFileCheckDetail;
    const QByteArray bytes = FuzzSupport::view(data, size);
    DocumentData doc;
    // The report does not carry its procedure; the size picks one.
    switch (size % 4) {
    case 0:
        break;
    case 1:
        setProcedure(doc, {{"C", "off"}});
        break;
    case 2:
        setProcedure(doc, {{"L", "Q"}, {"Rdc", "off"}});
        break;
    default:
        setProcedure(doc, {{"Z", "Angle"}, {"C", "D"}, {"X", "off"}});
        break;
    }
    if (!FuzzSupport::readChecked(DocumentNames::FileType::Report, bytes, doc))
        return;
    FUZZ_CHECK(doc.reportRowCount >= 0, "a row count read is never negative");
    FUZZ_CHECK(doc.reportEntryCount() >= doc.reportRowCount, "the rows array holds its count");

    ProcedureModel procedure;
    ResultTableModel results;
    results.setRowIcons(QVector<QIcon>(3));
    PageTransfer::rebuild(doc, procedure, results, nullptr);
    FUZZ_CHECK(results.resultCount() == doc.reportRowCount, "one table row per report row");
    const int maxCells = 4 * procedure.stepCount();
    for (int r = 0; r < results.resultCount(); ++r) {
        const QString joined = doc.reportEntry(r);
        const int image = results.image(r);
        FUZZ_CHECK(image == (joined.contains(QLatin1String("fail")) ? ResultTableModel::Failed
                                                                    : ResultTableModel::Passed),
            "a row is failed exactly when its text holds fail");
        FUZZ_CHECK(results.cells(r).size() <= qMax(maxCells, 1) + 1, "no more cells than the table has columns");
        FUZZ_CHECK(results.cell(r, 0) == QString::number(r + 1), "rows are numbered from 1");
        // The table shows the file's text: cell c is the c-th piece between
        // line feeds, empty where the row has fewer.
        const QStringList pieces = joined.split(QLatin1Char('\n'));
        for (int c = 1; c < results.columnCount(); ++c)
            FUZZ_CHECK(results.cell(r, c) == pieces.value(c - 1), "a cell shows the file's text");
        for (int c = 0; c <= results.columnCount(); ++c) {
            (void)results.cell(r, c);
            (void)results.data(results.index(r, c));
            (void)results.data(results.index(r, c), Qt::DecorationRole);
        }
    }
    FUZZ_CHECK(results.reportDates() == doc.reportDates, "the dates are kept as read");
    FUZZ_CHECK(results.reportTimes() == doc.reportTimes, "the times are kept as read");

    // What a save writes from this table reads back to the same table.
    DocumentData saved;
    PageTransfer::refresh(saved, procedure, results.snapshot(), nullptr);
    FUZZ_CHECK(saved.reportRowCount == results.resultCount(), "the save keeps every row");
    FuzzSupport::checkStableRoundTrip(DocumentNames::FileType::Report, saved);
    const QByteArray written = FuzzSupport::writeLayout(DocumentNames::FileType::Report, saved);
    DocumentData reread = saved;
    FUZZ_CHECK(FuzzSupport::readChecked(DocumentNames::FileType::Report, written, reread), "a saved report reads");
    ResultTableModel again;
    PageTransfer::rebuild(reread, procedure, again, nullptr);
    FUZZ_CHECK(again.resultCount() == results.resultCount(), "the reloaded table has the same rows");
    // The save keeps the cells the table has columns for.
    const int shown = results.columnCount();
    for (int r = 0; r < again.resultCount(); ++r) {
        for (int c = 0; c < shown; ++c) {
            const QString shownText = FuzzSupport::asSaved(results.cell(r, c));
            if (again.cell(r, c) != shownText)
                std::fprintf(stderr, "row %d cell %d: shown %s, reloaded %s\n", r, c,
                    results.cell(r, c).toUtf8().toPercentEncoding().constData(),
                    again.cell(r, c).toUtf8().toPercentEncoding().constData());
            FUZZ_CHECK(again.cell(r, c) == shownText, "the reloaded row shows the same cells");
        }
    }
}
