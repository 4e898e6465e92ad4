#pragma once

#include "FrameworkExport.h"

#include <QDialog>
#include <QStringList>
#include <QVector>

class QLabel;
class QLineEdit;
class QTableWidget;
class TDataSource;

// A snapshot of a source's rows as a lookup shows them: visible fields, display texts.
struct KVO_FRAMEWORK_EXPORT LookupRows {
    QStringList titles;
    QVector<QStringList> cells; // one per row, in view order
    QStringList keys;           // key field text per row (empty without a key field)
    int current = 0;            // the source's current row, 0-based
    static LookupRows read(TDataSource* source, const QString& keyField);
};

// The modal pick list behind Pesquisar (pick one row) and PesquisaLista (tick rows by key).
// Typing searches the sorted column incrementally; Enter picks, Esc cancels, Space ticks.
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

    QLineEdit* searchEdit() const { return m_search; }
    QTableWidget* table() const { return m_table; }

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
    int m_searchColumn = 0;
};
