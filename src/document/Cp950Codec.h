#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Text in files is Big5 (code page 950); in memory it is Unicode. Pure ASCII,
// by far the common case, skips the converter.
namespace Cp950Codec {

// Bytes that are not valid code page 950 become U+FFFD, never an error.
QString decode(const char *data, qsizetype size);
inline QString decode(const QByteArray &bytes) { return decode(bytes.constData(), bytes.size()); }

// U+00B5 (micro) has no code in the page and is written as Greek mu; any
// other character without a code is written as '?'.
QByteArray encode(QStringView text);
// Appends the encoding of text to out.
void encodeAppend(QStringView text, QByteArray &out);

// Upper bound of the encoded size of text.
inline qsizetype maxEncodedSize(QStringView text) { return 2 * text.size(); }
// Encodes into out, which holds at least maxEncodedSize(text) bytes; returns the bytes written.
qsizetype encodeInto(QStringView text, char *out);

bool isAscii(const char *data, qsizetype size);
bool isAscii(QStringView text);

} // namespace Cp950Codec
