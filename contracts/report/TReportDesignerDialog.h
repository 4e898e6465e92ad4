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

// The steps of the report side that need a person and that HostUi does not cover. The GUI ones
// unless replaced (tests answer them).
struct KVO_FRAMEWORK_EXPORT TReportUi {
    // The system print dialog on that printer; false when the person cancels.
    std::function<bool(QPrinter* printer, QWidget* parent)> ChoosePrinter;
    // A one-line text asked with a caption and a prompt; false on cancel.
    std::function<bool(const QString& caption, const QString& prompt, QString& value)> AskText;
    // A file to write; empty on cancel. filter: "PDF (*.pdf)".
    std::function<QString(QWidget* parent, const QString& caption, const QString& filter)> SaveFileName;
    // The report editor over a definition; true when the person saved.
    std::function<bool(TReportDesignerDialog* designer, TReportDefinition& definition)> Edit;
};
KVO_FRAMEWORK_EXPORT TReportUi& ReportUi();

// Prints a laid-out report after the print dialog; false when the person cancelled.
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
    void Print();
    void SaveAs(const QString& path); // by extension: .pdf, .csv or .xlsx

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

    // The editor over the definition; true when the person saved it (the caller writes the file).
    bool Execute(kvo::report::TReportDefinition& definition);
};
