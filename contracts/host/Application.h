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
    // Asks every screen of the MDI area to close, as a person closing each would. False when one
    // refused (its own close check stopped it): that one stays open, and so should the host.
    bool CloseScreens();

    // Help: a screen names its help file ("KvoHelp.hlp") and context; the help installed under that
    // name is the compiled collection KvoHelp.qhc, looked up in KVO_HELP_DIR when it is set, else
    // beside the executable, in help/ there, or in ../share/kvo/help. ShowHelp opens it at the
    // context through the host UI, or tells the user that no help (or no such topic) is installed.
    void ShowHelp(const QString& helpFile, int context);
    QString HelpPath(const QString& helpFile) const; // empty when not installed

    // The branch a screen has loaded a day of, which the main window's status line shows instead of
    // the login's while that screen lives; empty until one has.
    void SetWorkBranch(QWidget* screen, const QString& branch);
    QString WorkBranch() const;
    std::function<void()> OnWorkBranchChange;

    // Where the report definitions are (one file per report, named by report code).
    QString ReportDir() const { return m_reportDir; }
    void SetReportDir(const QString& dir) { m_reportDir = dir; }

private:
    QPointer<QWidget> m_mainForm;
    QPointer<QMdiArea> m_mdi;
    QList<QPointer<QWidget>> m_screens;
    QString m_reportDir;
    QPointer<QWidget> m_workScreen;
    QString m_workBranch;
};

// A part of a screen with help of its own (a page, a panel): F1 there opens its context instead of
// the screen's. HelpContextOf gives the context of the innermost such part holding the widget.
KVO_FRAMEWORK_EXPORT void SetHelpContext(QWidget* part, int context);
KVO_FRAMEWORK_EXPORT int HelpContextOf(const QWidget* widget, int screenContext);

inline TApplication& Application() {
    return TApplication::Instance();
}

} // namespace kvo
