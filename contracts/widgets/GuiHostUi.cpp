#include "GuiHostUi.h"

#include "HelpWindow.h"
#include "LookupDialog.h"
#include "ProgressWindow.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QVBoxLayout>

namespace kvo {

namespace {

QWidget* mainWindow() {
    if (QWidget* w = QApplication::activeWindow()) return w->window();
    const auto tops = QApplication::topLevelWidgets();
    for (QWidget* w : tops)
        if (w->isVisible() && !w->inherits("QMenu")) return w;
    return nullptr;
}

// The progress window stays on top; a modal box shown meanwhile must not sit under it.
class HideProgress {
public:
    explicit HideProgress(ProgressWindow* w) : m_window(w), m_was(w && w->isVisible()) {
        if (m_was) m_window->hide();
    }
    ~HideProgress() {
        if (m_was && m_window) m_window->show();
    }

private:
    QPointer<ProgressWindow> m_window;
    bool m_was;
};

} // namespace

GuiHostUi::GuiHostUi() = default;

GuiHostUi::~GuiHostUi() {
    delete m_progress.data();
    delete m_help.data();
}

void GuiHostUi::ShowError(const QString& text) {
    HideProgress hide(m_progress);
    QMessageBox box(QMessageBox::Critical, SuiteName(), text, QMessageBox::Ok, mainWindow());
    box.exec();
}

int GuiHostUi::ShowMessage(const QString& text, int kind, int buttons) {
    // The kind shows in the box's icon; the title is the suite's.
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case mtWarning:
        icon = QMessageBox::Warning;
        break;
    case mtError:
        icon = QMessageBox::Critical;
        break;
    case mtInformation:
        icon = QMessageBox::Information;
        break;
    case mtConfirmation:
        icon = QMessageBox::Question;
        break;
    default:
        break;
    }
    HideProgress hide(m_progress);
    QMessageBox box(icon, SuiteName(), text, QMessageBox::NoButton, mainWindow());
    struct B {
        QMessageBox::StandardButton button;
        int result;
        QString text;
    };
    QList<B> set;
    switch (buttons) {
    case mbYesNo:
        set = {{QMessageBox::Yes, mrYes, QStringLiteral("&Sim")},
               {QMessageBox::No, mrNo, QStringLiteral("&Não")}};
        break;
    case mbYesNoCancel:
        set = {{QMessageBox::Yes, mrYes, QStringLiteral("&Sim")},
               {QMessageBox::No, mrNo, QStringLiteral("&Não")},
               {QMessageBox::Cancel, mrCancel, QStringLiteral("Cancelar")}};
        break;
    case mbOKCancel:
        set = {{QMessageBox::Ok, mrOk, QStringLiteral("OK")},
               {QMessageBox::Cancel, mrCancel, QStringLiteral("Cancelar")}};
        break;
    default:
        set = {{QMessageBox::Ok, mrOk, QStringLiteral("OK")}};
        break;
    }
    for (const B& b : set)
        box.addButton(b.button)->setText(b.text);
    box.setDefaultButton(set.first().button);
    const int pressed = box.exec();
    for (const B& b : set)
        if (pressed == b.button) return b.result;
    return buttons == mbYesNo ? mrNo : mrCancel;
}

bool GuiHostUi::Pesquisar(TDataSource* source, const QString& title) {
    HideProgress hide(m_progress);
    LookupDialog dialog(source, title, QString(), mainWindow());
    return dialog.run();
}

bool GuiHostUi::PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                              QString& selection) {
    HideProgress hide(m_progress);
    LookupDialog dialog(source, title, keyField, mainWindow());
    dialog.setSelection(selection);
    if (!dialog.run()) return false;
    selection = dialog.selection();
    return true;
}

void GuiHostUi::ActiveShowAvi(QWidget* form, int kind, const QString& caption) {
    QWidget* over = mainWindow();
    if (!over && form) over = form->window();
    m_stack.append({kind, caption, over});
    if (!m_progress) m_progress = new ProgressWindow(over);
    m_progress->start(kind, caption, over);
}

void GuiHostUi::DeactiveShowAvi() {
    if (m_stack.isEmpty()) return; // unbalanced close: nothing open
    m_stack.removeLast();
    if (!m_progress) return;
    if (m_stack.isEmpty())
        m_progress->stop();
    else
        m_progress->start(m_stack.last().kind, m_stack.last().caption, m_stack.last().over);
}

void GuiHostUi::ShowPreview(QWidget* preview, const QString& title) {
    QDialog dialog(mainWindow());
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    QWidget* oldParent = preview->parentWidget();
    layout->addWidget(preview);
    dialog.resize(900, 700);
    dialog.exec();
    layout->removeWidget(preview);
    preview->setParent(oldParent);
}

bool GuiHostUi::ShowHelp(const QString& collection, int context) {
    if (m_help && m_help->collection() != collection) delete m_help.data();
    if (!m_help) m_help = new HelpWindow(collection, mainWindow());
    if (!m_help->open(context)) return false;
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
    return true;
}

bool GuiHostUi::ChoosePrinter(QPrinter* printer, QWidget* parent) {
    HideProgress hide(m_progress);
    QPrintDialog dialog(printer, parent ? parent : mainWindow());
    return dialog.exec() == QDialog::Accepted;
}

bool GuiHostUi::AskText(const QString& caption, const QString& prompt, QString& value) {
    HideProgress hide(m_progress);
    bool ok = false;
    const QString text = QInputDialog::getText(mainWindow(), caption, prompt, QLineEdit::Normal, value, &ok);
    if (ok) value = text;
    return ok;
}

QString GuiHostUi::SaveFileName(QWidget* parent, const QString& caption, const QString& filter) {
    HideProgress hide(m_progress);
    return QFileDialog::getSaveFileName(parent ? parent : mainWindow(), caption, QString(), filter);
}

bool GuiHostUi::ExecDialog(QDialog* dialog) {
    HideProgress hide(m_progress);
    return dialog->exec() == QDialog::Accepted;
}

bool GuiHostUi::ShowAviProgress(qint64 done, qint64 total) {
    if (m_stack.isEmpty() || !m_progress) return true; // no window open: nothing to show or cancel
    return m_progress->progress(done, total);
}

} // namespace kvo
