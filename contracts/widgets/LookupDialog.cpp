#include "LookupDialog.h"

#include "data/TDataSource.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "HostUi.h"

QString SearchFold(const QString& text) {
    const QString decomposed = text.trimmed().normalized(QString::NormalizationForm_D);
    QString out;
    out.reserve(decomposed.size());
    for (QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing) out.append(c);
    return out.toCaseFolded();
}

LookupRows LookupRows::read(TDataSource* source, const QString& keyField) {
    LookupRows rows;
    TClientDataSet* set = source ? source->DataSet() : nullptr;
    if (!set || !set->Active()) return rows;
    QList<TField*> shown;
    for (int i = 0; i < set->FieldCount(); ++i)
        if (TField* f = set->Fields(i); f->Visible()) {
            shown.append(f);
            rows.titles.append(f->DisplayLabel());
        }
    TField* key = keyField.isEmpty() ? nullptr : set->FieldByName(keyField);
    const int keep = set->RecNo();
    rows.current = qMax(0, keep - 1);
    set->DisableControls();
    try {
        for (set->First(); !set->Eof(); set->Next()) {
            QStringList line;
            for (TField* f : shown)
                line.append(f->DisplayText());
            rows.cells.append(line);
            rows.keys.append(key ? key->AsString().trimmed() : QString());
        }
        if (keep > 0) set->SetRecNo(keep);
    } catch (...) {
        set->EnableControls();
        throw;
    }
    set->EnableControls();
    return rows;
}

LookupDialog::LookupDialog(TDataSource* source, const QString& title, const QString& keyField,
                           QWidget* parent)
    : QDialog(parent), m_source(source), m_keyField(keyField), m_rows(LookupRows::read(source, keyField)) {
    setWindowTitle(kvo::LookupCaption(title).isEmpty() ? QStringLiteral("Pesquisa")
                                                       : kvo::LookupCaption(title));
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QDialogButtonBox(this);

    if (m_rows.cells.isEmpty()) {
        QString text = kvo::LookupEmptyText(title);
        if (text.isEmpty()) text = QStringLiteral("Nenhum registro encontrado.");
        m_empty = new QLabel(text, this);
        m_empty->setAlignment(Qt::AlignCenter);
        m_empty->setMinimumSize(320, 80);
        layout->addWidget(m_empty);
        buttons->addButton(QStringLiteral("Fechar"), QDialogButtonBox::RejectRole);
    } else {
        m_search = new QLineEdit(this);
        m_search->setPlaceholderText(QStringLiteral("Digite parte de qualquer coluna para localizar"));
        m_search->setClearButtonEnabled(true);
        layout->addWidget(m_search);
        m_status = new QLabel(this);
        m_status->setObjectName(QStringLiteral("lblLocalizar"));
        layout->addWidget(m_status);
        for (const QStringList& line : m_rows.cells) {
            QStringList folded;
            for (const QString& cell : line)
                folded.append(SearchFold(cell));
            m_folded.append(folded);
        }
        const bool ticks = !m_keyField.isEmpty();
        m_table = new QTableWidget(int(m_rows.cells.size()), int(m_rows.titles.size()), this);
        m_table->setHorizontalHeaderLabels(m_rows.titles);
        m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
        m_table->setSelectionMode(QAbstractItemView::SingleSelection);
        m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        m_table->verticalHeader()->hide();
        m_table->verticalHeader()->setDefaultSectionSize(22);
        m_table->horizontalHeader()->setStretchLastSection(true);
        m_table->setAlternatingRowColors(true);
        for (int r = 0; r < m_rows.cells.size(); ++r)
            for (int c = 0; c < m_rows.titles.size(); ++c) {
                auto* item = new QTableWidgetItem(m_rows.cells[r].value(c));
                if (ticks && c == 0) {
                    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
                    item->setCheckState(Qt::Unchecked);
                }
                m_table->setItem(r, c, item);
            }
        m_table->resizeColumnsToContents();
        m_table->setCurrentCell(qMin(m_rows.current, int(m_rows.cells.size()) - 1), 0);
        layout->addWidget(m_table);
        if (ticks) {
            // Left of OK and Cancel, out of the way of Enter, which confirms the list.
            m_tickAll = buttons->addButton(QStringLiteral("Marcar todos"), QDialogButtonBox::ActionRole);
            m_tickNone = buttons->addButton(QStringLiteral("Desmarcar todos"), QDialogButtonBox::ActionRole);
            m_tickAll->setToolTip(QStringLiteral("Alt+M"));
            m_tickNone->setToolTip(QStringLiteral("Alt+D"));
            for (QPushButton* b : {m_tickAll, m_tickNone})
                b->setAutoDefault(false);
            connect(m_tickAll, &QPushButton::clicked, this, [this] { tickAll(true); });
            connect(m_tickNone, &QPushButton::clicked, this, [this] { tickAll(false); });
        }
        buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
        connect(m_search, &QLineEdit::textChanged, this, &LookupDialog::search);
        connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
            if (m_keyField.isEmpty()) {
                m_table->setCurrentCell(row, 0);
                accept();
            } else {
                toggle(row);
            }
        });
        m_search->installEventFilter(this);
        m_table->installEventFilter(this);
        const int rowsHeight = int(m_rows.cells.size()) * m_table->verticalHeader()->defaultSectionSize();
        resize(qBound(420, 60 + m_table->horizontalHeader()->length(), 900),
               qBound(260, 160 + rowsHeight, 540));
        search(QString());
    }
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void LookupDialog::search(const QString& text) {
    if (!m_table) return;
    // Rows that do not hold the text in any shown column leave the list until it changes.
    const QString wanted = SearchFold(text);
    const int total = int(m_folded.size());
    int first = -1;
    m_matches = 0;
    for (int r = 0; r < total; ++r) {
        const bool match =
            wanted.isEmpty() || std::any_of(m_folded[r].cbegin(), m_folded[r].cend(),
                                            [&](const QString& c) { return c.contains(wanted); });
        m_table->setRowHidden(r, !match);
        if (!match) continue;
        ++m_matches;
        if (first < 0) first = r;
    }
    const int current = m_table->currentRow();
    if (first >= 0 && (current < 0 || m_table->isRowHidden(current))) m_table->setCurrentCell(first, 0);
    if (m_table->currentItem()) m_table->scrollToItem(m_table->currentItem());
    if (wanted.isEmpty())
        m_status->setText(total == 1 ? QStringLiteral("1 registro.")
                                     : QStringLiteral("%1 registros.").arg(total));
    else if (m_matches == 0)
        m_status->setText(QStringLiteral("Nenhum registro contém “%1”.").arg(text.trimmed()));
    else
        m_status->setText(
            QStringLiteral("“%1”: %2 de %3 registros.").arg(text.trimmed()).arg(m_matches).arg(total));
}

