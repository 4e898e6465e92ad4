#include "HelpWindow.h"

#include "Glyphs.h"

#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpLink>
#include <QSplitter>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// Pages, style sheets and pictures come out of the collection, not the file system.
class HelpBrowser : public QTextBrowser {
public:
    HelpBrowser(QHelpEngine* engine, QWidget* parent) : QTextBrowser(parent), m_engine(engine) {}

    QVariant loadResource(int type, const QUrl& name) override {
        if (name.scheme() == QLatin1String("qthelp")) return m_engine->fileData(name);
        return QTextBrowser::loadResource(type, name);
    }

private:
    QHelpEngine* m_engine;
};

} // namespace

HelpWindow::HelpWindow(const QString& collection, QWidget* parent)
    : QWidget(parent, Qt::Window), m_collection(collection) {
    setObjectName(QStringLiteral("frmAjuda"));
    setWindowTitle(QStringLiteral("Ajuda"));
    setWindowIcon(kvo::CommandGlyph(QStringLiteral("ajuda"), 32));
    m_engine = new QHelpEngine(collection, this);
    // Installed collections sit in folders the user cannot write to.
    m_engine->setReadOnly(true);
    m_engine->setupData();
    m_browser = new HelpBrowser(m_engine, this);
    m_browser->setObjectName(QStringLiteral("txbAjuda"));
    m_browser->setOpenExternalLinks(true);

    auto* split = new QSplitter(this);
    QHelpContentWidget* contents = m_engine->contentWidget();
    split->addWidget(contents);
    split->addWidget(m_browser);
    split->setStretchFactor(1, 3);
    connect(contents, &QHelpContentWidget::linkActivated, m_browser,
            [this](const QUrl& url) { m_browser->setSource(url); });
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
    resize(900, 640);
}

HelpWindow::~HelpWindow() = default;

bool HelpWindow::open(int context) {
    const QList<QHelpLink> topics = m_engine->documentsForIdentifier(QString::number(context));
    if (topics.isEmpty()) return false;
    m_browser->setSource(topics.first().url);
    return true;
}

QUrl HelpWindow::source() const {
    return m_browser->source();
}
