#pragma once

#include "FrameworkExport.h"

#include "host/TfrmDialogoPadrao.h"

#include <QComboBox>

// The suite's report-parameter screen: the screen's parameter group, the list of the report
// definitions of its report code and the print, preview, save-as and edit commands. The command
// handlers are hooks the report machinery and the screens override. The report machinery reads
// Arq_Rel_Err, NovoCaption and NovoPrompt from the screen's catalog.
class KVO_FRAMEWORK_EXPORT TfrmDadosGerRel : public TfrmDialogoPadrao {
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget* parent = nullptr);

    void SetReportCode(const QString& code) { lblCodRel->setText(code); }
    QString ReportCode() const { return lblCodRel->text(); }

    virtual void FormActivate(QObject* Sender);
    virtual void sbtPrintClick(QObject* Sender);
    virtual void sbtPreviewClick(QObject* Sender);
    virtual void sbtSalvarComoClick(QObject* Sender);
    virtual void sbtReportEditClick(QObject* Sender);

    TButtonFlat *sbtPrint, *sbtPreview, *sbtSalvarComo, *sbtReportEdit, *sbtAjuda;
    TPanel* panRelat;
    QComboBox* cbbReportNames;
    QLabel* lblCodRel;
};
