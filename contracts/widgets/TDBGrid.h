#pragma once

#include "FrameworkExport.h"

#include "Focus.h"
#include "KeyEvents.h"

#include "data/TDataSource.h"

#include <QHash>
#include <QTableView>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TDBGrid;
class TColumn;
class TField;
class QLineEdit;

namespace kvo::db {
class GridModel;
class GridDelegate;

// Everything a cell's pixels depend on besides the grid's palette, font and style (whose changes
// repaint the whole grid anyway): two equal pictures are the same pixels.
struct CellPicture {
    QString text; // before eliding
    QRect rect;
    int look = 0; // alignment, highlight, button, enabled, lines
    bool operator==(const CellPicture&) const = default;
};

// The same for the grid's frame: its style option as drawn.
struct FramePicture {
    int state = 0;
    QRect rect;
    qint64 palette = 0;
    int direction = 0, shape = 0, lineWidth = 0, midLineWidth = 0, features = 0;
    bool operator==(const FramePicture&) const = default;
};
} // namespace kvo::db

enum TColumnButtonStyle { cbsNone, cbsEllipsis };

// A column's title: the caption (the field's display label when left empty) and its alignment.
class KVO_FRAMEWORK_EXPORT TColumnTitle {
public:
    QString Caption() const;
    void SetCaption(const QString& caption);
    Qt::Alignment Alignment() const { return m_alignment; }
    void SetAlignment(Qt::Alignment alignment);

private:
    friend class TColumn;
    friend class TDBGridColumns;
    explicit TColumnTitle(TColumn* column) : m_column(column) {}
    TColumn* m_column;
    QString m_caption;
    Qt::Alignment m_alignment = Qt::AlignLeft;
};

// One grid column bound by name to a field of the grid's record set.
class KVO_FRAMEWORK_EXPORT TColumn {
public:
    QString FieldName() const { return m_fieldName; }
    void SetFieldName(const QString& name);
    // The bound field of the current record set; nullptr when the set has no such field.
    TField* Field() const;
    int Index() const;
    TDBGrid* Grid() const { return m_grid; }

    TColumnTitle& Title() { return m_title; }
    const TColumnTitle& Title() const { return m_title; }
    // Cell alignment; the field's alignment unless set.
    Qt::Alignment Alignment() const;
    void SetAlignment(Qt::Alignment alignment);
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool readOnly) { m_readOnly = readOnly; }
    TColumnButtonStyle ButtonStyle() const { return m_buttonStyle; }
    void SetButtonStyle(TColumnButtonStyle style);
    int Width() const; // pixels
    void SetWidth(int pixels);
    bool Visible() const { return m_visible; }
    void SetVisible(bool visible);

private:
    friend class TDBGridColumns;
    friend class TColumnTitle;
    friend class TDBGrid;
    explicit TColumn(TDBGrid* grid) : m_grid(grid), m_title(this) {}
    void changed(bool layout);

    TDBGrid* m_grid;
    QString m_fieldName;
    TColumnTitle m_title;
    Qt::Alignment m_alignment;
    bool m_alignmentSet = false;
    bool m_readOnly = false;
    TColumnButtonStyle m_buttonStyle = cbsNone;
    int m_width = -1;
    bool m_visible = true;
};

// The grid's columns in display order. With no column added the grid shows every visible field.
class KVO_FRAMEWORK_EXPORT TDBGridColumns {
public:
    TColumn* Add();
    TColumn* Add(const QString& fieldName, const QString& title = QString());
    int Count() const { return int(m_items.size()); }
    TColumn* Items(int index) const;
    TColumn* operator[](int index) const { return Items(index); }
    void Clear();
    // Index of the column bound to that field (case-insensitive), -1 when none.
    int IndexOfField(const QString& fieldName) const;
    bool IsDefault() const { return m_default; }

private:
    friend class TDBGrid;
    friend class TColumn;
    explicit TDBGridColumns(TDBGrid* grid) : m_grid(grid) {}
    void rebuildDefault();
    TDBGrid* m_grid;
    std::vector<std::unique_ptr<TColumn>> m_items;
    bool m_default = true;
};

enum TDBGridOption : unsigned {
    dgEditing = 1u << 0,
    dgAlwaysShowEditor = 1u << 1,
    dgTitles = 1u << 2,
    dgIndicator = 1u << 3,
    dgColumnResize = 1u << 4,
    dgColLines = 1u << 5,
    dgRowLines = 1u << 6,
    dgTabs = 1u << 7,
    dgRowSelect = 1u << 8,
    dgAlwaysShowSelection = 1u << 9,
    dgConfirmDelete = 1u << 10,
    dgCancelOnExit = 1u << 11,
};
Q_DECLARE_FLAGS(TDBGridOptions, TDBGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TDBGridOptions)

// Data-aware grid over a TDataSource. Every row move goes through the record set; the cell
// editor writes its text into the field when the column is left, the row is posted or the grid
// loses the focus. Numbers show and are typed with a decimal comma.
class KVO_FRAMEWORK_EXPORT TDBGrid : public QTableView, public TFocusControl {
    Q_OBJECT
public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    TDataSource* DataSource() const { return m_link.DataSource(); }
    void SetDataSource(TDataSource* source);
    TClientDataSet* DataSet() const;

