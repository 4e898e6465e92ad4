#pragma once

#include "FrameworkExport.h"

#include <QString>
#include <QStringList>

class QDialog;
class QPrinter;
class QWidget;
class TDataSource;

namespace kvo {

// Dialog kinds and button sets in the classic dialog codes the screens pass to ShowMsg.
enum TMsgDlgType { mtWarning = 0, mtError = 1, mtInformation = 2, mtConfirmation = 3, mtCustom = 4 };
enum TMsgDlgButtons { mbOKCancel = 1, mbYesNoCancel = 2, mbYesNo = 3, mbOK = 4 };
enum TModalResult {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7
};

// Progress animation kinds.
enum TShowAviKind { aviConnecting = 0, aviSaving = 1, aviLoading = 6 };

// Everything in the host that needs a person goes through the current HostUi: the GUI one puts up
// real windows, the test one records what would have been shown and answers from a script.
class KVO_FRAMEWORK_EXPORT HostUi {
public:
    virtual ~HostUi() = default;

    virtual void ShowError(const QString& text) = 0;
    // Modal message; returns a TModalResult.
    virtual int ShowMessage(const QString& text, int kind, int buttons) = 0;

    // Modal pick list of the source's rows (visible fields, display labels as titles). True when
    // a row was picked; it is then the current row. Title "caption|empty-list text".
    virtual bool Pesquisar(TDataSource* source, const QString& title) = 0;
    // The same list with a tick per row. selection: "_" + key for each ticked row, in list order;
    // comes in pre-ticked, goes back changed; left alone on cancel. True when confirmed.
    virtual bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                               QString& selection) = 0;

    // Modeless progress window over the main window; calls nest and must balance.
    virtual void ActiveShowAvi(QWidget* form, int kind, const QString& caption) = 0;
    virtual void DeactiveShowAvi() = 0;

    // A ready read-only view (a report preview, a change history) shown modally; the caller owns it.
    virtual void ShowPreview(QWidget* preview, const QString& title) = 0;

    // Help: the compiled help collection opened at the topic of a help context, in the host's help
    // window (modeless, reused). False when the collection has no topic for the context.
    virtual bool ShowHelp(const QString& collection, int context) = 0;

    // Reports: the print dialog, file and text questions, the report editor, a long job's progress.
    // The system print dialog on that printer; false when the person cancels.
    virtual bool ChoosePrinter(QPrinter* printer, QWidget* parent) = 0;
    // A one-line text asked with a caption and a prompt, starting from value; false on cancel.
    virtual bool AskText(const QString& caption, const QString& prompt, QString& value) = 0;
    // A file to write; empty on cancel. filter: "PDF (*.pdf);;CSV (*.csv)".
    virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& filter) = 0;
    // A ready dialog (the report editor) run modally; true when it was accepted.
    virtual bool ExecDialog(QDialog* dialog) = 0;
    // How far the job behind the innermost progress window is: done of total units. Returns false
    // once the person asked to cancel it (the window then shows a cancel button).
    virtual bool ShowAviProgress(qint64 done, qint64 total) = 0;
};

// The suite's name, the title of the main window and of every message box.
KVO_FRAMEWORK_EXPORT QString SuiteName();

// The current implementation; the GUI one unless replaced. SetUi returns the previous one and does
// not take ownership (nullptr restores the GUI one).
KVO_FRAMEWORK_EXPORT HostUi& Ui();
KVO_FRAMEWORK_EXPORT HostUi* SetUi(HostUi* ui);

// Opens a progress window and closes it when the scope ends, on success and failure alike.
class KVO_FRAMEWORK_EXPORT ShowAviScope {
public:
    explicit ShowAviScope(QWidget* form, int kind, const QString& caption = QString());
    ~ShowAviScope();
    ShowAviScope(const ShowAviScope&) = delete;
    ShowAviScope& operator=(const ShowAviScope&) = delete;
};

// Splits "caption|empty-list text".
KVO_FRAMEWORK_EXPORT QString LookupCaption(const QString& title);
KVO_FRAMEWORK_EXPORT QString LookupEmptyText(const QString& title);

// Selection texts of PesquisaLista: "_00001_00002" <-> {"00001","00002"}.
KVO_FRAMEWORK_EXPORT QStringList SplitSelection(const QString& selection);
KVO_FRAMEWORK_EXPORT QString JoinSelection(const QStringList& keys);

} // namespace kvo

namespace Consiste {
// Shows text as an error; with abort true then throws EAbort.
KVO_FRAMEWORK_EXPORT void MensErro(const QString& text, bool abort);
} // namespace Consiste

KVO_FRAMEWORK_EXPORT bool Pesquisar(TDataSource* source, const QString& title, bool unused = false,
                                    bool picks = true);
KVO_FRAMEWORK_EXPORT bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                                        bool unused, QString& selection);
KVO_FRAMEWORK_EXPORT void ActiveShowAvi(QWidget* form, int kind, const QString& caption = QString());
KVO_FRAMEWORK_EXPORT void DeactiveShowAvi();
