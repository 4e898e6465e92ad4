#include "TDBGrid.h"

#include "DBFormat.h"
#include "DBGridModel.h"
#include "Dispatch.h"
#include "HostUi.h"

#include "data/TClientDataSet.h"
#include "data/TField.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QInputMethod>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStyleOptionFrame>

using kvo::db::GridDelegate;
using kvo::db::GridModel;

// ---------------------------------------------------------------- columns

QString TColumnTitle::Caption() const {
    if (!m_caption.isEmpty()) return m_caption;
    if (TField* f = m_column->Field()) return f->DisplayLabel();
    return m_column->FieldName();
}

void TColumnTitle::SetCaption(const QString& caption) {
    m_caption = caption;
    m_column->changed(false);
}

void TColumnTitle::SetAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    m_column->changed(false);
}

void TColumn::SetFieldName(const QString& name) {
    m_fieldName = name;
    changed(true);
}

TField* TColumn::Field() const {
    TClientDataSet* ds = m_grid->DataSet();
    return ds && !m_fieldName.isEmpty() ? ds->FindField(m_fieldName) : nullptr;
}

int TColumn::Index() const {
    const auto& items = m_grid->m_columns.m_items;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].get() == this) return int(i);
    return -1;
}

Qt::Alignment TColumn::Alignment() const {
    if (m_alignmentSet) return m_alignment;
    if (TField* f = Field()) return f->Alignment();
    return Qt::AlignLeft;
}

void TColumn::SetAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    m_alignmentSet = true;
    changed(false);
}

void TColumn::SetButtonStyle(TColumnButtonStyle style) {
    if (style == m_buttonStyle) return;
    m_buttonStyle = style;
    changed(false);
}

int TColumn::Width() const {
    if (m_width >= 0) return m_width;
    const QFontMetrics fm = m_grid->fontMetrics();
    const TField* f = Field();
    const int chars = f ? std::min(f->DisplayWidth(), 40) : 10;
    const int data = fm.horizontalAdvance(QLatin1Char('0')) * chars + 8;
    const int title = fm.horizontalAdvance(Title().Caption()) + 12;
    return std::max(data, title);
}

void TColumn::SetWidth(int pixels) {
    m_width = std::max(0, pixels);
    changed(true);
}

void TColumn::SetVisible(bool visible) {
    if (visible == m_visible) return;
    m_visible = visible;
    changed(true);
}

void TColumn::changed(bool layout) {
    m_grid->columnsChanged(layout);
}

TColumn* TDBGridColumns::Add() {
    if (m_default) {
        m_items.clear();
        m_default = false;
    }
    m_items.push_back(std::unique_ptr<TColumn>(new TColumn(m_grid)));
    TColumn* c = m_items.back().get();
    m_grid->columnsChanged(true);
    return c;
}

TColumn* TDBGridColumns::Add(const QString& fieldName, const QString& title) {
    TColumn* c = Add();
    c->m_fieldName = fieldName;
    c->m_title.m_caption = title;
    m_grid->columnsChanged(true);
    return c;
}

TColumn* TDBGridColumns::Items(int index) const {
    return index >= 0 && index < Count() ? m_items[size_t(index)].get() : nullptr;
}

void TDBGridColumns::Clear() {
    m_items.clear();
    m_default = true;
    rebuildDefault();
    m_grid->columnsChanged(true);
}

int TDBGridColumns::IndexOfField(const QString& fieldName) const {
    for (int i = 0; i < Count(); ++i)
        if (m_items[size_t(i)]->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

void TDBGridColumns::rebuildDefault() {
    if (!m_default) return;
    m_items.clear();
    TClientDataSet* ds = m_grid->DataSet();
    if (!ds) return;
    for (int i = 0; i < ds->FieldCount(); ++i) {
        TField* f = ds->Fields(i);
        if (!f->Visible()) continue;
        m_items.push_back(std::unique_ptr<TColumn>(new TColumn(m_grid)));
        m_items.back()->m_fieldName = f->FieldName();
    }
}

// ---------------------------------------------------------------- grid

TDBGrid::TDBGrid(QWidget* parent)
    : QTableView(parent), TFocusControl(this), m_columns(this),
      m_options(dgEditing | dgTitles | dgColumnResize | dgColLines | dgRowLines | dgTabs | dgConfirmDelete |
                dgCancelOnExit) {
    m_link.OnActiveChange = [this] { sourceActiveChanged(); };
    m_link.OnStateChange = [this] { sourceStateChanged(); };
    m_link.OnDataChange = [this](TField* field) { sourceDataChanged(field); };
    m_link.OnViewChange = [this](const TViewChange& change) { m_model->viewChanged(change); };
    m_link.OnUpdateData = [this] { commitEditor(); };
    m_link.OnFocusField = [this](TField* field) { return focusFieldFromSet(field); };

    setHorizontalHeader(new kvo::db::GridHeader(this));
    m_model = new GridModel(this);
    setModel(m_model);
    m_delegate = new GridDelegate(this);
    setItemDelegate(m_delegate);

    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setAutoScroll(false); // the grid scrolls to the set's current row itself
    setFocusPolicy(Qt::StrongFocus);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setMinimumWidth(14);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setStretchLastSection(false);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (m_syncing) return;
        if (TColumn* c = m_columns.Items(section)) c->m_width = size;
        placeEditor();
    });

    m_editor = new QLineEdit(viewport());
    m_editor->setFrame(false);
    m_editor->hide();
    m_editor->installEventFilter(this);
    connect(m_editor, &QLineEdit::textEdited, this, [this] { m_editorModified = true; });

    SetOptions(m_options);
}

