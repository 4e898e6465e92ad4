#pragma once

#include "FrameworkExport.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

class QMdiArea;

namespace kvo {

// The host's application object: it owns the screens the module creates (releasing whatever is
// still alive when the host ends) and knows the main window and its MDI area.
class KVO_FRAMEWORK_EXPORT TApplication {
public:
    static TApplication& Instance();

    QWidget* MainForm() const { return m_mainForm; }
    void SetMainForm(QWidget* form) { m_mainForm = form; }
    QMdiArea* MdiArea() const;
    void SetMdiArea(QMdiArea* area);

    // Takes ownership of a screen; it is deleted by ReleaseScreens unless it ended before.
    void Adopt(QWidget* screen);
    int ScreenCount() const;
    void ReleaseScreens();

    // Shows a screen as an MDI child of the main window (a top-level window when the host has no
    // MDI area): restored from minimised or maximised, shown and brought to the front.
    void ShowChild(QWidget* screen);

    // Help: opens the context in the help file when it is installed, otherwise tells the user.
    // The opener is replaceable (tests); it gets the file and the context.
    void ShowHelp(const QString& helpFile, int context);
    QString HelpPath(const QString& helpFile) const; // empty when not installed
    std::function<void(const QString& path, int context)> HelpOpener;

    // Where the report definitions are (one file per report, named by report code).
    QString ReportDir() const { return m_reportDir; }
    void SetReportDir(const QString& dir) { m_reportDir = dir; }

private:
    QPointer<QWidget> m_mainForm;
    QPointer<QMdiArea> m_mdi;
    QList<QPointer<QWidget>> m_screens;
    QString m_reportDir;
};

inline TApplication& Application() {
    return TApplication::Instance();
}

} // namespace kvo
