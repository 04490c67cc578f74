#pragma once

#include "document/DocumentData.h"

#include <QJsonObject>

// The JSON form of the three file layouts, for reading and for editing
// files under version control.
namespace CliJson {

// procedureSteps: when given (a procedure's data), a report also carries its column titles.
QJsonObject toJson(DocumentNames::FileType type, const DocumentData &data, const DocumentData *procedure = nullptr);

// The inverse; throws std::runtime_error with a sentence on malformed input.
DocumentNames::FileType fromJson(const QJsonObject &json, DocumentData &data);

// Result-table column titles of a procedure: "Seq.", then per step the item
// and number, "P/F", and the same for a second item that is not "off".
QStringList reportColumns(const DocumentData &procedure);

} // namespace CliJson
