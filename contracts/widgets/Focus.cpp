#include "Focus.h"

#include "Dispatch.h"
#include "data/Exceptions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QHash>
#include <QMdiSubWindow>
#include <QTimer>

namespace {

QHash<const QWidget*, TFocusControl*>& registry() {
    static QHash<const QWidget*, TFocusControl*> controls;
    return controls;
}

// Containers of `w` (registered containers among its ancestors, below the form), innermost first.
QList<TFocusControl*> containersOf(QWidget* w, const TForm* form) {
    QList<TFocusControl*> result;
    for (QWidget* p = w ? w->parentWidget() : nullptr; p && p != form; p = p->parentWidget()) {
        TFocusControl* c = TFocusControl::find(p);
        if (c && c->IsContainer()) result.append(c);
    }
    return result;
}

bool holds(const TFocusControl* container, const QWidget* w) {
    return w && container->Widget()->isAncestorOf(w);
}

} // namespace

// Watches Qt's focus moves and hands them to the form they happen in.
class FocusWatcher : public QObject {
public:
    static void ensure() {
        static FocusWatcher* watcher = nullptr;
        if (!watcher && qApp) {
            watcher = new FocusWatcher(qApp);
            qApp->installEventFilter(watcher);
            QObject::connect(qApp, &QApplication::focusChanged, watcher, [](QWidget*, QWidget* now) {
                if (TForm* form = TForm::FormOf(now))
                    kvo::Dispatch(
                        [form, now = QPointer<QWidget>(now)] {
                            // Kept during a server call, it catches up with where the focus is then.
                            if (now && QApplication::focusWidget() == now)
                                form->qtFocusArrived(now);
                            else
                                form->SyncWithQtFocus();
                        },
                        {kvo::Pending::Latest, form, "focus"});
            });
        }
    }

protected:
    // A focused control disabled or hidden behind the model's back (plain setEnabled/hide): Qt
    // moves the focus itself only in the active window, so catch up once the change is complete.
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type t = event->type();
        if (t == QEvent::WindowStateChange || t == QEvent::Hide || t == QEvent::Show)
            if (TForm* form = framedForm(watched)) form->windowChanging(t == QEvent::WindowStateChange);
        if ((t == QEvent::EnabledChange || t == QEvent::Hide) && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            if (TForm* form = TForm::FormOf(w); form && form->FocusedControl() == w) {
                QPointer<QWidget> control(w);
                QPointer<TForm> owner(form);
                QMetaObject::invokeMethod(
                    form,
                    [control, owner] {
                        kvo::Dispatch(
                            [control, owner] {
                                if (control && owner && owner->FocusedControl() == control &&
                                    (!control->isEnabled() || !control->isVisibleTo(owner)))
                                    owner->controlDisabled(control);
                            },
                            {.owner = owner});
                    },
                    Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    using QObject::QObject;

    // The form whose window `watched` is: the form itself or the MDI frame holding it.
    static TForm* framedForm(QObject* watched) {
        if (auto* form = qobject_cast<TForm*>(watched)) return form;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(watched)) return qobject_cast<TForm*>(sub->widget());
        return nullptr;
    }
};

// ---------------------------------------------------------------- TFocusControl

TFocusControl::TFocusControl(QWidget* self, Role role) : m_self(self), m_role(role) {
    registry().insert(self, this);
    if (role == Control && self->focusPolicy() == Qt::NoFocus) self->setFocusPolicy(Qt::StrongFocus);
}

TFocusControl::~TFocusControl() {
    registry().remove(m_self);
}

TFocusControl* TFocusControl::find(const QWidget* widget) {
    return registry().value(widget, nullptr);
}

TForm* TFocusControl::Form() const {
    return TForm::FormOf(m_self);
}

bool TFocusControl::Enabled() const {
    return !m_self->testAttribute(Qt::WA_ForceDisabled);
}

void TFocusControl::SetEnabled(bool on) {
    m_self->setEnabled(on);
    if (!on)
        if (TForm* form = Form()) form->controlDisabled(m_self);
}

bool TFocusControl::Visible() const {
    return !m_self->isHidden();
}

void TFocusControl::SetVisible(bool on) {
    m_self->setVisible(on);
}

bool TFocusControl::CanFocus() const {
    TForm* form = Form();
    if (!m_self->isEnabled()) return false;
    // Not yet shown forms still allow SetFocus on controls that will be visible.
    return form ? m_self->isVisibleTo(form) : !m_self->isHidden();
}

void TFocusControl::SetFocus() {
    if (!CanFocus())
        throw Exception(QStringLiteral("Não é possível focar um controle desabilitado ou invisível."));
    TForm* form = Form();
    if (!form) {
        m_self->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (std::exception_ptr err = form->MoveFocus(m_self)) std::rethrow_exception(err);
}

void TFocusControl::TrySetFocus() noexcept {
    try {
        if (CanFocus()) SetFocus();
    } catch (...) {
    }
}

bool TFocusControl::Focused() const {
    TForm* form = Form();
    QWidget* current = form ? form->FocusedControl() : nullptr;
    if (!current) return m_self->hasFocus();
    return current == m_self || (IsContainer() && m_self->isAncestorOf(current));
}

void TFocusControl::DoEnter() {
    if (OnEnter) OnEnter(m_self);
}

void TFocusControl::DoExit() {
    if (OnExit) OnExit(m_self);
}

// ---------------------------------------------------------------- TForm

TForm::TForm(QWidget* parent) : QWidget(parent) {
    FocusWatcher::ensure();
}

TForm::~TForm() = default;

TForm* TForm::FormOf(const QWidget* widget) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (auto* form = qobject_cast<TForm*>(const_cast<QWidget*>(w))) return form;
        if (w->isWindow()) return nullptr;
    }
    return nullptr;
}

QWidget* TForm::ControlOf(QWidget* widget) const {
    for (QWidget* w = widget; w && w != this; w = w->parentWidget()) {
        TFocusControl* c = TFocusControl::find(w);
        if (c && !c->IsContainer()) return w;
    }
    return widget == this ? nullptr : widget;
}

void TForm::SetActiveControl(QWidget* control) {
    if (!control) return;
    if (TFocusControl* c = TFocusControl::find(control)) {
        c->SetFocus();
        return;
    }
    if (std::exception_ptr err = MoveFocus(control)) std::rethrow_exception(err);
}

QWidget* TForm::NextControl(QWidget* from, bool forward) const {
    QWidget* start = from ? from : const_cast<TForm*>(this);
    QWidget* fromControl = from ? ControlOf(from) : nullptr;
    QWidget* w = start;
    for (int guard = 0; guard < 100000; ++guard) {
        w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        if (!w || w == start) return nullptr;
        if (!isAncestorOf(w) || !w->isEnabled() || !w->isVisibleTo(this) || w->focusProxy()) continue;
        if (!(w->focusPolicy() & Qt::TabFocus)) continue;
        QWidget* c = ControlOf(w);
        if (c && c != fromControl) return c;
    }
    return nullptr;
}

QWidget* TForm::FirstControlIn(QWidget* container) const {
    QWidget* w = container;
    for (int guard = 0; guard < 100000; ++guard) {
        w = w->nextInFocusChain();
        if (!w || w == container) return nullptr;
        if (!container->isAncestorOf(w) || !w->isEnabled() || !w->isVisibleTo(this) || w->focusProxy())
            continue;
        if (w->focusPolicy() & Qt::TabFocus) return ControlOf(w);
    }
    return nullptr;
}

void TForm::WithoutFocusTracking(const std::function<void()>& change) {
    const bool was = m_busy;
    m_busy = true;
    try {
        change();
    } catch (...) {
        m_busy = was;
        throw;
    }
    m_busy = was;
}

void TForm::SyncWithQtFocus() {
    QWidget* w = QApplication::focusWidget();
    if (w && FormOf(w) == this) qtFocusArrived(w);
}

void TForm::placeQtFocus(QWidget* control, Qt::FocusReason reason) {
    if (!control) return;
    const bool was = m_busy;
    m_busy = true;
    if (!control->hasFocus() && !control->isAncestorOf(QApplication::focusWidget()))
        control->setFocus(reason);
    m_busy = was;
}

std::exception_ptr TForm::MoveFocus(QWidget* to) {
    to = ControlOf(to);
    if (!to) return nullptr;
    if (m_busy) {
        // A handler moving the focus while a sequence runs: it wins over the move in progress.
        m_redirect = to;
        m_active = to;
        placeQtFocus(to);
        return nullptr;
    }
    QWidget* from = m_current;
    if (from == to) {
        m_active = to;
        placeQtFocus(to);
        return nullptr;
    }

    m_busy = true;
    m_redirect = nullptr;
    m_active = to;

    // Exits: A, then its containers that do not hold B, innermost first.
    QList<TFocusControl*> exits;
    if (from) {
        if (TFocusControl* a = TFocusControl::find(from); a && !a->IsContainer()) exits.append(a);
        for (TFocusControl* c : containersOf(from, this))
            if (!holds(c, to)) exits.append(c);
    }
    std::exception_ptr failure;
    for (TFocusControl* x : exits) {
        try {
            x->DoExit();
        } catch (...) {
            failure = std::current_exception();
            break;
        }
    }

    QWidget* target = m_redirect ? m_redirect.data() : to;
    if (failure && !m_redirect) target = from;
    m_redirect = nullptr;
    if (target == from) {
        m_active = from;
        m_current = from;
        placeQtFocus(from);
        m_busy = false;
        return failure;
    }

    // Enters: the containers of the target that do not hold A, outermost first, then the target.
    m_active = target;
    QList<TFocusControl*> enters;
    const QList<TFocusControl*> outer = containersOf(target, this);
    for (auto it = outer.rbegin(); it != outer.rend(); ++it)
        if (!holds(*it, from)) enters.append(*it);
    if (TFocusControl* b = TFocusControl::find(target); b && !b->IsContainer()) enters.append(b);
    m_current = target;
    placeQtFocus(target);
    for (TFocusControl* x : enters) {
        try {
            x->DoEnter();
        } catch (...) {
            if (!failure) failure = std::current_exception();
            break;
        }
    }
    QPointer<QWidget> next = m_redirect;
    m_redirect = nullptr;
    m_busy = false;
    // An enter handler sent the focus on: run that move as its own sequence.
    if (next && next != m_current) {
        std::exception_ptr more = MoveFocus(next);
        if (!failure) failure = more;
    } else {
        placeQtFocus(m_current);
    }
    return failure;
}

QWidget* TForm::frame() const {
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) return sub;
    return window();
}

