#pragma once

#include "Exceptions.h"
#include "TDataPacket.h"
#include "TField.h"

#include <QObject>
#include <QStringList>
#include <QVariant>
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
    void Next();
    void Prior();
    int MoveBy(int distance); // returns the distance actually moved
    bool Eof() const;
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
    // Fast path of TField::AsFloat for a float field: false when the value is null.
    bool floatValue(const TField* field, double* value) const;

private:
    friend class TDataSource;
    void attachSource(TDataSource* source);
    void detachSource(TDataSource* source);

    struct Impl;
    std::unique_ptr<Impl> d;
};
