#include "TField.h"

#include "DataText.h"
#include "Exceptions.h"
#include "TClientDataSet.h"

#include <QLocale>
#include <cmath>

namespace {

QString formatDate(const QDateTime& dt) {
    if (!dt.isValid()) return {};
    if (dt.time() == QTime(0, 0)) return dt.toString(QStringLiteral("dd/MM/yyyy"));
    return dt.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

// Accepts dd/MM/yyyy (one-digit day and month too), with an optional time, and the packet form.
QDateTime parseDate(const QString& text) {
    const QString t = text.trimmed();
    for (const char* f : {"d/M/yyyy", "d/M/yyyy H:mm:ss", "d/M/yyyy H:mm"}) {
        const QDateTime dt = QDateTime::fromString(t, QLatin1String(f));
        if (dt.isValid()) return dt;
    }
    return kvo::data::parsePacketDate(t);
}

// True for a text that holds nothing but blanks and the separators of an empty date mask.
bool blankDateText(const QString& text) {
    for (QChar c : text)
        if (c != QLatin1Char(' ') && c != QLatin1Char('/') && c != QLatin1Char('_')) return false;
    return true;
}

QString formatNumber(double d, QChar decimal) {
    if (d == 0) d = 0; // no "-0"
    QString s = QString::number(d, 'f', 10);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.'))) s.chop(1);
    }
    if (s == QLatin1String("-0")) s = QStringLiteral("0");
    if (decimal != QLatin1Char('.')) s.replace(QLatin1Char('.'), decimal);
    return s;
}

bool parseNumber(QString t, double& out) {
    t = t.trimmed();
    if (t.contains(QLatin1Char(',')) && t.contains(QLatin1Char('.'))) t.remove(QLatin1Char('.'));
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    out = QLocale::c().toDouble(t, &ok);
    return ok && std::isfinite(out);
}

// A value as text; the two texts of a field differ only in the decimal separator.
QString valueText(TFieldType type, const QVariant& v, QChar decimal) {
    if (v.isNull()) return {};
    switch (type) {
    case ftString:
    case ftFixedChar:
        return v.toString();
    case ftFloat:
        return formatNumber(v.toDouble(), decimal);
    case ftDateTime: // the record set holds days; a QDate never passes through local time
        return v.typeId() == QMetaType::QDate ? v.toDate().toString(QStringLiteral("dd/MM/yyyy"))
                                              : formatDate(v.toDateTime());
    }
    return {};
}

} // namespace

TField::TField(TClientDataSet* dataSet, QString name, TFieldType type, int size, TFieldKind kind, int index)
    : m_dataSet(dataSet), m_name(std::move(name)), m_type(type), m_size(size), m_kind(kind), m_index(index) {
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
    return valueText(m_type, Value(), QLatin1Char('.'));
}

void TField::SetAsString(const QString& text) {
    switch (m_type) {
    case ftString:
    case ftFixedChar:
        SetValue(text);
        return;
    case ftFloat: {
        if (text.trimmed().isEmpty()) return Clear();
        double d = 0;
        if (!parseNumber(text, d))
            throw EDatabaseError(QStringLiteral("'%1' não é um valor numérico válido.").arg(text));
        SetValue(d);
        return;
    }
    case ftDateTime: {
        if (blankDateText(text)) return Clear();
        const QDateTime dt = parseDate(text);
        if (!dt.isValid()) throw EDatabaseError(QStringLiteral("'%1' não é uma data válida.").arg(text));
        SetValue(dt);
        return;
    }
    }
}

double TField::AsFloat() const {
    if (m_type == ftFloat) {
        double d = 0;
        return m_dataSet->floatValue(this, &d) ? d : 0;
    }
    const QVariant v = Value();
    if (v.isNull()) return 0;
    switch (m_type) {
    case ftFloat:
        return v.toDouble();
    case ftString:
    case ftFixedChar: {
        const QString s = v.toString();
        if (s.trimmed().isEmpty()) return 0;
        double d = 0;
        if (!parseNumber(s, d))
            throw EDatabaseError(QStringLiteral("'%1' não é um valor numérico válido.").arg(s));
        return d;
    }
    case ftDateTime:
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be read as a number").arg(m_name));
    }
    return 0;
}

void TField::SetAsFloat(double value) {
    if (m_type == ftDateTime)
        throw EDatabaseError(QStringLiteral("Field '%1' cannot take a number").arg(m_name));
    if (m_type == ftFloat)
        SetValue(value);
    else
        SetValue(formatNumber(value, QLatin1Char('.')));
}

QDateTime TField::AsDateTime() const {
    const QVariant v = Value();
    if (v.isNull()) return {};
    switch (m_type) {
    case ftDateTime:
        return v.toDateTime();
    case ftString:
    case ftFixedChar: {
        const QString s = v.toString();
        if (blankDateText(s)) return {};
        const QDateTime dt = parseDate(s);
        if (!dt.isValid()) throw EDatabaseError(QStringLiteral("'%1' não é uma data válida.").arg(s));
        return dt;
    }
    case ftFloat:
        throw EDatabaseError(QStringLiteral("Field '%1' cannot be read as a date").arg(m_name));
    }
    return {};
}

void TField::SetAsDateTime(const QDateTime& value) {
    if (m_type == ftFloat) throw EDatabaseError(QStringLiteral("Field '%1' cannot take a date").arg(m_name));
    if (!value.isValid()) return Clear();
    if (m_type == ftDateTime)
        SetValue(value);
    else
        SetValue(formatDate(value));
}

QDate TField::AsDate() const {
    if (m_type == ftDateTime) return Value().toDate();
    return AsDateTime().date();
}

void TField::SetAsDate(const QDate& value) {
    if (m_type == ftDateTime) return value.isValid() ? SetValue(value) : Clear();
    SetAsDateTime(value.isValid() ? QDateTime(value, QTime(0, 0)) : QDateTime());
}

bool TField::IsNull() const {
    return Value().isNull();
}

void TField::Clear() {
    SetValue(QVariant());
}

QString TField::DisplayText() const {
    return valueText(m_type, Value(), QLatin1Char(','));
}

void TField::SetDisplayText(const QString& text) {
    SetAsString(text);
}

void TField::FocusControl() {
    m_dataSet->focusField(this);
}
