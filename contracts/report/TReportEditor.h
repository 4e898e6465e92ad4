#pragma once

#include "FrameworkExport.h"

#include "report/ReportEngine.h"

#include <QDialog>
#include <QTimer>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QVBoxLayout;
class TReportDesignerDialog;

namespace kvo::report {

class TReportPreview;

// The report editor: the definition as a form (report, columns, groups, totals, query) with its
// whole text as an advanced tab, and beside it the report's pages, run again with the screen's
// parameters a moment after each change. Save checks everything first; a definition with a
// problem is never handed back.
class KVO_FRAMEWORK_EXPORT TReportEditor : public QDialog {
    Q_OBJECT
public:
    TReportEditor(TReportDesignerDialog* designer, const TReportDefinition& definition,
                  QWidget* parent = nullptr);
    ~TReportEditor() override;

    // The definition as the form (or, on the advanced tab, the text) now gives it; throws
    // EReportError naming what is wrong.
    TReportDefinition Edited() const;
    // What was saved; the definition as opened until then.
    const TReportDefinition& Definition() const { return m_definition; }

    // The pages again, now; false (with the problem shown above the pages) when they cannot be made.
    bool Refresh();
    // Checks and runs the edited definition; accepts the dialog when it is sound, otherwise tells
    // the person what is wrong and stays open.
    void Save();

    TReportPreview* Preview() const { return m_preview; }
    QString Problem() const;

    // Table columns of grdColunas and grdGrupos.
    enum { colCampo, colTitulo, colLargura, colAlinhamento, colFormato, colRepetir };
    enum { grpCampo, grpCabecalho, grpRodape, grpSomas };

    QTabWidget* pgcEditor;
    QLineEdit *edtTitulo, *edtSubtitulo;
    QComboBox* cbbOrientacao;
    QDoubleSpinBox *speMargemEsq, *speMargemSup, *speMargemDir, *speMargemInf;
    QTableWidget *grdColunas, *grdGrupos;
    QPushButton *btnColAdicionar, *btnColRemover, *btnColSubir, *btnColDescer;
    QPushButton *btnGrpAdicionar, *btnGrpRemover, *btnGrpSubir, *btnGrpDescer;
    QLineEdit *edtTotalTitulo, *edtTotalSomas;
    QPlainTextEdit* memConsulta;
    QPlainTextEdit* memTexto; // the advanced tab: the definition's text
    QPushButton *btnSalvar, *btnCancelar;

private:
    void load(const TReportDefinition& definition);
    TReportDefinition fromForm() const;
    void tabChanged(int index);
    void changed();
    TReportLayout run(const TReportDefinition& definition); // behind a progress window

    TReportDesignerDialog* m_designer;
    TReportDefinition m_definition;
    QString m_name; // the file, for messages
    QLabel* m_problem;
    QVBoxLayout* m_pagesLayout;
    TReportPreview* m_preview = nullptr;
    QTimer m_debounce;
    int m_tab = 0;
    bool m_loading = false;
    bool m_textEdited = false;
};

} // namespace kvo::report
