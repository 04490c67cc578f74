#pragma once
// Plot files: the reader and the rebuild of the Plotter View's list and
// graph, then the save of what was shown.

#include "FuzzSupport.h"

#include "document/PageTransfer.h"
#include "document/PlotterStateAccess.h"
#include "execution/ResultTableModel.h"
#include "plotter/PlotterState.h"
#include "procedure/ProcedureModel.h"

#include <QIcon>

#include <cmath>


inline void checkPlotFile(const uint8_t *data, size_t size)
{
    const QByteArray bytes = FuzzSupport::view(data, size);
    DocumentData doc;
    if (!FuzzSupport::readChecked(DocumentNames::FileType::Plot, bytes, doc))
        return;
    FUZZ_CHECK(doc.plotRowCount >= 0 && doc.plotRows.size() >= doc.plotRowCount, "the rows array holds its count");
    FUZZ_CHECK(doc.plotColumnCount >= 0 && doc.plotColumnCount <= 5, "the line counter is 0..5");

    ProcedureModel procedure;
    ResultTableModel results;
    PlotterState plotter;
    plotter.table().setPictures(QVector<QIcon>(6));
    PlotterStateAccess access(&plotter);
    PageTransfer::rebuild(doc, procedure, results, &access);

    const PlotTableModel &table = plotter.table();
    FUZZ_CHECK(table.tableRowCount() == doc.plotRowCount, "one list row per plot row");
    for (int r = 0; r < table.rowCount(); ++r) {
        FUZZ_CHECK(table.cell(r, 0) == QString::number(r + 1), "rows are numbered from 1");
        const QStringList pieces = doc.plotRows.at(r).split(QLatin1Char('\n'));
        for (int c = 1; c < table.columnCount(); ++c)
            FUZZ_CHECK(table.cell(r, c) == pieces.value(c - 1), "a cell shows the file's text");
        for (int c = 0; c <= table.columnCount(); ++c) {
            (void)table.data(table.index(r, c));
            (void)table.data(table.index(r, c), Qt::DecorationRole);
        }
    }
    const GraphSink &graph = plotter.graph();
    for (int axis = 1; axis <= GraphSink::AxisCount; ++axis) {
        const double lo = graph.axisMinimum(axis), hi = graph.axisMaximum(axis);
        FUZZ_CHECK(!(lo > hi), "an axis minimum never exceeds its maximum");
    }
    FUZZ_CHECK(plotter.columnCounter() == (table.tableRowCount() > 0 && table.columnCount() > 2 ? 5 : 1),
        "after a load the lines read count as used; with none the next Draw draws line 1");

    DocumentData saved;
    PageTransfer::refresh(saved, procedure, results.snapshot(), &access);
    FUZZ_CHECK(saved.plotRowCount == table.tableRowCount(), "the save keeps every row");
    FuzzSupport::checkStableRoundTrip(DocumentNames::FileType::Plot, saved);
}
