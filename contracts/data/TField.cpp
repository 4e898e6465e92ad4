#include "TField.h"

#include "Conversions.h"
#include "Exceptions.h"
#include "TClientDataSet.h"

using namespace kvo::data;

namespace {

// True for a text that holds nothing but blanks and the separators of an empty date mask.
bool blankDateText(const QString& text) {
    for (QChar c : text)
        if (c != u' ' && c != u'/' && c != u'_') return false;
    return true;
}

[[noreturn]] void notANumber(const QString& text) {
    throw EDatabaseError(QStringLiteral("'%1' não é um valor numérico válido.").arg(text));
}

[[noreturn]] void notADate(const QString& text) {
    throw EDatabaseError(QStringLiteral("'%1' não é uma data válida.").arg(text));
}

// A value as text; the two texts of a field differ only in the decimal separator.
QString valueText(TFieldType type, const QVariant& v, bool display) {
    if (v.isNull()) return {};
    switch (type) {
    case ftString:
    case ftFixedChar:
        return v.toString();
    case ftFloat:
        return display ? displayNumber(v.toDouble()) : plainNumber(v.toDouble());
    case ftDateTime:
        return displayDate(toDate(v).value_or(QDate()));
    }
    return {};
}

} // namespace

TField::TField(TClientDataSet* dataSet, QString name, TFieldType type, int size, TFieldKind kind, int index,
               int slot)
    : m_dataSet(dataSet), m_name(std::move(name)), m_type(type), m_size(size), m_kind(kind), m_index(index),
      m_column(kind == fkData ? slot : -1), m_calcSlot(kind == fkData ? -1 : slot) {
    if (type == ftFloat) m_alignment = Qt::AlignRight;
}

int TField::DisplayWidth() const {
    if (m_displayWidth > 0) return m_displayWidth;
    switch (m_type) {
    case ftString:
    case ftFixedChar:
        return m_size > 0 ? m_size : 20;
    case ftFloat:
        return 10;
    case ftDateTime:
        return 10;
    }
    return 10;
}

QVariant TField::Value() const {
    return m_dataSet->fieldValue(this);
}

void TField::SetValue(const QVariant& value) {
    m_dataSet->setFieldValue(this, value);
}

QString TField::AsString() const {
    return valueText(m_type, Value(), false);
}

void TField::SetAsString(const QString& text) {
    switch (m_type) {
    case ftString:
    case ftFixedChar:
        SetValue(text);
        return;
    case ftFloat: {
        if (text.trimmed().isEmpty()) return Clear();
        const std::optional<double> d = parseNumber(text);
        if (!d) notANumber(text);
        SetValue(*d);
        return;
    }
    case ftDateTime: {
        if (blankDateText(text)) return Clear();
        const std::optional<QDate> d = toDate(text);
        if (!d || !d->isValid()) notADate(text);
        SetValue(*d);
        return;
    }
    }
}

double TField::convertedFloat() const {
    const QVariant v = Value();
    if (v.isNull()) return 0;
    switch (m_type) {
    case ftFloat:
        return v.toDouble();
    case ftString:
    case ftFixedChar: {
        const QString s = v.toString();
        if (s.trimmed().isEmpty()) return 0;
        const std::optional<double> d = parseNumber(s);
        if (!d) notANumber(s);
        return *d;
    }
    case ftDateTime:
        throw EDatabaseError(QStringLiteral("O campo '%1' não pode ser lido como número.").arg(m_name));
    }
    return 0;
}

void TField::SetAsFloat(double value) {
    if (m_type == ftDateTime)
        throw EDatabaseError(QStringLiteral("O campo '%1' não aceita um número.").arg(m_name));
    if (m_type == ftFloat)
        SetValue(value);
    else
        SetValue(plainNumber(value));
}

QDate TField::AsDate() const {
    const QVariant v = Value();
    if (v.isNull()) return {};
    switch (m_type) {
    case ftDateTime:
        return toDate(v).value_or(QDate());
    case ftString:
    case ftFixedChar: {
        const QString s = v.toString();
        if (blankDateText(s)) return {};
        const std::optional<QDate> d = toDate(s);
        if (!d || !d->isValid()) notADate(s);
        return *d;
    }
    case ftFloat:
        throw EDatabaseError(QStringLiteral("O campo '%1' não pode ser lido como data.").arg(m_name));
    }
    return {};
}

void TField::SetAsDate(const QDate& value) {
    if (m_type == ftFloat)
        throw EDatabaseError(QStringLiteral("O campo '%1' não aceita uma data.").arg(m_name));
    if (!value.isValid()) return Clear();
    if (m_type == ftDateTime)
        SetValue(value);
    else
        SetValue(displayDate(value));
}

// Midnight UTC: a day never goes through local time, where some midnights do not exist.
QDateTime TField::AsDateTime() const {
    const QDate d = AsDate();
    return d.isValid() ? QDateTime(d, QTime(0, 0), Qt::UTC) : QDateTime();
}

void TField::SetAsDateTime(const QDateTime& value) {
    SetAsDate(value.isValid() ? value.date() : QDate());
}

bool TField::IsNull() const {
    return Value().isNull();
}

void TField::Clear() {
    SetValue(QVariant());
}

QString TField::DisplayText() const {
    return valueText(m_type, Value(), true);
}

void TField::SetDisplayText(const QString& text) {
    SetAsString(text);
}

void TField::FocusControl() {
    m_dataSet->focusField(this);
}
