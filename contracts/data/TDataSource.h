#pragma once

#include <QObject>
#include <functional>
#include <vector>

#include "TClientDataSet.h"

// Binds one record set to controls. On a state change it first tells its links (grids switch
// editors, edits go read-only or editable), then fires OnStateChange. OnDataChange fires after
// scrolls and data changes (field nullptr: the whole row or the set changed).
class TDataSource : public QObject {
    Q_OBJECT
public:
    // What a data-aware control implements to follow the set.
    class Link {
    public:
        virtual ~Link() = default;
        virtual void activeChanged() {}             // opened, closed or reloaded
        virtual void stateChanged() {}
        virtual void dataChanged(TField* /*field*/) {} // nullptr: row moved or set changed
        virtual void updateData() {}                // before Post: write pending typed text to the field
        virtual bool focusField(TField* /*field*/) { return false; } // true when it took the focus
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
    void notifyUpdateData();
    bool notifyFocusField(TField* field);

private:
    TClientDataSet* m_dataSet = nullptr;
    bool m_enabled = true;
    std::vector<Link*> m_links;
};
