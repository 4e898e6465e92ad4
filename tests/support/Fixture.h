#pragma once

// Helpers for screen and control tests: act on a shown form as a person would, through real
// Qt events in the offscreen platform. Answers to dialogs and what was shown: TestHostUi.

#include "TestHostUi.h"

#include <QPoint>
#include <QString>
#include <Qt>

class QAbstractButton;
class QWidget;
class TForm;
class TMenuItem;
class TPageControl;

namespace kvo::test {

// Shows the window of `form`, makes it the active window and waits until it is. False on timeout.
bool ShowActive(QWidget* form);
// Runs what is queued (posted events, zero timers).
void Settle();

// The widget holding Qt's focus, and the control of the focus model it belongs to.
QWidget* FocusWidget();
QWidget* FocusedControl(TForm* form);

// Mouse click at the widget's centre (or `pos`): gives the focus per the widget's policy.
void Click(QWidget* widget, QPoint pos = QPoint());
// Tab and Shift+Tab from the focused widget.
void Tab();
void ShiftTab();
// Keys to the focused widget (or `target`).
void Type(const QString& text, QWidget* target = nullptr);
void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QWidget* target = nullptr);
// A button click with the mouse (nothing happens on a disabled button, as for a person).
void ClickButton(QAbstractButton* button);
// A menu item chosen by a person: nothing when it is disabled.
void ClickMenu(TMenuItem* item);
// A person's click on the tab of page `index`.
void ClickTab(TPageControl* pages, int index);

// Icons looked up with no icon theme at all, as on a machine without one (before screens are built).
void NoIconTheme();
// The tool buttons of a screen that show no glyph, and its menu items without one; a hidden slot
// must show no text instead. Empty when every command has its glyph.
QStringList CommandsWithoutGlyph(QWidget* screen);
// The built help collection's folder, for F1 to find.
QString BuiltHelpDir();

} // namespace kvo::test
