#pragma once

#include "document/DocumentData.h"

class PlotPageAccess;
class ProcedureModel;
class ResultTableModel;

// Copies between the document and the live pages: the refresh before a save
// and the rebuild after a load. The plotter is optional (null: its part of
// the document is left as it is, and nothing is written back to it).
namespace PageTransfer {

void refresh(DocumentData &data, const ProcedureModel &procedure, const ResultTableModel &results,
    const PlotPageAccess *plot);

void rebuild(const DocumentData &data, ProcedureModel &procedure, ResultTableModel &results, PlotPageAccess *plot);

// Cells 1..cells of a joined row, each followed by a line feed; missing cells are empty.
QString joinedCells(QStringView joined, int cells);

} // namespace PageTransfer
