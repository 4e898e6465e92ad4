#pragma once

#include "FrameworkExport.h"

#include <QChar>
#include <QObject>
#include <Qt>
#include <functional>

class QKeyEvent;
class QWidget;

namespace kvo {

// Key events of the controls. Key codes are Qt's (Qt::Key_F9, Qt::Key_Down...). OnKeyDown may
// swallow a key (Key = 0) or replace it; OnKeyPress runs for characters and may swallow (Key = 0)
// or replace them.
using TKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;
using TKeyPressEvent = std::function<void(QObject* Sender, QChar& Key)>;

// Runs OnKeyDown and OnKeyPress for a key event, through the dispatcher, and then `base` with the
// event as the handlers left it. Returns false when the key was swallowed (or a handler failed).
KVO_FRAMEWORK_EXPORT bool RunKeyHandlers(QWidget* sender, QKeyEvent* event, const TKeyEvent& onKeyDown,
                                         const TKeyPressEvent& onKeyPress,
                                         const std::function<void(QKeyEvent*)>& base);

} // namespace kvo
