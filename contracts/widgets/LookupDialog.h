#pragma once

#include "FrameworkExport.h"

#include <QDialog>
#include <QStringList>
#include <QVector>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TDataSource;

// A snapshot of a source's rows as a lookup shows them: visible fields, display texts.
// A text as a search compares it: accents dropped, case folded, blanks at the ends trimmed.
KVO_FRAMEWORK_EXPORT QString SearchFold(const QString& text);

struct KVO_FRAMEWORK_EXPORT LookupRows {
    QStringList titles;
    QVector<QStringList> cells; // one per row, in view order
    QStringList keys;           // key field text per row (empty without a key field)
    int current = 0;            // the source's current row, 0-based
    static LookupRows read(TDataSource* source, const QString& keyField);
};

// The modal pick list behind Pesquisar (pick one row) and PesquisaLista (tick rows by key).
// Typing narrows the list to the rows where any visible column holds the text, accents and case
// aside, and says how many match; Enter picks, Esc cancels. In the tick list,
// Space (or a double click) ticks the current row, and Alt+M / Alt+D tick all or none.
class KVO_FRAMEWORK_EXPORT LookupDialog : public QDialog {
    Q_OBJECT
public:
    LookupDialog(TDataSource* source, const QString& title, const QString& keyField,
                 QWidget* parent = nullptr);

    // Runs the dialog; true when the user confirmed. A single pick becomes the current row.
    bool run();
    void setSelection(const QString& selection);
    QString selection() const;
    int pickedRow() const;
    // Tick list: ticks every row (on) or none, a search text or not.
    void tickAll(bool on);

    QLineEdit* searchEdit() const { return m_search; }
    // What is being matched and how many rows match it.
    QLabel* searchStatus() const { return m_status; }
    int matchCount() const { return m_matches; }
    QTableWidget* table() const { return m_table; }
    QPushButton* tickAllButton() const { return m_tickAll; }
    QPushButton* tickNoneButton() const { return m_tickNone; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void search(const QString& text);
    void toggle(int row);

    TDataSource* m_source;
    QString m_keyField;
    LookupRows m_rows;
    QLineEdit* m_search = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_empty = nullptr;
    QLabel* m_status = nullptr;
    QVector<QStringList> m_folded; // the cells as searched
    int m_matches = 0;
    QPushButton* m_tickAll = nullptr;
    QPushButton* m_tickNone = nullptr;
};
