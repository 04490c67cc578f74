#include "document/PackedStringArray.h"

#include "document/Cp950Codec.h"

#include <cstring>
#include <stdexcept>

namespace {
// Large enough that a million short rows need few blocks, small enough that
// the unused tail of the last block does not matter.
constexpr qsizetype BlockSize = 1 << 20;
constexpr qsizetype FirstBlockSize = 4096;
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
        m_openUsed = 0;
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
        if (b.size() - m_openUsed >= length) {
            *block = m_openBlock;
            *offset = m_openUsed;
            m_openUsed += length;
            return b.data() + *offset;
        }
    }
    // A string longer than a block gets a block of its own. Blocks are sized
    // once; the bytes in use are counted here, not by resizing.
    // Blocks start small and double up to BlockSize, so a short array stays small.
    const qsizetype previous = m_blocks.empty() ? 0 : m_blocks.back().size();
    const qsizetype size = qMax(qBound(FirstBlockSize, 2 * previous, BlockSize), length);
    QByteArray fresh(size, Qt::Uninitialized);
    // Moved, not copied: a shared block would detach into a small copy.
    m_blocks.push_back(std::move(fresh));
    m_openBlock = qint32(m_blocks.size() - 1);
    m_openUsed = length;
    *block = m_openBlock;
    *offset = 0;
    return m_blocks.back().data();
}

void PackedStringArray::append(QStringView text)
{
    const qsizetype most = Cp950Codec::maxEncodedSize(text);
    qint32 block;
    qint64 offset;
    char *dst = allocate(most, &block, &offset);
    const qsizetype written = Cp950Codec::encodeInto(text, dst);
    m_openUsed -= most - written; // give back what the encoding did not use
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
    m_openUsed = 0;
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
