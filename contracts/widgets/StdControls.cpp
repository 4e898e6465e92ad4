#include "StdControls.h"

#include "Dispatch.h"

#include <QKeyEvent>
#include <QTimer>

namespace kvo {

void SetBackground(QWidget* w, const QColor& color, QPalette::ColorRole role) {
    QPalette p = w->palette();
    p.setColor(QPalette::Active, role, color);
    p.setColor(QPalette::Inactive, role, color);
    p.setColor(QPalette::Disabled, role, color);
    w->setPalette(p);
}

void SetTextColor(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(QPalette::Active, QPalette::Text, color);
    p.setColor(QPalette::Inactive, QPalette::Text, color);
    w->setPalette(p);
}

void SetBold(QWidget* w, bool bold) {
    QFont f = w->font();
    f.setBold(bold);
    w->setFont(f);
}

void SetChildrenEnabled(QWidget* container, bool on) {
    const auto children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (child->isWindow()) continue;
        if (TFocusControl* c = TFocusControl::find(child))
            c->SetEnabled(on);
        else
            child->setEnabled(on);
    }
}

} // namespace kvo

// ---------------------------------------------------------------- TLabel

TLabel::TLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {}

void TLabel::SetFontColor(const QColor& color) {
    QPalette p = palette();
    p.setColor(QPalette::Active, QPalette::WindowText, color);
    p.setColor(QPalette::Inactive, QPalette::WindowText, color);
    setPalette(p);
}

// ---------------------------------------------------------------- TEdit

TEdit::TEdit(QWidget* parent) : QLineEdit(parent), TFocusControl(this) {
    connect(this, &QLineEdit::textChanged, this, [this] { kvo::Fire(OnChange, this); });
}

void TEdit::SetText(const QString& text) {
    if (text != this->text()) setText(text);
}

void TEdit::SetMaxLength(int chars) {
    m_maxLength = chars;
    setMaxLength(chars > 0 ? chars : 32767);
}

void TEdit::SetColor(const QColor& color) {
    m_color = color;
    kvo::SetBackground(this, color, QPalette::Base);
}

void TEdit::SetFontColor(const QColor& color) {
    kvo::SetTextColor(this, color);
}

void TEdit::SetTabStop(bool on) {
    setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus);
}

void TEdit::keyPressEvent(QKeyEvent* event) {
    kvo::RunKeyHandlers(this, event, OnKeyDown, OnKeyPress,
                        [this](QKeyEvent* e) { QLineEdit::keyPressEvent(e); });
}

void TEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    // Entering by keyboard selects the whole text, as edits of the classic desktop do.
    if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) selectAll();
}

// ---------------------------------------------------------------- TRadioButton

TRadioButton::TRadioButton(const QString& caption, QWidget* parent)
    : QRadioButton(caption, parent), TFocusControl(this) {
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (!m_settingFromCode) kvo::Fire(OnClick, this);
    });
}

void TRadioButton::SetChecked(bool on) {
    if (on == isChecked()) return;
    m_settingFromCode = true;
    setChecked(on);
    m_settingFromCode = false;
    if (on && OnClick) OnClick(this); // from code: failures go to the caller
}

void TRadioButton::keyPressEvent(QKeyEvent* event) {
    kvo::RunKeyHandlers(this, event, OnKeyDown, OnKeyPress,
                        [this](QKeyEvent* e) { QRadioButton::keyPressEvent(e); });
}

// ---------------------------------------------------------------- containers

TGroupBox::TGroupBox(const QString& caption, QWidget* parent)
    : QGroupBox(caption, parent), TFocusControl(this, Container) {}

TPanel::TPanel(QWidget* parent) : QFrame(parent), TFocusControl(this, Container) {
    SetBevel(bvNone);
}

void TPanel::SetBevel(TBevel bevel) {
    switch (bevel) {
    case bvNone:
        setFrameStyle(QFrame::NoFrame);
        break;
    case bvLowered:
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        break;
    case bvRaised:
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        break;
    }
}

void TPanel::SetColor(const QColor& color) {
    kvo::SetBackground(this, color, QPalette::Window);
    setAutoFillBackground(true);
}

void TPanel::SetChildEnabled(bool on) {
    kvo::SetChildrenEnabled(this, on);
}

TSplitter::TSplitter(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent) {
    setChildrenCollapsible(false);
    setHandleWidth(5);
}

// ---------------------------------------------------------------- TButtonFlat

TButtonFlat::TButtonFlat(QWidget* parent) : QToolButton(parent) {
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(20, 20));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Qt's clicked only fires when enabled; the handler runs once the press has been released.
    connect(this, &QAbstractButton::clicked, this,
            [this] { kvo::Dispatch([this] { DoClick(); }, {.owner = this}); });
}

void TButtonFlat::SetCaption(const QString& caption) {
    setText(caption);
    setToolButtonStyle(caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextBesideIcon);
}

void TButtonFlat::Click() {
    if (!isEnabled()) return;
    kvo::Dispatch([this] { DoClick(); }, {.owner = this});
}

void TButtonFlat::DoClick() {
    if (OnClick) OnClick(this);
}
