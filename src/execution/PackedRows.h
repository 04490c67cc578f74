#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

// One cell of a packed row, read in place: a whole "pass" or "fail" cell is
// a token, any other cell its packed UTF-8 body (a byte 1, 2 or 3 of the
// text follows an escape byte 3). Valid while its rows live.
struct PackedCell
{
    enum Kind : char { Text = 0, Pass = 1, Fail = 2 };
    Kind kind = Text;
    std::string_view body; // empty for a token

    bool isEmpty() const { return kind == Text && body.empty(); }
    // The cell's text equals word ("pass" or "fail" also when stored as text,
    // as an unterminated last cell is).
    bool is(std::string_view word) const;
    QString text() const;
};

// Result rows packed into a chunked arena: each row is its cells, each
// followed by a line feed (a row may end in an unterminated cell), as UTF-8
// with "pass"/"fail" cells as one byte, plus an image number per row.
// Rows never straddle chunks, so the arena grows chunk by chunk and never
// copies what it holds; a shared copy reads the same chunks.
class PackedRows
{
public:
    int size() const { return int(m_rows.size()); }
    bool empty() const { return m_rows.empty(); }

    void append(const QStringList &cells, int image);
    // joined: cells each followed by a line feed, as stored in report files.
    void appendJoined(QStringView joined, int image);
    // The same for a row known to be plain ASCII, without a QString between.
    void appendJoinedAscii(QByteArrayView joined, int image);

    QString joined(int row) const;
    QStringList cells(int row) const;
    // Text of cell index (0-based), empty past the row's end.
    QString cell(int row, int index) const;
    int image(int row) const { return m_images.at(size_t(row)); }
    void setImage(int row, int image) { m_images[size_t(row)] = quint8(image); }

    // Calls f(const PackedCell &) for each cell of the row in order, without
    // allocating; stops when f returns false.
    template<class F>
    void forEachCell(int row, F f) const;

    void clear();
    void reserve(int rows);
    // A copy that reads these rows as they are now: the chunks are shared,
    // and rows appended to either side later go to chunks of its own.
    PackedRows shared() const;
    // Cuts every row after maxCells cells (a prefix, since cells follow
    // one another).
    void keepCells(int maxCells);

    // Packing tokens, exposed for the cell walker.
    static constexpr char PassToken = '\x01';
    static constexpr char FailToken = '\x02';
    static constexpr char EscapeByte = '\x03';

private:
    struct RowRef
    {
        quint32 chunk;
        quint32 offset;
        quint32 length;
    };
    struct ChunkUnmap
    {
        size_t size;
        void operator()(char *memory) const;
    };
    struct Chunk
    {
        std::shared_ptr<char> memory;
        size_t capacity;
        size_t used;
    };

    std::string_view rowBytes(int row) const
    {
        const RowRef &r = m_rows[size_t(row)];
        return std::string_view(m_chunks[r.chunk].memory.get() + r.offset, r.length);
    }
    // Room for a packed row of at most bound bytes, then its actual length.
    char *rowSpace(size_t bound);
    void commitRow(size_t length, int image);

    std::vector<Chunk> m_chunks;
    std::vector<RowRef> m_rows;
    std::vector<quint8> m_images;
};

template<class F>
void PackedRows::forEachCell(int row, F f) const
{
    const std::string_view bytes = rowBytes(row);
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    PackedCell cell;
    while (p < end) {
        if (*p == PassToken || *p == FailToken) {
            cell.kind = *p == PassToken ? PackedCell::Pass : PackedCell::Fail;
            cell.body = std::string_view(p, 0); // empty, but where the token is
            if (!f(static_cast<const PackedCell &>(cell)))
                return;
            ++p;
            continue;
        }
        const char *lf = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
        const char *stop = lf ? lf : end;
        cell.kind = PackedCell::Text;
        cell.body = std::string_view(p, size_t(stop - p));
        if (!f(static_cast<const PackedCell &>(cell)) || !lf)
            return;
        p = lf + 1;
    }
}