TDBGrid::~TDBGrid() = default;

TClientDataSet* TDBGrid::DataSet() const {
    return m_link.DataSet();
}

void TDBGrid::SetDataSource(TDataSource* source) {
    if (m_link.SetDataSource(source)) sourceActiveChanged();
}

void TDBGrid::SetOptions(TDBGridOptions options) {
    // The screens reapply their editing rule on every state change and column move: the same
    // options again must not repaint the cells.
    if (options == m_options) return;
    const bool editingOff = m_options.testFlag(dgEditing) && !options.testFlag(dgEditing);
    const bool editingOnly = (m_options ^ options) == TDBGridOptions(dgEditing);
    const bool indicatorOn = !m_options.testFlag(dgIndicator) && options.testFlag(dgIndicator);
    m_options = options;
    if (editingOff && EditorMode()) {
        commitEditor();
        hideEditor();
    }
    horizontalHeader()->setVisible(HasOption(dgTitles));
    horizontalHeader()->setSectionResizeMode(HasOption(dgColumnResize) ? QHeaderView::Interactive
                                                                       : QHeaderView::Fixed);
    verticalHeader()->setVisible(HasOption(dgIndicator));
    if (indicatorOn) m_model->indicatorShown();
    // Editing shows only in the current cell (its lookup button); the other options in every cell.
    if (editingOnly)
        updateRow(Row());
    else
        viewport()->update();
}

void TDBGrid::SetOption(TDBGridOption option, bool on) {
    TDBGridOptions options = m_options;
    options.setFlag(option, on);
    SetOptions(options);
}

TField* TDBGrid::SelectedField() const {
    TColumn* c = m_columns.Items(m_col);
    return c ? c->Field() : nullptr;
}

void TDBGrid::SetSelectedIndex(int index) {
    moveCol(index, true);
}

void TDBGrid::SetSelectedField(TField* field) {
    if (!field) return;
    for (int i = 0; i < m_columns.Count(); ++i) {
        TColumn* c = m_columns.Items(i);
        if (c->Visible() && c->Field() == field) {
            moveCol(i, true);
            return;
        }
    }
}

bool TDBGrid::EditorMode() const {
    return !m_editor->isHidden();
}

void TDBGrid::SetEditorMode(bool on) {
    if (on) {
        if (!EditorMode()) showEditor(nullptr);
        return;
    }
    if (!EditorMode()) return;
    const TClientDataSet* ds = DataSet();
    if (ds && (ds->State() == dsEdit || ds->State() == dsInsert)) commitEditor();
    hideEditor();
}

QLineEdit* TDBGrid::InplaceEditor() const {
    return m_editor;
}

QColor TDBGrid::Color() const {
    return palette().color(QPalette::Active, QPalette::Base);
}

void TDBGrid::SetColor(const QColor& color) {
    QPalette p = palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(g, QPalette::Base, color);
    setPalette(p);
}

QString TDBGrid::ConfirmDeleteText() {
    return QStringLiteral("Excluir registro?");
}

bool TDBGrid::active() const {
    const TClientDataSet* ds = DataSet();
    return ds && DataSource()->Enabled() && ds->Active();
}

int TDBGrid::Row() const {
    if (!active()) return -1;
    return DataSet()->RecNo() - 1;
}

int TDBGrid::viewRowCount() const {
    if (!active()) return 0;
    const TClientDataSet* ds = DataSet();
    return std::max(ds->RecordCount(), ds->RecNo());
}

