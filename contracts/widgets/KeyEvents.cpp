#include "KeyEvents.h"

#include "Dispatch.h"

#include <QKeyEvent>
#include <QWidget>

namespace kvo {

bool RunKeyHandlers(QWidget* sender, QKeyEvent* event, const TKeyEvent& onKeyDown,
                    const TKeyPressEvent& onKeyPress, const std::function<void(QKeyEvent*)>& base) {
    int key = event->key();
    QString text = event->text();
    if (onKeyDown) {
        if (!Dispatch([&] { onKeyDown(sender, key, event->modifiers()); }, {Pending::Drop}) || key == 0) {
            event->accept();
            return false;
        }
        if (key != event->key()) text.clear(); // a replaced key carries no character of its own
    }
    if (onKeyPress && text.size() == 1 && text.at(0).isPrint()) {
        QChar ch = text.at(0);
        if (!Dispatch([&] { onKeyPress(sender, ch); }, {Pending::Drop}) || ch.isNull()) {
            event->accept();
            return false;
        }
        text = QString(ch);
    }
    if (key == event->key() && text == event->text()) {
        base(event);
    } else {
        QKeyEvent replaced(event->type(), key, event->modifiers(), text, event->isAutoRepeat(),
                           event->count());
        base(&replaced);
        event->setAccepted(replaced.isAccepted());
    }
    return true;
}

} // namespace kvo
