#include "Fixture.h"

#include "widgets/Commands.h"
#include "widgets/Focus.h"
#include "widgets/Menus.h"
#include "widgets/StdControls.h"
#include "widgets/TPageControl.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QTabBar>
#include <QTest>

namespace kvo::test {

bool ShowActive(QWidget* form) {
    QWidget* window = form->window();
    window->show();
    window->raise();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    const bool ok = QTest::qWaitForWindowActive(window, 3000);
    Settle();
    return ok;
}

void Settle() {
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

QWidget* FocusWidget() {
    return QApplication::focusWidget();
}

QWidget* FocusedControl(TForm* form) {
    return form ? form->FocusedControl() : nullptr;
}

void Click(QWidget* widget, QPoint pos) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos.isNull() ? widget->rect().center() : pos);
    Settle();
}

void Tab() {
    Press(Qt::Key_Tab);
}

void ShiftTab() {
    Press(Qt::Key_Tab, Qt::ShiftModifier);
}

void Type(const QString& text, QWidget* target) {
    QWidget* w = target ? target : FocusWidget();
    if (!w) return;
    QTest::keyClicks(w, text);
    Settle();
}

void Press(int key, Qt::KeyboardModifiers modifiers, QWidget* target) {
    QWidget* w = target ? target : FocusWidget();
    if (!w) return;
    QTest::keyClick(w, Qt::Key(key), modifiers);
    Settle();
}

void ClickButton(QAbstractButton* button) {
    Click(button);
}

void ClickMenu(TMenuItem* item) {
    item->Click();
    Settle();
}

void NoIconTheme() {
    QIcon::setThemeSearchPaths({});
    QIcon::setFallbackSearchPaths({});
    QIcon::setThemeName(QStringLiteral("kvo-sem-tema"));
}

QStringList CommandsWithoutGlyph(QWidget* screen) {
    QStringList missing;
    for (TButtonFlat* b : screen->findChildren<TButtonFlat*>()) {
        if (b->isHidden()) {
            if (!b->text().isEmpty()) missing << b->objectName() + QStringLiteral(" (oculto, com texto)");
            continue;
        }
        if (b->icon().isNull() || b->icon().pixmap(20).isNull()) missing << b->objectName();
        if (TCommand* c = b->Command(); c && c->Item() && c->Item()->Action()->icon().isNull())
            missing << c->Item()->objectName();
    }
    return missing;
}

QString BuiltHelpDir() {
    return qEnvironmentVariable("KVO_BIN_DIR") + QStringLiteral("/help");
}

void ClickTab(TPageControl* pages, int index) {
    QTabBar* bar = pages->tabBar();
    Click(bar, bar->tabRect(index).center());
}

} // namespace kvo::test