QString TDBGrid::CellText(int row, int column) const {
    TColumn* c = m_columns.Items(column);
    TField* f = c ? c->Field() : nullptr;
    if (!f || !active() || row < 0) return {};
    const TClientDataSet* ds = DataSet();
    // The current row may hold unposted values: read it through the field.
    if (row == ds->RecNo() - 1) return f->DisplayText();
    return kvo::db::DisplayText(f, ds->viewFieldValue(row + 1, f));
}

bool TDBGrid::canEditCell() const {
    if (!active() || !HasOption(dgEditing) || !isEnabled()) return false;
    TColumn* c = m_columns.Items(m_col);
    if (!c || !c->Visible() || c->ReadOnly()) return false;
    TField* f = c->Field();
    return f && !f->ReadOnly() && f->FieldKind() == fkData;
}

bool TDBGrid::unmodifiedInsert() const {
    const TClientDataSet* ds = DataSet();
    return active() && ds->State() == dsInsert && !ds->Modified() && !(EditorMode() && m_editorModified);
}

int TDBGrid::nextVisibleColumn(int from, int step) const {
    for (int i = from + step; i >= 0 && i < m_columns.Count(); i += step)
        if (m_columns.Items(i)->Visible()) return i;
    return -1;
}

int TDBGrid::firstVisibleColumn() const {
    return nextVisibleColumn(-1, 1);
}

int TDBGrid::lastVisibleColumn() const {
    return nextVisibleColumn(m_columns.Count(), -1);
}

bool TDBGrid::showsButton(int column) const {
    TColumn* c = m_columns.Items(column);
    return c && c->ButtonStyle() == cbsEllipsis && HasOption(dgEditing) && active();
}

QRect TDBGrid::buttonRect(const QModelIndex& index) const {
    const QRect cell = visualRect(index);
    const int w = GridDelegate::buttonWidth(cell);
    return QRect(cell.right() - w + 1, cell.top(), w, cell.height());
}

// ---------------------------------------------------------------- cell editor

