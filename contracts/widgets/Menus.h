#pragma once

#include "FrameworkExport.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <functional>

class TCommand;

// A menu item (prefix mnu): caption with & mnemonic, shortcut, Enabled, Checked, Visible and a
// click through the dispatcher. A caption "-" makes a separator. Adding items makes it a submenu.
// Checked is only changed by code: a click does not toggle it. Paired with a tool button it shows
// their command (Commands.h): Enabled is then the command's, written for both views.
class KVO_FRAMEWORK_EXPORT TMenuItem : public QObject {
    Q_OBJECT
public:
    explicit TMenuItem(const QString& caption = QString(), QObject* parent = nullptr);
    ~TMenuItem() override;

    QString Caption() const { return IsSeparator() ? QStringLiteral("-") : m_action->text(); }
    void SetCaption(const QString& caption);
    bool Enabled() const { return m_action->isEnabled(); }
    void SetEnabled(bool on);
    // This item alone, its button unchanged (see TCommand).
    void SetEnabledAlone(bool on);
    TCommand* Command() const;
    bool Checked() const { return m_checked; }
    void SetChecked(bool on);
    bool Visible() const { return m_action->isVisible(); }
    void SetVisible(bool on) { m_action->setVisible(on); }
    QKeySequence ShortCut() const { return m_action->shortcut(); }
    void SetShortCut(const QKeySequence& keys) { m_action->setShortcut(keys); }
    QString Hint() const { return m_action->statusTip(); }
    void SetHint(const QString& hint) { m_action->setStatusTip(hint); }
    bool IsSeparator() const { return m_action->isSeparator(); }

    // A click as by a person: nothing when disabled or hidden.
    void Click();

    // Submenu
    TMenuItem* Add(TMenuItem* item);
    TMenuItem* AddSeparator(const QString& name = QString());
    void Insert(int index, TMenuItem* item);
    int Count() const { return int(m_items.size()); }
    TMenuItem* Items(int index) const { return m_items.value(index); }
    int IndexOf(TMenuItem* item) const { return int(m_items.indexOf(item)); }
    QMenu* Menu() const { return m_menu; }
    QAction* Action() const { return m_action; }

    std::function<void(QObject* Sender)> OnClick;

private:
    friend class TCommand;
    QAction* m_action;
    QPointer<TCommand> m_command;
    QMenu* m_menu = nullptr;
    QList<TMenuItem*> m_items;
    bool m_checked = false;
};

// The menu bar of a form; its items' shortcuts work while the form's window is active.
class KVO_FRAMEWORK_EXPORT TMainMenu : public QMenuBar {
    Q_OBJECT
public:
    explicit TMainMenu(QWidget* parent = nullptr);
    TMenuItem* Add(TMenuItem* item);
    int Count() const { return int(m_items.size()); }
    TMenuItem* Items(int index) const { return m_items.value(index); }

private:
    QList<TMenuItem*> m_items;
};

// A context menu.
class KVO_FRAMEWORK_EXPORT TPopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit TPopupMenu(QWidget* parent = nullptr);
    TMenuItem* Add(TMenuItem* item);
    void Popup(const QPoint& globalPos) { popup(globalPos); }
};
