#pragma once

#include "FrameworkExport.h"

#include <QObject>
#include <functional>
#include <utility>

namespace kvo {

// The single entry from Qt into handler code. Every signal, event, key, focus change and timer
// that runs screen code goes through here: EAbort is swallowed silently, any other exception is
// shown as an error through the host UI. Nothing propagates into Qt's event loop.
// Returns true when the handler ran to its end.
KVO_FRAMEWORK_EXPORT bool Dispatch(const std::function<void()>& handler);

// Shows a caught exception the way Dispatch does (EAbort stays silent). For code that must catch
// on its own, e.g. to restore state first, then report.
KVO_FRAMEWORK_EXPORT void ShowException(std::exception_ptr error);

// Connects a Qt signal to a handler that runs through Dispatch:
//   kvo::Connect(button, &QAbstractButton::clicked, this, [this] { sbtFecharClick(button); });
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection Connect(Sender* sender, Signal signal, const QObject* context, Handler handler) {
    return QObject::connect(sender, signal, context, [handler = std::move(handler)](auto&&... args) {
        Dispatch([&] { handler(std::forward<decltype(args)>(args)...); });
    });
}

// Calls an assignable event handler through Dispatch when one is assigned.
template <typename Fn, typename... Args> bool Fire(const std::function<Fn>& event, Args&&... args) {
    if (!event) return true;
    return Dispatch([&] { event(std::forward<Args>(args)...); });
}

} // namespace kvo