    TDBGridColumns& Columns() { return m_columns; }
    const TDBGridColumns& Columns() const { return m_columns; }

    TDBGridOptions Options() const { return m_options; }
    void SetOptions(TDBGridOptions options);
    bool HasOption(TDBGridOption option) const { return m_options.testFlag(option); }
    void SetOption(TDBGridOption option, bool on);

    // The selected column (0-based index into Columns) and its field. Setting them moves the
    // column as a person would: pending text is written, OnColExit may veto, then OnColEnter.
    int SelectedIndex() const { return m_col; }
    void SetSelectedIndex(int index);
    TField* SelectedField() const;
    void SetSelectedField(TField* field);

    // The cell editor: open (the set is then editing or inserting) or closed.
    bool EditorMode() const;
    void SetEditorMode(bool on);
    // The cell editor holds typed text not yet written into the field.
    bool EditorModified() const { return EditorMode() && m_editorModified; }
    QLineEdit* InplaceEditor() const;

    // Background of the cells (the screens use the info colour on some grids).
    QColor Color() const;
    void SetColor(const QColor& color);

    // Reads for tests and painting.
    QString CellText(int row, int column) const; // row 0-based over the current view
    int Row() const;                             // current row, 0-based; -1 when none

    std::function<void(QObject*Sender)> OnColEnter, OnColExit, OnEditButtonClick;
    kvo::TKeyEvent OnKeyDown;
    kvo::TKeyPressEvent OnKeyPress;

    // The grid's own delete question (dgConfirmDelete).
    static QString ConfirmDeleteText();

    // Qt's layout after a model reset and its root index (public in QTableView).
    void doItemsLayout() override;
    void setRootIndex(const QModelIndex& index) override;

protected:
    // The model's row changes: only the cells that look different are repainted.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    void paintEvent(QPaintEvent* e) override;
    void DoExit() override;
    void changeEvent(QEvent* e) override;

private:
    friend class TColumn;
    friend class TDBGridColumns;
    friend class kvo::db::GridModel;
    friend class kvo::db::GridDelegate;

    // Key handling; runs inside Dispatch. Returns true when the key was used.
    bool handleKey(int key, Qt::KeyboardModifiers mods, const QString& text, bool fromEditor);
    bool gridKey(int key, Qt::KeyboardModifiers mods, bool fromEditor);
    bool charKey(QChar ch, bool fromEditor, bool replaced);

    bool active() const;
    bool canEditCell() const; // editing on, column and field writable
    bool showEditor(const QString* firstChar);
    void hideEditor();
    void placeEditor();
    void commitEditor(); // writes modified editor text into the field
    void revertEditor();

    void moveRow(int delta);
    void moveToRow(int row); // 0-based
    void firstRow();
    void lastRow();
    void moveCol(int index, bool keepEditor);
    void tab(bool forward);
    void leaveGrid(bool forward);
    void insertRow(bool append);
    void cancelRow();
    void deleteRow();
    void editButtonClick();

    int firstVisibleColumn() const;
    int lastVisibleColumn() const;
    int nextVisibleColumn(int from, int step) const;
    bool showsButton(int column) const;
    QRect buttonRect(const QModelIndex& index) const;
    bool unmodifiedInsert() const;

    bool focusFieldFromSet(TField* field);
    void sourceActiveChanged();
    void sourceStateChanged();
    void sourceDataChanged(TField* field);
    void columnsChanged(bool layout);
    void applyColumnLayout();
    void syncCurrent();
    void updateRow(int row);
    void updateFrame(); // the grid's own pixels, none of its children's, when they look different
    kvo::db::FramePicture framePicture();
    int viewRowCount() const;
    void cellPainted(const QModelIndex& index, kvo::db::CellPicture&& picture);
    void updateChangedRows();

    TDataLink m_link;
    kvo::db::GridModel* m_model = nullptr;
    kvo::db::GridDelegate* m_delegate = nullptr;
    QLineEdit* m_editor = nullptr;
    TDBGridColumns m_columns;
    TDBGridOptions m_options;
    int m_col = 0;
    int m_paintedRow = -1; // the row last painted as current
    int m_rows = 0;        // row count the model last announced
    // What the cells on screen show, by model row and column, and the row count and scroll
    // offsets they were painted with: a reload of the same rows repaints only what differs.
    QHash<quint64, kvo::db::CellPicture> m_pictures;
    int m_paintedRows = -1;
    QPoint m_paintedOffset;
    // The model resets since the last layout: none, only reloads keeping the columns, or others.
    enum class Reset { None, SameColumns, Other } m_reset = Reset::None;
    bool m_reloading = false;    // the model is being reset for a set opened, closed or reloaded
    bool m_resetRepaint = false; // the repaint Qt asks for on a reset waits for the layout
    std::optional<kvo::db::FramePicture> m_paintedFrame;
    int m_focusOnFrame = -1; // whether the style draws the frame differently with the focus; -1 unknown
    bool m_editorModified = false;
    bool m_inColExit = false;
    bool m_syncing = false;
    bool m_committing = false;
    bool m_closingEditor = false;
};
