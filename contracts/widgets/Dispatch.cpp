#include "Dispatch.h"

#include "HostUi.h"
#include "data/Exceptions.h"

#include <QCoreApplication>
#include <QDebug>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

namespace kvo {

namespace {

void report(const QString& text) {
    try {
        Ui().ShowError(text);
    } catch (...) {
        // The error window itself failed: nothing better is left than the console.
        qWarning().noquote() << "Error not shown:" << text;
    }
}

struct Kept {
    std::function<void()> handler;
    QPointer<QObject> owner;
    bool owned = false;
    const QObject* ownerKey = nullptr;
    const char* kind = nullptr;
};

// Windows do not repaint during the first moments of a server call: most calls answer within
// them, and a repaint in the middle of one only shows the screen half-updated and costs as much as
// the one that follows the call. The held windows repaint once the call ends, or as soon as it has
// run for HoldMs, so a long call still shows its progress.
class RepaintHold : public QObject {
public:
    static constexpr int HoldMs = 150;
    RepaintHold() {
        QCoreApplication::instance()->installEventFilter(this);
        QTimer::singleShot(HoldMs, this, [this] { release(); });
    }
    ~RepaintHold() override { release(); }
    void release() {
        if (m_released) return;
        m_released = true;
        QCoreApplication::instance()->removeEventFilter(this);
        for (const QPointer<QObject>& w : m_held)
            if (w) QCoreApplication::postEvent(w, new QEvent(QEvent::UpdateRequest), Qt::LowEventPriority);
        m_held.clear();
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* e) override {
        if (m_released || e->type() != QEvent::UpdateRequest || !receiver->isWidgetType()) return false;
        if (std::none_of(m_held.begin(), m_held.end(),
                         [receiver](const QPointer<QObject>& w) { return w == receiver; }))
            m_held.emplace_back(receiver);
        return true;
    }

private:
    bool m_released = false;
    std::vector<QPointer<QObject>> m_held;
};

// Everything here lives on the GUI thread, like the handlers themselves.
struct Gate {
    int calls = 0; // server calls in flight
    int depth = 0; // handlers running
    bool flushPosted = false;
    std::deque<Kept> kept;
    std::unique_ptr<RepaintHold> repaints; // while calls > 0
};

Gate& gate() {
    static Gate g;
    return g;
}

bool sameKind(const char* a, const char* b) {
    return a == b || (a && b && std::strcmp(a, b) == 0);
}

void runKept();

void postFlush() {
    Gate& g = gate();
    if (g.flushPosted || g.kept.empty() || g.calls > 0 || !QCoreApplication::instance()) return;
    g.flushPosted = true;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            gate().flushPosted = false;
            // A handler still running reposts when it returns.
            if (gate().depth == 0) runKept();
        },
        Qt::QueuedConnection);
}

bool run(const std::function<void()>& handler) {
    Gate& g = gate();
    ++g.depth;
    std::exception_ptr failure;
    try {
        handler();
    } catch (...) {
        failure = std::current_exception();
    }
    --g.depth;
    if (failure) ShowException(failure);
    if (g.depth == 0) postFlush();
    return !failure;
}

void runKept() {
    Gate& g = gate();
    while (g.calls == 0 && !g.kept.empty()) {
        Kept k = std::move(g.kept.front());
        g.kept.pop_front();
        if (k.owned && !k.owner) continue;
        run(k.handler);
    }
}

void keep(std::function<void()> handler, const TEntry& entry) {
    Gate& g = gate();
    if (entry.pending == Pending::Drop) return;
    if (entry.pending == Pending::Latest)
        std::erase_if(
            g.kept, [&](const Kept& k) { return k.ownerKey == entry.owner && sameKind(k.kind, entry.kind); });
    Kept k;
    k.handler = std::move(handler);
    k.owner = const_cast<QObject*>(entry.owner);
    k.owned = entry.owner != nullptr;
    k.ownerKey = entry.owner;
    k.kind = entry.kind;
    g.kept.push_back(std::move(k));
}

} // namespace

void ShowException(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const EAbort&) {
    } catch (const Exception& e) {
        report(e.Message());
    } catch (const std::exception& e) {
        report(QString::fromUtf8(e.what()));
    } catch (...) {
        report(QStringLiteral("Erro inesperado."));
    }
}

bool Dispatch(std::function<void()> handler, TEntry entry) {
    if (!handler) return true;
    Gate& g = gate();
    if (g.calls > 0) {
        keep(std::move(handler), entry);
        return false;
    }
    // From the event loop while kept entries still wait: they arrived first.
    if (g.depth == 0 && !g.kept.empty()) runKept();
    return run(handler);
}

TServerCallScope::TServerCallScope() {
    if (++gate().calls == 1 && QCoreApplication::instance())
        gate().repaints = std::make_unique<RepaintHold>();
}

TServerCallScope::~TServerCallScope() {
    if (--gate().calls > 0) return;
    gate().repaints.reset();
    postFlush();
}

bool ServerCallInFlight() {
    return gate().calls > 0;
}

} // namespace kvo
