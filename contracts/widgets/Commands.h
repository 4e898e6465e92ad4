#pragma once

#include "FrameworkExport.h"

#include <QObject>
#include <QPointer>
#include <optional>

class TButtonFlat;
class TMenuItem;

// One screen command that a tool button and its menu item both show: a single enabled state and
// a single click (the button's OnClick, run by either view). Writing Enabled through either view
// (SetEnabled, or Qt's setEnabled on the button or on the item's action) writes the command, so
// the two never drift apart by accident. Where a screen switches one view and leaves the other as
// it was (the tool button off while its menu item keeps working), it says so with SetEnabledAlone
// on that view; both views show the command's state again at its next write.
class KVO_FRAMEWORK_EXPORT TCommand : public QObject {
    Q_OBJECT
public:
    // Takes the button's own enabled flag as the command's state; belongs to the button.
    TCommand(TButtonFlat* button, TMenuItem* item);

    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on);
    // One view switched alone; the other keeps what it shows.
    void SetButtonAlone(bool on);
    void SetItemAlone(bool on);
    bool ButtonShows() const { return m_buttonAlone.value_or(m_enabled); }
    bool ItemShows() const { return m_itemAlone.value_or(m_enabled); }
    bool Apart() const { return ButtonShows() != ItemShows(); }

    TButtonFlat* Button() const;
    TMenuItem* Item() const;
    // The click as the menu item runs it: the button's handler, whatever the button shows.
    void Run();

    // A view reports a write made behind the command's back (Qt's own setters).
    void viewWrote(bool isButton, bool on);

private:
    void show();

    QPointer<TButtonFlat> m_button;
    QPointer<TMenuItem> m_item;
    bool m_enabled = true;
    std::optional<bool> m_buttonAlone, m_itemAlone;
    bool m_showing = false;
};
