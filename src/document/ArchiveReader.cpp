#include "document/ArchiveReader.h"

#include "document/Cp950Codec.h"
#include "document/PackedStringArray.h"

#include <QIODevice>
#include <QtEndian>

#include <cstring>

namespace {
constexpr quint8 ByteEscape = 0xFF;
constexpr quint16 WideTag = 0xFFFE;
constexpr quint16 WordEscape = 0xFFFF;
constexpr quint32 DwordEscape = 0xFFFFFFFF;
} // namespace

ArchiveReader::ArchiveReader(const QByteArray &bytes)
    : m_bytes(bytes), m_data(m_bytes.constData()), m_size(m_bytes.size()), m_end(m_size)
{
}

ArchiveReader::ArchiveReader(QIODevice *device, qint64 size)
    : m_data(m_bytes.constData()), m_size(size), m_device(device)
{
}

void ArchiveReader::fail(qint64 at, const QString &why) const
{
    throw ArchiveError(at, why);
}

void ArchiveReader::need(quint64 bytes, qint64 itemStart, const char *what)
{
    if (bytes > quint64(remaining()))
        fail(itemStart, QStringLiteral("the file ends inside %1").arg(QLatin1String(what)));
    if (m_device && m_pos + qint64(bytes) > m_end)
        refill(bytes, itemStart);
}

void ArchiveReader::refill(quint64 bytes, qint64 itemStart)
{
    // A window of a megabyte at least, so that reads stay large.
    constexpr qint64 Window = qint64(1) << 20;
    const qint64 kept = m_end - m_pos;
    const qint64 want = qMin(m_size - m_pos, qMax(qint64(bytes), Window));
    QByteArray next(want, Qt::Uninitialized);
    memcpy(next.data(), cur(), size_t(kept));
    qint64 have = kept;
    while (have < want) {
        const qint64 n = m_device->read(next.data() + have, want - have);
        if (n <= 0)
            fail(itemStart, n < 0 ? QStringLiteral("reading failed: %1").arg(m_device->errorString())
                                  : QStringLiteral("the file became shorter while it was read"));
        have += n;
    }
    m_bytes = next;
    m_data = m_bytes.constData();
    m_base = m_pos;
    m_end = m_pos + want;
}

quint8 ArchiveReader::readByte()
{
    need(1, m_pos, "a number");
    const quint8 v = quint8(*cur());
    ++m_pos;
    return v;
}

quint16 ArchiveReader::readUInt16()
{
    need(2, m_pos, "a number");
    const quint16 v = qFromLittleEndian<quint16>(cur());
    m_pos += 2;
    return v;
}

quint32 ArchiveReader::readUInt32()
{
    need(4, m_pos, "a number");
    const quint32 v = qFromLittleEndian<quint32>(cur());
    m_pos += 4;
    return v;
}

qint32 ArchiveReader::readInt32()
{
    return qint32(readUInt32());
}

quint32 ArchiveReader::readCount()
{
    const qint64 start = m_pos;
    const quint16 w = readUInt16();
    const quint32 count = w != WordEscape ? w : readUInt32();
    // Every string takes at least its one-byte length, so a count larger than
    // the bytes left is a damaged file, whatever follows.
    if (count > quint64(remaining()))
        fail(start, QStringLiteral("an array of %1 strings cannot fit in the %2 bytes left").arg(count).arg(remaining()));
    return count;
}

quint64 ArchiveReader::readLengthPrefix()
{
    const quint8 b = readByte();
    if (b != ByteEscape)
        return b;
    const quint16 w = readUInt16();
    if (w != WordEscape)
        return w;
    const quint32 d = readUInt32();
    if (d != DwordEscape)
        return d;
    // The 64-bit form: accepted, and bounded by the bytes left like the others.
    need(8, m_pos, "a number");
    const quint64 q = qFromLittleEndian<quint64>(cur());
    m_pos += 8;
    return q;
}

