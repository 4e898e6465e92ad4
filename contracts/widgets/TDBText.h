#pragma once

#include "FrameworkExport.h"

#include "Graphics.h"

#include "data/TDataSource.h"

#include <QLabel>

class TField;

// A label showing a field of the current row.
class KVO_FRAMEWORK_EXPORT TDBText : public QLabel {
    Q_OBJECT
public:
    explicit TDBText(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return m_dataField; }
    void SetDataField(const QString& name);
    TField* Field() const;

    QString Caption() const { return text(); }
    bool Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }
    void SetEnabled(bool on) { setEnabled(on); }
    void SetColor(const QColor& color);
    void SetFontColor(const QColor& color);
    void SetBold(bool bold);

private:
    void load();

    TDataLink m_link;
    QString m_dataField;
};
