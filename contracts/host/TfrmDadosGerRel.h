#pragma once

#include "widgets/Focus.h"
#include "widgets/StdControls.h"
#include "widgets/TMessages.h"

#include <QComboBox>
#include <QLabel>

// The suite's report-parameter screen: the screen's parameter group, the list of the report
// definitions of its report code and the print, preview, save-as and edit commands. The command
// handlers are hooks the report machinery and the screens override.
class TfrmDadosGerRel : public TForm {
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget* parent = nullptr);

    void SetScreenCode(const QString& code) { lblCodTela->setText(code); }
    QString ScreenCode() const { return lblCodTela->text(); }
    void SetReportCode(const QString& code) { lblCodRel->setText(code); }
    QString ReportCode() const { return lblCodRel->text(); }
    QString HelpFile = QStringLiteral("KvoHelp.hlp");
    int HelpContext = 0;

    virtual void FormCreate(QObject* Sender);
    virtual void FormActivate(QObject* Sender);
    virtual void FormClose(QObject* Sender, int& Action);
    virtual void sbtPrintClick(QObject* Sender);
    virtual void sbtPreviewClick(QObject* Sender);
    virtual void sbtSalvarComoClick(QObject* Sender);
    virtual void sbtReportEditClick(QObject* Sender);
    virtual void sbtFecharClick(QObject* Sender);

    QLabel* lblCodTela;
    TPanel* panMenu;
    TButtonFlat *sbtPrint, *sbtPreview, *sbtSalvarComo, *sbtReportEdit, *sbtAjuda, *sbtFechar;
    TGroupBox* grbDadosRel;
    TPanel* panRelat;
    QComboBox* cbbReportNames;
    QLabel* lblCodRel;
    // The screen's catalog; the report machinery reads Arq_Rel_Err, NovoCaption and NovoPrompt.
    TMessages* msgPadrao;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    TButtonFlat* addToolButton(const QString& name, const QString& text);
};
