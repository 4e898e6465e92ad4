#include "TBtnPesquisa.h"

#include "Dispatch.h"
#include "HostUi.h"
#include "data/TDataSource.h"

#include <QKeyEvent>
#include <QPainter>

namespace kvo {

QIcon LookupGlyph() {
    QPixmap pm(18, 18);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2C, 0x3E, 0x50), 2));
    p.setBrush(QColor(0xD6, 0xEA, 0xF8));
    p.drawEllipse(QRectF(2, 2, 10, 10));
    p.setPen(QPen(QColor(0x8E, 0x5A, 0x2B), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.5, 11.5), QPointF(16, 16));
    return QIcon(pm);
}

} // namespace kvo

TBtnPesquisa::TBtnPesquisa(QWidget* parent) : TButtonFlat(parent) {
    SetGlyph(kvo::LookupGlyph());
    SetHint(QStringLiteral("Pesquisar"));
    setAutoRaise(false);
    setFixedSize(24, 23);
}

TBtnPesquisa::~TBtnPesquisa() {
    if (m_associate) m_associate->removeEventFilter(this);
}

void TBtnPesquisa::SetAssociate(QWidget* control) {
    if (m_associate) {
        m_associate->removeEventFilter(this);
        for (QWidget* child : m_associate->findChildren<QWidget*>())
            child->removeEventFilter(this);
    }
    m_associate = control;
    if (control) {
        control->installEventFilter(this);
        // Composite controls (the date edit) take the keys in an inner widget.
        for (QWidget* child : control->findChildren<QWidget*>())
            child->installEventFilter(this);
    }
}

bool TBtnPesquisa::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F9 && key->modifiers() == Qt::NoModifier && isEnabled() && isVisible()) {
            Click();
            return true;
        }
    }
    return TButtonFlat::eventFilter(watched, event);
}

void TBtnPesquisa::DoClick() {
    if (OnClick) {
        OnClick(this);
        return;
    }
    if (m_associate) {
        TFocusControl* c = TFocusControl::find(m_associate);
        if (c && c->CanFocus() && !c->Focused())
            c->SetFocus(); // a vetoed exit of the current control keeps the list closed
    }
    bool allow = true;
    if (OnBeforePesq) OnBeforePesq(this, allow);
    if (!allow || !m_source) return;
    QString title = m_title;
    if (!m_emptyError.isEmpty()) title += QLatin1Char('|') + m_emptyError;
    if (::Pesquisar(m_source, title, false, true) && OnAfterPesq) OnAfterPesq(this);
}
