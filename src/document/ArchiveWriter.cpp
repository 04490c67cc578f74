#include "document/ArchiveWriter.h"

#include "document/Cp950Codec.h"
#include "document/PackedStringArray.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace {
constexpr qsizetype BufferSize = 1 << 20;
} // namespace

ArchiveWriter::ArchiveWriter(QIODevice *device) : m_device(device)
{
    m_buffer.reserve(BufferSize);
}

ArchiveWriter::~ArchiveWriter() = default;

void ArchiveWriter::flush()
{
    if (m_buffer.isEmpty())
        return;
    if (m_ok) {
        const qint64 n = m_device->write(m_buffer.constData(), m_buffer.size());
        if (n != m_buffer.size()) {
            m_ok = false;
            m_error = m_device->errorString();
        }
    }
    m_buffer.resize(0);
}

void ArchiveWriter::put(const char *data, qsizetype size)
{
    if (m_buffer.size() + size > BufferSize) {
        flush();
        if (size > BufferSize) {
            if (m_ok && m_device->write(data, size) != size) {
                m_ok = false;
                m_error = m_device->errorString();
            }
            return;
        }
    }
    m_buffer.append(data, size);
}

void ArchiveWriter::writeInt32(qint32 value)
{
    char b[4];
    qToLittleEndian<qint32>(value, b);
    put(b, 4);
}

void ArchiveWriter::writeCount(quint32 count)
{
    char b[6];
    if (count < 0xFFFF) {
        qToLittleEndian<quint16>(quint16(count), b);
        put(b, 2);
    } else {
        qToLittleEndian<quint16>(0xFFFF, b);
        qToLittleEndian<quint32>(count, b + 2);
        put(b, 6);
    }
}

// Writes the prefix of a string of length bytes into out (7 bytes at most).
static int encodePrefix(quint32 length, char *out)
{
    if (length < 0xFF) {
        out[0] = char(length);
        return 1;
    }
    out[0] = char(0xFF);
    if (length < 0xFFFE) {
        qToLittleEndian<quint16>(quint16(length), out + 1);
        return 3;
    }
    qToLittleEndian<quint16>(0xFFFF, out + 1);
    qToLittleEndian<quint32>(length, out + 3);
    return 7;
}

QByteArray ArchiveWriter::lengthPrefix(quint32 length)
{
    char b[7];
    return QByteArray(b, encodePrefix(length, b));
}

void ArchiveWriter::writeEncodedString(const char *bytes, qsizetype length)
{
    if (quint64(length) >= 0xFFFFFFFFull) {
        // The 32-bit form is the longest this program writes.
        if (m_ok) {
            m_ok = false;
            m_error = QStringLiteral("a text is too long for the file");
        }
        return;
    }
    char b[7];
    put(b, encodePrefix(quint32(length), b));
    put(bytes, length);
}

void ArchiveWriter::writeString(QStringView text)
{
    m_scratch.resize(0);
    Cp950Codec::encodeAppend(text, m_scratch);
    writeEncodedString(m_scratch.constData(), m_scratch.size());
}

void ArchiveWriter::writeStringArray(const QStringList &strings)
{
    writeCount(quint32(strings.size()));
    for (const QString &s : strings)
        writeString(s);
}

void ArchiveWriter::writeStringArray(const PackedStringArray &strings)
{
    writeCount(quint32(strings.size()));
    for (qsizetype i = 0; i < strings.size(); ++i) {
        const QByteArrayView b = strings.encodedAt(i);
        writeEncodedString(b.data(), b.size());
    }
}

bool ArchiveWriter::finish()
{
    flush();
    return m_ok;
}
