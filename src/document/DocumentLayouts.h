#pragma once

#include "document/DocumentData.h"

#include <QByteArray>

class QIODevice;

// The three file layouts: flat archive items, no header or checksum.
namespace DocumentLayouts {

// Writes the layout of type; false (with why) when the device fails or the
// type has no layout.
bool write(DocumentNames::FileType type, const DocumentData &data, QIODevice *device, QString *error);

// Reads the layout of type from bytes into out (only that layout's fields).
// Throws ArchiveError for a truncated or damaged file, including arrays that
// hold fewer strings than their counts say.
void read(DocumentNames::FileType type, const QByteArray &bytes, DocumentData &out);

} // namespace DocumentLayouts
