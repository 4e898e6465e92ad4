#include "host/FormParts.h"

#include "data/TDataSource.h"
#include "widgets/Glyphs.h"
#include "widgets/TBtnPesquisa.h"

#include <QHBoxLayout>

namespace kvo {

TPanel* NewRowPanel(QWidget* parent, const char* name, TPanel::TBevel bevel) {
    auto* panel = new TPanel(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->SetBevel(bevel);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(4, 2, 4, 2);
    return panel;
}

TButtonFlat* AddToolButton(TPanel* panel, const char* name, const QString& caption, const QString& hint,
                           int index) {
    auto* b = new TButtonFlat(panel);
    b->setObjectName(QString::fromLatin1(name));
    b->SetCaption(caption);
    b->SetHint(hint);
    b->SetGlyph(CommandGlyph(QString::fromLatin1(name)));
    static_cast<QBoxLayout*>(panel->layout())->insertWidget(index, b);
    return b;
}

QLabel* AddScreenCodeLabel(TPanel* panel) {
    auto* row = static_cast<QBoxLayout*>(panel->layout());
    row->addStretch(1);
    auto* label = new QLabel(panel);
    label->setObjectName("lblCodTela");
    SetBold(label, true);
    row->addWidget(label);
    return label;
}

TLabel* NewCaption(QWidget* parent, const char* name, const QString& caption, QWidget* focusControl) {
    auto* label = new TLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->SetBold(true);
    if (focusControl) label->setBuddy(focusControl);
    return label;
}

TEdit* NewDisplayEdit(QWidget* parent, const char* name, int width, const QColor& color) {
    auto* edit = new TEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->SetReadOnly(true);
    edit->SetColor(color);
    edit->SetTabStop(false);
    edit->SetEnabled(false);
    edit->setMinimumWidth(width);
    return edit;
}

TBtnPesquisa* NewLookupButton(QWidget* parent, const char* name, const QString& title, TDataSource* source,
                              const QString& emptyError, QWidget* associate) {
    auto* button = new TBtnPesquisa(parent);
    button->setObjectName(QLatin1String(name));
    button->SetTitle(title);
    button->SetHint(QStringLiteral("Pesquisar"));
    button->SetDataSource(source);
    button->SetEmptyError(emptyError);
    button->SetAssociate(associate);
    return button;
}

} // namespace kvo
