#pragma once

// Interned texts of one column: equal texts share one id, so filters and locates compare ids and
// a repeated text costs 4 bytes per row. Open addressing over a flat id table; it beats a
// QHash<QString, quint32> on loading and on the view scans (see bench_recordset).

#include <QString>
#include <cstdint>
#include <limits>
#include <vector>

namespace kvo::data {

class TextPool {
public:
    static constexpr quint32 Unknown = std::numeric_limits<quint32>::max();

    // The id of s, adding it when new; 0 for the empty text.
    quint32 intern(const QString& s);
    // The id of s, 0 for the empty text, Unknown when no row holds it.
    quint32 find(const QString& s) const;
    const QString& text(quint32 id) const { return m_texts[id]; }
    // Ids run from 0 (the empty text) to size() - 1.
    size_t size() const { return m_texts.size(); }
    void clear();

private:
    static quint32 hashOf(const QString& s);
    quint32 lookup(const QString& s, quint32 h) const;
    void grow();

    std::vector<QString> m_texts{QString()};
    std::vector<quint32> m_hashes{0};
    std::vector<quint32> m_table; // 0 empty, else an id
    quint32 m_mask = 0;
};

} // namespace kvo::data
