#pragma once

#include "FrameworkExport.h"

#include "host/TfrmDialogoPadrao.h"
#include "report/ReportDefinition.h"
#include "report/TReportDesignerDialog.h"

#include <QComboBox>

// The suite's report-parameter screen: the screen's parameter group, the list of the report
// definitions of its report code (files in the host's report directory) and the print, preview,
// save-as and edit commands. Screens run their checks in their overrides, then call the base
// handler; the report query's parameters come from rpddPadrao's BeforeGetQueryParams. The base
// reads Arq_Rel_Err, NovoCaption and NovoPrompt from the screen's catalog.
class KVO_FRAMEWORK_EXPORT TfrmDadosGerRel : public TfrmDialogoPadrao {
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget* parent = nullptr);

    void SetReportCode(const QString& code) { lblCodRel->setText(code); }
    QString ReportCode() const { return lblCodRel->text(); }
    // The host's report directory.
    static QString ReportDir();

    void FormCreate(QObject* Sender) override;
    virtual void FormActivate(QObject* Sender);
    virtual void sbtPrintClick(QObject* Sender);
    virtual void sbtPreviewClick(QObject* Sender);
    virtual void sbtSalvarComoClick(QObject* Sender);
    virtual void sbtReportEditClick(QObject* Sender);

    // Lists the definitions of the report code in cbbReportNames, by title, keeping the chosen
    // one when it is still there. False when there is none.
    bool LoadReportNames(const QString& select = QString());
    // The definition chosen in cbbReportNames; Arq_Rel_Err when there is none.
    kvo::report::TReportDefinition CurrentDefinition();
    // Runs the chosen report with the screen's parameters behind a progress window.
    kvo::report::TReportLayout RunReport(const kvo::report::TReportDefinition& definition);

    TButtonFlat *sbtPrint, *sbtPreview, *sbtSalvarComo, *sbtReportEdit, *sbtAjuda;
    TPanel* panRelat;
    QComboBox* cbbReportNames;
    QLabel* lblCodRel;
    TReportDesignerDialog* rpddPadrao;

private:
    [[noreturn]] void semDefinicao();
};
