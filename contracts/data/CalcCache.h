#pragma once

// Calculated values of the current row, and of one other row for painting, kept until the row's
// values change (the generation moves on). OnCalcFields writes into the row being computed.

#include <QVariant>
#include <functional>
#include <vector>

namespace kvo::data {

class CalcCache {
public:
    void setSlots(int count) { m_slots = count; }
    int slotCount() const { return m_slots; }
    // Every cached value is stale from now on.
    void invalidate() { ++m_generation; }

    // The value of a slot on a row, running compute for the row when its values are stale.
    // `current` picks the current row's buffer. While compute runs, reads give what it wrote so far.
    QVariant value(qint64 row, int slot, bool current, const std::function<void()>& compute);
    // The row compute is running for, -1 outside it.
    qint64 computingRow() const { return m_computing ? m_row : -1; }
    bool computing() const { return m_computing; }
    // A write from inside compute.
    void setComputed(int slot, const QVariant& v) { (*m_target)[slot] = v; }
    // A write to the current row's value outside compute (kept until the row's values change).
    void setCurrent(qint64 row, int slot, const QVariant& v, const std::function<void()>& compute);

private:
    struct Buffer {
        std::vector<QVariant> values;
        qint64 row = -1;
        quint64 generation = ~0ULL;
    };
    Buffer& fill(qint64 row, bool current, const std::function<void()>& compute);

    int m_slots = 0;
    quint64 m_generation = 0;
    Buffer m_current, m_other;
    bool m_computing = false;
    qint64 m_row = -1;
    std::vector<QVariant>* m_target = nullptr;
};

} // namespace kvo::data