bool TDBGrid::showEditor(const QString* firstChar) {
    if (!canEditCell()) return false;
    TClientDataSet* ds = DataSet();
    if (ds->State() == dsBrowse) ds->Edit(); // BeforeEdit may refuse: the exception ends the key's handling
    if (ds->State() != dsEdit && ds->State() != dsInsert) return false;
    if (!canEditCell()) // a handler may have switched editing off meanwhile
        return false;
    TField* f = SelectedField();

    delete m_editor->validator();
    m_editor->setValidator(nullptr);
    m_editor->setMaxLength(32767);
    if (!f->EditMask().isEmpty()) {
        auto* v = new kvo::db::MaskValidator(f->EditMask(), m_editor);
        m_editor->setValidator(v);
        m_editor->setMaxLength(v->Mask().Length());
    } else if ((f->DataType() == ftString || f->DataType() == ftFixedChar) && f->Size() > 0) {
        m_editor->setMaxLength(f->Size());
    }
    m_editor->setAlignment((f->Alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);
    if (TColumn* c = m_columns.Items(m_col))
        m_editor->setAlignment((c->Alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter);

    if (firstChar) {
        m_editor->setText(QString());
        m_editor->insert(*firstChar);
        m_editorModified = !m_editor->text().isEmpty();
    } else {
        m_editor->setText(f->DisplayText());
        m_editor->selectAll();
        m_editorModified = false;
    }
    placeEditor();
    m_editor->show();
    if (hasFocus() || isAncestorOf(QApplication::focusWidget())) m_editor->setFocus(Qt::OtherFocusReason);
    updateRow(Row());
    return true;
}

void TDBGrid::hideEditor() {
    if (m_editor->isHidden()) return;
    // Keep Qt's focus inside the grid: hiding a focused widget would send it down the chain.
    m_closingEditor = true;
    if (m_editor->hasFocus()) setFocus(Qt::OtherFocusReason);
    m_editor->hide();
    m_closingEditor = false;
    m_editorModified = false;
    updateRow(Row()); // the cell the editor covered; hiding it repaints its own area
}

void TDBGrid::placeEditor() {
    const int row = Row();
    if (row < 0 || m_col < 0 || m_col >= m_columns.Count()) return;
    QRect r = visualRect(m_model->index(row, m_col));
    if (showsButton(m_col)) r.setRight(r.right() - GridDelegate::buttonWidth(r) - 1);
    r.adjust(1, 1, -1, -1);
    m_editor->setGeometry(r);
}

void TDBGrid::commitEditor() {
    if (!EditorMode() || !m_editorModified) return;
    TField* f = SelectedField();
    if (!f) return;
    const QString typed = kvo::db::TypedText(m_editor);
    // A bad number throws with the field's message; the editor keeps the text for correction.
    const QScopedValueRollback<bool> committing(m_committing, true);
    f->SetDisplayText(typed);
    m_editorModified = false;
}

void TDBGrid::revertEditor() {
    TField* f = SelectedField();
    m_editor->setText(f ? f->DisplayText() : QString());
    m_editor->selectAll();
    m_editorModified = false;
}

// ---------------------------------------------------------------- moves

void TDBGrid::moveRow(int delta) {
    if (!active() || delta == 0) return;
    commitEditor();
    DataSet()->MoveBy(delta); // CheckBrowseMode first: a refused post keeps row and edit
}

void TDBGrid::moveToRow(int row) {
    if (!active()) return;
    const int current = Row();
    if (row != current) moveRow(row - current);
}

void TDBGrid::firstRow() {
    if (!active()) return;
    commitEditor();
    DataSet()->First();
}

void TDBGrid::lastRow() {
    if (!active()) return;
    commitEditor();
    DataSet()->Last();
}

void TDBGrid::moveCol(int index, bool keepEditor) {
    TColumn* target = m_columns.Items(index);
    if (!target || !target->Visible() || index == m_col) return;
    commitEditor();
    const bool editorWasOpen = EditorMode();
    if (!m_inColExit) {
        // The column being left is still the selected one while OnColExit runs; a raise vetoes.
        m_inColExit = true;
        try {
            if (OnColExit) OnColExit(this);
        } catch (...) {
            m_inColExit = false;
            throw;
        }
        m_inColExit = false;
    }
    hideEditor();
    m_col = index;
    syncCurrent();
    if (OnColEnter) OnColEnter(this);
    const TClientDataSet* ds = DataSet();
    if (editorWasOpen && keepEditor && ds && (ds->State() == dsEdit || ds->State() == dsInsert) &&
        !EditorMode())
        showEditor(nullptr);
}

void TDBGrid::tab(bool forward) {
    const int next = nextVisibleColumn(m_col, forward ? 1 : -1);
    if (next >= 0) {
        moveCol(next, true);
        return;
    }
    const int row = Row();
    if (!active() || DataSet()->IsEmpty() || (forward ? row >= viewRowCount() - 1 : row <= 0)) {
        leaveGrid(forward);
        return;
    }
    moveRow(forward ? 1 : -1);
    moveCol(forward ? firstVisibleColumn() : lastVisibleColumn(), false);
}

void TDBGrid::leaveGrid(bool forward) {
    if (TForm* form = Form()) {
        QWidget* next = form->NextControl(this, forward);
        if (!next) return;
        if (TFocusControl* c = TFocusControl::find(next))
            c->SetFocus();
        else if (std::exception_ptr err = form->MoveFocus(next))
            std::rethrow_exception(err);
        return;
    }
    QWidget::focusNextPrevChild(forward);
}

void TDBGrid::insertRow(bool append) {
    if (!active() || !HasOption(dgEditing)) return;
    commitEditor();
    if (append)
        DataSet()->Append();
    else
        DataSet()->Insert();
}

void TDBGrid::cancelRow() {
    if (!active()) return;
    hideEditor();
    DataSet()->Cancel();
}

void TDBGrid::deleteRow() {
    if (!active() || !HasOption(dgEditing) || DataSet()->IsEmpty()) return;
    if (HasOption(dgConfirmDelete)) {
        const int answer = kvo::Ui().ShowMessage(ConfirmDeleteText(), kvo::mtConfirmation, kvo::mbYesNo);
        if (answer != kvo::mrYes && answer != kvo::mrOk) return;
    }
    hideEditor();
    DataSet()->Delete();
}

void TDBGrid::editButtonClick() {
    if (OnEditButtonClick) OnEditButtonClick(this);
}

// ---------------------------------------------------------------- keys

bool TDBGrid::gridKey(int key, Qt::KeyboardModifiers mods, bool fromEditor) {
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    const bool alt = mods & Qt::AltModifier;
    TClientDataSet* ds = DataSet();
    switch (key) {
    case Qt::Key_Up:
        if (alt) return false;
        if (unmodifiedInsert())
            cancelRow();
        else
            moveRow(-1);
        return true;
    case Qt::Key_Down: {
        if (alt || !active()) return !alt;
        if (unmodifiedInsert()) {
            if (Row() >= viewRowCount() - 1) return true; // an untouched new row at the end stays as it is
            cancelRow();
            return true;
        }
        commitEditor();
        const int moved = ds->MoveBy(1);
        if (moved == 0 && HasOption(dgEditing) && ds->State() == dsBrowse) insertRow(true);
        return true;
    }
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        if (alt) return false;
        const int page =
            std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()) - 1);
        moveRow(key == Qt::Key_PageUp ? -page : page);
        return true;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
        if (ctrl) {
            key == Qt::Key_Home ? firstRow() : lastRow();
            return true;
        }
        if (fromEditor) return false;
        moveCol(key == Qt::Key_Home ? firstVisibleColumn() : lastVisibleColumn(), false);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const bool left = key == Qt::Key_Left;
        if (fromEditor) {
            const int pos = m_editor->cursorPosition();
            const bool atEdge =
                !m_editor->hasSelectedText() && (left ? pos == 0 : pos == m_editor->text().size());
            if (!atEdge) return false;
        }
        const int next = nextVisibleColumn(m_col, left ? -1 : 1);
        if (next >= 0) moveCol(next, fromEditor);
        return true;
    }
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (alt || ctrl) return false;
        if (!HasOption(dgTabs)) {
            commitEditor();
            leaveGrid(key == Qt::Key_Tab && !shift);
            return true;
        }
        tab(key == Qt::Key_Tab && !shift);
        return true;
    case Qt::Key_Escape:
        if (EditorMode() && m_editorModified) {
            // Typed text is dropped first; the row itself goes with the next Esc.
            revertEditor();
            hideEditor();
            return true;
        }
        if (active() && (ds->State() == dsEdit || ds->State() == dsInsert)) {
            cancelRow();
            return true;
        }
        hideEditor();
        return false;
    case Qt::Key_Insert:
        if (mods != Qt::NoModifier || !HasOption(dgEditing)) return false;
        insertRow(false);
        return true;
    case Qt::Key_Delete:
        if (!ctrl) return false;
        deleteRow();
        return true;
    case Qt::Key_F2:
        if (!fromEditor && !EditorMode()) showEditor(nullptr);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (ctrl) {
            if (showsButton(m_col)) editButtonClick();
            return true;
        }
        return false;
    default:
        return false;
    }
}

