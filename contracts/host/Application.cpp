#include "host/Application.h"

#include "widgets/Dispatch.h"
#include "widgets/Focus.h"
#include "widgets/HostUi.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>

namespace kvo {

TApplication& TApplication::Instance() {
    static TApplication app;
    return app;
}

QMdiArea* TApplication::MdiArea() const {
    return m_mdi;
}
void TApplication::SetMdiArea(QMdiArea* area) {
    if (m_mdi) QObject::disconnect(m_mdi, &QMdiArea::subWindowActivated, nullptr, nullptr);
    m_mdi = area;
    if (!area) return;
    // A child screen is activated when it becomes the active child of the main window, not only
    // when the main window itself is activated.
    QObject::connect(area, &QMdiArea::subWindowActivated, area, [](QMdiSubWindow* sub) {
        auto* form = sub ? qobject_cast<TForm*>(sub->widget()) : nullptr;
        if (form && form->OnActivate)
            kvo::Dispatch([form] { form->OnActivate(form); }, {kvo::Pending::Latest, form, "activate"});
    });
}

void TApplication::Adopt(QWidget* screen) {
    m_screens.removeAll(nullptr);
    if (screen && !m_screens.contains(screen)) m_screens.append(screen);
}

int TApplication::ScreenCount() const {
    int n = 0;
    for (const auto& s : m_screens)
        n += s ? 1 : 0;
    return n;
}

void TApplication::ReleaseScreens() {
    const auto screens = m_screens;
    m_screens.clear();
    for (const auto& s : screens) {
        if (!s) continue;
        if (auto* sub = qobject_cast<QMdiSubWindow*>(s->parentWidget()))
            delete sub;
        else
            delete s.data();
    }
}

bool TApplication::CloseScreens() {
    if (!m_mdi) return true;
    bool all = true;
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        if (!sub->close()) all = false;
    return all;
}

void TApplication::ShowChild(QWidget* screen) {
    if (!screen) return;
    QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(screen->parentWidget());
    if (!sub && m_mdi) {
        const QSize wanted = screen->size();
        sub = m_mdi->addSubWindow(screen);
        // The screen ends itself on close; the frame goes with it.
        QObject::connect(screen, &QObject::destroyed, sub, &QObject::deleteLater);
        // Open as large as the screen was laid out for, without running past the main window.
        const QSize room = m_mdi->viewport()->size();
        if (room.width() > 100 && room.height() > 100)
            sub->resize(sub->sizeHint().expandedTo(wanted).boundedTo(room));
        sub->move(0, 0);
    }
    if (sub) {
        sub->showNormal();
        screen->show();
        if (m_mdi) m_mdi->setActiveSubWindow(sub);
        sub->raise();
        return;
    }
    screen->setWindowState(screen->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    screen->show();
    screen->raise();
    screen->activateWindow();
}

void TApplication::SetWorkBranch(QWidget* screen, const QString& branch) {
    if (screen && screen != m_workScreen)
        QObject::connect(screen, &QObject::destroyed, [this] {
            // The screen that held the status line is gone: back to the login's branch.
            if (m_workScreen) return;
            m_workBranch.clear();
            if (OnWorkBranchChange) OnWorkBranchChange();
        });
    const QString before = WorkBranch();
    m_workScreen = screen;
    m_workBranch = screen ? branch : QString();
    if (WorkBranch() != before && OnWorkBranchChange) OnWorkBranchChange();
}

QString TApplication::WorkBranch() const {
    return m_workScreen ? m_workBranch : QString();
}

QString TApplication::HelpPath(const QString& helpFile) const {
    const QString collection = QFileInfo(helpFile).completeBaseName() + QStringLiteral(".qhc");
    QStringList dirs;
    if (qEnvironmentVariableIsSet("KVO_HELP_DIR")) {
        dirs << qEnvironmentVariable("KVO_HELP_DIR");
    } else {
        const QString appDir = QCoreApplication::applicationDirPath();
        dirs << appDir << appDir + QStringLiteral("/help") << appDir + QStringLiteral("/../share/kvo/help");
    }
    for (const QString& d : dirs) {
        const QFileInfo f(QDir(d).filePath(collection));
        if (f.isFile()) return f.absoluteFilePath();
    }
    return {};
}

void TApplication::ShowHelp(const QString& helpFile, int context) {
    const QString path = HelpPath(helpFile);
    if (path.isEmpty()) {
        Ui().ShowMessage(QStringLiteral("Não há ajuda instalada (%1, tópico %2).").arg(helpFile).arg(context),
                         mtInformation, mbOK);
        return;
    }
    if (!Ui().ShowHelp(path, context))
        Ui().ShowMessage(QStringLiteral("A ajuda instalada (%1) não tem o tópico %2.").arg(path).arg(context),
                         mtInformation, mbOK);
}

void SetHelpContext(QWidget* part, int context) {
    part->setProperty("kvoHelpContext", context);
}

int HelpContextOf(const QWidget* widget, int screenContext) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (const int c = w->property("kvoHelpContext").toInt(); c != 0) return c;
        if (w->isWindow()) break;
    }
    return screenContext;
}

} // namespace kvo
