#include "report/TReportDesignerDialog.h"

#include "report/TReportEditor.h"
#include "widgets/Dispatch.h"
#include "widgets/HostUi.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QToolButton>
#include <QVBoxLayout>

namespace kvo::report {

namespace {

QToolButton* toolButton(QWidget* parent, QLayout* layout, const QString& text, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(hint);
    layout->addWidget(b);
    return b;
}

} // namespace

TProgress HostProgress() {
    return [](qint64 done, qint64 total) { return kvo::Ui().ShowAviProgress(done, total); };
}

bool PrintReport(const TReportDefinition& definition, const TReportLayout& layout, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    ApplyPageLayout(definition, &printer);
    printer.setDocName(layout.title);
    if (!kvo::Ui().ChoosePrinter(&printer, parent)) return false;
    kvo::ShowAviScope avi(parent, kvo::aviLoading, QStringLiteral("Imprimindo %1...").arg(layout.title));
    try {
        Paint(definition, layout, &printer, HostProgress());
    } catch (const EAbort&) {
        printer.abort();
        if (!printer.outputFileName().isEmpty()) QFile::remove(printer.outputFileName());
        throw;
    }
    return true;
}

TReportPreview::TReportPreview(TReportDefinition definition, TReportLayout layout, QWidget* parent)
    : QWidget(parent), m_definition(std::move(definition)), m_layout(std::move(layout)),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("TReportPreview"));
    ApplyPageLayout(m_definition, m_printer.get());
    m_printer->setDocName(m_layout.title);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QHBoxLayout;
    root->addLayout(bar);
    m_pages = new QPrintPreviewWidget(m_printer.get(), this);
    root->addWidget(m_pages, 1);
    kvo::Connect(m_pages, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter* printer) {
        // A cancel keeps the pages painted so far.
        kvo::ShowAviScope avi(this, kvo::aviLoading, m_layout.title);
        Paint(m_definition, m_layout, printer, HostProgress());
    });

    auto* first = toolButton(this, bar, QStringLiteral("|<"), QStringLiteral("Primeira página"));
    auto* prev = toolButton(this, bar, QStringLiteral("<"), QStringLiteral("Página anterior"));
    m_pageLabel = new QLabel(this);
    bar->addWidget(m_pageLabel);
    auto* next = toolButton(this, bar, QStringLiteral(">"), QStringLiteral("Próxima página"));
    auto* last = toolButton(this, bar, QStringLiteral(">|"), QStringLiteral("Última página"));
    bar->addSpacing(16);
    auto* zoomOut = toolButton(this, bar, QStringLiteral("-"), QStringLiteral("Reduzir"));
    auto* zoomIn = toolButton(this, bar, QStringLiteral("+"), QStringLiteral("Ampliar"));
    auto* fitWidth = toolButton(this, bar, QStringLiteral("Largura"), QStringLiteral("Ajustar à largura"));
    auto* fitPage = toolButton(this, bar, QStringLiteral("Página"), QStringLiteral("Página inteira"));
    bar->addStretch(1);
    auto* print = toolButton(this, bar, QStringLiteral("Imprimir"), QStringLiteral("Imprimir"));
    auto* save =
        toolButton(this, bar, QStringLiteral("Salvar arquivo"), QStringLiteral("Salvar em PDF, CSV ou XLSX"));

    auto go = [this](int page) {
        m_pages->setCurrentPage(std::clamp(page, 1, std::max(1, PageCount())));
        updatePageLabel();
    };
    kvo::Connect(first, &QToolButton::clicked, this, [go] { go(1); });
    kvo::Connect(prev, &QToolButton::clicked, this, [this, go] { go(m_pages->currentPage() - 1); });
    kvo::Connect(next, &QToolButton::clicked, this, [this, go] { go(m_pages->currentPage() + 1); });
    kvo::Connect(last, &QToolButton::clicked, this, [this, go] { go(PageCount()); });
    kvo::Connect(zoomIn, &QToolButton::clicked, this, [this] { m_pages->zoomIn(); });
    kvo::Connect(zoomOut, &QToolButton::clicked, this, [this] { m_pages->zoomOut(); });
    kvo::Connect(fitWidth, &QToolButton::clicked, this, [this] { m_pages->fitToWidth(); });
    kvo::Connect(fitPage, &QToolButton::clicked, this, [this] { m_pages->fitInView(); });
    kvo::Connect(print, &QToolButton::clicked, this, [this] { Print(); });
    kvo::Connect(save, &QToolButton::clicked, this, [this] {
        const QString path =
            kvo::Ui().SaveFileName(this, QStringLiteral("Salvar relatório"),
                                   QStringLiteral("PDF (*.pdf);;CSV (*.csv);;XLSX (*.xlsx)"));
        if (!path.isEmpty()) SaveAs(path);
    });
    kvo::Connect(m_pages, &QPrintPreviewWidget::previewChanged, this, [this] { updatePageLabel(); });
    m_pages->updatePreview();
    updatePageLabel();
}

TReportPreview::~TReportPreview() = default;

int TReportPreview::PageCount() const {
    return m_pages->pageCount();
}

void TReportPreview::updatePageLabel() {
    m_pageLabel->setText(QStringLiteral("Página %1 de %2").arg(m_pages->currentPage()).arg(PageCount()));
}

void TReportPreview::Print() {
    PrintReport(m_definition, m_layout, this);
}

void TReportPreview::SaveAs(const QString& path) {
    kvo::ShowAviScope avi(this, kvo::aviSaving,
                          QStringLiteral("Gravando %1...").arg(QFileInfo(path).fileName()));
    WriteFile(m_definition, m_layout, path, HostProgress());
}

} // namespace kvo::report

TReportDesignerDialog::TReportDesignerDialog(QObject* parent) : QObject(parent) {}

kvo::report::TReportParams
TReportDesignerDialog::AskParams(const kvo::report::TReportDefinition& definition) {
    kvo::report::TReportParams params = kvo::report::QueryParams(definition);
    bool flag = false;
    if (BeforeGetQueryParams) BeforeGetQueryParams(this, params, flag);
    return params;
}

kvo::report::TReportLayout TReportDesignerDialog::Run(const kvo::report::TReportDefinition& definition,
                                                      const kvo::report::TProgress& progress) {
    const kvo::report::TReportParams params = AskParams(definition);
    kvo::report::TReportLayout layout =
        kvo::report::Layout(definition, kvo::report::RunQuery(definition, params), progress);
    layout.subtitle = kvo::report::Subtitle(definition, params);
    return layout;
}

bool TReportDesignerDialog::Execute(kvo::report::TReportDefinition& definition) {
    kvo::report::TReportEditor editor(this, definition);
    if (!kvo::Ui().ExecDialog(&editor)) return false;
    definition = editor.Definition();
    return true;
}
