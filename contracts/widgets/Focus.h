#pragma once

#include "FrameworkExport.h"

#include <QPointer>
#include <QWidget>
#include <exception>
#include <functional>

class TForm;

// The focus model: OnEnter/OnExit for controls and containers, in this order when the focus
// moves from A to B:
//   the form's ActiveControl becomes B;
//   OnExit of A, then of each container of A that does not hold B, innermost first;
//   OnEnter of each container of B that does not hold A, outermost first, then of B.
// A throw from an exit handler skips the remaining exits and all enters, and the focus stays on
// (returns to) A unless the handler itself put the focus elsewhere. A move started by a person
// (click, Tab) reports the failure through kvo::ShowException (EAbort silent); SetFocus() from
// code runs the same sequence and rethrows to its caller. Minimising, maximising, restoring or
// hiding the form's window is no move: the focus stays with its control, no handler fires.
//
// Joining the model: derive the widget from TFocusControl as well and pass `this`:
//   class TMyEdit : public QLineEdit, public TFocusControl {
//   public:
//       explicit TMyEdit(QWidget* parent = nullptr) : QLineEdit(parent), TFocusControl(this) {}
//   };
// Qt focus on the widget or on any widget inside it counts as focus on the control (cell editors,
// inner line edits). Containers pass TFocusControl::Container. To act around the handlers (e.g.
// cancel an untouched insert before OnExit) override DoExit/DoEnter and call the base to fire
// the event; a throw from DoExit vetoes the move like a throw from OnExit. Use SetEnabled (not
// QWidget::setEnabled) so that disabling the focused control moves the focus on.
class KVO_FRAMEWORK_EXPORT TFocusControl {
public:
    enum Role { Control, Container };
    using TNotifyEvent = std::function<void(QObject* Sender)>;

    explicit TFocusControl(QWidget* self, Role role = Control);
    virtual ~TFocusControl();
    TFocusControl(const TFocusControl&) = delete;
    TFocusControl& operator=(const TFocusControl&) = delete;

    TNotifyEvent OnEnter, OnExit;

    QWidget* Widget() const { return m_self; }
    bool IsContainer() const { return m_role == Container; }
    TForm* Form() const;

    // The control's own flag (a control inside a disabled panel keeps its own Enabled true).
    bool Enabled() const;
    virtual void SetEnabled(bool on);
    bool Visible() const;
    void SetVisible(bool on);
    // Enabled and visible up to its form, so that it can take the focus.
    bool CanFocus() const;
    // Runs the focus sequence towards this control; throws when it cannot take the focus or when
    // an exit handler vetoes the move.
    void SetFocus();
    // SetFocus on a failure path, where the original error is what the user must see: nothing when
    // the control cannot take the focus, and a vetoed move is not reported again.
    void TrySetFocus() noexcept;
    // For a control: it holds the focus. For a container: the focused control is inside it.
    bool Focused() const;

    static TFocusControl* find(const QWidget* widget); // registered control of exactly this widget

protected:
    virtual void DoEnter();
    virtual void DoExit();

private:
    friend class TForm;
    QWidget* m_self;
    Role m_role;
};

// A screen or dialog: an MDI child, a top-level window or a modal dialog. Keeps the active
// control and runs the focus sequence for everything inside it.
class KVO_FRAMEWORK_EXPORT TForm : public QWidget {
    Q_OBJECT
public:
    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    // The control the focus is on or going to (it becomes B before the exit handlers run).
    QWidget* ActiveControl() const { return m_active; }
    void SetActiveControl(QWidget* control);
    // The control that holds the focus once the sequence has settled.
    QWidget* FocusedControl() const { return m_current; }

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& text) { setWindowTitle(text); }

    // Modal use: ShowModal returns the ModalResult set by a button or SetModalResult.
    int ShowModal();
    int ModalResult() const { return m_modalResult; }
    void SetModalResult(int result);
    void Close();

    std::function<void(QObject*Sender)> OnShow, OnActivate;
    // Action: caHide=1 (default), caFree=2, caNone=0 refuses.
    std::function<void(QObject* Sender, int& Action)> OnClose;

    // The control a person would reach by Tab from `from` (nullptr: the first one).
    QWidget* NextControl(QWidget* from, bool forward = true) const;

    // The first control inside `container` that Tab would reach (nullptr when none).
    QWidget* FirstControlIn(QWidget* container) const;

    // Runs `change` (e.g. a page switch that hides the focused control) without reacting to the
    // focus moves Qt makes meanwhile; the caller then moves the focus where it belongs.
    void WithoutFocusTracking(const std::function<void()>& change);
    // Re-reads where Qt's focus is after such a change and runs the sequence to it.
    void SyncWithQtFocus();

    // The focus sequence from the current control to `to`. Returns the failure of a handler.
    std::exception_ptr MoveFocus(QWidget* to);

    // Maps a focused Qt widget inside the form to the control it belongs to.
    QWidget* ControlOf(QWidget* widget) const;
    static TForm* FormOf(const QWidget* widget);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    friend class TFocusControl;
    friend class FocusWatcher;
    void qtFocusArrived(QWidget* widget);
    void placeQtFocus(QWidget* control, Qt::FocusReason reason = Qt::OtherFocusReason);
    void controlDisabled(QWidget* control);
    // The window whose states count (the MDI frame holding the form, or its own window), shown
    // and not minimised.
    QWidget* frame() const;
    bool frameShown() const;
    // Window-state changes: Qt's focus moves meanwhile are ignored; once settled the focus goes
    // back to the control that had it, no handler fired.
    void windowChanging(bool stateChange);
    void windowSettled();

    QPointer<QWidget> m_active, m_current, m_redirect;
    bool m_busy = false;
    bool m_windowChanging = false;
    bool m_inModal = false;
    class QEventLoop* m_loop = nullptr;
    int m_modalResult = 0;
};

enum TCloseAction { caNone = 0, caHide = 1, caFree = 2, caMinimize = 3 };
