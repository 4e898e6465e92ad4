#include "TestHostUi.h"

#include <QFileInfo>

#include "data/Exceptions.h"
#include "data/TDataSource.h"
#include "widgets/LookupDialog.h"
#include "widgets/ProgressWindow.h"

#include <QDialog>
#include <QPrinter>

namespace kvo::test {

TestHostUi::TestHostUi() : m_previous(kvo::SetUi(this)) {}

TestHostUi::~TestHostUi() {
    kvo::SetUi(m_previous);
}

void TestHostUi::AnswerButton(int modalResult) {
    m_answers.push_back({Answer::Button, modalResult, {}, {}, {}});
}
void TestHostUi::PickRow(int row) {
    m_answers.push_back({Answer::Row, row, {}, {}, {}});
}
void TestHostUi::PickKey(const QString& field, const QString& value) {
    m_answers.push_back({Answer::Key, 0, field, value, {}});
}
void TestHostUi::CancelLookup() {
    m_answers.push_back({Answer::Cancel, 0, {}, {}, {}});
}
void TestHostUi::Tick(const QStringList& keys) {
    m_answers.push_back({Answer::Tick, 0, {}, {}, keys});
}
void TestHostUi::Toggle(const QStringList& keys) {
    m_answers.push_back({Answer::Toggle, 0, {}, {}, keys});
}
void TestHostUi::PrintTo(const QString& pdf) {
    m_answers.push_back({Answer::Printer, 0, {}, pdf, {}});
}
void TestHostUi::AnswerText(const QString& text) {
    m_answers.push_back({Answer::Text, 1, {}, text, {}});
}
void TestHostUi::CancelText() {
    m_answers.push_back({Answer::Text, 0, {}, {}, {}});
}
void TestHostUi::AnswerFile(const QString& path) {
    m_answers.push_back({Answer::File, 0, {}, path, {}});
}
void TestHostUi::OnDialog(std::function<void(QDialog*)> script) {
    m_answers.push_back({Answer::Dialog, 0, {}, {}, {}, std::move(script)});
}

bool TestHostUi::takeAnswer(std::initializer_list<Answer::Kind> kinds, Answer& out) {
    for (auto it = m_answers.begin(); it != m_answers.end(); ++it)
        for (Answer::Kind k : kinds)
            if (it->kind == k) {
                out = *it;
                m_answers.erase(it);
                return true;
            }
    return false;
}

void TestHostUi::unanswered(const QString& what) {
    m_unanswered.append(what);
    throw Exception(QStringLiteral("TestHostUi: no scripted answer for %1").arg(what));
}

void TestHostUi::record(Shown s) {
    s.aviDepth = s.kind == Shown::AviOpen ? m_aviDepth - 1 : m_aviDepth;
    m_shown << s;
}

void TestHostUi::Clear() {
    m_shown.clear();
    m_unanswered.clear();
    m_answers.clear();
    m_aviOpened = m_unbalanced = m_progressReports = 0;
    m_cancelAt = m_lastDone = -1;
    m_lastTotal = 0;
    m_previewScript = nullptr;
}

QStringList TestHostUi::Log() const {
    QStringList lines;
    for (const Shown& s : m_shown) {
        switch (s.kind) {
        case Shown::Error:
            lines << QStringLiteral("error: ") + s.text;
            break;
        case Shown::Message:
            lines << QStringLiteral("message %1/%2: %3 -> %4")
                         .arg(s.dialogKind)
                         .arg(s.buttons)
                         .arg(s.text)
                         .arg(s.result);
            break;
        case Shown::Lookup:
            if (s.rows.isEmpty())
                lines << QStringLiteral("lookup %1: empty: %2").arg(s.text, s.emptyText);
            else
                lines << QStringLiteral("lookup %1: %2 rows -> %3")
                             .arg(s.text)
                             .arg(s.rows.size())
                             .arg(s.result);
            break;
        case Shown::List:
            if (s.rows.isEmpty())
                lines << QStringLiteral("list %1: empty: %2").arg(s.text, s.emptyText);
            else
                lines << QStringLiteral("list %1: %2 -> %3").arg(s.text, s.selectionIn, s.selectionOut);
            break;
        case Shown::AviOpen:
            lines << QStringLiteral("avi+ %1 %2").arg(s.dialogKind).arg(s.text);
            break;
        case Shown::AviClose:
            lines << QStringLiteral("avi-");
            break;
        case Shown::Preview:
            lines << QStringLiteral("preview: ") + s.text;
            break;
        case Shown::Help:
            lines << QStringLiteral("help %1 %2").arg(QFileInfo(s.text).fileName()).arg(s.result);
            break;
        case Shown::Printer:
            lines << QStringLiteral("printer -> ") + s.answer;
            break;
        case Shown::Text:
            lines << QStringLiteral("text %1 -> %2").arg(s.text, s.answer);
            break;
        case Shown::File:
            lines << QStringLiteral("file %1 -> %2").arg(s.text, s.answer);
            break;
        case Shown::Dialog:
            lines << QStringLiteral("dialog %1 -> %2").arg(s.text).arg(s.result);
            break;
        }
    }
    return lines;
}

QStringList TestHostUi::Errors() const {
    QStringList texts;
    for (const Shown& s : m_shown)
        if (s.kind == Shown::Error) texts << s.text;
    return texts;
}

QStringList TestHostUi::Messages() const {
    QStringList texts;
    for (const Shown& s : m_shown)
        if (s.kind == Shown::Error || s.kind == Shown::Message) texts << s.text;
    return texts;
}

QList<Shown> TestHostUi::Lookups() const {
    QList<Shown> result;
    for (const Shown& s : m_shown)
        if (s.kind == Shown::Lookup || s.kind == Shown::List) result << s;
    return result;
}

QList<int> TestHostUi::AviKinds() const {
    QList<int> kinds;
    for (const Shown& s : m_shown)
        if (s.kind == Shown::AviOpen) kinds << s.dialogKind;
    return kinds;
}

void TestHostUi::ShowError(const QString& text) {
    Shown s;
    s.kind = Shown::Error;
    s.text = text;
    record(s);
}

int TestHostUi::ShowMessage(const QString& text, int kind, int buttons) {
    Shown s;
    s.kind = Shown::Message;
    s.text = text;
    s.dialogKind = kind;
    s.buttons = buttons;
    Answer a;
    if (takeAnswer({Answer::Button}, a)) {
        s.result = a.value;
    } else if (buttons == kvo::mbOK) {
        s.result = kvo::mrOk;
    } else {
        s.result = kvo::mrNone;
        record(s);
        unanswered(QStringLiteral("question \"%1\"").arg(text));
    }
    record(s);
    return s.result;
}

namespace {

QStringList offered(const LookupRows& rows) {
    QStringList lines;
    for (const QStringList& cells : rows.cells)
        lines << cells.join(QStringLiteral(" | "));
    return lines;
}

} // namespace

bool TestHostUi::Pesquisar(TDataSource* source, const QString& title) {
    const LookupRows rows = LookupRows::read(source, QString());
    Shown s;
    s.kind = Shown::Lookup;
    s.text = kvo::LookupCaption(title);
    s.rows = offered(rows);
    s.result = -1;
    if (rows.cells.isEmpty()) {
        s.emptyText = kvo::LookupEmptyText(title);
        record(s);
        return false;
    }
    Answer a;
    if (!takeAnswer({Answer::Row, Answer::Key, Answer::Cancel}, a)) {
        if (!m_lookupAnswer) {
            record(s);
            unanswered(QStringLiteral("lookup \"%1\"").arg(s.text));
        }
        a.kind = Answer::Row;
        a.value = m_lookupAnswer(source, s.text);
    }
    TClientDataSet* set = source->DataSet();
    int row = -1;
    if (a.kind == Answer::Row) {
        row = a.value;
    } else if (a.kind == Answer::Key) {
        // The row a person would find by that value: the first match in list order.
        TField* f = set->FieldByName(a.field);
        LookupRows keys = LookupRows::read(source, f->FieldName());
        row = int(keys.keys.indexOf(a.text.trimmed()));
    }
    if (row >= rows.cells.size()) row = -1;
    s.result = row;
    record(s);
    if (row < 0) return false;
    set->SetRecNo(row + 1);
    return true;
}

bool TestHostUi::PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                               QString& selection) {
    const LookupRows rows = LookupRows::read(source, keyField);
    Shown s;
    s.kind = Shown::List;
    s.text = kvo::LookupCaption(title);
    s.rows = offered(rows);
    s.selectionIn = selection;
    s.selectionOut = selection;
    if (rows.cells.isEmpty()) {
        s.emptyText = kvo::LookupEmptyText(title);
        record(s);
        return false;
    }
    Answer a;
    if (!takeAnswer({Answer::Tick, Answer::Toggle, Answer::Cancel}, a)) {
        record(s);
        unanswered(QStringLiteral("list \"%1\"").arg(s.text));
    }
    if (a.kind == Answer::Cancel) {
        record(s);
        return false;
    }
    QStringList ticked = kvo::SplitSelection(selection);
    if (a.kind == Answer::Tick)
        ticked = a.keys;
    else
        for (const QString& k : a.keys)
            if (ticked.contains(k))
                ticked.removeAll(k);
            else
                ticked << k;
    // Back in list order, keys not in the list dropped: what the dialog itself gives.
    QStringList ordered;
    for (const QString& k : rows.keys)
        if (ticked.contains(k)) ordered << k;
    selection = kvo::JoinSelection(ordered);
    s.selectionOut = selection;
    record(s);
    return true;
}

