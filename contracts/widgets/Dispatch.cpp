#include "Dispatch.h"

#include "HostUi.h"
#include "data/Exceptions.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <cstring>
#include <deque>

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

// Everything here lives on the GUI thread, like the handlers themselves.
struct Gate {
    int calls = 0; // server calls in flight
    int depth = 0; // handlers running
    bool flushPosted = false;
    std::deque<Kept> kept;
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
    ++gate().calls;
}

TServerCallScope::~TServerCallScope() {
    if (--gate().calls == 0) postFlush();
}

bool ServerCallInFlight() {
    return gate().calls > 0;
}

} // namespace kvo
