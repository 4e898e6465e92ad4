#pragma once

#include "FrameworkExport.h"

#include "data/TDataSource.h"

#include <QWidget>
#include <array>
#include <functional>

class QToolButton;

enum TNavigateBtn {
    nbFirst,
    nbPrior,
    nbNext,
    nbLast,
    nbInsert,
    nbDelete,
    nbEdit,
    nbPost,
    nbCancel,
    nbRefresh
};

// A row of buttons that move through and edit a record set. Each button is enabled only when its
// action makes sense for the set's current state and row; the whole navigator can be disabled.
class KVO_FRAMEWORK_EXPORT TDBNavigator : public QWidget {
    Q_OBJECT
public:
    static constexpr int ButtonCount = nbRefresh + 1;

    explicit TDBNavigator(QWidget* parent = nullptr);

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* source); // may be rebound at any time, nullptr included

    bool Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }
    void SetEnabled(bool on);
    bool ConfirmDelete() const { return m_confirmDelete; }
    void SetConfirmDelete(bool on) { m_confirmDelete = on; }
    bool ButtonVisible(TNavigateBtn button) const;
    void SetButtonVisible(TNavigateBtn button, bool visible);
    bool ButtonEnabled(TNavigateBtn button) const; // as shown now
    QToolButton* Button(TNavigateBtn button) const { return m_buttons[size_t(button)]; }

    // Performs a button's action as a click does (BeforeAction first, OnClick after).
    void BtnClick(TNavigateBtn button);

    // BeforeAction may raise to refuse; OnClick runs after the action.
    std::function<void(QObject*Sender, TNavigateBtn Button)> BeforeAction, OnClick;

private:
    void updateButtons();

    TDataLink m_link;
    std::array<QToolButton*, ButtonCount> m_buttons{};
    bool m_confirmDelete = true;
};
