#include "TextPool.h"

#include <algorithm>
#include <cstring>

namespace kvo::data {

quint32 TextPool::hashOf(const QString& s) {
    const char* p = reinterpret_cast<const char*>(s.constData());
    size_t n = size_t(s.size()) * 2;
    quint64 h = 0x9E3779B97F4A7C15ULL ^ n;
    while (n >= 8) {
        quint64 w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
        h ^= h >> 32;
        p += 8;
        n -= 8;
    }
    if (n) {
        quint64 w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
        h ^= h >> 32;
    }
    h *= 0xC4CEB9FE1A85EC53ULL;
    return quint32(h ^ (h >> 29));
}

quint32 TextPool::lookup(const QString& s, quint32 h) const {
    if (m_table.empty()) return 0;
    for (quint32 i = h & m_mask;; i = (i + 1) & m_mask) {
        const quint32 id = m_table[i];
        if (id == 0) return 0;
        if (m_hashes[id] == h && m_texts[id] == s) return id;
    }
}

void TextPool::grow() {
    const size_t size = std::max<size_t>(16, m_table.size() * 2);
    m_table.assign(size, 0);
    m_mask = quint32(size - 1);
    for (quint32 id = 1; id < m_texts.size(); ++id) {
        quint32 i = m_hashes[id] & m_mask;
        while (m_table[i])
            i = (i + 1) & m_mask;
        m_table[i] = id;
    }
}

quint32 TextPool::intern(const QString& s) {
    if (s.isEmpty()) return 0;
    const quint32 h = hashOf(s);
    if (const quint32 id = lookup(s, h)) return id;
    if ((m_texts.size() + 1) * 2 > m_table.size()) grow();
    const quint32 id = quint32(m_texts.size());
    m_texts.push_back(s);
    m_hashes.push_back(h);
    quint32 i = h & m_mask;
    while (m_table[i])
        i = (i + 1) & m_mask;
    m_table[i] = id;
    return id;
}

quint32 TextPool::find(const QString& s) const {
    if (s.isEmpty()) return 0;
    const quint32 id = lookup(s, hashOf(s));
    return id ? id : Unknown;
}

void TextPool::clear() {
    m_texts.assign(1, QString());
    m_hashes.assign(1, 0);
    m_table.clear();
    m_mask = 0;
}

} // namespace kvo::data
