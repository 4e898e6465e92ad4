#pragma once

#include "FrameworkExport.h"

#include "StdControls.h"

#include <QVector>

// An edit mask "mask;save;blank", e.g. ">aaaa;0; ".
//   0 digit (required)   9 digit            # digit, + or -
//   L letter (required)  l letter           A letter or digit (required)   a letter or digit
//   C any (required)     c any              > upper case from here  < lower case  <> as typed
//   \ next character is a literal; any other character is a literal.
// save 0: literals are not part of the text; blank: the character shown for an empty position.
class KVO_FRAMEWORK_EXPORT TEditMask {
public:
    TEditMask() = default;
    explicit TEditMask(const QString& mask);

    bool IsEmpty() const { return m_slots.isEmpty(); }
    int Width() const { return int(m_slots.size()); } // positions, literals included
    int InputWidth() const;                           // positions a person fills
    bool SavesLiterals() const { return m_saveLiterals; }
    QChar Blank() const { return m_blank; }

    // Brings typed text to the mask: case applied, literals placed. Returns false (and leaves
    // `out` unspecified) when a character does not fit its position or the text is too long.
    bool Apply(const QString& typed, QString& out) const;
    // True when every required position is filled.
    bool IsComplete(const QString& text) const;
    // The text as stored: without literals when the mask does not save them, trailing blanks cut.
    QString Stored(const QString& text) const;

private:
    enum Kind { Literal, Digit, DigitSign, Letter, Alnum, Any };
    enum Case { AsTyped, Upper, Lower };
    struct Slot {
        Kind kind;
        bool required;
        Case casing;
        QChar literal;
    };
    static bool fits(const Slot& s, QChar c);
    QVector<Slot> m_slots;
    bool m_saveLiterals = true;
    QChar m_blank = QLatin1Char('_');
};

// A masked edit (prefix med). Text() gives the stored text (no literals for ";0" masks).
class KVO_FRAMEWORK_EXPORT TMaskEdit : public TEdit {
    Q_OBJECT
public:
    explicit TMaskEdit(QWidget* parent = nullptr);

    QString EditMask() const { return m_maskText; }
    void SetEditMask(const QString& mask);
    // The text as stored by the mask.
    QString Text() const;
    void SetText(const QString& text) override;
    // What the edit shows, literals included.
    QString EditText() const { return text(); }
    // Throws a clear error when a required position is still empty.
    void ValidateEdit() const;

private:
    QString m_maskText;
    TEditMask m_mask;
};
