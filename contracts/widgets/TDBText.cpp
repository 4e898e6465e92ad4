#include "TDBText.h"

#include "StdControls.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"

class TDBText::Link : public TDataSource::Link {
public:
    explicit Link(TDBText* text) : m_text(text) {}
    void activeChanged() override { m_text->load(); }
    void stateChanged() override { m_text->load(); }
    void dataChanged(TField* field) override
    {
        if (!field || field == m_text->Field())
            m_text->load();
    }

private:
    TDBText* m_text;
};

TDBText::TDBText(QWidget* parent) : QLabel(parent), m_link(std::make_unique<Link>(this)) {}

TDBText::~TDBText()
{
    if (m_source)
        m_source->removeLink(m_link.get());
}

void TDBText::SetDataSource(TDataSource* source)
{
    if (source == m_source)
        return;
    if (m_source)
        m_source->removeLink(m_link.get());
    m_source = source;
    if (source)
        source->addLink(m_link.get());
    load();
}

void TDBText::SetDataField(const QString& name)
{
    m_dataField = name;
    load();
}

TField* TDBText::Field() const
{
    TClientDataSet* ds = m_source ? m_source->DataSet() : nullptr;
    return ds && !m_dataField.isEmpty() ? ds->FindField(m_dataField) : nullptr;
}

void TDBText::load()
{
    const TField* f = Field();
    const bool shows = f && f->DataSet()->Active() && m_source->Enabled();
    setText(shows ? f->DisplayText() : QString());
    if (f)
        setAlignment((f->Alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
}

void TDBText::SetColor(const QColor& color)
{
    kvo::SetBackground(this, color, QPalette::Window);
    setAutoFillBackground(true);
}

void TDBText::SetFontColor(const QColor& color) { kvo::SetBackground(this, color, QPalette::WindowText); }

void TDBText::SetBold(bool bold) { kvo::SetBold(this, bold); }
