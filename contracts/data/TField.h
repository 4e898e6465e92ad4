#pragma once

#include "TDataPacket.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>
#include <Qt>

class TClientDataSet;

enum TFieldKind { fkData, fkCalculated };

// One column of a record set, reading and writing the current row's value.
// Texts are cut to Size on write (fixed texts padded); empty reads as "" / 0 / date 0.
class TField {
public:
    // slot: where the set keeps the field's values, its data column or its place among the
    // calculated values.
    TField(TClientDataSet* dataSet, QString name, TFieldType type, int size, TFieldKind kind, int index,
           int slot);

    // Definition
    const QString& FieldName() const { return m_name; }
    TFieldType DataType() const { return m_type; }
    int Size() const { return m_size; }
    TFieldKind FieldKind() const { return m_kind; }
    int Index() const { return m_index; } // position among the set's fields
    TClientDataSet* DataSet() const { return m_dataSet; }

    // Presentation
    QString DisplayLabel() const { return m_displayLabel.isEmpty() ? m_name : m_displayLabel; }
    void SetDisplayLabel(const QString& label) { m_displayLabel = label; }
    const QString& EditMask() const { return m_editMask; }
    void SetEditMask(const QString& mask) { m_editMask = mask; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    Qt::Alignment Alignment() const { return m_alignment; }
    void SetAlignment(Qt::Alignment a) { m_alignment = a; }
    int DisplayWidth() const; // characters a control should leave for it
    void SetDisplayWidth(int chars) { m_displayWidth = chars; }

    // Value of the current row
    QVariant Value() const;
    void SetValue(const QVariant& value);
    QString AsString() const;              // numbers in C locale ("12.5"); dates "dd/MM/yyyy"
    void SetAsString(const QString& text); // throws EDatabaseError for a non-number in a float
    inline double AsFloat() const;         // defined with TClientDataSet
    void SetAsFloat(double value);
    QDate AsDate() const; // invalid for date 0
    void SetAsDate(const QDate& value);
    QDateTime AsDateTime() const;               // the day at midnight UTC; invalid for date 0
    void SetAsDateTime(const QDateTime& value); // keeps the date as written, drops the time
    bool IsNull() const;
    void Clear();

    // Text as shown by controls: Brazilian number format with a decimal comma and no trailing zeros
    // ("12" for 12, "2,5" for 2.5), dates "dd/MM/yyyy", null as "".
    QString DisplayText() const;
    // Parses what a person typed (decimal comma or point) and stores it; throws EDatabaseError
    // with a clear message ("'abc' não é um valor numérico válido.") for a bad number.
    void SetDisplayText(const QString& text);

    // Asks the control that shows this field (grid column or data edit) to take the focus.
    void FocusControl();

private:
    friend class TClientDataSet;
    [[gnu::cold]] double convertedFloat() const; // AsFloat of a field that holds no number
    TClientDataSet* m_dataSet;
    QString m_name;
    TFieldType m_type;
    int m_size;
    TFieldKind m_kind;
    int m_index;
    // Kept here so that a read finds its value without a lookup in the set.
    int m_column;   // -1 for a calculated field
    int m_calcSlot; // -1 for a data field
    QString m_displayLabel;
    QString m_editMask;
    bool m_readOnly = false;
    bool m_visible = true;
    Qt::Alignment m_alignment = Qt::AlignLeft;
    int m_displayWidth = 0;
};

#include "TClientDataSet.h" // TField::AsFloat
