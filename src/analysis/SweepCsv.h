#pragma once

#include <QString>

class PlotTableModel;

// The sweep's result list as CSV (RFC 4180, UTF-8, CRLF): the titles as
// shown, then each row's cells as shown.
namespace SweepCsv {
// Written whole or not at all; false with the reason.
bool write(const PlotTableModel &table, const QString &path, QString *error);
}
