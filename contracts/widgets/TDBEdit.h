#pragma once

#include "FrameworkExport.h"

#include "Focus.h"
#include "Graphics.h"
#include "KeyEvents.h"

#include "data/TDataSource.h"

#include <QLineEdit>

class TField;

// A one-line edit showing a field of the current row. Typing puts the set into Edit (BeforeEdit
// may refuse); the text goes into the field on Enter, on leaving the edit and before a post.
// Read-only (own flag, the field's, or a calculated field) it only shows the value.
class KVO_FRAMEWORK_EXPORT TDBEdit : public QLineEdit, public TFocusControl {
    Q_OBJECT
public:
    explicit TDBEdit(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* source);
    QString DataField() const { return m_dataField; }
    void SetDataField(const QString& name);
    TField* Field() const;

    QString Text() const { return text(); }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on);
    // Typed text not yet written into the field.
    bool Modified() const { return m_modified; }
    // Writes the typed text into the field; throws the field's error for a bad value.
    void UpdateRecord();

    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);
    void SetFontColor(const QColor& color);
    void SetBold(bool bold);
    void SetTabStop(bool on) { setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus); }

    TNotifyEvent OnChange;
    kvo::TKeyEvent OnKeyDown;
    kvo::TKeyPressEvent OnKeyPress;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void DoExit() override;

private:
    void baseKey(QKeyEvent* event);
    bool canModify() const;
    void load();
    void refreshReadOnly();
    void applyMask();

    TDataLink m_link;
    QString m_dataField;
    QColor m_color = clWindow;
    bool m_readOnly = false;
    bool m_modified = false;
    bool m_loading = false;
};
