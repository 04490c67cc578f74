#include "execution/ResultTableModel.h"

#include "procedure/ProcedureModel.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#include <sys/mman.h>
#include <unistd.h>

ResultTableModel::ResultTableModel(QObject *parent) : QAbstractTableModel(parent) {}

int ResultTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : resultCount();
}

int ResultTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1 + int(m_stepTitles.size());
}

QVariant ResultTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= resultCount())
        return {};
    if (role == Qt::DisplayRole)
        return cell(index.row(), index.column());
    if (index.column() == 0 && role == ImageRole)
        return image(index.row());
    if (index.column() == 0 && role == Qt::DecorationRole) {
        const int img = image(index.row());
        if (img < m_icons.size())
            return m_icons.at(img);
    }
    return {};
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        if (section == 0)
            return QStringLiteral("Seq.");
        if (section > 0 && section <= m_stepTitles.size())
            return m_stepTitles.at(section - 1);
        return {};
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}

QStringList ResultTableModel::columnTitles() const
{
    return QStringList{QStringLiteral("Seq.")} + m_stepTitles;
}

void ResultTableModel::setStepColumns(const QStringList &titles)
{
    if (titles == m_stepTitles)
        return;
    // A column change keeps the rows; a reset is the simplest correct notice.
    beginResetModel();
    m_stepTitles = titles;
    endResetModel();
}

QStringList ResultTableModel::stepColumnsFor(const ProcedureModel &procedure)
{
    QStringList t;
    for (int i = 0; i < procedure.stepCount(); ++i) {
        const ProcedureStep &s = procedure.step(i);
        const QString n = QString::number(i + 1);
        t << s[ProcedureStep::FItem] + n << QStringLiteral("P/F");
        if (s.hasSecondItem())
            t << s[ProcedureStep::SItem] + n << QStringLiteral("P/F");
    }
    return t;
}

