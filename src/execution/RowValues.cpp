#include "execution/RowValues.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t ChunkValues = size_t(1) << 16;

} // namespace

void RowValues::set(int row, const double *values, int count)
{
    if (row < 0)
        return;
    if (m_rows.size() <= size_t(row))
        m_rows.resize(size_t(row) + 1);
    Ref &r = m_rows[size_t(row)];
    r = Ref();
    if (count <= 0)
        return;
    const size_t n = size_t(count);
    if (m_chunks.empty() || m_capacity - m_used < n) {
        m_capacity = std::max(ChunkValues, n);
        m_chunks.emplace_back(new double[m_capacity]);
        m_used = 0;
    }
    std::memcpy(m_chunks.back().get() + m_used, values, n * sizeof(double));
    r.chunk = quint32(m_chunks.size() - 1);
    r.offset = quint32(m_used);
    r.count = quint32(n);
    m_used += n;
}

void RowValues::clear()
{
    std::vector<std::shared_ptr<double[]>>().swap(m_chunks);
    std::vector<Ref>().swap(m_rows);
    m_used = m_capacity = 0;
}

RowValues RowValues::shared() const
{
    RowValues copy;
    copy.m_chunks = m_chunks;
    copy.m_rows = m_rows;
    // The copy's own values start a chunk of their own.
    copy.m_used = copy.m_capacity = 0;
    return copy;
}
