#pragma once

#include "document/DocumentData.h"

#include <memory>

class PlotPageAccess;
class ProcedureModel;
class ResultTableModel;

// Copies between the document and the live pages: the refresh before a save
// and the rebuild after a load. The plotter is optional (null: its part of
// the document is left as it is, and nothing is written back to it).
namespace PageTransfer {

// The report's rows stay in results (shared, cut to the procedure's cells as
// they are written): give a table that does not change meanwhile, such as a
// snapshot.
void refresh(DocumentData &data, const ProcedureModel &procedure, std::shared_ptr<const ResultTableModel> results,
    const PlotPageAccess *plot);

// ready: the report's rows already cut to cellLimit(data) cells (see
// cutRows), taken over without a copy; null to take them from data.
void rebuild(const DocumentData &data, ProcedureModel &procedure, ResultTableModel &results, PlotPageAccess *plot,
    ResultTableModel *ready = nullptr);

// The cells of a result row the steps of data give it.
int cellLimit(const DocumentData &data);
// The rows of a report read into a table, cut to cells cells, in a table of
// their own for rebuild; may run on another thread.
std::unique_ptr<ResultTableModel> cutRows(const ResultTableModel &table, int cells);

} // namespace PageTransfer
