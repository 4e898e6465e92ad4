#pragma once

#include "data/TDataSource.h"
#include "widgets/Focus.h"
#include "widgets/TDBGrid.h"
#include "widgets/TMessages.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>
#include <QToolButton>
#include <functional>

// The suite's maintenance screen: a screen-code label, a tool panel with print, sort, help and
// close and the eight commands (each paired with a maintenance-menu item), a page control whose
// first page holds the main grid over dtsPadrao, and a navigator panel.
class TfrmPadraoGrid : public TForm {
    Q_OBJECT
public:
    explicit TfrmPadraoGrid(QWidget* parent = nullptr);
    ~TfrmPadraoGrid() override;

    // Screen identity shown in the code label; help file and context used by F1 and sbtAjuda.
    void SetScreenCode(const QString& code);
    QString ScreenCode() const { return lblCodTela->text(); }
    QString HelpFile = QStringLiteral("KvoHelp.hlp");
    int HelpContext = 0;

    // Handlers the derived screens call from their own handlers of the same name.
    virtual void FormCreate(QObject* Sender);
    virtual void FormClose(QObject* Sender, int& Action);
    // Asked before closing; a handler clears CanClose (or throws) to keep the screen open.
    std::function<void(QObject* Sender, bool& CanClose)> OnCloseQuery;
    virtual void sbtFecharClick(QObject* Sender);
    virtual void sbtAjudaClick(QObject* Sender);

    QLabel* lblCodTela;
    QFrame* panMenu;
    QToolButton *sbtImprimir, *sbtOrdenar, *sbtAjuda, *sbtFechar;
    QToolButton *sbtIncluir, *sbtAlterar, *sbtExcluir, *sbtProcurar, *sbtVerificar, *sbtComandoExtra,
        *sbtCancelar, *sbtConfirmar;
    QMenuBar* mnuPrincipal;
    QMenu *mnuOperacao, *mnuManutencao;
    QAction *mnuIncluir, *mnuAlterar, *mnuExcluir, *mnuProcurar, *mnuVerificar, *mnuComandoExtra, *mnuLinha3,
        *mnuCancelar, *mnuConfirmar;
    QTabWidget* pgcPadrao;
    QWidget* tshPadrao;
    QFrame* panNavegador;
    TDataSource* dtsPadrao;
    TDBGrid* dbgPadrao;
    // The screen's own catalog and the standard texts (key "Canc": the cancel question).
    TMessages *msgPadrao, *msgMensagensPadroes;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // Each command button and its menu twin run the same handler; the twin follows the button's
    // enabled state.
    void pairCommand(QToolButton* button, QAction* item, std::function<void(QObject*)> handler);
    QToolButton* addToolButton(const QString& name, const QString& text, const QString& hint);
};