void LookupDialog::toggle(int row) {
    if (!m_table || m_keyField.isEmpty() || row < 0) return;
    QTableWidgetItem* item = m_table->item(row, 0);
    item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

void LookupDialog::tickAll(bool on) {
    if (!m_table || m_keyField.isEmpty()) return;
    for (int r = 0; r < m_table->rowCount(); ++r)
        m_table->item(r, 0)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

bool LookupDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || !m_table) return QDialog::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // The buttons' keys, from the list and the search box; taken at once (a mnemonic would click
    // later, after keys typed meanwhile). Without Alt the letters are search text like any other.
    if ((key->key() == Qt::Key_M || key->key() == Qt::Key_D) && m_tickAll &&
        key->modifiers() == Qt::AltModifier) {
        tickAll(key->key() == Qt::Key_M);
        return true;
    }
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // With nothing matching there is nothing to pick.
        if (m_matches > 0) accept();
        return true;
    case Qt::Key_Escape:
        reject();
        return true;
    case Qt::Key_Space:
        if (!m_keyField.isEmpty()) {
            toggle(m_table->currentRow());
            return true;
        }
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (watched == m_search) {
            QCoreApplication::sendEvent(m_table, event);
            return true;
        }
        break;
    default:
        // Typing on the list goes into the search text.
        if (watched == m_table && !key->text().isEmpty() && key->text().at(0).isPrint()) {
            m_search->setFocus();
            QCoreApplication::sendEvent(m_search, event);
            return true;
        }
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void LookupDialog::setSelection(const QString& selection) {
    if (!m_table) return;
    const QStringList keys = kvo::SplitSelection(selection);
    for (int r = 0; r < m_rows.keys.size(); ++r)
        m_table->item(r, 0)->setCheckState(keys.contains(m_rows.keys[r]) ? Qt::Checked : Qt::Unchecked);
}

QString LookupDialog::selection() const {
    QStringList keys;
    if (m_table)
        for (int r = 0; r < m_rows.keys.size(); ++r)
            if (m_table->item(r, 0)->checkState() == Qt::Checked) keys.append(m_rows.keys[r]);
    return kvo::JoinSelection(keys);
}

int LookupDialog::pickedRow() const {
    if (!m_table || m_matches == 0) return -1;
    const int row = m_table->currentRow();
    return row >= 0 && !m_table->isRowHidden(row) ? row : -1;
}

bool LookupDialog::run() {
    if (exec() != QDialog::Accepted || !m_table) return false;
    if (m_keyField.isEmpty()) {
        const int row = pickedRow();
        if (row < 0) return false;
        m_source->DataSet()->SetRecNo(row + 1);
    }
    return true;
}
