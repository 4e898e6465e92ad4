#pragma once

#include "CalcCache.h"
#include "Exceptions.h"
#include "RowStore.h"
#include "TDataPacket.h"
#include "TField.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
#include <cmath>
#include <functional>
#include <memory>
#include <vector>

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

enum TLocateOption { loCaseInsensitive = 1, loPartialKey = 2 };
Q_DECLARE_FLAGS(TLocateOptions, TLocateOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TLocateOptions)

class TDataSource;

// An in-memory table loaded whole from a data packet, with a change log of what was inserted,
// edited and deleted since. Events fire in the classic data-aware order (see the README).
// A set whose fields are defined (AddField) takes packet columns by name; otherwise it takes
// the packet's own fields.
class TClientDataSet : public QObject {
    Q_OBJECT
public:
    using TDataSetNotifyEvent = std::function<void(TClientDataSet* DataSet)>;

    explicit TClientDataSet(QObject* parent = nullptr);
    ~TClientDataSet() override;

    // Field definitions (made before the set is opened or loaded)
    TField* AddField(const QString& name, TFieldType type, int size = 0);
    TField* AddCalcField(const QString& name, TFieldType type, int size = 0);
    void AddIndex(const QString& name, const QString& fields); // fields "A;B"
    int FieldCount() const;
    TField* Fields(int index) const;
    TField* FindField(const QString& name) const;   // nullptr when absent (case-insensitive)
    TField* FieldByName(const QString& name) const; // throws EDatabaseError when absent

    // Opening, loading, closing
    void CreateDataSet(); // opens empty with the defined fields
    void Open();          // same as CreateDataSet when not active
    void SetData(const TDataPacket& packet);
    TDataPacket Data() const; // the current data (change log applied), data fields only
    void Close();
    bool Active() const;
    TDataSetState State() const;
    bool Modified() const;

    // Navigation over the current view (filter applied, index order)
    void First();
    void Last();
    void Next(); // inline
    void Prior();
    int MoveBy(int distance); // returns the distance actually moved
    bool Eof() const;         // inline
    bool Bof() const;
    int RecNo() const; // 1-based; 0 when empty
    void SetRecNo(int recNo);
    int RecordCount() const;
    bool IsEmpty() const;
    bool Locate(const QString& fields, const QVariant& values, TLocateOptions options = {});

    // Editing
    void Insert();
    void Append();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    void CheckBrowseMode();

    // Filter and index
    QString Filter() const;
    void SetFilter(const QString& expression); // throws EDatabaseError for a malformed expression
    bool Filtered() const;
    void SetFiltered(bool on);
    QString IndexName() const;
    void SetIndexName(const QString& name); // "" for arrival order

    // Change log
    TChangeLog Delta() const;
    int ChangeCount() const;
    bool LogChanges() const;
    void SetLogChanges(bool on);
    void MergeChangeLog();
    void CancelUpdates();

    // Controls: data sources bound to this set (maintained by TDataSource)
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const;
    const std::vector<TDataSource*>& DataSources() const;

    // Events
    TDataSetNotifyEvent BeforeInsert, AfterInsert, OnNewRecord;
    TDataSetNotifyEvent BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost;
    TDataSetNotifyEvent BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete;
    TDataSetNotifyEvent BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeOpen, AfterOpen;
    TDataSetNotifyEvent BeforeClose, AfterClose;
    TDataSetNotifyEvent OnCalcFields;

    // Used by TField: the current row's value of a field.
    QVariant fieldValue(const TField* field) const;
    void setFieldValue(TField* field, const QVariant& value);
    void focusField(TField* field);
    // Used by grids to paint rows other than the current one: the value of a field on row recNo
    // (1-based) of the current view, read without moving the current row and without events.
    // Calculated fields are computed for that row; out-of-range rows read as null.
    QVariant viewFieldValue(int recNo, const TField* field) const;
    // Fast path of TField::AsFloat for a float field: NaN when the value is null (a returned value
    // rather than an out parameter, so a walk keeps it in a register).
    double floatValue(const TField* field) const;

private:
    friend class TDataSource;

    // The cursor, kept here rather than in Impl so that a plain walk (Next / Eof / AsFloat in the
    // browse state, nothing listening) runs inline; Impl works on these members in place, and only
    // through its setters for the position and the state.
    struct Cursor {
        int cur = -1;
        bool eof = true, bof = true;
        TDataSetState state = dsInactive;
        int disableCount = 0;
        std::vector<TDataSource*> sources;
        const kvo::data::RowList* view = nullptr; // Impl's view, for Eof

        // The walk, derived from the rest by Impl after a move and dropped by any change. While
        // browsing on a row short of the end, `row` is that row's cells (nullptr otherwise), `id`
        // its id in a block of view ids and `cells` the store's first row, `width` cells apart.
        // Next may step up to walkEnd along that block while nothing listens and neither end flag
        // is set. A step writes integers and pointers only, so a walk's loop keeps the rest in
        // registers.
        const kvo::data::Cell* row = nullptr;
        const quint32* id = nullptr;
        const kvo::data::Cell* cells = nullptr;
        size_t width = 0;
        int walkEnd = -1;

        void drop() {
            row = nullptr;
            walkEnd = -1;
        }
        // A move here tells no control: none is bound, or they are disabled.
        bool unwatched() const { return sources.empty() || disableCount != 0; }
    };
    Cursor m_cursor;
    // The slow paths of a walk are cold: a loop then keeps its own values (a running sum) in
    // registers, saving them only around the rare call.
    [[gnu::cold]] void nextChecked();
    [[gnu::cold]] double floatValueChecked(const TField* field) const;
    void attachSource(TDataSource* source);
    void detachSource(TDataSource* source);

    struct Impl;
    std::unique_ptr<Impl> d;
};

// A step that fires no event and tells no control is just the cursor moving; anything else runs
// the whole sequence in MoveBy.
inline void TClientDataSet::Next() {
    Cursor& c = m_cursor;
    if (c.cur < c.walkEnd && !BeforeScroll && !AfterScroll) [[likely]] {
        ++c.cur;
        c.row = c.cells + size_t(*++c.id) * c.width;
        return;
    }
    nextChecked();
}

inline bool TClientDataSet::Eof() const {
    const Cursor& c = m_cursor;
    if (c.row) [[likely]]
        return false;
    return c.state == dsInactive || c.view->empty() || c.eof;
}

inline double TClientDataSet::floatValue(const TField* field) const {
    const Cursor& c = m_cursor;
    // A data column has its field's type.
    if (c.row && field->m_dataSet == this && field->m_column >= 0 && field->m_type == ftFloat) [[likely]]
        return c.row[field->m_column].f;
    return floatValueChecked(field);
}

inline double TField::AsFloat() const {
    if (m_type != ftFloat) [[unlikely]]
        return convertedFloat();
    const double v = m_dataSet->floatValue(this);
    return std::isnan(v) ? 0 : v;
}
