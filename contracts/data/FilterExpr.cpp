#include "FilterExpr.h"

#include "Conversions.h"
#include "Exceptions.h"

namespace kvo::data {

namespace {

class Parser {
public:
    explicit Parser(const QString& text) : m_text(text) {}

    std::unique_ptr<FilterNode> parse() {
        auto node = parseOr();
        skipBlanks();
        if (m_pos < m_text.size())
            fail(QStringLiteral("trecho inesperado \"%1\"").arg(m_text.mid(m_pos, 10)));
        return node;
    }

private:
    [[noreturn]] void fail(const QString& what) const {
        throw EDatabaseError(
            QStringLiteral("Filtro inválido \"%1\": %2 na posição %3").arg(m_text, what).arg(m_pos + 1));
    }

    void skipBlanks() {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }

    static bool identChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

    // Matches a keyword as a whole word, case-insensitively.
    bool keyword(const char* word) {
        skipBlanks();
        const QLatin1String w(word);
        if (m_text.mid(m_pos, w.size()).compare(w, Qt::CaseInsensitive) != 0) return false;
        const qsizetype end = m_pos + w.size();
        if (end < m_text.size() && identChar(m_text.at(end))) return false;
        m_pos = end;
        return true;
    }

    std::unique_ptr<FilterNode> binary(FilterNode::Kind kind, std::unique_ptr<FilterNode> l,
                                       std::unique_ptr<FilterNode> r) {
        auto n = std::make_unique<FilterNode>();
        n->kind = kind;
        n->left = std::move(l);
        n->right = std::move(r);
        return n;
    }

    std::unique_ptr<FilterNode> parseOr() {
        auto node = parseAnd();
        while (keyword("OR"))
            node = binary(FilterNode::Or, std::move(node), parseAnd());
        return node;
    }

    std::unique_ptr<FilterNode> parseAnd() {
        auto node = parseUnary();
        while (keyword("AND"))
            node = binary(FilterNode::And, std::move(node), parseUnary());
        return node;
    }

    std::unique_ptr<FilterNode> parseUnary() {
        if (++m_depth > MaxDepth) fail(QStringLiteral("aninhamento profundo demais"));
        struct Leave {
            int& depth;
            ~Leave() { --depth; }
        } leave{m_depth};
        if (keyword("NOT")) {
            auto n = std::make_unique<FilterNode>();
            n->kind = FilterNode::Not;
            n->left = parseUnary();
            return n;
        }
        skipBlanks();
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('(')) {
            ++m_pos;
            auto inner = parseOr();
            skipBlanks();
            if (m_pos >= m_text.size() || m_text.at(m_pos) != QLatin1Char(')'))
                fail(QStringLiteral("falta \")\""));
            ++m_pos;
            return inner;
        }
        return parseComparison();
    }

    std::unique_ptr<FilterNode> parseComparison() {
        auto n = std::make_unique<FilterNode>();
        n->kind = FilterNode::Compare;
        skipBlanks();
        if (m_pos < m_text.size() && m_text.at(m_pos) == QLatin1Char('[')) {
            const qsizetype close = m_text.indexOf(QLatin1Char(']'), m_pos);
            if (close < 0) fail(QStringLiteral("falta \"]\""));
            n->field = m_text.mid(m_pos + 1, close - m_pos - 1).trimmed();
            m_pos = close + 1;
        } else {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() && identChar(m_text.at(m_pos)))
                ++m_pos;
            n->field = m_text.mid(start, m_pos - start);
        }
        if (n->field.isEmpty()) fail(QStringLiteral("esperava-se um nome de campo"));
        skipBlanks();
        const QStringView rest = QStringView(m_text).mid(m_pos);
        if (rest.startsWith(u"<>"))
            n->op = FilterNode::Ne, m_pos += 2;
        else if (rest.startsWith(u"<="))
            n->op = FilterNode::Le, m_pos += 2;
        else if (rest.startsWith(u">="))
            n->op = FilterNode::Ge, m_pos += 2;
        else if (rest.startsWith(u"="))
            n->op = FilterNode::Eq, m_pos += 1;
        else if (rest.startsWith(u"<"))
            n->op = FilterNode::Lt, m_pos += 1;
        else if (rest.startsWith(u">"))
            n->op = FilterNode::Gt, m_pos += 1;
        else
            fail(QStringLiteral("esperava-se um operador de comparação"));
        n->literal = parseLiteral();
        return n;
    }

    QVariant parseLiteral() {
        skipBlanks();
        if (m_pos >= m_text.size()) fail(QStringLiteral("esperava-se um valor"));
        const QChar c = m_text.at(m_pos);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            QString value;
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size()) fail(QStringLiteral("texto sem aspas de fechamento"));
                const QChar ch = m_text.at(m_pos++);
                if (ch == c) {
                    if (m_pos < m_text.size() && m_text.at(m_pos) == c) { // doubled quote
                        value += c;
                        ++m_pos;
                        continue;
                    }
                    break;
                }
                value += ch;
            }
            return value;
        }
        if (keyword("NULL")) return QVariant();
        const qsizetype start = m_pos;
        if (c == QLatin1Char('-') || c == QLatin1Char('+')) ++m_pos;
        while (m_pos < m_text.size() && (m_text.at(m_pos).isDigit() || m_text.at(m_pos) == QLatin1Char('.')))
            ++m_pos;
        const std::optional<double> d =
            kvo::data::parsePlainNumber(QStringView(m_text).mid(start, m_pos - start));
        if (!d || (m_pos < m_text.size() && identChar(m_text.at(m_pos)))) {
            m_pos = start;
            fail(QStringLiteral("esperava-se um texto entre aspas ou um número"));
        }
        return *d;
    }

    static constexpr int MaxDepth = 200; // keeps a runaway text from exhausting the stack

    const QString& m_text;
    qsizetype m_pos = 0;
    int m_depth = 0;
};

} // namespace

std::unique_ptr<FilterNode> parseFilter(const QString& text) {
    if (text.trimmed().isEmpty()) return nullptr;
    return Parser(text).parse();
}

} // namespace kvo::data
