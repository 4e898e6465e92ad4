#pragma once

#include "FrameworkExport.h"

#include "HostUi.h"

#include <QPointer>

class HelpWindow;
class ProgressWindow;

namespace kvo {

// The host UI with real windows: message boxes, lookup dialogs and the progress window.
class KVO_FRAMEWORK_EXPORT GuiHostUi : public HostUi {
public:
    GuiHostUi();
    ~GuiHostUi() override;

    void ShowError(const QString& text) override;
    int ShowMessage(const QString& text, int kind, int buttons) override;
    bool Pesquisar(TDataSource* source, const QString& title) override;
    bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                       QString& selection) override;
    void ActiveShowAvi(QWidget* form, int kind, const QString& caption) override;
    void DeactiveShowAvi() override;
    void ShowPreview(QWidget* preview, const QString& title) override;
    bool ShowHelp(const QString& collection, int context) override;

    bool ChoosePrinter(QPrinter* printer, QWidget* parent) override;
    bool AskText(const QString& caption, const QString& prompt, QString& value) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter) override;
    bool ExecDialog(QDialog* dialog) override;
    bool ShowAviProgress(qint64 done, qint64 total) override;

    int ProgressDepth() const { return int(m_stack.size()); }

private:
    QPointer<ProgressWindow> m_progress;
    QPointer<HelpWindow> m_help;
    struct Avi {
        int kind;
        QString caption;
        QPointer<QWidget> over;
    };
    QList<Avi> m_stack; // nested calls: the innermost is shown, the outer one comes back after it
};

} // namespace kvo