namespace {

// Packing: the row's text as UTF-8, except that a whole "pass" or "fail"
// cell with its line feed is one token byte; a literal byte 1, 2 or 3 in the
// text is kept behind an escape byte.
constexpr char PassToken = '\x01';
constexpr char FailToken = '\x02';
constexpr char EscapeByte = '\x03';
// One transparent huge page: a million rows cost a few hundred page faults
// instead of tens of thousands.
constexpr size_t ChunkBytes = size_t(2) << 20;

inline bool isMark(unsigned c)
{
    return c - 1u < 3u;
}

// At most three bytes per UTF-16 unit, plus the line feed.
inline size_t packedBound(QStringView cell)
{
    return 3 * size_t(cell.size()) + 1;
}

char *packUtf8(QStringView text, char *d)
{
    const char16_t *p = text.utf16();
    const char16_t *end = p + text.size();
    while (p < end) {
        char32_t c = *p++;
        if (c < 0x80) {
            if (isMark(c))
                *d++ = EscapeByte;
            *d++ = char(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            *d++ = '?'; // a lone surrogate, as QString::toUtf8 writes it
            continue;
        }
        if (c < 0x800) {
            *d++ = char(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *d++ = char(0xE0 | (c >> 12));
            *d++ = char(0x80 | ((c >> 6) & 0x3F));
        } else {
            *d++ = char(0xF0 | (c >> 18));
            *d++ = char(0x80 | ((c >> 12) & 0x3F));
            *d++ = char(0x80 | ((c >> 6) & 0x3F));
        }
        *d++ = char(0x80 | (c & 0x3F));
    }
    return d;
}

inline bool isWord(QStringView cell, const char (&word)[5])
{
    return cell.size() == 4 && cell[0] == QLatin1Char(word[0]) && cell[1] == QLatin1Char(word[1])
        && cell[2] == QLatin1Char(word[2]) && cell[3] == QLatin1Char(word[3]);
}

char *packCell(QStringView cell, bool terminated, char *d)
{
    if (terminated && isWord(cell, "pass")) {
        *d++ = PassToken;
    } else if (terminated && isWord(cell, "fail")) {
        *d++ = FailToken;
    } else {
        d = packUtf8(cell, d);
        if (terminated)
            *d++ = '\n';
    }
    return d;
}

// The text of packed bytes that hold no token (a cell's body).
QString unpackBody(const char *p, const char *end)
{
    if (!memchr(p, EscapeByte, size_t(end - p)))
        return QString::fromUtf8(p, qsizetype(end - p));
    std::string plain;
    plain.reserve(size_t(end - p));
    for (; p < end; ++p) {
        if (*p == EscapeByte && p + 1 < end)
            ++p;
        plain.push_back(*p);
    }
    return QString::fromUtf8(plain.data(), qsizetype(plain.size()));
}

// Walks the cells of a packed row: f(body begin, body end, token) for each
// cell, token being PassToken, FailToken or 0; stops when f returns false.
template<class F>
void forEachCell(std::string_view row, F f)
{
    const char *p = row.data();
    const char *end = p + row.size();
    while (p < end) {
        if (*p == PassToken || *p == FailToken) {
            if (!f(p, p, *p))
                return;
            ++p;
            continue;
        }
        const char *lf = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
        const char *stop = lf ? lf : end;
        if (!f(p, stop, char(0)) || !lf)
            return;
        p = lf + 1;
    }
}

QString cellText(const char *b, const char *e, char token)
{
    if (token == PassToken)
        return QStringLiteral("pass");
    if (token == FailToken)
        return QStringLiteral("fail");
    return unpackBody(b, e);
}

} // namespace

int ResultTableModel::appendRow(const QStringList &cells, int image)
{
    size_t bound = 0;
    for (const QString &c : cells)
        bound += packedBound(c);
    char *const begin = rowSpace(bound);
    char *d = begin;
    for (const QString &c : cells)
        d = packCell(c, true, d);
    const int row = resultCount();
    beginInsertRows({}, row, row);
    commitRow(size_t(d - begin), image);
    endInsertRows();
    return row;
}

int ResultTableModel::appendJoinedRow(const QString &joined, int image)
{
    const int row = resultCount();
    beginInsertRows({}, row, row);
    packJoinedRow(joined, image);
    endInsertRows();
    return row;
}

void ResultTableModel::appendJoinedRows(int count, const std::function<void(int, QString &, int &)> &row)
{
    if (count <= 0)
        return;
    const int first = resultCount();
    beginInsertRows({}, first, first + count - 1);
    QString joined;
    for (int i = 0; i < count; ++i) {
        int image = Neutral;
        joined.clear();
        row(i, joined, image);
        packJoinedRow(joined, image);
    }
    endInsertRows();
}

void ResultTableModel::packJoinedRow(const QString &joined, int image)
{
    char *const begin = rowSpace(packedBound(joined));
    char *d = begin;
    const QStringView text(joined);
    qsizetype pos = 0;
    while (pos < text.size()) {
        const qsizetype lf = text.indexOf(u'\n', pos);
        if (lf < 0) {
            d = packCell(text.mid(pos), false, d);
            break;
        }
        d = packCell(text.mid(pos, lf - pos), true, d);
        pos = lf + 1;
    }
    commitRow(size_t(d - begin), image);
}

int ResultTableModel::appendJoinedAscii(QByteArrayView joined, int image)
{
    const char *p = joined.data();
    const char *const end = p + joined.size();
    char *const begin = rowSpace(2 * size_t(joined.size()) + 1);
    char *d = begin;
    while (p < end) {
        const char *lf = static_cast<const char *>(memchr(p, '\n', size_t(end - p)));
        if (lf && lf - p == 4 && (memcmp(p, "pass", 4) == 0 || memcmp(p, "fail", 4) == 0)) {
            *d++ = *p == 'p' ? PassToken : FailToken;
        } else {
            for (const char *q = p, *stop = lf ? lf + 1 : end; q < stop; ++q) {
                if (isMark(static_cast<unsigned char>(*q)))
                    *d++ = EscapeByte;
                *d++ = *q;
            }
        }
        if (!lf)
            break;
        p = lf + 1;
    }
    const int row = resultCount();
    beginInsertRows({}, row, row);
    commitRow(size_t(d - begin), image);
    endInsertRows();
    return row;
}

void ResultTableModel::assignRows(const ResultTableModel &other, int maxCells)
{
    removeAllRows();
    const int count = int(other.m_rows.size());
    if (count > 0)
        beginInsertRows({}, 0, count - 1);
    m_chunks = other.m_chunks;
    // Rows appended here go to chunks of this table's own.
    for (Chunk &c : m_chunks)
        c.capacity = c.used;
    m_rows = other.m_rows;
    m_images = other.m_images;
    // Cells are stored one after another, so a row cut short is a prefix.
    for (size_t r = 0; r < m_rows.size(); ++r) {
        const std::string_view row = rowBytes(int(r));
        if (maxCells <= 0) {
            m_rows[r].length = 0;
            continue;
        }
        int seen = 0;
        size_t cut = row.size();
        forEachCell(row, [&](const char *b, const char *e, char token) {
            if (++seen < maxCells)
                return true;
            cut = size_t((token ? b + 1 : std::min(e + 1, row.data() + row.size())) - row.data());
            return false;
        });
        m_rows[r].length = quint32(cut);
    }
    if (count > 0)
        endInsertRows();
}

void ResultTableModel::adoptRows(ResultTableModel &other)
{
    removeAllRows();
    const int count = other.resultCount();
    if (count > 0)
        beginInsertRows({}, 0, count - 1);
    m_chunks.swap(other.m_chunks);
    m_rows.swap(other.m_rows);
    m_images.swap(other.m_images);
    if (count > 0)
        endInsertRows();
}

void ResultTableModel::ChunkUnmap::operator()(char *memory) const
{
    munmap(memory, size);
}

char *ResultTableModel::rowSpace(size_t bound)
{
    if (m_chunks.empty() || m_chunks.back().capacity - m_chunks.back().used < bound) {
        // Straight from the kernel, so that removing the rows gives the
        // memory back; aligned to a huge page where one chunk fits in it.
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t size = std::max(ChunkBytes, (bound + page - 1) / page * page);
        const size_t slack = size == ChunkBytes ? ChunkBytes : 0;
        void *raw = mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw == MAP_FAILED)
            throw std::bad_alloc();
        char *base = static_cast<char *>(raw);
        if (slack) {
            const uintptr_t at = reinterpret_cast<uintptr_t>(base);
            char *aligned = base + ((ChunkBytes - at % ChunkBytes) % ChunkBytes);
            if (aligned > base)
                munmap(base, size_t(aligned - base));
            if (aligned + size < base + size + slack)
                munmap(aligned + size, size_t(base + size + slack - (aligned + size)));
            base = aligned;
#ifdef MADV_HUGEPAGE
            madvise(base, size, MADV_HUGEPAGE);
#endif
        }
        m_chunks.push_back({ChunkMemory(base, ChunkUnmap{size}), size, 0});
    }
    Chunk &c = m_chunks.back();
    return c.memory.get() + c.used;
}

void ResultTableModel::commitRow(size_t length, int image)
{
    Chunk &c = m_chunks.back();
    m_rows.push_back({quint32(m_chunks.size() - 1), quint32(c.used), quint32(length)});
    c.used += length;
    m_images.push_back(quint8(image));
}

std::string_view ResultTableModel::rowBytes(int row) const
{
    const RowRef &r = m_rows[size_t(row)];
    return std::string_view(m_chunks[r.chunk].memory.get() + r.offset, r.length);
}

QString ResultTableModel::joinedRow(int row) const
{
    if (row < 0 || row >= resultCount())
        return {};
    const std::string_view packed = rowBytes(row);
    const char *p = packed.data();
    const char *end = p + packed.size();
    // Most rows are plain ASCII: widen them straight into the result.
    qsizetype length = 0;
    bool ascii = true;
    for (const char *q = p; q < end; ++q) {
        const unsigned char b = static_cast<unsigned char>(*q);
        if (b >= 0x80 || b == static_cast<unsigned char>(EscapeByte)) {
            ascii = false;
            break;
        }
        length += isMark(b) ? 5 : 1;
    }
    if (ascii) {
        QString out(length, Qt::Uninitialized);
        QChar *d = out.data();
        for (; p < end; ++p) {
            const char b = *p;
            const char *word = b == PassToken ? "pass\n" : b == FailToken ? "fail\n" : nullptr;
            if (!word) {
                *d++ = QLatin1Char(b);
                continue;
            }
            for (int k = 0; k < 5; ++k)
                *d++ = QLatin1Char(word[k]);
        }
        return out;
    }
    std::string plain;
    plain.reserve(packed.size() * 2);
    while (p < end) {
        const char *run = p;
        while (p < end && !isMark(static_cast<unsigned char>(*p)))
            ++p;
        plain.append(run, size_t(p - run));
        if (p == end)
            break;
        if (*p == PassToken)
            plain.append("pass\n", 5);
        else if (*p == FailToken)
            plain.append("fail\n", 5);
        else if (p + 1 < end)
            plain.push_back(*++p);
        ++p;
    }
    return QString::fromUtf8(plain.data(), qsizetype(plain.size()));
}

QStringList ResultTableModel::cells(int row) const
{
    QStringList out;
    if (row < 0 || row >= resultCount())
        return out;
    forEachCell(rowBytes(row), [&out](const char *b, const char *e, char token) {
        out << cellText(b, e, token);
        return true;
    });
    // A row ending in a line feed has no empty piece after it; one that does
    // not end in one keeps its unterminated last cell.
    return out;
}

QString ResultTableModel::cell(int row, int column) const
{
    if (row < 0 || row >= resultCount() || column < 0)
        return {};
    if (column == 0)
        return QString::number(row + 1);
    QString text;
    int c = 1;
    forEachCell(rowBytes(row), [&](const char *b, const char *e, char token) {
        if (c++ != column)
            return true;
        text = cellText(b, e, token);
        return false;
    });
    return text;
}

void ResultTableModel::setImage(int row, int image)
{
    if (row < 0 || row >= resultCount())
        return;
    m_images[size_t(row)] = quint8(image);
    emit dataChanged(index(row, 0), index(row, 0), {Qt::DecorationRole, ImageRole});
}

void ResultTableModel::removeAllRows()
{
    if (resultCount() == 0)
        return;
    beginRemoveRows({}, 0, resultCount() - 1);
    std::vector<Chunk>().swap(m_chunks);
    std::vector<RowRef>().swap(m_rows);
    std::vector<quint8>().swap(m_images);
    endRemoveRows();
}

std::unique_ptr<ResultTableModel> ResultTableModel::snapshot() const
{
    auto copy = std::make_unique<ResultTableModel>();
    copy->m_stepTitles = m_stepTitles;
    copy->m_chunks = m_chunks;
    // Rows the table appends later go to its own chunks, never here.
    for (Chunk &c : copy->m_chunks)
        c.capacity = c.used;
    copy->m_rows = m_rows;
    copy->m_images = m_images;
    copy->m_dates = m_dates;
    copy->m_times = m_times;
    return copy;
}

void ResultTableModel::reserveRows(int rows, qsizetype bytes)
{
    Q_UNUSED(bytes) // the arena grows by chunks; nothing to gain by guessing
    m_rows.reserve(size_t(qMax(0, rows)));
    m_images.reserve(size_t(qMax(0, rows)));
}

void ResultTableModel::setRowDateTime(int row, const QString &date, const QString &time)
{
    if (row < 0)
        return;
    // Sized to exactly row + 1, as the legacy program did: after "Remove all"
    // the next run's first row cuts the lists back.
    m_dates.resize(row + 1);
    m_times.resize(row + 1);
    m_dates[row] = date;
    m_times[row] = time;
}

void ResultTableModel::setRowIcons(const QVector<QIcon> &icons)
{
    m_icons = icons;
    if (resultCount() > 0)
        emit dataChanged(index(0, 0), index(resultCount() - 1, 0), {Qt::DecorationRole});
}
