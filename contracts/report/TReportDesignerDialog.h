#pragma once

#include "FrameworkExport.h"

#include "report/ReportEngine.h"

#include <QObject>
#include <QWidget>
#include <functional>
#include <memory>

class QPrinter;
class QPrintPreviewWidget;
class QLabel;
class TReportDesignerDialog;

namespace kvo::report {

// Progress reported to the host's innermost progress window (HostUi::ShowAviProgress): a job run
// with it stops with EAbort once the person cancels.
KVO_FRAMEWORK_EXPORT TProgress HostProgress();

// Prints a laid-out report after the print dialog, behind a progress window; false when the person
// cancelled the dialog. A print cancelled halfway is abandoned (EAbort), a PDF printed to removed.
KVO_FRAMEWORK_EXPORT bool PrintReport(const TReportDefinition& definition, const TReportLayout& layout,
                                      QWidget* parent);

// The preview: the pages at a zoom, page navigation, print, and writing PDF, CSV or XLSX.
class KVO_FRAMEWORK_EXPORT TReportPreview : public QWidget {
    Q_OBJECT
public:
    TReportPreview(TReportDefinition definition, TReportLayout layout, QWidget* parent = nullptr);
    ~TReportPreview() override;

    QPrintPreviewWidget* Pages() const { return m_pages; }
    int PageCount() const;
    const TReportLayout& Layout() const { return m_layout; }
    void Print();
    // By extension: .pdf, .csv or .xlsx, behind a progress window; a cancel (EAbort) leaves no file.
    void SaveAs(const QString& path);

private:
    void updatePageLabel();
    TReportDefinition m_definition;
    TReportLayout m_layout;
    std::unique_ptr<QPrinter> m_printer;
    QPrintPreviewWidget* m_pages;
    QLabel* m_pageLabel;
};

} // namespace kvo::report

// The report designer component of the report screens: asks the screen for the values of the
// report query's parameters (BeforeGetQueryParams) before every run, runs the query and lays the
// report out; Execute opens the report editor.
class KVO_FRAMEWORK_EXPORT TReportDesignerDialog : public QObject {
    Q_OBJECT
public:
    explicit TReportDesignerDialog(QObject* parent = nullptr);

    // The report query's parameter list, and a flag the handler may leave alone.
    std::function<void(QObject* Sender, kvo::report::TReportParams& Params, bool& Flag)> BeforeGetQueryParams;

    // Parameters asked from the screen, query run on the shared connection, report laid out.
    kvo::report::TReportLayout Run(const kvo::report::TReportDefinition& definition,
                                   const kvo::report::TProgress& progress = {});
    kvo::report::TReportParams AskParams(const kvo::report::TReportDefinition& definition);

    // The report editor (TReportEditor) over the definition, through the host UI; true when the
    // person saved it (the caller writes the file).
    bool Execute(kvo::report::TReportDefinition& definition);
};
