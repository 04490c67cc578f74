#pragma once

#include <QtGlobal>

#include <memory>
#include <vector>

// The readings of judged rows in base units, beside the rows' texts (which
// are rounded to what the table shows). Only rows given values have any; a
// table read from a file has none and costs nothing here. Values go into
// fixed chunks that are never moved, so a shared copy reads them while more
// rows arrive.
class RowValues
{
public:
    struct Span
    {
        const double *data = nullptr;
        int count = 0;
    };

    // Rows set so far (later rows have none).
    int size() const { return int(m_rows.size()); }
    // Gives row its values; rows before it that were not given any have none.
    void set(int row, const double *values, int count);
    Span at(int row) const
    {
        if (row < 0 || size_t(row) >= m_rows.size())
            return {};
        const Ref &r = m_rows[size_t(row)];
        return {r.count ? m_chunks[r.chunk].get() + r.offset : nullptr, int(r.count)};
    }
    void clear();
    // A copy that reads these values as they are now; values set later on
    // either side go where the other does not read.
    RowValues shared() const;

private:
    struct Ref
    {
        quint32 chunk = 0;
        quint32 offset = 0;
        quint32 count = 0;
    };
    std::vector<std::shared_ptr<double[]>> m_chunks;
    std::vector<Ref> m_rows;
    size_t m_used = 0;     // values in the last chunk
    size_t m_capacity = 0; // of the last chunk, 0 once shared
};
