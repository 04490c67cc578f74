#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

// An array of strings kept as their file bytes (code page 950), packed into
// a few large blocks. A million report rows cost their bytes plus 16 bytes
// each, and a file read into memory can be adopted as a block without a copy.
class PackedStringArray
{
public:
    PackedStringArray() = default;
    // A copy shares the blocks; it starts a block of its own for new entries.
    PackedStringArray(const PackedStringArray &other);
    PackedStringArray &operator=(const PackedStringArray &other);
    PackedStringArray(PackedStringArray &&other) noexcept = default;
    PackedStringArray &operator=(PackedStringArray &&other) noexcept = default;

    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }

    // The stored bytes of entry i (code page 950).
    QByteArrayView encodedAt(qsizetype i) const;
    QString at(qsizetype i) const;

    void append(QStringView text);
    void appendEncoded(QByteArrayView bytes);
    // Adopts bytes (shared, not copied) and returns its block number for appendSpan.
    int adoptBlock(const QByteArray &bytes);
    // Appends bytes [offset, offset + length) of an adopted block.
    void appendSpan(int block, qsizetype offset, qsizetype length);

    void reserve(qsizetype count) { m_entries.reserve(size_t(count)); }
    void clear();
    // Total bytes of all entries.
    qsizetype byteSize() const { return m_byteSize; }
    // Storage blocks in use: small strings share blocks of a megabyte.
    int blockCount() const { return int(m_blocks.size()); }

    QStringList toStringList() const;
    static PackedStringArray fromStringList(const QStringList &list);

    bool operator==(const PackedStringArray &other) const;
    bool operator!=(const PackedStringArray &other) const { return !(*this == other); }

private:
    struct Entry
    {
        qint64 offset;
        quint32 length;
        qint32 block;
    };
    // Returns where length bytes may be written in the current own block.
    char *allocate(qsizetype length, qint32 *block, qint64 *offset);

    std::vector<QByteArray> m_blocks;
    std::vector<Entry> m_entries;
    qint32 m_openBlock = -1; // own block still taking bytes, or -1
    qsizetype m_openUsed = 0; // bytes of the open block in use (the rest is spare)
    qsizetype m_byteSize = 0;
};
