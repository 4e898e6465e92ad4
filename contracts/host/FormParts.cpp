#include "host/FormParts.h"

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

} // namespace kvo