bool TDBGrid::charKey(QChar ch, bool fromEditor, bool replaced) {
    if (ch == QLatin1Char('\r')) {
        if (EditorMode()) {
            commitEditor();
            hideEditor();
        } else {
            showEditor(nullptr);
        }
        return true;
    }
    if (fromEditor) {
        if (!replaced) return false; // the editor takes the character itself
        if (ch.unicode() >= 0x20 && ch.unicode() != 0x7f) {
            const QString before = m_editor->text();
            m_editor->insert(QString(ch));
            if (m_editor->text() != before) m_editorModified = true;
        }
        return true;
    }
    if (ch.unicode() >= 0x20 && ch.unicode() != 0x7f) {
        const QString s(ch);
        showEditor(&s);
        return true;
    }
    return false;
}

bool TDBGrid::handleKey(int key, Qt::KeyboardModifiers mods, const QString& text, bool fromEditor) {
    int k = key;
    if (OnKeyDown) OnKeyDown(this, k, mods);
    if (k == 0) return true;
    if (gridKey(k, mods, fromEditor)) return true;
    // A key replaced by the handler acts as that key, without the original's character.
    if (k != key || text.isEmpty()) return false;
    QChar ch = text.at(0);
    if (key == Qt::Key_Return || key == Qt::Key_Enter) ch = QLatin1Char('\r');
    const QChar typed = ch;
    if (OnKeyPress) OnKeyPress(this, ch);
    if (ch.isNull()) return true;
    return charKey(ch, fromEditor, ch != typed);
}

bool TDBGrid::event(QEvent* e) {
    if (e->type() == QEvent::Paint)
        m_paintedFrame = framePicture(); // the frame, the cells are the viewport's
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
            !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(k);
            return true;
        }
    }
    return QTableView::event(e);
}

void TDBGrid::keyPressEvent(QKeyEvent* e) {
    bool used = true;
    kvo::Dispatch([&] { used = handleKey(e->key(), e->modifiers(), e->text(), false); },
                  {kvo::Pending::Drop});
    e->setAccepted(used);
}

bool TDBGrid::eventFilter(QObject* watched, QEvent* e) {
    if (watched == m_editor) {
        if (e->type() == QEvent::KeyPress) {
            auto* k = static_cast<QKeyEvent*>(e);
            bool consumed = true;
            kvo::Dispatch([&] { consumed = handleKey(k->key(), k->modifiers(), k->text(), true); },
                          {kvo::Pending::Drop});
            if (consumed) return true;
            // The editor's own keys (caret, characters). What it does not use goes past the grid
            // to its containers, so that the grid's handlers do not see the key twice.
            k->accept();
            static_cast<QObject*>(m_editor)->event(k);
            if (!k->isAccepted() && parentWidget()) {
                k->accept();
                QCoreApplication::sendEvent(parentWidget(), k);
            }
            k->accept(); // else Qt hands it on to the editor's parents, the grid among them
            return true;
        }
        if (e->type() == QEvent::ShortcutOverride) {
            // Keys the grid acts on must reach it even when a window shortcut uses them.
            auto* k = static_cast<QKeyEvent*>(e);
            switch (k->key()) {
            case Qt::Key_Escape:
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Insert:
            case Qt::Key_Delete:
                e->accept();
                return true;
            default:
                break;
            }
        }
    }
    return QTableView::eventFilter(watched, e);
}

