#include "MainWindow.h"

#include "ModuleLoader.h"

#include "data/Conversions.h"
#include "host/Application.h"
#include "host/Balvora.h"
#include "host/Consiste.h"
#include "host/HostConfig.h"
#include "host/dtmDBGeral.h"
#include "widgets/Dispatch.h"
#include "widgets/HostUi.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QStatusBar>

TMainWindow::TMainWindow(TModuleLoader& loader, const THostConfig&) : m_loader(loader) {
    setWindowTitle(kvo::SuiteName());
    resize(1024, 768);
    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);

    QMenu* modules = menuBar()->addMenu(QStringLiteral("&Módulos"));
    m_efetivos = modules->addAction(QStringLiteral("&Efetivos"));
    m_efetivos->setShortcut(QKeySequence(QStringLiteral("Ctrl+E")));
    m_efetivos->setEnabled(loader.Loaded());
    connect(m_efetivos, &QAction::triggered, this, [this] { openEfetivos(); });
    modules->addSeparator();
    QAction* quit = modules->addAction(QStringLiteral("&Sair"));
    connect(quit, &QAction::triggered, this, &QWidget::close);

    QMenu* windows = menuBar()->addMenu(QStringLiteral("&Janelas"));
    connect(windows->addAction(QStringLiteral("&Cascata")), &QAction::triggered, m_mdi,
            &QMdiArea::cascadeSubWindows);
    connect(windows->addAction(QStringLiteral("&Lado a lado")), &QAction::triggered, m_mdi,
            &QMdiArea::tileSubWindows);

    m_branch = new QLabel(this);
    m_operator = new QLabel(this);
    m_date = new QLabel(this);
    m_server = new QLabel(this);
    for (QLabel* l : {m_branch, m_operator, m_date, m_server})
        statusBar()->addPermanentWidget(l, 1);
    refreshStatus();
    kvo::Application().OnWorkBranchChange = [this] { refreshStatus(); };
}

TMainWindow::~TMainWindow() {
    kvo::Application().OnWorkBranchChange = nullptr;
}

// Quitting closes the screens first, each through its own close check: a screen that refuses (a
// disagreement still to correct) keeps the host open with it.
void TMainWindow::closeEvent(QCloseEvent* event) {
    if (!kvo::Application().CloseScreens()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void TMainWindow::openEfetivos() {
    kvo::Dispatch([this] { m_loader.IniProc(); }, {.owner = this});
}

void TMainWindow::refreshStatus() {
    // The branch of the day a screen has loaded, else the login's.
    const QString work = kvo::Application().WorkBranch();
    const QString branch = work.isEmpty() ? Balvora::FiliProc() : work;
    QString refused;
    QString name;
    QString date = QStringLiteral("-");
    if (dtmDBGeral::Connected() && !branch.isEmpty()) {
        try {
            name = Consiste::ValidaFilial(branch, Balvora::Operador(), false);
        } catch (const Exception& e) {
            refused = e.Message();
        }
        try {
            const QDate d = Balvora::DataProc(branch);
            if (d.isValid()) date = kvo::data::displayDate(d);
        } catch (const Exception&) {
        }
    }
    // A refusal can be long: the line says so briefly and the whole text is the label's tip.
    m_branch->setText(QStringLiteral("Filial: %1%2")
                          .arg(branch.isEmpty() ? QStringLiteral("-") : branch,
                               !refused.isEmpty() ? QStringLiteral(" (indisponível)")
                               : name.isEmpty()   ? QString()
                                                  : QStringLiteral(" – ") + name));
    m_branch->setToolTip(refused.isEmpty() ? m_branch->text() : refused);
    m_operator->setText(QStringLiteral("Operador: %1")
                            .arg(Balvora::Operador().isEmpty() ? QStringLiteral("-") : Balvora::Operador()));
    m_date->setText(QStringLiteral("Data de processamento: %1").arg(date));
    m_server->setText(QStringLiteral("Servidor: %1:%2 · %3")
                          .arg(Balvora::WebURL())
                          .arg(Balvora::WebPort())
                          .arg(dtmDBGeral::Description()));
}
