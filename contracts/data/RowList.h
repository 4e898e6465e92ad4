#pragma once

// An ordered list of row ids that stays cheap to change in the middle at any size: the ids live in
// blocks of at most 2 * BlockSize, and a Fenwick tree over the block sizes finds the block of a
// position in O(log n). Inserting or erasing at a position costs that search plus a move inside
// one block; a block that fills up splits (the tree is rebuilt then, once per BlockSize inserts).
// Reads remember the last block they hit, so walking the positions in order costs one comparison
// per step.

#include <QtGlobal>

#include <vector>

namespace kvo::data {

class RowList {
public:
    static constexpr int BlockSize = 1024;

    RowList() = default;
    RowList(const RowList& other) { *this = other; }
    RowList& operator=(const RowList& other);
    RowList(RowList&& other) noexcept { *this = std::move(other); }
    RowList& operator=(RowList&& other) noexcept;

    int size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    Q_ALWAYS_INLINE quint32 operator[](int pos) const {
        const unsigned at = unsigned(pos - m_hitBegin);
        if (at < m_hitSize) return m_hitData[at];
        return slowAt(pos);
    }

    // The ids from position pos (0 <= pos < size) to the end of its block, valid until the list
    // changes: a pointer to pos's id, and the last position of the block.
    const quint32* run(int pos, int* last) const {
        (void)(*this)[pos]; // remembers pos's block
        *last = m_hitBegin + int(m_hitSize) - 1;
        return m_hitData + (pos - m_hitBegin);
    }

    void assign(const std::vector<quint32>& rows);
    void clear();
    void insert(int pos, quint32 row);
    void erase(int pos);
    void push_back(quint32 row) { insert(m_size, row); }

    // The position of a row, -1 when absent (a linear search).
    int find(quint32 row) const;
    // The first position whose id fails `pred`, for ids ordered so that pred holds up to some point
    // and fails after it; O(log n) calls of pred.
    template <class Pred> int partitionPoint(Pred pred) const {
        size_t lo = 0, hi = m_blocks.size(); // first block whose last id fails
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            if (pred(m_blocks[mid].back()))
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo == m_blocks.size()) return m_size;
        const std::vector<quint32>& b = m_blocks[lo];
        size_t l = 0, h = b.size();
        while (l < h) {
            const size_t mid = (l + h) / 2;
            if (pred(b[mid]))
                l = mid + 1;
            else
                h = mid;
        }
        return blockStart(lo) + int(l);
    }

    // Calls f(id) for every id in order; f may change the id through its reference in the mutable form.
    template <class F> void forEach(F f) const {
        for (const std::vector<quint32>& b : m_blocks)
            for (quint32 r : b)
                f(r);
    }
    template <class F> void forEachMutable(F f) {
        for (std::vector<quint32>& b : m_blocks)
            for (quint32& r : b)
                f(r);
    }
    std::vector<quint32> toVector() const;

private:
    static std::vector<quint32> newBlock(const quint32* first, const quint32* last);
    Q_NEVER_INLINE quint32 slowAt(int pos) const;
    // The block holding position pos (0 <= pos < size), and the position its first id has.
    size_t blockOf(int pos, int* start) const;
    int blockStart(size_t block) const;
    void grow(size_t block, int delta);
    void rebuildTree();
    void forget() const { m_hitSize = 0; }

    std::vector<std::vector<quint32>> m_blocks; // none empty
    std::vector<int> m_tree;                    // Fenwick tree of block sizes, 1-based
    int m_size = 0;
    // The block the last read found: positions [m_hitBegin, m_hitBegin + m_hitSize).
    mutable const quint32* m_hitData = nullptr;
    mutable int m_hitBegin = 0;
    mutable unsigned m_hitSize = 0;
};

} // namespace kvo::data
