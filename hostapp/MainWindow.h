#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>

class TModuleLoader;
struct THostConfig;

// The suite's shell: MDI area, a menu that opens the module's screen and a status bar with the
// login context and the server.
class TMainWindow : public QMainWindow {
    Q_OBJECT
public:
    TMainWindow(TModuleLoader& loader, const THostConfig& config);
    ~TMainWindow() override;

    QMdiArea* mdiArea() const { return m_mdi; }
    QAction* efetivosAction() const { return m_efetivos; }
    void refreshStatus();
    void openEfetivos();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TModuleLoader& m_loader;
    QMdiArea* m_mdi;
    QAction* m_efetivos;
    QLabel *m_branch, *m_operator, *m_date, *m_server;
};