bool TForm::frameShown() const {
    const QWidget* f = frame();
    return isVisible() && f->isVisible() && !f->isMinimized();
}

void TForm::windowChanging(bool stateChange) {
    // A first show is where the focus starts, not a change of the window.
    if (m_windowChanging || (!stateChange && !m_current)) return;
    m_windowChanging = true;
    // Two hops, so that what the change itself posts (frame layouts, activation) is done first.
    QPointer<TForm> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            QMetaObject::invokeMethod(
                self,
                [self] {
                    if (self) self->windowSettled();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void TForm::windowSettled() {
    m_windowChanging = false;
    if (!frameShown()) return; // still minimised or hidden: settles when it comes back
    QWidget* focus = QApplication::focusWidget();
    const bool ours = focus ? focus == frame() || isAncestorOf(focus) : isActiveWindow();
    if (!ours) return;
    if (m_current && TFocusControl::find(m_current) && !TFocusControl::find(m_current)->CanFocus()) {
        // The control that had the focus went away meanwhile: where Qt put it is a real move.
        if (focus && isAncestorOf(focus)) qtFocusArrived(focus);
        return;
    }
    if (!m_current) {
        if (focus && isAncestorOf(focus)) qtFocusArrived(focus);
        return;
    }
    // Back to the control that had the focus, without a move between controls.
    placeQtFocus(m_current, Qt::ActiveWindowFocusReason);
}

void TForm::qtFocusArrived(QWidget* widget) {
    if (m_busy) return;
    // Minimising, maximising, restoring or hiding the window moves Qt's focus around; that is no
    // move between the form's controls (windowSettled puts it back).
    if (m_windowChanging || !frameShown()) return;
    // Widgets that only take the focus for a moment on their own (the menu bar while it is
    // navigated by keyboard) are not a move of the focus between controls.
    if (widget->focusPolicy() == Qt::NoFocus && !TFocusControl::find(ControlOf(widget))) return;
    QWidget* control = ControlOf(widget);
    if (!control || control == m_current) return;
    if (std::exception_ptr err = MoveFocus(control)) kvo::ShowException(err);
}

void TForm::controlDisabled(QWidget* control) {
    if (m_busy || !m_current) return;
    if (m_current != control && !control->isAncestorOf(m_current)) return;
    QWidget* next = NextControl(m_current);
    if (next && next != m_current.data())
        if (std::exception_ptr err = MoveFocus(next)) kvo::ShowException(err);
}

void TForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (OnShow) kvo::Dispatch([this] { OnShow(this); }, {.owner = this});
}

void TForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && OnActivate)
        kvo::Dispatch([this] { OnActivate(this); }, {kvo::Pending::Latest, this, "activate"});
}

void TForm::closeEvent(QCloseEvent* event) {
    int action = caHide;
    // Refused while a server call is in flight: the person closes again once it has returned.
    if (OnClose && !kvo::Dispatch([&] { OnClose(this, action); }, {kvo::Pending::Drop})) action = caNone;
    if (action == caNone) {
        event->ignore();
        return;
    }
    event->accept();
    if (m_inModal && m_modalResult == 0) m_modalResult = 2; // mrCancel
    if (action == caFree) deleteLater();
}

int TForm::ShowModal() {
    m_modalResult = 0;
    setWindowModality(Qt::ApplicationModal);
    if (!isWindow()) setWindowFlag(Qt::Dialog, true);
    QEventLoop loop;
    m_loop = &loop;
    m_inModal = true;
    show();
    if (isVisible()) loop.exec();
    m_loop = nullptr;
    m_inModal = false;
    if (isVisible()) hide();
    if (m_modalResult == 0) m_modalResult = 2; // mrCancel
    return m_modalResult;
}

void TForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (m_loop) m_loop->quit();
}

void TForm::SetModalResult(int result) {
    m_modalResult = result;
    if (m_inModal && result != 0) hide();
}

void TForm::Close() {
    close();
}
