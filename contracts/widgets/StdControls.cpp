#include "StdControls.h"

#include "Commands.h"
#include "Dispatch.h"

#include <QFocusEvent>
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

namespace {

// Keeps an edit's whole text selected from the moment it is entered until the user touches it:
// the code that moved the focus often fills the edit right after (a screen's activation, which
// may wait for the server meanwhile), and that text is the one the first keystroke replaces.
class AutoSelector : public QObject {
public:
    explicit AutoSelector(QLineEdit* edit) : QObject(edit), m_edit(edit) {
        setObjectName(QStringLiteral("kvoAutoSelector"));
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (m_armed && m_edit->hasFocus()) m_edit->selectAll();
        });
    }
    void arm() {
        m_armed = true;
        m_edit->selectAll();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::InputMethod:
        case QEvent::FocusOut:
            m_armed = false;
            break;
        default:
            break;
        }
        return false;
    }

private:
    QLineEdit* m_edit;
    bool m_armed = false;
};

} // namespace

void AutoSelect(QLineEdit* edit, const QFocusEvent* event) {
    switch (event->reason()) {
    case Qt::MouseFocusReason: // the press places the caret
    case Qt::PopupFocusReason:
    case Qt::MenuBarFocusReason:
        return;
    case Qt::ActiveWindowFocusReason:
        if (edit->isModified()) return;
        break;
    default:
        break;
    }
    // Found by name: the helper has no meta-object of its own for qobject_cast.
    QObject* found = edit->findChild<QObject*>(QStringLiteral("kvoAutoSelector"), Qt::FindDirectChildrenOnly);
    auto* selector = found ? static_cast<AutoSelector*>(found) : new AutoSelector(edit);
    selector->arm();
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
    kvo::AutoSelect(this, event);
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

TCommand* TButtonFlat::Command() const {
    return m_command;
}

void TButtonFlat::SetEnabled(bool on) {
    if (m_command)
        m_command->SetEnabled(on);
    else
        setEnabled(on);
}

void TButtonFlat::SetEnabledAlone(bool on) {
    if (m_command)
        m_command->SetButtonAlone(on);
    else
        setEnabled(on);
}

void TButtonFlat::changeEvent(QEvent* event) {
    QToolButton::changeEvent(event);
    // Qt's setEnabled on a paired button still goes to the command; a parent's switch does not.
    if (event->type() == QEvent::EnabledChange && m_command)
        m_command->viewWrote(true, !testAttribute(Qt::WA_ForceDisabled));
}

void TButtonFlat::Click() {
    if (!isEnabled()) return;
    kvo::Dispatch([this] { DoClick(); }, {.owner = this});
}

void TButtonFlat::DoClick() {
    if (OnClick) OnClick(this);
}
