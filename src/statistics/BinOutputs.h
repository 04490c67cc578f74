#pragma once

#include "reports/ReportPainter.h"

class BinSorter;
class WorkbookWriter;

// The bins in the outputs, after everything else: a sheet "Bins" after the
// workbook's sheets, a page after the printed report's pages.
namespace BinOutputs {

// The plan in one line ("step 1, nested around 1e-07, AUX: D from 0 to 0.001").
QString planText(const BinSorter &bins);

// A title row, a row per bin (name, low, high in base units, count, share),
// AUX and OUT, then the rows and the plan.
void writeSheet(const BinSorter &bins, WorkbookWriter &out);

// One page: the plan, a table of the counts and shares, and their bars.
ReportPainter::Appendix appendix(const BinSorter &bins);

// The pages of a, then those of b.
ReportPainter::Appendix chain(const ReportPainter::Appendix &a, const ReportPainter::Appendix &b);

} // namespace BinOutputs