ArchiveReader::StringHeader ArchiveReader::readStringHeader()
{
    const quint8 b = readByte();
    if (b != ByteEscape)
        return {b, false};
    const quint16 w = readUInt16();
    if (w == WideTag)
        return {readLengthPrefix(), true};
    if (w != WordEscape)
        return {w, false};
    const quint32 d = readUInt32();
    if (d != DwordEscape)
        return {d, false};
    need(8, m_pos, "a number");
    const quint64 q = qFromLittleEndian<quint64>(cur());
    m_pos += 8;
    return {q, false};
}

QByteArray ArchiveReader::readWideAsEncoded(quint64 units, qint64 itemStart)
{
    if (units > quint64(remaining()) / 2)
        fail(itemStart, QStringLiteral("the file ends inside a string"));
    need(2 * units, itemStart, "a string");
    const qsizetype n = qsizetype(units);
    QString text(n, Qt::Uninitialized);
    char16_t *dst = reinterpret_cast<char16_t *>(text.data());
    for (qsizetype i = 0; i < n; ++i)
        dst[i] = qFromLittleEndian<quint16>(cur() + 2 * i);
    m_pos += 2 * n;
    return Cp950Codec::encode(text);
}

QString ArchiveReader::readString()
{
    const qint64 start = m_pos;
    const StringHeader h = readStringHeader();
    if (h.wide) {
        const QByteArray encoded = readWideAsEncoded(h.length, start);
        return Cp950Codec::decode(encoded);
    }
    need(h.length, start, "a string");
    const QString s = Cp950Codec::decode(cur(), qsizetype(h.length));
    m_pos += qint64(h.length);
    return s;
}

QStringList ArchiveReader::readStringArray()
{
    const quint32 count = readCount();
    QStringList out;
    out.reserve(qsizetype(count));
    // Neighbouring entries are often equal (dates of one day): share them.
    qint64 prevAt = -1;
    qint64 prevLength = -1;
    for (quint32 i = 0; i < count; ++i) {
        const qint64 start = m_pos;
        const StringHeader h = readStringHeader();
        if (h.wide) {
            out << Cp950Codec::decode(readWideAsEncoded(h.length, start));
            prevAt = -1;
            continue;
        }
        need(h.length, start, "a string");
        const char *p = cur();
        const qint64 n = qint64(h.length);
        // A window moved on since holds the previous entry no more.
        if (prevAt >= m_base && n == prevLength && memcmp(p, m_data + (prevAt - m_base), size_t(n)) == 0)
            out << out.constLast();
        else
            out << Cp950Codec::decode(p, n);
        prevAt = m_pos;
        prevLength = n;
        m_pos += n;
    }
    return out;
}

qsizetype ArchiveReader::readStringArray(PackedStringArray &out)
{
    if (m_device)
        fail(m_pos, QStringLiteral("a packed array cannot be read from a stream"));
    const quint32 count = readCount();
    out.clear();
    out.reserve(qsizetype(count));
    const int block = out.adoptBlock(m_bytes);
    for (quint32 i = 0; i < count; ++i) {
        const qint64 start = m_pos;
        // Short strings, nearly all of them, have a one-byte length.
        if (m_pos < m_size && quint8(m_data[m_pos]) != ByteEscape) {
            const qint64 n = quint8(m_data[m_pos]);
            need(quint64(n) + 1, start, "a string");
            out.appendSpan(block, m_pos + 1, n);
            m_pos += n + 1;
            continue;
        }
        const StringHeader h = readStringHeader();
        if (h.wide) {
            out.appendEncoded(readWideAsEncoded(h.length, start));
            continue;
        }
        need(h.length, start, "a string");
        out.appendSpan(block, m_pos, qsizetype(h.length));
        m_pos += qint64(h.length);
    }
    return qsizetype(count);
}

qsizetype ArchiveReader::readStringArray(const std::function<void(QByteArrayView encoded)> &each)
{
    const quint32 count = readCount();
    for (quint32 i = 0; i < count; ++i) {
        const qint64 start = m_pos;
        const StringHeader h = readStringHeader();
        if (h.wide) {
            each(readWideAsEncoded(h.length, start));
            continue;
        }
        need(h.length, start, "a string");
        each(QByteArrayView(cur(), qsizetype(h.length)));
        m_pos += qint64(h.length);
    }
    return qsizetype(count);
}
