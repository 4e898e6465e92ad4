#include "TMaskEdit.h"

#include "data/Exceptions.h"

#include <QValidator>

TEditMask::TEditMask(const QString& mask) {
    // Split "mask;save;blank" on the last two unescaped ';'.
    QString body = mask;
    QStringList parts;
    for (int i = int(mask.size()) - 1, found = 0; i >= 0 && found < 2; --i)
        if (mask.at(i) == QLatin1Char(';') && (i == 0 || mask.at(i - 1) != QLatin1Char('\\'))) {
            parts.prepend(body.mid(i + 1));
            body = body.left(i);
            ++found;
        }
    if (parts.size() >= 1 && !parts.at(0).isEmpty()) m_saveLiterals = parts.at(0) != QLatin1String("0");
    if (parts.size() >= 2 && !parts.at(1).isEmpty()) m_blank = parts.at(1).at(0);

    Case casing = AsTyped;
    for (int i = 0; i < body.size(); ++i) {
        const QChar c = body.at(i);
        if (c == QLatin1Char('<') && i + 1 < body.size() && body.at(i + 1) == QLatin1Char('>')) {
            casing = AsTyped;
            ++i;
            continue;
        }
        switch (c.toLatin1()) {
        case '>':
            casing = Upper;
            continue;
        case '<':
            casing = Lower;
            continue;
        case '0':
            m_slots.append({Digit, true, casing, {}});
            break;
        case '9':
            m_slots.append({Digit, false, casing, {}});
            break;
        case '#':
            m_slots.append({DigitSign, false, casing, {}});
            break;
        case 'L':
            m_slots.append({Letter, true, casing, {}});
            break;
        case 'l':
            m_slots.append({Letter, false, casing, {}});
            break;
        case 'A':
            m_slots.append({Alnum, true, casing, {}});
            break;
        case 'a':
            m_slots.append({Alnum, false, casing, {}});
            break;
        case 'C':
            m_slots.append({Any, true, casing, {}});
            break;
        case 'c':
            m_slots.append({Any, false, casing, {}});
            break;
        case '\\':
            if (i + 1 < body.size()) m_slots.append({Literal, false, AsTyped, body.at(++i)});
            break;
        default:
            m_slots.append({Literal, false, AsTyped, c});
            break;
        }
    }
}

int TEditMask::InputWidth() const {
    int n = 0;
    for (const Slot& s : m_slots)
        n += s.kind != Literal;
    return n;
}

bool TEditMask::fits(const Slot& s, QChar c) {
    switch (s.kind) {
    case Digit:
        return c.isDigit();
    case DigitSign:
        return c.isDigit() || c == QLatin1Char('+') || c == QLatin1Char('-');
    case Letter:
        return c.isLetter();
    case Alnum:
        return c.isLetterOrNumber();
    case Any:
        return c.isPrint();
    case Literal:
        return c == s.literal;
    }
    return false;
}

bool TEditMask::Apply(const QString& typed, QString& out) const {
    out.clear();
    int in = 0;
    for (int slot = 0; slot < m_slots.size() && in < typed.size(); ++slot) {
        const Slot& s = m_slots[slot];
        if (s.kind == Literal) {
            if (typed.at(in) == s.literal) ++in;
            out += s.literal;
            continue;
        }
        QChar c = typed.at(in++);
        if (c == m_blank && !s.required && s.kind != Any) {
            out += QLatin1Char(' ');
            continue;
        }
        if (!fits(s, c)) return false;
        out += s.casing == Upper ? c.toUpper() : s.casing == Lower ? c.toLower() : c;
    }
    return in == typed.size();
}

bool TEditMask::IsComplete(const QString& text) const {
    for (int i = 0; i < m_slots.size(); ++i) {
        const Slot& s = m_slots[i];
        if (s.kind == Literal || !s.required) continue;
        if (i >= text.size() || text.at(i) == QLatin1Char(' ') || !fits(s, text.at(i))) return false;
    }
    return true;
}

QString TEditMask::Stored(const QString& text) const {
    QString result;
    if (m_saveLiterals) {
        result = text;
    } else {
        for (int i = 0; i < text.size(); ++i)
            if (i >= m_slots.size() || m_slots[i].kind != Literal) result += text.at(i);
    }
    while (!result.isEmpty() && result.back() == QLatin1Char(' '))
        result.chop(1);
    return result;
}

namespace {

// Shapes what is typed to the mask as it is typed; refuses characters that do not fit.
class MaskValidator : public QValidator {
public:
    MaskValidator(const TEditMask* mask, QObject* parent) : QValidator(parent), m_mask(mask) {}
    State validate(QString& input, int& pos) const override {
        QString out;
        if (!m_mask->Apply(input, out)) return Invalid;
        if (out.size() > input.size())
            pos += int(out.size() - input.size()); // a literal was placed before the cursor
        input = out;
        return m_mask->IsComplete(out) ? Acceptable : Intermediate;
    }

private:
    const TEditMask* m_mask;
};

} // namespace

TMaskEdit::TMaskEdit(QWidget* parent) : TEdit(parent) {}

void TMaskEdit::SetEditMask(const QString& mask) {
    m_maskText = mask;
    m_mask = TEditMask(mask);
    delete validator();
    if (m_mask.IsEmpty()) {
        setValidator(nullptr);
        return;
    }
    setValidator(new MaskValidator(&m_mask, this));
    SetMaxLength(m_mask.Width());
    QString shaped;
    if (m_mask.Apply(text(), shaped)) setText(shaped);
}

QString TMaskEdit::Text() const {
    return m_mask.IsEmpty() ? text() : m_mask.Stored(text());
}

void TMaskEdit::SetText(const QString& value) {
    QString shaped = value;
    if (!m_mask.IsEmpty() && !m_mask.Apply(value, shaped)) {
        // Text from code that does not fit the mask is kept as far as it fits, never dropped
        // silently as a whole.
        shaped.clear();
        for (int n = 1; n <= value.size(); ++n) {
            QString part;
            if (!m_mask.Apply(value.left(n), part)) break;
            shaped = part;
        }
    }
    if (shaped != text()) setText(shaped);
}

void TMaskEdit::ValidateEdit() const {
    if (!m_mask.IsEmpty() && !text().isEmpty() && !m_mask.IsComplete(text()))
        throw Exception(QStringLiteral("Valor incompleto: preencha todas as posições do campo."));
}
