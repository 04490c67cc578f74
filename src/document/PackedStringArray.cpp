#include "document/PackedStringArray.h"

#include "document/Cp950Codec.h"

#include <cstring>
#include <stdexcept>

namespace {
// Large enough that a million short rows need few blocks, small enough that
// the unused tail of the last block does not matter.
constexpr qsizetype BlockSize = 1 << 20;
} // namespace

PackedStringArray::PackedStringArray(const PackedStringArray &other)
    : m_blocks(other.m_blocks), m_entries(other.m_entries), m_byteSize(other.m_byteSize)
{
}

PackedStringArray &PackedStringArray::operator=(const PackedStringArray &other)
{
    if (this != &other) {
        m_blocks = other.m_blocks;
        m_entries = other.m_entries;
        m_byteSize = other.m_byteSize;
        m_openBlock = -1;
    }
    return *this;
}

QByteArrayView PackedStringArray::encodedAt(qsizetype i) const
{
    const Entry &e = m_entries.at(size_t(i));
    return QByteArrayView(m_blocks[size_t(e.block)].constData() + e.offset, qsizetype(e.length));
}

QString PackedStringArray::at(qsizetype i) const
{
    const QByteArrayView b = encodedAt(i);
    return Cp950Codec::decode(b.data(), b.size());
}

char *PackedStringArray::allocate(qsizetype length, qint32 *block, qint64 *offset)
{
    if (length > qsizetype(UINT32_MAX))
        throw std::length_error("string too long");
    if (m_openBlock >= 0) {
        QByteArray &b = m_blocks[size_t(m_openBlock)];
        if (b.capacity() - b.size() >= length) {
            *block = m_openBlock;
            *offset = b.size();
            b.resize(b.size() + length);
            return b.data() + *offset;
        }
    }
    // A string longer than a block gets a block of its own.
    QByteArray fresh;
    fresh.reserve(qMax(BlockSize, length));
    fresh.resize(length);
    m_blocks.push_back(fresh);
    m_openBlock = qint32(m_blocks.size() - 1);
    *block = m_openBlock;
    *offset = 0;
    return m_blocks.back().data();
}

void PackedStringArray::append(QStringView text)
{
    qint32 block;
    qint64 offset;
    char *dst = allocate(Cp950Codec::maxEncodedSize(text), &block, &offset);
    const qsizetype written = Cp950Codec::encodeInto(text, dst);
    QByteArray &b = m_blocks[size_t(block)];
    b.resize(offset + written); // give back what the encoding did not use
    m_entries.push_back({offset, quint32(written), block});
    m_byteSize += written;
}

void PackedStringArray::appendEncoded(QByteArrayView bytes)
{
    qint32 block;
    qint64 offset;
    char *dst = allocate(bytes.size(), &block, &offset);
    if (!bytes.isEmpty())
        memcpy(dst, bytes.data(), size_t(bytes.size()));
    m_entries.push_back({offset, quint32(bytes.size()), block});
    m_byteSize += bytes.size();
}

int PackedStringArray::adoptBlock(const QByteArray &bytes)
{
    m_blocks.push_back(bytes);
    // An adopted block is shared with its owner: never written into.
    m_openBlock = -1;
    return int(m_blocks.size() - 1);
}

void PackedStringArray::appendSpan(int block, qsizetype offset, qsizetype length)
{
    const QByteArray &b = m_blocks.at(size_t(block));
    if (offset < 0 || length < 0 || offset + length > b.size() || length > qsizetype(UINT32_MAX))
        throw std::out_of_range("span outside its block");
    m_entries.push_back({offset, quint32(length), qint32(block)});
    m_byteSize += length;
}

void PackedStringArray::clear()
{
    std::vector<QByteArray>().swap(m_blocks);
    std::vector<Entry>().swap(m_entries);
    m_openBlock = -1;
    m_byteSize = 0;
}

QStringList PackedStringArray::toStringList() const
{
    QStringList out;
    out.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        out << at(i);
    return out;
}

PackedStringArray PackedStringArray::fromStringList(const QStringList &list)
{
    PackedStringArray a;
    a.reserve(list.size());
    for (const QString &s : list)
        a.append(s);
    return a;
}

bool PackedStringArray::operator==(const PackedStringArray &other) const
{
    if (size() != other.size() || byteSize() != other.byteSize())
        return false;
    for (qsizetype i = 0; i < size(); ++i)
        if (encodedAt(i) != other.encodedAt(i))
            return false;
    return true;
}
