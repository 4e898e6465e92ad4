#include "report/TReportDesignerDialog.h"

#include "widgets/Dispatch.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace kvo::report {

namespace {

bool guiChoosePrinter(QPrinter* printer, QWidget* parent) {
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool guiAskText(const QString& caption, const QString& prompt, QString& value) {
    bool ok = false;
    const QString text = QInputDialog::getText(nullptr, caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = text;
    return ok;
}

QString guiSaveFileName(QWidget* parent, const QString& caption, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, QString(), filter);
}

// The editor: the definition's text on the left, its pages on the right, refreshed a moment
// after each change with the screen's current parameters.
bool guiEdit(TReportDesignerDialog* designer, TReportDefinition& definition) {
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Editar relatório - %1").arg(definition.title));
    auto* root = new QVBoxLayout(&dialog);
    auto* split = new QSplitter(&dialog);
    auto* text = new QPlainTextEdit(split);
    text->setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 9));
    text->setPlainText(FormatDefinition(definition));
    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    auto* problem = new QLabel(right);
    problem->setWordWrap(true);
    problem->setStyleSheet(QStringLiteral("color: #a00000"));
    rightLayout->addWidget(problem);
    QWidget* preview = nullptr;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("Salvar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));
    root->addWidget(split, 1);
    root->addWidget(buttons);

    TReportDefinition edited = definition;
    auto refresh = [&] {
        try {
            TReportDefinition d = ParseDefinition(text->toPlainText(), QFileInfo(definition.path).fileName());
            d.path = definition.path;
            TReportLayout layout = designer->Run(d);
            delete preview;
            preview = new TReportPreview(d, std::move(layout), right);
            rightLayout->addWidget(preview, 1);
            problem->clear();
            edited = d;
            buttons->button(QDialogButtonBox::Save)->setEnabled(true);
        } catch (const Exception& e) {
            problem->setText(e.Message());
            buttons->button(QDialogButtonBox::Save)->setEnabled(false);
        }
    };
    QTimer debounce;
    debounce.setSingleShot(true);
    debounce.setInterval(600);
    kvo::Connect(&debounce, &QTimer::timeout, &dialog, refresh);
    QObject::connect(text, &QPlainTextEdit::textChanged, &debounce, qOverload<>(&QTimer::start));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    refresh();
    dialog.resize(1200, 760);
    if (dialog.exec() != QDialog::Accepted) return false;
    definition = edited;
    return true;
}

QToolButton* toolButton(QWidget* parent, QLayout* layout, const QString& text, const QString& hint) {
    auto* b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(hint);
    layout->addWidget(b);
    return b;
}

} // namespace

TReportUi& ReportUi() {
    static TReportUi ui{guiChoosePrinter, guiAskText, guiSaveFileName, guiEdit};
    return ui;
}

bool PrintReport(const TReportDefinition& definition, const TReportLayout& layout, QWidget* parent) {
    QPrinter printer(QPrinter::HighResolution);
    ApplyPageLayout(definition, &printer);
    printer.setDocName(layout.title);
    if (!ReportUi().ChoosePrinter(&printer, parent)) return false;
    Paint(definition, layout, &printer);
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
    kvo::Connect(m_pages, &QPrintPreviewWidget::paintRequested, this,
                 [this](QPrinter* printer) { Paint(m_definition, m_layout, printer); });

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
            ReportUi().SaveFileName(this, QStringLiteral("Salvar relatório"),
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
    WriteFile(m_definition, m_layout, path);
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
    return kvo::report::ReportUi().Edit(this, definition);
}
