#pragma once

#include "document/ArchiveError.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class PackedStringArray;
class QIODevice;

// Reads the flat little-endian archive items of the document files from
// bytes held in memory. Every read is checked against the bytes left: a
// truncated item, or a count or length the rest of the file cannot hold,
// throws ArchiveError with the offset where the item began. Nothing is
// allocated beyond what the remaining bytes could justify.
class ArchiveReader
{
public:
    // bytes is shared, not copied; string arrays read packed keep it alive.
    explicit ArchiveReader(const QByteArray &bytes);
    // Reads size bytes from device as they are needed, holding only a window
    // of them, so a large file is never in memory whole. Packed string
    // arrays cannot be read this way.
    ArchiveReader(QIODevice *device, qint64 size);

    qint64 offset() const { return m_pos; }
    qint64 remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos >= m_size; }

    qint32 readInt32();
    // Element count: two bytes, or FF FF and four bytes.
    quint32 readCount();
    // One string, decoded from code page 950 (or from UTF-16 when so tagged).
    QString readString();
    QStringList readStringArray();
    // Reads a string array into packed form; returns its count.
    qsizetype readStringArray(PackedStringArray &out);
    // Hands each string of an array to each as its code page 950 bytes,
    // valid during the call only; returns the count.
    qsizetype readStringArray(const std::function<void(QByteArrayView encoded)> &each);

private:
    struct StringHeader
    {
        quint64 length; // bytes, or 16-bit units when wide
        bool wide;
    };
    StringHeader readStringHeader();
    quint64 readLengthPrefix();
    quint8 readByte();
    quint16 readUInt16();
    quint32 readUInt32();
    void need(quint64 bytes, qint64 itemStart, const char *what);
    void refill(quint64 bytes, qint64 itemStart);
    // The byte at the read position.
    const char *cur() const { return m_data + (m_pos - m_base); }
    // The UTF-16 form, converted the way the file's own text would read.
    QByteArray readWideAsEncoded(quint64 units, qint64 itemStart);
    [[noreturn]] void fail(qint64 at, const QString &why) const;

    QByteArray m_bytes;
    const char *m_data;
    qint64 m_size;
    qint64 m_pos = 0;
    // Streaming: the file offsets m_bytes holds are [m_base, m_end).
    QIODevice *m_device = nullptr;
    qint64 m_base = 0;
    qint64 m_end = 0;
};
