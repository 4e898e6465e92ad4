#include "TDBEdit.h"

#include "DBFormat.h"
#include "Dispatch.h"
#include "StdControls.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"

#include <QKeyEvent>
#include <QScopedValueRollback>

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent), TFocusControl(this) {
    m_link.OnActiveChange = [this] {
        applyMask();
        load();
    };
    m_link.OnStateChange = [this] {
        refreshReadOnly();
        const TClientDataSet* ds = m_link.DataSet();
        if (!ds || (ds->State() != dsEdit && ds->State() != dsInsert)) load();
    };
    m_link.OnDataChange = [this](TField* field) {
        if (!field || field == Field()) load();
    };
    m_link.OnUpdateData = [this] { UpdateRecord(); };
    m_link.OnFocusField = [this](TField* field) {
        if (!field || field != Field()) return false;
        if (CanFocus() && !Focused()) SetFocus();
        return true;
    };
    connect(this, &QLineEdit::textEdited, this, [this] { m_modified = true; });
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (OnChange) kvo::Dispatch([this] { OnChange(this); }, {.owner = this});
    });
    refreshReadOnly();
}

void TDBEdit::SetDataSource(TDataSource* source) {
    if (!m_link.SetDataSource(source)) return;
    applyMask();
    refreshReadOnly();
    load();
}

void TDBEdit::SetDataField(const QString& name) {
    m_dataField = name;
    applyMask();
    refreshReadOnly();
    load();
}

TField* TDBEdit::Field() const {
    return m_link.FindField(m_dataField);
}

void TDBEdit::SetReadOnly(bool on) {
    m_readOnly = on;
    refreshReadOnly();
}

void TDBEdit::SetColor(const QColor& color) {
    m_color = color;
    kvo::SetBackground(this, color, QPalette::Base);
}

void TDBEdit::SetFontColor(const QColor& color) {
    kvo::SetTextColor(this, color);
}

void TDBEdit::SetBold(bool bold) {
    kvo::SetBold(this, bold);
}

bool TDBEdit::canModify() const {
    const TField* f = Field();
    const TClientDataSet* ds = f ? f->DataSet() : nullptr;
    return !m_readOnly && f && !f->ReadOnly() && f->FieldKind() == fkData && ds->Active() &&
           DataSource()->Enabled();
}

void TDBEdit::refreshReadOnly() {
    setReadOnly(!canModify());
}

void TDBEdit::applyMask() {
    delete validator();
    setValidator(nullptr);
    setMaxLength(32767);
    const TField* f = Field();
    if (!f) return;
    if (!f->EditMask().isEmpty()) {
        auto* v = new kvo::db::MaskValidator(f->EditMask(), this);
        setValidator(v);
        setMaxLength(v->Mask().Length());
    } else if ((f->DataType() == ftString || f->DataType() == ftFixedChar) && f->Size() > 0) {
        setMaxLength(f->Size());
    }
    setAlignment((f->Alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
}

void TDBEdit::load() {
    if (m_loading) return;
    const TField* f = Field();
    const TClientDataSet* ds = f ? f->DataSet() : nullptr;
    const QString shown = ds && ds->Active() ? f->DisplayText() : QString();
    m_modified = false;
    if (shown != text()) setText(shown);
    refreshReadOnly();
}

void TDBEdit::UpdateRecord() {
    if (!m_modified) return;
    TField* f = Field();
    if (!f) return;
    const QString typed = kvo::db::TypedText(this);
    const QScopedValueRollback<bool> loading(m_loading, true); // keep what was typed on screen meanwhile
    f->SetDisplayText(typed);
    m_modified = false;
}

void TDBEdit::keyPressEvent(QKeyEvent* event) {
    kvo::RunKeyHandlers(this, event, OnKeyDown, OnKeyPress,
                        [this](QKeyEvent* e) { kvo::Dispatch([&] { baseKey(e); }, {kvo::Pending::Drop}); });
}

void TDBEdit::baseKey(QKeyEvent* e) {
    const int key = e->key();
    if (key == Qt::Key_Escape) {
        if (m_modified) {
            load();
            selectAll();
            e->accept();
        } else {
            e->ignore();
        }
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        UpdateRecord();
        selectAll();
        e->ignore(); // a dialog's default button may still want it
        return;
    }
    const bool typing = (!e->text().isEmpty() && e->text().at(0).isPrint()) || key == Qt::Key_Backspace ||
                        key == Qt::Key_Delete || e->matches(QKeySequence::Paste) ||
                        e->matches(QKeySequence::Cut);
    if (typing) {
        if (!canModify()) {
            e->accept();
            return;
        }
        TClientDataSet* ds = Field()->DataSet();
        if (ds->State() == dsBrowse) ds->Edit(); // BeforeEdit may refuse: the key is dropped
    }
    QLineEdit::keyPressEvent(e);
}

void TDBEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    kvo::AutoSelect(this, event);
}

void TDBEdit::DoExit() {
    UpdateRecord(); // a bad value keeps the focus here
    TFocusControl::DoExit();
}
