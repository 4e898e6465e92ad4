#include "Commands.h"

#include "Glyphs.h"
#include "Menus.h"
#include "StdControls.h"

#include <QAction>

TCommand::TCommand(TButtonFlat* button, TMenuItem* item)
    : QObject(button), m_button(button), m_item(item),
      m_enabled(!button->testAttribute(Qt::WA_ForceDisabled)) {
    button->m_command = this;
    item->m_command = this;
    item->OnClick = [this](QObject*) { Run(); };
    // A button a screen made itself gets its command's glyph; the menu item shows the same one.
    if (button->icon().isNull()) button->SetGlyph(kvo::CommandGlyph(button->objectName()));
    item->Action()->setIcon(button->icon());
    show();
}

TButtonFlat* TCommand::Button() const {
    return m_button;
}

TMenuItem* TCommand::Item() const {
    return m_item;
}

void TCommand::SetEnabled(bool on) {
    m_enabled = on;
    m_buttonAlone.reset();
    m_itemAlone.reset();
    show();
}

void TCommand::SetButtonAlone(bool on) {
    m_buttonAlone = on;
    show();
}

void TCommand::SetItemAlone(bool on) {
    m_itemAlone = on;
    show();
}

void TCommand::Run() {
    if (m_button) m_button->DoClick();
}

void TCommand::viewWrote(bool isButton, bool on) {
    if (m_showing || on == (isButton ? ButtonShows() : ItemShows())) return;
    SetEnabled(on);
}

void TCommand::show() {
    m_showing = true;
    if (m_button) m_button->setEnabled(ButtonShows());
    if (m_item) m_item->Action()->setEnabled(ItemShows());
    m_showing = false;
}
