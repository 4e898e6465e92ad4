#pragma once

// A form with a data grid over a three-row record set and a second control to move the focus
// to, a recording host UI, and a trace of record-set, data-source and grid events.

#include "../support/StubHostUi.h"
#include "widgets/Focus.h"
#include "widgets/HostUi.h"
#include "widgets/StdControls.h"
#include "widgets/TDBGrid.h"

#include "data/TClientDataSet.h"
#include "data/TDataSource.h"

#include <QApplication>
#include <QTest>
#include <QVBoxLayout>

namespace kvo::test {

class RecordingUi : public StubHostUi {
public:
    QStringList errors, questions;
    QList<int> answers; // for ShowMessage, in order; mrNo when exhausted

    void ShowError(const QString& text) override { errors << text; }
    int ShowMessage(const QString& text, int, int) override {
        questions << text;
        return answers.isEmpty() ? kvo::mrNo : answers.takeFirst();
    }
};

class Trace {
public:
    void add(const QString& s) { m_items << s; }
    QStringList take() {
        QStringList r;
        r.swap(m_items);
        return r;
    }

private:
    QStringList m_items;
};

inline QString stateName(TDataSetState s) {
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

// Hooks every event of a set (and its data source's state change) into the trace.
inline void traceSet(TClientDataSet& cds, TDataSource& dts, Trace& trace) {
    auto hook = [&trace](const char* name) {
        return [&trace, name](TClientDataSet*) { trace.add(QString::fromLatin1(name)); };
    };
    cds.BeforeInsert = hook("BeforeInsert");
    cds.AfterInsert = hook("AfterInsert");
    cds.OnNewRecord = hook("OnNewRecord");
    cds.BeforeEdit = hook("BeforeEdit");
    cds.AfterEdit = hook("AfterEdit");
    cds.BeforePost = hook("BeforePost");
    cds.AfterPost = hook("AfterPost");
    cds.BeforeCancel = hook("BeforeCancel");
    cds.AfterCancel = hook("AfterCancel");
    cds.BeforeDelete = hook("BeforeDelete");
    cds.AfterDelete = hook("AfterDelete");
    cds.BeforeScroll = hook("BeforeScroll");
    cds.AfterScroll = hook("AfterScroll");
    dts.OnStateChange = [&trace, &cds](QObject*) { trace.add("state:" + stateName(cds.State())); };
}

struct GridFixture {
    RecordingUi ui;
    kvo::HostUi* previousUi;
    Trace trace;
    TClientDataSet cds;
    TDataSource dts;
    TForm form;
    TDBGrid* grid;
    TEdit* other;

    GridFixture() : previousUi(kvo::SetUi(&ui)) {
        cds.AddField(QStringLiteral("CODE"), ftString, 5)->SetDisplayLabel(QStringLiteral("Código"));
        cds.AddField(QStringLiteral("NAME"), ftString, 20)->SetDisplayLabel(QStringLiteral("Nome"));
        cds.AddField(QStringLiteral("QT"), ftFloat)->SetDisplayLabel(QStringLiteral("Quantidade"));
        TDataPacket p;
        p.fields = {{QStringLiteral("CODE"), ftString, 5},
                    {QStringLiteral("NAME"), ftString, 20},
                    {QStringLiteral("QT"), ftFloat, 0}};
        p.rows = {{QStringLiteral("001"), QStringLiteral("Ala A"), 12.0},
                  {QStringLiteral("002"), QStringLiteral("Ala B"), 2.5},
                  {QStringLiteral("003"), QStringLiteral("Ala C"), QVariant()}};
        cds.SetData(p);
        dts.SetDataSet(&cds);

        auto* layout = new QVBoxLayout(&form);
        grid = new TDBGrid(&form);
        grid->Columns().Add(QStringLiteral("CODE"));
        grid->Columns().Add(QStringLiteral("NAME"));
        grid->Columns().Add(QStringLiteral("QT"));
        grid->SetDataSource(&dts);
        other = new TEdit(&form);
        layout->addWidget(grid);
        layout->addWidget(other);
        form.resize(480, 320);

        traceSet(cds, dts, trace);
        grid->OnEnter = [this](QObject*) { trace.add("Enter"); };
        grid->OnExit = [this](QObject*) { trace.add("Exit"); };
        grid->OnColEnter = [this](QObject*) {
            trace.add("ColEnter:" + (grid->SelectedField() ? grid->SelectedField()->FieldName() : QString()));
        };
        other->OnEnter = [this](QObject*) { trace.add("edtOther:Enter"); };
        other->OnExit = [this](QObject*) { trace.add("edtOther:Exit"); };
    }

    ~GridFixture() {
        grid->SetDataSource(nullptr);
        kvo::SetUi(previousUi);
    }

    bool showAndFocusGrid() {
        form.show();
        form.activateWindow();
        if (!QTest::qWaitForWindowActive(&form)) return false;
        grid->SetFocus();
        return grid->hasFocus();
    }

    QWidget* target() const {
        QWidget* w = QApplication::focusWidget();
        return w ? w : grid;
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(target(), k, mods); }
    void type(const QString& text) {
        // One character at a time: the first one may open the editor, which then gets the rest.
        for (QChar c : text)
            QTest::keyClicks(target(), QString(c));
    }
};

} // namespace kvo::test
