#pragma once

#include "widgets/HostUi.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

namespace kvo::test {

// What the host would have shown a person, in order.
struct Shown {
    enum Kind { Error, Message, Lookup, List, AviOpen, AviClose, Preview, Help, Printer, Text, File, Dialog };
    Kind kind = Error;
    QString text;       // message text, lookup caption, progress caption, preview/dialog title, question,
                        // help collection
    QString answer;     // Printer: the PDF printed to; Text: the text given; File: the path (empty: cancel)
    int dialogKind = 0; // Message: TMsgDlgType; AviOpen: progress kind
    int buttons = 0;    // Message
    int result = 0;     // Message: TModalResult; Lookup: picked row (0-based) or -1; Dialog: accepted;
                        // Help: context
    QStringList rows;   // Lookup/List: the rows offered, cells joined by " | "
    QString emptyText;  // Lookup/List: the empty-list text, when the list was empty
    QString selectionIn, selectionOut; // List
    int aviDepth = 0;                  // progress windows open when it was shown (before it, for AviOpen)
};

// The host UI of tests: records everything and answers from a script. Installs itself as the
// current host UI for its lifetime.
//
// Answers are consumed in order by the call they fit. A question (Yes/No, OK/Cancel) without a
// scripted answer, or a lookup without one, is recorded in Unanswered() and throws, so a test
// notices an unexpected dialog instead of hanging on it. OK-only messages need no answer.
class TestHostUi : public kvo::HostUi {
public:
    TestHostUi();
    ~TestHostUi() override;

    // Script
    void AnswerButton(int modalResult);
    void AnswerYes() { AnswerButton(kvo::mrYes); }
    void AnswerNo() { AnswerButton(kvo::mrNo); }
    void PickRow(int row);                                    // Pesquisar: row in list order, 0-based
    void PickKey(const QString& field, const QString& value); // Pesquisar: the row with that value
    void CancelLookup();                                      // Pesquisar or PesquisaLista
    void Tick(const QStringList& keys);                       // PesquisaLista: exactly these ticked
    void Toggle(const QStringList& keys);                     // PesquisaLista: flip these
    int PendingAnswers() const { return int(m_answers.size()); }
    // Answers every Pesquisar that has no queued answer: the row to pick (0-based) or -1 to cancel.
    void SetLookupAnswer(std::function<int(TDataSource* source, const QString& caption)> answer) {
        m_lookupAnswer = std::move(answer);
    }

    // Reports
    void PrintTo(const QString& pdf);     // ChoosePrinter: prints to that PDF; empty: cancel
    void AnswerText(const QString& text); // AskText
    void CancelText();                    // AskText
    void AnswerFile(const QString& path); // SaveFileName; empty: cancel
    // ExecDialog: the script works the dialog as a person would (it may accept or reject it).
    void OnDialog(std::function<void(QDialog* dialog)> script);
    // ShowPreview: the script works the preview before it closes.
    void OnPreview(std::function<void(QWidget* preview)> script) { m_previewScript = std::move(script); }
    // ShowAviProgress answers "cancel" once a job reports at least that many units done (-1: never).
    void CancelProgressAt(qint64 done) { m_cancelAt = done; }
    int ProgressReports() const { return m_progressReports; } // ShowAviProgress calls
    qint64 LastProgressDone() const { return m_lastDone; }
    qint64 LastProgressTotal() const { return m_lastTotal; }

    // Record
    const QList<Shown>& shown() const { return m_shown; }
    // One line per item: "error: T", "message 3/3: T -> 6", "lookup Filial: 2 rows -> 0",
    // "lookup Filial: empty: T", "list Serviço: _1 -> _1_2", "avi+ 6 Carregando...", "avi-",
    // "preview: T", "help KvoHelp.qhc 12001000", "printer -> P", "text C / P -> T", "file C -> P",
    // "dialog T -> 1".
    QStringList Log() const;
    QStringList Errors() const;   // texts of errors, in order
    QStringList Messages() const; // texts of errors and messages, in order
    QList<Shown> Lookups() const;
    int AviDepth() const { return m_aviDepth; } // progress windows still open
    int AviOpened() const { return m_aviOpened; }
    QList<int> AviKinds() const; // kinds of the progress windows opened, in order
    int UnbalancedCloses() const { return m_unbalanced; }
    const QStringList& Unanswered() const { return m_unanswered; }
    void Clear();

    // HostUi
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

private:
    struct Answer {
        enum Kind { Button, Row, Key, Cancel, Tick, Toggle, Printer, Text, File, Dialog } kind;
        int value = 0;
        QString field, text;
        QStringList keys;
        std::function<void(QDialog*)> script = {};
    };
    bool takeAnswer(std::initializer_list<Answer::Kind> kinds, Answer& out);
    [[noreturn]] void unanswered(const QString& what);

    void record(Shown s);
    kvo::HostUi* m_previous;
    std::function<int(TDataSource*, const QString&)> m_lookupAnswer;
    std::deque<Answer> m_answers;
    QList<Shown> m_shown;
    QStringList m_unanswered;
    int m_aviDepth = 0, m_aviOpened = 0, m_unbalanced = 0;
    std::function<void(QWidget*)> m_previewScript;
    qint64 m_cancelAt = -1, m_lastDone = -1, m_lastTotal = 0;
    int m_progressReports = 0;
};

} // namespace kvo::test
