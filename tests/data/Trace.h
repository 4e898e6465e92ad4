#pragma once

// Records every event of a record set and of one data source (and a link on it) as one line of text,
// so a test can compare the whole sequence at once.

#include "data/TClientDataSet.h"
#include "data/TDataSource.h"

#include <QStringList>

class Trace : public TDataSource::Link {
public:
    QStringList events;
    TDataSource source;
    QString abortOn; // event name that throws EAbort when reached

    explicit Trace(TClientDataSet& cds) : source(&cds) {
        auto hook = [this](TClientDataSet::TDataSetNotifyEvent& ev, const char* name) {
            const QString n = QLatin1String(name);
            ev = [this, n](TClientDataSet*) {
                events << n;
                if (n == abortOn) Abort();
            };
        };
        hook(cds.BeforeInsert, "BeforeInsert");
        hook(cds.AfterInsert, "AfterInsert");
        hook(cds.OnNewRecord, "OnNewRecord");
        hook(cds.BeforeEdit, "BeforeEdit");
        hook(cds.AfterEdit, "AfterEdit");
        hook(cds.BeforePost, "BeforePost");
        hook(cds.AfterPost, "AfterPost");
        hook(cds.BeforeCancel, "BeforeCancel");
        hook(cds.AfterCancel, "AfterCancel");
        hook(cds.BeforeDelete, "BeforeDelete");
        hook(cds.AfterDelete, "AfterDelete");
        hook(cds.BeforeScroll, "BeforeScroll");
        hook(cds.AfterScroll, "AfterScroll");
        hook(cds.BeforeOpen, "BeforeOpen");
        hook(cds.AfterOpen, "AfterOpen");
        hook(cds.BeforeClose, "BeforeClose");
        hook(cds.AfterClose, "AfterClose");
        source.OnStateChange = [this](QObject*) {
            events << QStringLiteral("State:") + stateName(source.State());
        };
        source.OnDataChange = [this](QObject*, TField* f) {
            events << (f ? QStringLiteral("Data:") + f->FieldName() : QStringLiteral("Data"));
        };
        source.addLink(this);
    }
    ~Trace() override { source.removeLink(this); }

    static QString stateName(TDataSetState s) {
        switch (s) {
        case dsInactive:
            return QStringLiteral("inactive");
        case dsBrowse:
            return QStringLiteral("browse");
        case dsEdit:
            return QStringLiteral("edit");
        case dsInsert:
            return QStringLiteral("insert");
        }
        return {};
    }

    // The trace so far, cleared; link entries are lower-case ("link:state") to tell them apart.
    QString take() {
        const QString s = events.join(QLatin1Char(' '));
        events.clear();
        return s;
    }

    void activeChanged() override { events << QStringLiteral("link:active"); }
    void stateChanged() override { events << QStringLiteral("link:state"); }
    void dataChanged(TField*) override {} // OnDataChange already records these
    void updateData() override {
        events << QStringLiteral("link:update");
        if (pendingField) {
            pendingField->SetAsString(pendingText);
            pendingField = nullptr;
        }
    }
    bool focusField(TField* f) override {
        events << QStringLiteral("link:focus:") + f->FieldName();
        return true;
    }

    // A text typed into a control but not yet written to its field.
    TField* pendingField = nullptr;
    QString pendingText;
};

// The CODE column of the current view, in view order.
inline QString codes(TClientDataSet& cds) {
    QStringList out;
    TField* f = cds.FieldByName("CODE");
    for (int i = 1; i <= cds.RecordCount(); ++i)
        out << cds.viewFieldValue(i, f).toString();
    return out.join(QLatin1Char(','));
}
