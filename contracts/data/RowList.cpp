#include "RowList.h"

#include <algorithm>
#include <utility>

namespace kvo::data {

// A block gets the most it will ever hold when it is made: growing it later means a reallocation,
// and on a heap a load has just churned one such allocation costs up to a millisecond.
std::vector<quint32> RowList::newBlock(const quint32* first, const quint32* last) {
    std::vector<quint32> b;
    b.reserve(2 * BlockSize + 1);
    b.assign(first, last);
    return b;
}

RowList& RowList::operator=(const RowList& other) {
    if (this == &other) return *this;
    m_blocks.clear();
    m_blocks.reserve(other.m_blocks.size());
    for (const std::vector<quint32>& b : other.m_blocks)
        m_blocks.push_back(newBlock(b.data(), b.data() + b.size()));
    m_tree = other.m_tree;
    m_size = other.m_size;
    forget();
    return *this;
}

RowList& RowList::operator=(RowList&& other) noexcept {
    if (this == &other) return *this;
    m_blocks = std::move(other.m_blocks);
    m_tree = std::move(other.m_tree);
    m_size = std::exchange(other.m_size, 0);
    other.m_blocks.clear();
    other.m_tree.clear();
    other.forget();
    forget();
    return *this;
}

void RowList::assign(const std::vector<quint32>& rows) {
    m_blocks.clear();
    for (size_t at = 0; at < rows.size(); at += BlockSize) {
        const size_t end = std::min(rows.size(), at + BlockSize);
        m_blocks.push_back(newBlock(rows.data() + at, rows.data() + end));
    }
    m_size = int(rows.size());
    rebuildTree();
}

void RowList::clear() {
    m_blocks.clear();
    m_tree.clear();
    m_size = 0;
    forget();
}

std::vector<quint32> RowList::toVector() const {
    std::vector<quint32> out;
    out.reserve(size_t(m_size));
    for (const std::vector<quint32>& b : m_blocks)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

int RowList::find(quint32 row) const {
    int start = 0;
    for (const std::vector<quint32>& b : m_blocks) {
        const auto it = std::find(b.begin(), b.end(), row);
        if (it != b.end()) return start + int(it - b.begin());
        start += int(b.size());
    }
    return -1;
}

void RowList::insert(int pos, quint32 row) {
    forget();
    if (m_blocks.empty()) {
        m_blocks.push_back(newBlock(&row, &row + 1));
        m_size = 1;
        rebuildTree();
        return;
    }
    size_t block = m_blocks.size() - 1;
    int offset = int(m_blocks.back().size());
    if (pos < m_size) {
        int start = 0;
        block = blockOf(pos, &start);
        offset = pos - start;
    }
    std::vector<quint32>& b = m_blocks[block];
    b.insert(b.begin() + offset, row);
    ++m_size;
    if (b.size() <= size_t(2 * BlockSize)) {
        grow(block, 1);
        return;
    }
    std::vector<quint32> tail = newBlock(b.data() + BlockSize, b.data() + b.size());
    b.resize(BlockSize);
    m_blocks.insert(m_blocks.begin() + qsizetype(block) + 1, std::move(tail));
    rebuildTree();
}

void RowList::erase(int pos) {
    forget();
    int start = 0;
    const size_t block = blockOf(pos, &start);
    std::vector<quint32>& b = m_blocks[block];
    b.erase(b.begin() + (pos - start));
    --m_size;
    if (!b.empty()) {
        grow(block, -1);
        return;
    }
    m_blocks.erase(m_blocks.begin() + qsizetype(block));
    rebuildTree();
}

quint32 RowList::slowAt(int pos) const {
    int start = 0;
    const std::vector<quint32>& b = m_blocks[blockOf(pos, &start)];
    m_hitData = b.data();
    m_hitBegin = start;
    m_hitSize = unsigned(b.size());
    return b[size_t(pos - start)];
}

size_t RowList::blockOf(int pos, int* start) const {
    const size_t n = m_blocks.size();
    size_t step = 1;
    while (step * 2 <= n)
        step *= 2;
    size_t idx = 0;
    int rest = pos;
    for (; step; step /= 2)
        if (idx + step <= n && m_tree[idx + step] <= rest) {
            idx += step;
            rest -= m_tree[idx];
        }
    *start = pos - rest;
    return idx;
}

int RowList::blockStart(size_t block) const {
    int sum = 0;
    for (size_t i = block; i > 0; i -= i & (~i + 1))
        sum += m_tree[i];
    return sum;
}

void RowList::grow(size_t block, int delta) {
    for (size_t i = block + 1; i < m_tree.size(); i += i & (~i + 1))
        m_tree[i] += delta;
}

void RowList::rebuildTree() {
    const size_t n = m_blocks.size();
    m_tree.assign(n + 1, 0);
    for (size_t i = 1; i <= n; ++i) {
        m_tree[i] += int(m_blocks[i - 1].size());
        const size_t up = i + (i & (~i + 1));
        if (up <= n) m_tree[up] += m_tree[i];
    }
    forget();
}

} // namespace kvo::data