// ---------------------------------------------------------------- mouse, focus, layout

void TDBGrid::mousePressEvent(QMouseEvent* e) {
    const QModelIndex index = indexAt(e->position().toPoint());
    const QPoint pos = e->position().toPoint();
    kvo::Dispatch(
        [&] {
            // Qt has already tried to give the grid the focus for this click; an exit handler of
            // the control that had it may have kept it there.
            if (!Focused() || !index.isValid() || e->button() != Qt::LeftButton) return;
            if (index.row() == Row() && index.column() == m_col) {
                if (showsButton(m_col) && buttonRect(index).contains(pos)) editButtonClick();
                return;
            }
            if (index.row() != Row()) moveToRow(index.row());
            if (index.column() != m_col) moveCol(index.column(), false);
        },
        {kvo::Pending::Drop});
    e->accept();
}

void TDBGrid::mouseDoubleClickEvent(QMouseEvent* e) {
    const QModelIndex index = indexAt(e->position().toPoint());
    kvo::Dispatch(
        [&] {
            if (Focused() && index.isValid() && index.row() == Row() && index.column() == m_col &&
                !EditorMode() && !(showsButton(m_col) && buttonRect(index).contains(e->position().toPoint())))
                showEditor(nullptr);
        },
        {kvo::Pending::Drop});
    e->accept();
}

void TDBGrid::mouseMoveEvent(QMouseEvent* e) {
    e->accept();
}

// The focus passing between the grid and its cell editor leaves the grid focused as the cells
// show it (GridDelegate): only the grid's own pixels, its frame, may look different. Qt's handlers
// would repaint the whole grid, and with it the scroll bars and every container under it.
void TDBGrid::focusInEvent(QFocusEvent* e) {
    if (m_closingEditor) {
        updateFrame();
        return;
    }
    QTableView::focusInEvent(e);
    if (!m_editor->isHidden()) m_editor->setFocus(Qt::OtherFocusReason);
    viewport()->update();
}

void TDBGrid::focusOutEvent(QFocusEvent* e) {
    if (isAncestorOf(QApplication::focusWidget())) {
        updateFrame();
        // What Qt's handler does besides repainting.
        if (qApp->autoSipEnabled() && testAttribute(Qt::WA_InputMethodEnabled))
            QGuiApplication::inputMethod()->hide();
        return;
    }
    QTableView::focusOutEvent(e);
    viewport()->update();
}

void TDBGrid::updateFrame() {
    if (m_paintedFrame && *m_paintedFrame == framePicture()) return;
    QRegion own(rect());
    for (QObject* child : children()) {
        const auto* w = qobject_cast<QWidget*>(child);
        if (w && !w->isWindow() && w->isVisible()) own -= w->geometry();
    }
    update(own);
}

kvo::db::FramePicture TDBGrid::framePicture() {
    QStyleOptionFrame o;
    initStyleOption(&o);
    if (m_focusOnFrame < 0) {
        // Drawn once with and without the focus: most styles show it only in the cells.
        QStyleOptionFrame sample = o;
        sample.rect = QRect(0, 0, 24, 24);
        QImage with(sample.rect.size(), QImage::Format_ARGB32_Premultiplied), without = with;
        for (QImage* image : {&with, &without}) {
            image->fill(Qt::transparent);
            QPainter p(image);
            sample.state.setFlag(QStyle::State_HasFocus, image == &with);
            style()->drawControl(QStyle::CE_ShapedFrame, &sample, &p, this);
        }
        m_focusOnFrame = with != without;
    }
    if (!m_focusOnFrame) o.state &= ~QStyle::State_HasFocus;
    return {int(o.state),      o.rect,      o.palette.cacheKey(), int(o.direction),
            int(o.frameShape), o.lineWidth, o.midLineWidth,       int(o.features)};
}

void TDBGrid::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    placeEditor();
}

void TDBGrid::scrollContentsBy(int dx, int dy) {
    QTableView::scrollContentsBy(dx, dy);
    placeEditor();
}

