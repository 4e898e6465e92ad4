#include "TDBText.h"

#include "StdControls.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"

TDBText::TDBText(QWidget* parent) : QLabel(parent) {
    m_link.OnActiveChange = m_link.OnStateChange = [this] { load(); };
    m_link.OnDataChange = [this](TField* field) {
        if (!field || field == Field()) load();
    };
}

void TDBText::SetDataSource(TDataSource* source) {
    if (m_link.SetDataSource(source)) load();
}

void TDBText::SetDataField(const QString& name) {
    m_dataField = name;
    load();
}

TField* TDBText::Field() const {
    return m_link.FindField(m_dataField);
}

void TDBText::load() {
    const TField* f = Field();
    const bool shows = f && f->DataSet()->Active() && DataSource()->Enabled();
    setText(shows ? f->DisplayText() : QString());
    if (f) setAlignment((f->Alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
}

void TDBText::SetColor(const QColor& color) {
    kvo::SetBackground(this, color, QPalette::Window);
    setAutoFillBackground(true);
}

void TDBText::SetFontColor(const QColor& color) {
    kvo::SetBackground(this, color, QPalette::WindowText);
}

void TDBText::SetBold(bool bold) {
    kvo::SetBold(this, bold);
}
