#include "Menus.h"

#include "Commands.h"
#include "Dispatch.h"

TMenuItem::TMenuItem(const QString& caption, QObject* parent) : QObject(parent), m_action(new QAction(this)) {
    SetCaption(caption);
    m_action->setShortcutContext(Qt::WindowShortcut);
    connect(m_action, &QAction::triggered, this, [this] {
        // Qt toggles a checkable action itself; the check mark belongs to the screen's code.
        if (m_action->isCheckable()) m_action->setChecked(m_checked);
        kvo::Fire(OnClick, this);
    });
    // QAction's own setEnabled on a paired item still goes to the command.
    connect(m_action, &QAction::enabledChanged, this, [this](bool on) {
        if (m_command) m_command->viewWrote(false, on);
    });
}

void TMenuItem::SetEnabled(bool on) {
    if (m_command)
        m_command->SetEnabled(on);
    else
        m_action->setEnabled(on);
}

void TMenuItem::SetEnabledAlone(bool on) {
    if (m_command)
        m_command->SetItemAlone(on);
    else
        m_action->setEnabled(on);
}

TMenuItem::~TMenuItem() {
    delete m_menu;
}

void TMenuItem::SetCaption(const QString& caption) {
    const bool separator = caption == QLatin1String("-");
    m_action->setSeparator(separator);
    // A separator with a text is a section heading to Qt's styles, which draw the text.
    m_action->setText(separator ? QString() : caption);
}

void TMenuItem::SetChecked(bool on) {
    m_checked = on;
    m_action->setCheckable(true);
    m_action->setChecked(on);
}

void TMenuItem::Click() {
    if (m_action->isEnabled() && m_action->isVisible() && !m_action->isSeparator()) m_action->trigger();
}

TMenuItem* TMenuItem::Add(TMenuItem* item) {
    Insert(int(m_items.size()), item);
    return item;
}

TMenuItem* TMenuItem::AddSeparator(const QString& name) {
    auto* item = new TMenuItem(QStringLiteral("-"), this);
    item->setObjectName(name);
    return Add(item);
}

void TMenuItem::Insert(int index, TMenuItem* item) {
    if (!m_menu) {
        m_menu = new QMenu();
        m_menu->setTitle(m_action->text());
        m_action->setMenu(m_menu);
    }
    if (!item->parent()) item->setParent(this);
    QAction* before = index < m_items.size() ? m_items[index]->Action() : nullptr;
    m_menu->insertAction(before, item->Action());
    m_items.insert(index, item);
}

TMainMenu::TMainMenu(QWidget* parent) : QMenuBar(parent) {
    setNativeMenuBar(false);
}

TMenuItem* TMainMenu::Add(TMenuItem* item) {
    if (!item->parent()) item->setParent(this);
    addAction(item->Action());
    m_items.append(item);
    return item;
}

TPopupMenu::TPopupMenu(QWidget* parent) : QMenu(parent) {}

TMenuItem* TPopupMenu::Add(TMenuItem* item) {
    if (!item->parent()) item->setParent(this);
    addAction(item->Action());
    return item;
}

TCommand* TMenuItem::Command() const {
    return m_command;
}
