#include "ValueMatcher.h"

#include "Conversions.h"

namespace kvo::data {

ValueMatcher ValueMatcher::comparison(const Column& col, int column, Op op, const QVariant& literal) {
    ValueMatcher m;
    m.m_column = column;
    m.m_op = op;
    if (literal.isNull()) {
        m.m_mode = op == Eq || op == Ne ? Null : Never;
        return m;
    }
    const bool literalIsText = literal.metaType().id() == QMetaType::QString;
    switch (col.type) {
    case ftString:
    case ftFixedChar:
        if (!literalIsText) return m; // a text never equals a number
        m.m_text = literal.toString();
        if (col.type == ftFixedChar && !m.m_text.isEmpty())
            m.m_text = kvo::data::padToChars(m.m_text, col.size);
        m.m_mode = op == Eq || op == Ne ? TextId : TextOrder;
        break;
    case ftFloat:
        if (numberOf(literal, &m.m_number)) m.m_mode = Number;
        break;
    case ftDateTime:
        if (literalIsText && dayOf(literal, &m.m_day) && m.m_day != NullDay) m.m_mode = Day;
        break;
    }
    return m;
}

ValueMatcher ValueMatcher::key(const Column& col, int column, const QVariant& key, bool caseInsensitive,
                               bool partial) {
    ValueMatcher m;
    m.m_column = column;
    if (isText(col.type)) {
        QString k = key.isNull() ? QString() : key.toString();
        if (k.isEmpty() && !partial) {
            m.m_mode = TextId; // finds id 0, the null text
        } else if (!caseInsensitive && !partial) {
            m.m_text = col.type == ftFixedChar ? kvo::data::padToChars(k, col.size) : k;
            m.m_mode = TextId;
        } else {
            m.m_text = k;
            m.m_caseInsensitive = caseInsensitive;
            m.m_partial = partial;
            m.m_mode = TextTable;
        }
        return m;
    }
    if (key.isNull()) {
        m.m_mode = Null;
    } else if (col.type == ftFloat) {
        if (numberOf(key, &m.m_number)) m.m_mode = Number;
    } else if (dayOf(key, &m.m_day) && m.m_day != NullDay) {
        m.m_mode = Day;
    }
    return m;
}

quint32 ValueMatcher::textId(const Column& col) const {
    if (m_poolSeen != col.pool.size()) {
        m_textId = col.pool.find(m_text);
        m_poolSeen = col.pool.size();
    }
    return m_textId;
}

bool ValueMatcher::textIdentity(const Column& col, quint32* id, bool* equal) const {
    if (m_mode != TextId) return false;
    *id = textId(col);
    *equal = m_op == Eq;
    return true;
}

bool ValueMatcher::compare(int cmp) const {
    switch (m_op) {
    case Eq:
        return cmp == 0;
    case Ne:
        return cmp != 0;
    case Lt:
        return cmp < 0;
    case Le:
        return cmp <= 0;
    case Gt:
        return cmp > 0;
    case Ge:
        return cmp >= 0;
    }
    return false;
}

bool ValueMatcher::matches(const Column& col, Cell c) const {
    switch (m_mode) {
    case Never:
        return false;
    case Null:
        return cellNull(col.type, c) == (m_op == Eq);
    case TextId:
        return (c.s == textId(col)) == (m_op == Eq);
    case TextOrder:
        return compare(col.pool.text(c.s).compare(m_text));
    case TextTable: {
        textTable(col);
        return c.s < m_table.size() && m_table[c.s];
    }
    case Number:
        if (std::isnan(c.f)) return m_op == Ne;
        return compare(c.f < m_number ? -1 : (c.f > m_number ? 1 : 0));
    case Day:
        if (c.day == NullDay) return m_op == Ne;
        return compare(c.day < m_day ? -1 : (c.day > m_day ? 1 : 0));
    }
    return false;
}

ValueMatcher::KeyCell ValueMatcher::keyCell(const Column& col, Cell* out) const {
    if (m_op != Eq) return NotExact;
    *out = nullCell(col.type);
    switch (m_mode) {
    case Never:
        return NoRow;
    case Null:
        return Exact;
    case TextId:
        out->s = textId(col);
        return out->s == TextPool::Unknown ? NoRow : Exact;
    case Number:
        out->f = m_number;
        return Exact;
    case Day:
        out->day = m_day;
        return Exact;
    default:
        return NotExact;
    }
}

const std::vector<quint8>* ValueMatcher::textTable(const Column& col) const {
    if (m_mode != TextTable) return nullptr;
    if (m_table.size() < col.pool.size()) {
        const Qt::CaseSensitivity cs = m_caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
        m_table.reserve(col.pool.size());
        for (size_t id = m_table.size(); id < col.pool.size(); ++id) {
            const QString& s = col.pool.text(quint32(id));
            bool ok;
            if (m_partial)
                ok = s.startsWith(m_text, cs);
            else if (col.type == ftFixedChar)
                ok = s.trimmed().compare(m_text.trimmed(), cs) == 0;
            else
                ok = s.compare(m_text, cs) == 0;
            m_table.push_back(ok);
        }
    }
    return &m_table;
}

} // namespace kvo::data
