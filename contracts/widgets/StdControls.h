#pragma once

#include "FrameworkExport.h"

#include "Focus.h"
#include "Graphics.h"
#include "KeyEvents.h"

#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSplitter>
#include <QToolButton>

// Colour and font helpers shared by the controls.
namespace kvo {
KVO_FRAMEWORK_EXPORT void SetBackground(QWidget* w, const QColor& color,
                                        QPalette::ColorRole role = QPalette::Base);
KVO_FRAMEWORK_EXPORT void SetTextColor(QWidget* w, const QColor& color); // typed text, focused or not
KVO_FRAMEWORK_EXPORT void SetBold(QWidget* w, bool bold);
// The classic edits' auto-select, called from an edit's focusInEvent: entered other than by a
// mouse click (code, Tab, a label's mnemonic, its window's activation) the edit selects its whole
// text, and keeps it selected when code fills it before the user touches it. Coming back from a
// menu or popup, or to text the user has typed, the caret stays where it was.
KVO_FRAMEWORK_EXPORT void AutoSelect(QLineEdit* edit, const QFocusEvent* event);
} // namespace kvo

// A caption. Not focusable; Enabled greys it.
class KVO_FRAMEWORK_EXPORT TLabel : public QLabel {
    Q_OBJECT
public:
    explicit TLabel(const QString& caption = QString(), QWidget* parent = nullptr);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }
    QString Text() const { return text(); }
    void SetText(const QString& caption) { setText(caption); }
    bool Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }
    void SetEnabled(bool on) { setEnabled(on); }
    void SetBold(bool bold) { kvo::SetBold(this, bold); }
    void SetColor(const QColor& color) {
        kvo::SetBackground(this, color, QPalette::Window);
        setAutoFillBackground(true);
    }
    void SetFontColor(const QColor& color);
};

// A one-line edit. OnChange fires for every text change, typed or set from code (only when the
// text really changes).
class KVO_FRAMEWORK_EXPORT TEdit : public QLineEdit, public TFocusControl {
    Q_OBJECT
public:
    explicit TEdit(QWidget* parent = nullptr);

    QString Text() const { return text(); }
    virtual void SetText(const QString& text);
    bool ReadOnly() const { return isReadOnly(); }
    void SetReadOnly(bool on) { setReadOnly(on); }
    int MaxLength() const { return m_maxLength; }
    void SetMaxLength(int chars);
    QColor Color() const { return m_color; }
    void SetColor(const QColor& color);
    void SetFontColor(const QColor& color);
    void SetBold(bool bold) { kvo::SetBold(this, bold); }
    // Without a tab stop the edit is skipped by Tab but can still be clicked.
    void SetTabStop(bool on);
    bool TabStop() const { return focusPolicy() & Qt::TabFocus; }
    void SelectAll() { selectAll(); }

    TNotifyEvent OnChange;
    kvo::TKeyEvent OnKeyDown;
    kvo::TKeyPressEvent OnKeyPress;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QColor m_color = clWindow;
    int m_maxLength = 0;
};

// A radio button; siblings in one container exclude each other. OnClick fires when a person
// selects it and when Checked is set to true from code (as the screens expect).
class KVO_FRAMEWORK_EXPORT TRadioButton : public QRadioButton, public TFocusControl {
    Q_OBJECT
public:
    explicit TRadioButton(const QString& caption = QString(), QWidget* parent = nullptr);
    bool Checked() const { return isChecked(); }
    void SetChecked(bool on);
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption) { setText(caption); }

    TNotifyEvent OnClick;
    kvo::TKeyEvent OnKeyDown;
    kvo::TKeyPressEvent OnKeyPress;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_settingFromCode = false;
};

// A framed group with a caption; a container of the focus model.
class KVO_FRAMEWORK_EXPORT TGroupBox : public QGroupBox, public TFocusControl {
    Q_OBJECT
public:
    explicit TGroupBox(const QString& caption = QString(), QWidget* parent = nullptr);
    QString Caption() const { return title(); }
    void SetCaption(const QString& caption) { setTitle(caption); }
};

// A plain panel; a container of the focus model.
class KVO_FRAMEWORK_EXPORT TPanel : public QFrame, public TFocusControl {
    Q_OBJECT
public:
    enum TBevel { bvNone, bvLowered, bvRaised };
    explicit TPanel(QWidget* parent = nullptr);
    void SetBevel(TBevel bevel);
    void SetColor(const QColor& color);
    // Enables or disables every control inside the panel, the panel itself unchanged.
    void SetChildEnabled(bool on);
};

// Enables or disables every control inside `container` (its own flag unchanged); a focused control
// that becomes disabled passes the focus on.
namespace kvo {
KVO_FRAMEWORK_EXPORT void SetChildrenEnabled(QWidget* container, bool on);
}

// A bar between two controls that a person drags to share the space.
class KVO_FRAMEWORK_EXPORT TSplitter : public QSplitter {
    Q_OBJECT
public:
    explicit TSplitter(Qt::Orientation orientation = Qt::Vertical, QWidget* parent = nullptr);
};

class TCommand;

// A flat tool button with a glyph and a hint; it never takes the focus (like the classic speed
// buttons, so the focused edit is not left when it is clicked). Paired with a menu item it shows
// their command (Commands.h): Enabled is then the command's, written for both views.
class KVO_FRAMEWORK_EXPORT TButtonFlat : public QToolButton {
    Q_OBJECT
public:
    explicit TButtonFlat(QWidget* parent = nullptr);
    bool Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }
    void SetEnabled(bool on);
    // This button alone, its menu item unchanged (see TCommand).
    void SetEnabledAlone(bool on);
    TCommand* Command() const;
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }
    void SetGlyph(const QIcon& glyph) { setIcon(glyph); }
    QString Caption() const { return text(); }
    void SetCaption(const QString& caption);
    bool Visible() const { return !isHidden(); }
    void SetVisible(bool on) { setVisible(on); }
    // A click as if by a person: nothing when disabled; runs OnClick through the dispatcher.
    virtual void Click();

    TFocusControl::TNotifyEvent OnClick;

protected:
    virtual void DoClick();
    void changeEvent(QEvent* event) override;

private:
    friend class TCommand;
    QPointer<TCommand> m_command;
};