void TestHostUi::ActiveShowAvi(QWidget*, int kind, const QString& caption) {
    ++m_aviDepth;
    ++m_aviOpened;
    Shown s;
    s.kind = Shown::AviOpen;
    s.dialogKind = kind;
    s.text = caption.isEmpty() ? ProgressWindow::defaultCaption(kind) : caption;
    record(s);
}

void TestHostUi::DeactiveShowAvi() {
    if (m_aviDepth == 0) {
        ++m_unbalanced;
    } else {
        --m_aviDepth;
    }
    Shown s;
    s.kind = Shown::AviClose;
    record(s);
}

void TestHostUi::ShowPreview(QWidget* preview, const QString& title) {
    Shown s;
    s.kind = Shown::Preview;
    s.text = title;
    record(s);
    if (m_previewScript) m_previewScript(preview);
}

bool TestHostUi::ChoosePrinter(QPrinter* printer, QWidget*) {
    Shown s;
    s.kind = Shown::Printer;
    Answer a;
    if (!takeAnswer({Answer::Printer}, a)) {
        record(s);
        unanswered(QStringLiteral("print dialog"));
    }
    s.answer = a.text;
    record(s);
    if (a.text.isEmpty()) return false;
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(a.text);
    return true;
}

bool TestHostUi::AskText(const QString& caption, const QString& prompt, QString& value) {
    Shown s;
    s.kind = Shown::Text;
    s.text = caption + QStringLiteral(" / ") + prompt;
    Answer a;
    if (!takeAnswer({Answer::Text}, a)) {
        record(s);
        unanswered(QStringLiteral("text \"%1\"").arg(s.text));
    }
    s.answer = a.text;
    s.result = a.value;
    record(s);
    if (a.value) value = a.text;
    return a.value != 0;
}

