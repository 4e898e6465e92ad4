#include "CalcCache.h"

namespace kvo::data {

CalcCache::Buffer& CalcCache::fill(qint64 row, bool current, const std::function<void()>& compute) {
    Buffer& b = current ? m_current : m_other;
    if (b.row == row && b.generation == m_generation) return b;
    b.values.assign(m_slots, QVariant());
    if (compute) {
        const bool wasComputing = m_computing;
        const qint64 savedRow = m_row;
        std::vector<QVariant>* savedTarget = m_target;
        m_computing = true;
        m_row = row;
        m_target = &b.values;
        struct Restore {
            CalcCache& c;
            bool computing;
            qint64 row;
            std::vector<QVariant>* target;
            ~Restore() {
                c.m_computing = computing;
                c.m_row = row;
                c.m_target = target;
            }
        } restore{*this, wasComputing, savedRow, savedTarget};
        try {
            compute();
        } catch (...) {
            b.row = -1;
            throw;
        }
    }
    b.row = row;
    b.generation = m_generation;
    return b;
}

QVariant CalcCache::value(qint64 row, int slot, bool current, const std::function<void()>& compute) {
    if (m_computing) // the handler reads a calculated field it is computing
        return m_target && slot < int(m_target->size()) ? (*m_target)[slot] : QVariant();
    return fill(row, current, compute).values[slot];
}

void CalcCache::setCurrent(qint64 row, int slot, const QVariant& v, const std::function<void()>& compute) {
    fill(row, true, compute).values[slot] = v;
}

} // namespace kvo::data