void TDBGrid::changeEvent(QEvent* e) {
    QTableView::changeEvent(e);
    if (e->type() == QEvent::StyleChange || e->type() == QEvent::PaletteChange) m_focusOnFrame = -1;
    if (e->type() == QEvent::EnabledChange) viewport()->update();
}

void TDBGrid::DoExit() {
    if (active()) {
        if (HasOption(dgCancelOnExit) && unmodifiedInsert()) {
            hideEditor();
            DataSet()->Cancel();
        } else {
            commitEditor(); // a bad text keeps the focus in the grid
        }
    }
    TFocusControl::DoExit();
}

// ---------------------------------------------------------------- following the set

bool TDBGrid::focusFieldFromSet(TField* field) {
    int index = -1;
    for (int i = 0; i < m_columns.Count(); ++i) {
        TColumn* c = m_columns.Items(i);
        if (c->Visible() && c->Field() == field) {
            index = i;
            break;
        }
    }
    if (index < 0) return false;
    moveCol(index, true);
    if (CanFocus() && !Focused()) SetFocus();
    const TClientDataSet* ds = DataSet();
    if (ds && (ds->State() == dsEdit || ds->State() == dsInsert) && !EditorMode() && Focused())
        showEditor(nullptr);
    return true;
}

void TDBGrid::sourceActiveChanged() {
    hideEditor();
    auto sections = [this] {
        std::vector<int> sizes;
        const QHeaderView* h = horizontalHeader();
        for (int i = 0; i < h->count(); ++i)
            sizes.push_back(h->isSectionHidden(i) ? -1 : h->sectionSize(i));
        return sizes;
    };
    const std::vector<int> before = sections();
    m_columns.rebuildDefault();
    m_syncing = true;
    m_reloading = true;
    m_model->resetAll();
    m_reloading = false;
    m_syncing = false;
    if (!m_columns.Items(m_col) || !m_columns.Items(m_col)->Visible()) {
        const int first = firstVisibleColumn();
        m_col = first >= 0 ? first : 0;
    }
    applyColumnLayout();
    // A set reloaded (closed and opened again, as a screen's verify command does) keeps its columns:
    // the layout that follows may then leave alone the cells that show what they showed.
    if (m_reset != Reset::Other) m_reset = sections() == before ? Reset::SameColumns : Reset::Other;
    if (m_reset == Reset::Other && std::exchange(m_resetRepaint, false)) viewport()->update();
    syncCurrent();
}

void TDBGrid::sourceStateChanged() {
    const TClientDataSet* ds = DataSet();
    if (!ds || (ds->State() != dsEdit && ds->State() != dsInsert)) hideEditor();
    sourceDataChanged(nullptr);
}

void TDBGrid::sourceDataChanged(TField* field) {
    // A handler (a lookup, a computed total) changed the value under the editor: show it, and
    // drop what was typed so that it does not overwrite the new value later.
    TField* selected = SelectedField();
    if (EditorMode() && !m_committing && selected && (field == selected || (!field && !m_editorModified))) {
        m_editor->setText(selected->DisplayText());
        m_editor->selectAll();
        m_editorModified = false;
    }
    // A field write repaints its row through the model; a scroll or a new state repaints the rows.
    if (field)
        placeEditor();
    else
        syncCurrent();
}

void TDBGrid::columnsChanged(bool layout) {
    if (layout) {
        m_reset = Reset::Other;
        m_syncing = true;
        m_model->resetAll();
        m_syncing = false;
        if (!m_columns.Items(m_col) || !m_columns.Items(m_col)->Visible()) {
            if (EditorMode()) hideEditor();
            const int first = firstVisibleColumn();
            m_col = first >= 0 ? first : 0;
        }
        applyColumnLayout();
    } else {
        horizontalHeader()->viewport()->update();
    }
    placeEditor();
    viewport()->update();
}

void TDBGrid::applyColumnLayout() {
    m_syncing = true;
    for (int i = 0; i < m_columns.Count(); ++i) {
        TColumn* c = m_columns.Items(i);
        setColumnHidden(i, !c->Visible());
        if (c->Visible()) horizontalHeader()->resizeSection(i, c->Width());
    }
    m_syncing = false;
}

void TDBGrid::syncCurrent() {
    const int row = Row();
    if (row >= 0 && m_col >= 0 && m_col < m_columns.Count() && row < m_model->rowCount()) {
        // Qt's scrollTo repaints the cell it scrolls to even when it is in view: the rows below
        // repaint what looks different.
        executeDelayedItemsLayout();
        const QModelIndex current = m_model->index(row, m_col);
        if (!viewport()->rect().contains(visualRect(current)))
            scrollTo(current, QAbstractItemView::EnsureVisible);
    }
    placeEditor();
    // Only the row left and the row reached look different: repainting just those keeps a move
    // as cheap as in any table view, whatever the row count.
    if (m_paintedRow != row) updateRow(m_paintedRow);
    updateRow(row);
    m_paintedRow = row;
}