QString TestHostUi::SaveFileName(QWidget*, const QString& caption, const QString&) {
    Shown s;
    s.kind = Shown::File;
    s.text = caption;
    Answer a;
    if (!takeAnswer({Answer::File}, a)) {
        record(s);
        unanswered(QStringLiteral("file \"%1\"").arg(caption));
    }
    s.answer = a.text;
    record(s);
    return a.text;
}

bool TestHostUi::ExecDialog(QDialog* dialog) {
    Shown s;
    s.kind = Shown::Dialog;
    s.text = dialog->windowTitle();
    Answer a;
    if (!takeAnswer({Answer::Dialog}, a)) {
        record(s);
        unanswered(QStringLiteral("dialog \"%1\"").arg(s.text));
    }
    // Shown without a loop of its own, as exec() would show it, for the script to work it.
    dialog->setResult(QDialog::Rejected);
    dialog->show();
    a.script(dialog);
    dialog->hide();
    s.result = dialog->result() == QDialog::Accepted;
    record(s);
    return s.result != 0;
}

bool TestHostUi::ShowAviProgress(qint64 done, qint64 total) {
    ++m_progressReports;
    m_lastDone = done;
    m_lastTotal = total;
    return m_cancelAt < 0 || done < m_cancelAt;
}

bool TestHostUi::ShowHelp(const QString& collection, int context) {
    Shown s;
    s.kind = Shown::Help;
    s.text = collection;
    s.result = context;
    record(s);
    return true;
}

} // namespace kvo::test
