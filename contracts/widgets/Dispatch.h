#pragma once

#include "FrameworkExport.h"

#include <QObject>
#include <functional>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kvo {

// The single entry from Qt into handler code. Every signal, event, key, focus change and timer
// that runs screen code goes through here: EAbort is swallowed silently, any other exception is
// shown as an error through the host UI. Nothing propagates into Qt's event loop.
//
// Server calls. A call to the application server waits in a nested event loop that takes no user
// input but still runs timers, queued calls, window activation and focus changes. While a call is
// in flight (a TServerCallScope is alive) no handler runs; what arrives is handled by its kind:
//   Queue   kept; runs after the call, in arrival order (the default).
//   Latest  kept, but only the newest of the entries with the same owner and kind: the one still
//           waiting is dropped and the new one goes to the end (a repeated timer tick, an
//           activation, a focus that moved twice: only the last one matters).
//   Drop    discarded (keys, clicks, close requests: they need an answer now; real input is held
//           back by the nested loop anyway and arrives after the call).
// A kept entry whose owner was destroyed meanwhile is dropped. Kept entries run from the event
// loop once the last call has returned and no handler is running any more (never inside the
// handler that made the call), each through Dispatch: an exception is shown and the next entry
// still runs; if one of them makes a server call, the others wait behind that call too. An entry
// from the event loop that arrives while kept ones still wait runs after them. A Dispatch from
// handler code itself (a handler firing an event synchronously) runs at once, as always.
//
// Dispatch returns true when the handler ran to its end; false when it failed, was kept or was
// dropped. A handler that may be kept is copied: it captures by value or by QPointer, never by
// reference; a handler that captures by reference passes Drop.
enum class Pending { Queue, Latest, Drop };

struct TEntry {
    Pending pending = Pending::Queue;
    const QObject* owner = nullptr; // destroyed before a kept entry runs: the entry is dropped
    const char* kind = nullptr;     // for Latest: entries of one owner and kind replace each other
};

KVO_FRAMEWORK_EXPORT bool Dispatch(std::function<void()> handler, TEntry entry = {});

// Shows a caught exception the way Dispatch does (EAbort stays silent). For code that must catch
// on its own, e.g. to restore state first, then report.
KVO_FRAMEWORK_EXPORT void ShowException(std::exception_ptr error);

// Marks a server call in flight for its lifetime; scopes nest.
class KVO_FRAMEWORK_EXPORT TServerCallScope {
public:
    TServerCallScope();
    ~TServerCallScope();
    TServerCallScope(const TServerCallScope&) = delete;
    TServerCallScope& operator=(const TServerCallScope&) = delete;
};
KVO_FRAMEWORK_EXPORT bool ServerCallInFlight();

namespace detail {
inline const QObject* senderOf() {
    return nullptr;
}
template <typename First, typename... Rest> const QObject* senderOf(const First& first, const Rest&...) {
    if constexpr (std::is_convertible_v<const First&, const QObject*>)
        return first;
    else
        return nullptr;
}
// Calls f with the longest leading part of the arguments it takes (a handler may ignore the
// signal's trailing arguments, as with QObject::connect).
template <typename F, typename Tuple, std::size_t... I>
void callWithLeading(const F& f, const Tuple& args, std::index_sequence<I...>) {
    if constexpr (std::is_invocable_v<const F&, const std::tuple_element_t<I, Tuple>&...>) {
        f(std::get<I>(args)...);
    } else {
        static_assert(sizeof...(I) > 0, "the handler takes none of the signal's arguments");
        callWithLeading(f, args, std::make_index_sequence<sizeof...(I) - 1>());
    }
}
} // namespace detail

// Connects a Qt signal to a handler that runs through Dispatch; the context owns the entry and
// the signal's arguments are copied:
//   kvo::Connect(button, &QAbstractButton::clicked, this, [this] { sbtFecharClick(button); });
//   kvo::Connect(timer, &QTimer::timeout, this, [this] { tick(); }, {kvo::Pending::Latest});
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection Connect(Sender* sender, Signal signal, const QObject* context, Handler handler,
                                TEntry entry = {}) {
    if (!entry.owner) entry.owner = context;
    return QObject::connect(
        sender, signal, context, [handler = std::move(handler), entry](const auto&... args) {
            Dispatch(
                [handler, saved = std::make_tuple(args...)] {
                    detail::callWithLeading(handler, saved, std::make_index_sequence<sizeof...(args)>());
                },
                entry);
        });
}

// Calls an assignable event handler through Dispatch when one is assigned. The arguments are
// copied (an event that answers through a reference parameter calls Dispatch itself, with Drop);
// a QObject sender as first argument owns the entry.
template <typename Fn, typename... Args> bool Fire(const std::function<Fn>& event, Args&&... args) {
    if (!event) return true;
    const TEntry entry{Pending::Queue, detail::senderOf(args...)};
    return Dispatch([event, ... args = std::decay_t<Args>(std::forward<Args>(args))] { event(args...); },
                    entry);
}

} // namespace kvo