void TDBGrid::paintEvent(QPaintEvent* e) {
    m_paintedRows = m_model->rowCount();
    m_paintedOffset = QPoint(horizontalOffset(), verticalOffset());
    if (m_pictures.size() > 4096) m_pictures.clear(); // rows long scrolled away
    QTableView::paintEvent(e);
}

void TDBGrid::cellPainted(const QModelIndex& index, kvo::db::CellPicture&& picture) {
    m_pictures.insert(quint64(quint32(index.row())) << 32 | quint32(index.column()), std::move(picture));
}

// Qt lays the rows out again after a model reset and repaints every cell. When the reset reloaded
// the rows with the columns as they were, the row count and scroll position as painted, only the
// rows whose cells would look different are repainted.
void TDBGrid::doItemsLayout() {
    const bool sameColumns = std::exchange(m_reset, Reset::None) == Reset::SameColumns;
    const bool resetRepaint = std::exchange(m_resetRepaint, false);
    const QPoint offset(horizontalOffset(), verticalOffset());
    if (!sameColumns || !resetRepaint || m_paintedRows < 0 || m_model->rowCount() != m_paintedRows ||
        offset != m_paintedOffset) {
        QTableView::doItemsLayout(); // repaints every cell, the reset's repaint included
        return;
    }
    updateGeometries();
    // What QTableView's layout does besides, with Qt's public calls: the row header follows the
    // scroll bar (per item) and paints again.
    QHeaderView* rows = verticalHeader();
    const QScrollBar* bar = verticalScrollBar();
    if (bar->maximum() > 0 && bar->value() == bar->maximum())
        rows->setOffsetToLastSection();
    else
        rows->setOffsetToSectionPosition(bar->value());
    if (!rows->updatesEnabled()) rows->setUpdatesEnabled(true);
    if (QPoint(horizontalOffset(), verticalOffset()) != offset) {
        viewport()->update();
        return;
    }
    updateChangedRows();
}

// A model reset sets the root index again, and QTableView repaints every cell for the same root:
// during a reload that repaint waits for the layout, which decides what it covers.
void TDBGrid::setRootIndex(const QModelIndex& index) {
    if (m_reloading && index == rootIndex()) {
        m_resetRepaint = true;
        scheduleDelayedItemsLayout();
        return;
    }
    QTableView::setRootIndex(index);
}

void TDBGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                          const QList<int>& roles) {
    if (topLeft.model() != m_model || !topLeft.isValid() || !bottomRight.isValid()) {
        QTableView::dataChanged(topLeft, bottomRight, roles);
        return;
    }
    // The grid has no item editors of Qt's and keeps its size: what Qt does besides repainting the
    // range is telling assistive technology.
    if (isVisible())
        for (int row = topLeft.row(); row <= bottomRight.row(); ++row)
            updateRow(row);
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::DataChanged);
        event.setFirstRow(topLeft.row());
        event.setFirstColumn(topLeft.column());
        event.setLastRow(bottomRight.row());
        event.setLastColumn(bottomRight.column());
        QAccessible::updateAccessibility(&event);
    }
}

void TDBGrid::updateChangedRows() {
    const int rows = m_model->rowCount();
    if (rows == 0) return;
    const int top = std::max(0, rowAt(0)), bottom = rowAt(viewport()->height() - 1);
    for (int row = top; row <= (bottom < 0 ? rows - 1 : bottom); ++row)
        updateRow(row);
}

// The cells of a row that would look different from what is on screen, and its indicator.
void TDBGrid::updateRow(int row) {
    if (row < 0 || row >= m_model->rowCount()) return;
    const int y = rowViewportPosition(row), h = rowHeight(row);
    const int width = viewport()->width();
    for (int column = 0; column < m_model->columnCount(); ++column) {
        if (isColumnHidden(column)) continue;
        const QModelIndex index = m_model->index(row, column);
        const QRect rect = visualRect(index);
        if (rect.right() < 0 || rect.left() >= width) continue;
        const auto painted = m_pictures.constFind(quint64(quint32(row)) << 32 | quint32(column));
        if (painted == m_pictures.cend() || !(*painted == m_delegate->picture(index, rect)))
            viewport()->update(rect);
    }
    if (verticalHeader()->isVisible())
        verticalHeader()->viewport()->update(QRect(0, y, verticalHeader()->viewport()->width(), h));
}
