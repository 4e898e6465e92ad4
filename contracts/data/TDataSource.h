#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "TClientDataSet.h"

// Binds one record set to controls. On a state change it first tells its links (grids switch
// editors, edits go read-only or editable), then fires OnStateChange. OnDataChange fires after
// scrolls and data changes (field nullptr: the whole row or the set changed).
// An exact change of the set's current view (filter applied, index order), in 0-based view rows,
// reported right after it happened and before the next event of the sequence that caused it.
// Reset covers everything else (filter, index, CancelUpdates; opening, loading and closing reach
// the links as activeChanged instead); Changed is one row's values; Moved is a posted row that took another
// place in the index (row -> to, its position once moved), followed by Changed of that row.
struct TViewChange {
    enum Kind { Reset, Inserted, Removed, Moved, Changed };
    Kind kind = Reset;
    int row = -1;
    int to = -1;
    bool operator==(const TViewChange&) const = default;
};

class TDataSource : public QObject {
    Q_OBJECT
public:
    // What a data-aware control implements to follow the set.
    class Link {
    public:
        virtual ~Link() = default;
        virtual void activeChanged() {} // opened, closed or reloaded
        virtual void stateChanged() {}
        virtual void dataChanged(TField* /*field*/) {} // nullptr: row moved or set changed
        virtual void updateData() {}                   // before Post: write pending typed text to the field
        virtual bool focusField(TField* /*field*/) { return false; } // true when it took the focus
        virtual void sourceDestroyed() {} // the source is going away while still linked
        virtual void viewChanged(const TViewChange& /*change*/) {}
    };

    explicit TDataSource(QObject* parent = nullptr);
    TDataSource(TClientDataSet* dataSet, QObject* parent = nullptr);
    ~TDataSource() override;

    TClientDataSet* DataSet() const { return m_dataSet; }
    void SetDataSet(TClientDataSet* dataSet);
    TDataSetState State() const;
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool on);

    void addLink(Link* link);
    void removeLink(Link* link);
    const std::vector<Link*>& links() const { return m_links; }

    std::function<void(QObject* Sender)> OnStateChange;
    std::function<void(QObject* Sender, TField* Field)> OnDataChange;

    // Called by the record set.
    void notifyStateChange();
    void notifyDataChange(TField* field);
    void notifyActiveChange();
    void notifyViewChange(const TViewChange& change);
    void notifyUpdateData();
    bool notifyFocusField(TField* field);

private:
    TClientDataSet* m_dataSet = nullptr;
    bool m_enabled = true;
    std::vector<Link*> m_links;
};

// One control's binding to a data source: it leaves the old source when rebound or destroyed, and
// reads as unbound once the source is destroyed first. The control reacts through the callbacks.
class TDataLink final : public TDataSource::Link {
public:
    TDataLink() = default;
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;
    ~TDataLink() override;

    TDataSource* DataSource() const { return m_source; }
    bool SetDataSource(TDataSource* source); // false when already bound to it
    TClientDataSet* DataSet() const { return m_source ? m_source->DataSet() : nullptr; }
    TField* FindField(const QString& name) const; // nullptr when unbound, unnamed or unknown

    std::function<void()> OnActiveChange, OnStateChange, OnUpdateData;
    std::function<void(TField* field)> OnDataChange;
    std::function<bool(TField* field)> OnFocusField;
    std::function<void(const TViewChange& change)> OnViewChange;

    void activeChanged() override;
    void stateChanged() override;
    void dataChanged(TField* field) override;
    void updateData() override;
    bool focusField(TField* field) override;
    void sourceDestroyed() override { m_source = nullptr; }
    void viewChanged(const TViewChange& change) override {
        if (OnViewChange) OnViewChange(change);
    }

private:
    TDataSource* m_source = nullptr;
};
