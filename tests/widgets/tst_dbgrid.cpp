// The data grid driven by real key events: each key and column change, with the record-set and
// grid events it fires (compared whole) and the state it leaves.

#include "DBGridTestSupport.h"

#include "widgets/StdControls.h"
#include "widgets/TDBGrid.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScopeGuard>
#include <QScreen>
#include <QStyleFactory>
#include <QTest>

using namespace kvo::test;

using SetStep = std::function<void(TClientDataSet&)>;
Q_DECLARE_METATYPE(SetStep)
using GridSteps = QList<std::function<void(GridFixture&)>>;
Q_DECLARE_METATYPE(GridSteps)

// Fusion with the focus drawn on a scroll area's frame, as some platform styles do.
class FocusFrameStyle : public QProxyStyle {
public:
    FocusFrameStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element == CE_ShapedFrame && (option->state & State_HasFocus))
            painter->fillRect(option->rect.adjusted(0, 0, 0, -option->rect.height() + 2), Qt::red);
    }
};

class TestDBGrid : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<GridFixture> f;
    std::unique_ptr<QAbstractItemModelTester> tester; // checks every signal of every test

    TDBGrid* grid() { return f->grid; }
    TClientDataSet& cds() { return f->cds; }
    QString take() { return f->trace.take().join(QStringLiteral(", ")); }

    static QString trace(const QStringList& events) { return events.join(QStringLiteral(", ")); }

private slots:
    void init() {
        f = std::make_unique<GridFixture>();
        tester = std::make_unique<QAbstractItemModelTester>(
            grid()->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        QVERIFY(f->showAndFocusGrid());
        take();
    }
    void cleanup() {
        tester.reset();
        f.reset();
    }

    // ---- the model's notifications

    // The exact signals of each change of the set's view, and the rows the model then shows.
    void modelSignalsFollowEachViewChange_data() {
        QTest::addColumn<SetStep>("setup");
        QTest::addColumn<SetStep>("change");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QStringList>("codes");
        const SetStep none = [](TClientDataSet&) {};
        const auto code = [](const char* text) {
            return [text](TClientDataSet& ds) {
                ds.FieldByName("CODE")->SetAsString(QString::fromLatin1(text));
            };
        };
        const auto byCode = [](TClientDataSet& ds) {
            ds.AddIndex(QStringLiteral("BYCODE"), QStringLiteral("CODE"));
            ds.SetIndexName(QStringLiteral("BYCODE"));
        };
        QTest::newRow("insert in the middle")
            << SetStep([](TClientDataSet& ds) { ds.SetRecNo(2); })
            << SetStep([](TClientDataSet& ds) { ds.Insert(); }) << QStringList{"inserted 1"}
            << QStringList{"001", "", "002", "003"};
        QTest::newRow("append") << none << SetStep([](TClientDataSet& ds) { ds.Append(); })
                                << QStringList{"inserted 3"} << QStringList{"001", "002", "003", ""};
        QTest::newRow("cancel an insert") << SetStep([](TClientDataSet& ds) {
            ds.SetRecNo(2);
            ds.Insert();
        }) << SetStep([](TClientDataSet& ds) { ds.Cancel(); })
                                          << QStringList{"removed 1"} << QStringList{"001", "002", "003"};
        QTest::newRow("delete in the middle") << SetStep([](TClientDataSet& ds) { ds.SetRecNo(2); })
                                              << SetStep([](TClientDataSet& ds) { ds.Delete(); })
                                              << QStringList{"removed 1"} << QStringList{"001", "003"};
        QTest::newRow("field write") << SetStep([](TClientDataSet& ds) {
            ds.SetRecNo(2);
            ds.Edit();
        }) << SetStep(code("X")) << QStringList{"changed 1"}
                                     << QStringList{"001", "X", "003"};
        QTest::newRow("cancel an edit") << SetStep([&](TClientDataSet& ds) {
            ds.Edit();
            code("X")(ds);
        }) << SetStep([](TClientDataSet& ds) { ds.Cancel(); })
                                        << QStringList{"changed 0"} << QStringList{"001", "002", "003"};
        QTest::newRow("post in place") << SetStep([&](TClientDataSet& ds) {
            ds.Edit();
            code("000")(ds);
        }) << SetStep([](TClientDataSet& ds) { ds.Post(); })
                                       << QStringList{"changed 0"} << QStringList{"000", "002", "003"};
        QTest::newRow("post moves down the index") << SetStep([&](TClientDataSet& ds) {
            byCode(ds);
            ds.First();
            ds.Edit();
            code("009")(ds);
        }) << SetStep([](TClientDataSet& ds) { ds.Post(); })
                                                   << QStringList{"moved 0 before 3", "changed 2"}
                                                   << QStringList{"002", "003", "009"};
        QTest::newRow("posted insert moves up the index") << SetStep([&](TClientDataSet& ds) {
            byCode(ds);
            ds.Append();
            code("0015")(ds);
        }) << SetStep([](TClientDataSet& ds) { ds.Post(); })
                                                          << QStringList{"moved 3 before 1", "changed 1"}
                                                          << QStringList{"001", "0015", "002", "003"};
        QTest::newRow("post leaves the filter") << SetStep([&](TClientDataSet& ds) {
            ds.SetFilter(QStringLiteral("CODE <> '009'"));
            ds.SetFiltered(true);
            ds.SetRecNo(2);
            ds.Edit();
            code("009")(ds);
        }) << SetStep([](TClientDataSet& ds) { ds.Post(); })
                                                << QStringList{"removed 1"} << QStringList{"001", "003"};
        QTest::newRow("filter switched on")
            << SetStep([](TClientDataSet& ds) { ds.SetFilter(QStringLiteral("CODE <> '002'")); })
            << SetStep([](TClientDataSet& ds) { ds.SetFiltered(true); }) << QStringList{"reset"}
            << QStringList{"001", "003"};
        QTest::newRow("load") << none << SetStep([](TClientDataSet& ds) {
            TDataPacket p = ds.Data();
            p.rows.removeFirst();
            ds.SetData(p);
        }) << QStringList{"reset", "reset"}
                              << QStringList{"002", "003"}; // closed, then opened
        QTest::newRow("changes with controls disabled") << SetStep([](TClientDataSet& ds) {
            ds.DisableControls();
            ds.First();
            ds.Insert();
            ds.Post();
            ds.Last();
            ds.Delete();
        }) << SetStep([](TClientDataSet& ds) { ds.EnableControls(); })
                                                        << QStringList{"reset"}
                                                        << QStringList{"", "001", "002"};
    }

    void modelSignalsFollowEachViewChange() {
        QFETCH(SetStep, setup);
        QFETCH(SetStep, change);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, codes);
        setup(cds());
        QAbstractItemModel* m = grid()->model();
        QStringList seen;
        const QList<QMetaObject::Connection> watch{
            connect(m, &QAbstractItemModel::rowsInserted, this,
                    [&](const QModelIndex&, int first, int) {
                        seen << QStringLiteral("inserted %1").arg(first);
                    }),
            connect(
                m, &QAbstractItemModel::rowsRemoved, this,
                [&](const QModelIndex&, int first, int) { seen << QStringLiteral("removed %1").arg(first); }),
            connect(m, &QAbstractItemModel::rowsMoved, this,
                    [&](const QModelIndex&, int first, int, const QModelIndex&, int before) {
                        seen << QStringLiteral("moved %1 before %2").arg(first).arg(before);
                    }),
            connect(m, &QAbstractItemModel::dataChanged, this,
                    [&](const QModelIndex& from, const QModelIndex& to) {
                        seen << (from.row() == to.row()
                                     ? QStringLiteral("changed %1").arg(from.row())
                                     : QStringLiteral("changed %1-%2").arg(from.row()).arg(to.row()));
                    }),
            connect(m, &QAbstractItemModel::modelReset, this, [&] { seen << QStringLiteral("reset"); })};
        change(cds());
        for (const auto& c : watch)
            disconnect(c);
        QCOMPARE(seen.join(", "), expected.join(", "));
        QStringList shown;
        for (int r = 0; r < m->rowCount(); ++r)
            shown << m->index(r, 0).data().toString();
        QCOMPARE(shown, codes);
        QCOMPARE(grid()->Row(), cds().RecNo() - 1);
    }

    // ---- typing and opening the editor

    void typingStartsEditAndGoesIntoTheEditor() {
        grid()->SetSelectedIndex(2); // QT
        take();
        f->type(QStringLiteral("7"));
        QCOMPARE(take(), trace({"BeforeEdit", "state:edit", "AfterEdit"}));
        QVERIFY(grid()->EditorMode());
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("7"));
        f->type(QStringLiteral(",5"));
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("7,5"));
        QCOMPARE(take(), QString()); // further characters fire nothing on the set

        f->key(Qt::Key_Return); // closes the editor and writes the text, the row stays in edit
        QVERIFY(!grid()->EditorMode());
        QCOMPARE(cds().State(), dsEdit);
        QCOMPARE(cds().FieldByName("QT")->AsFloat(), 7.5);
        QCOMPARE(grid()->CellText(0, 2), QStringLiteral("7,5"));
    }

    void enterAndF2OpenTheEditorWithTheFieldText() {
        grid()->SetSelectedIndex(1);
        take();
        f->key(Qt::Key_F2);
        QCOMPARE(take(), trace({"BeforeEdit", "state:edit", "AfterEdit"}));
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("Ala A"));
        f->key(Qt::Key_Escape); // editor untouched: Esc cancels the edit at once
        QCOMPARE(take(), trace({"BeforeCancel", "state:browse", "AfterCancel"}));
        QVERIFY(!grid()->EditorMode());

        f->key(Qt::Key_Return);
        QCOMPARE(take(), trace({"BeforeEdit", "state:edit", "AfterEdit"}));
        QVERIFY(grid()->EditorMode());
    }

    void beforeEditRefusalStartsNoEditor() {
        cds().BeforeEdit = [this](TClientDataSet*) {
            f->trace.add("BeforeEdit");
            Abort();
        };
        grid()->SetSelectedIndex(1);
        take();
        f->type(QStringLiteral("x"));
        QCOMPARE(take(), trace({"BeforeEdit"}));
        QCOMPARE(cds().State(), dsBrowse);
        QVERIFY(!grid()->EditorMode());
        QCOMPARE(cds().FieldByName("NAME")->AsString(), QStringLiteral("Ala A"));
        QCOMPARE(f->ui.errors, QStringList()); // the silent abort shows nothing
    }

    void readOnlyColumnsAndEditingOffStartNoEdit() {
        grid()->Columns()[1]->SetReadOnly(true);
        grid()->SetSelectedIndex(1);
        take();
        f->type(QStringLiteral("ab"));
        f->key(Qt::Key_F2);
        f->key(Qt::Key_Return);
        QCOMPARE(take(), QString());
        QVERIFY(!grid()->EditorMode());
        QCOMPARE(cds().State(), dsBrowse);

        // A read-only field behaves like a read-only column.
        cds().FieldByName("QT")->SetReadOnly(true);
        grid()->SetSelectedIndex(2);
        take();
        f->type(QStringLiteral("5"));
        QCOMPARE(take(), QString());

        // Editing off: typing, Insert, Down on the last row and Ctrl+Delete change nothing,
        // while the grid still navigates.
        grid()->SetOption(dgEditing, false);
        grid()->SetSelectedIndex(0);
        take();
        f->type(QStringLiteral("z"));
        f->key(Qt::Key_Insert);
        f->key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(take(), QString());
        f->key(Qt::Key_Down);
        f->key(Qt::Key_Down);
        QCOMPARE(take(), trace({"BeforeScroll", "AfterScroll", "BeforeScroll", "AfterScroll"}));
        f->key(Qt::Key_Down); // last row: no append
        QCOMPARE(take(), QString());
        QCOMPARE(cds().RecordCount(), 3);
        QCOMPARE(f->ui.questions, QStringList());

        // Switched back on at run time, typing edits again.
        grid()->SetOption(dgEditing, true);
        f->type(QStringLiteral("Z"));
        QCOMPARE(take(), trace({"BeforeEdit", "state:edit", "AfterEdit"}));
    }

    // ---- columns and options

    void columnsTakeTitlesFromFieldsAndFollowRunTimeChanges() {
        QAbstractItemModel* m = grid()->model();
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Código"));
        grid()->Columns()[2]->Title().SetAlignment(Qt::AlignRight);
        grid()->Columns()[2]->Title().SetCaption(QStringLiteral("Qtde"));
        QCOMPARE(m->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Qtde"));
        QVERIFY(m->headerData(2, Qt::Horizontal, Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
        // Number cells follow the field's right alignment unless the column says otherwise.
        QVERIFY(m->data(m->index(0, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignRight);
        grid()->Columns()[2]->SetAlignment(Qt::AlignLeft);
        QVERIFY(m->data(m->index(0, 2), Qt::TextAlignmentRole).toInt() & Qt::AlignLeft);

        grid()->Columns()[1]->SetWidth(123);
        QCOMPARE(grid()->columnWidth(1), 123);
        grid()->Columns()[1]->SetVisible(false);
        QVERIFY(grid()->isColumnHidden(1));
        QCOMPARE(grid()->columnWidth(0) > 0, true);
        grid()->Columns()[1]->SetVisible(true);
        QCOMPARE(grid()->columnWidth(1), 123); // the width survives hiding

        // A hidden selected column moves the selection to a visible one.
        grid()->SetSelectedIndex(1);
        grid()->Columns()[1]->SetVisible(false);
        QCOMPARE(grid()->SelectedIndex(), 0);

        grid()->SetOption(dgTitles, false);
        QVERIFY(grid()->horizontalHeader()->isHidden());
        QVERIFY(grid()->verticalHeader()->isHidden()); // no row indicator unless asked

        // With no column defined, every visible field gets one.
        grid()->Columns().Clear();
        cds().FieldByName("NAME")->SetVisible(false);
        grid()->SetDataSource(nullptr);
        grid()->SetDataSource(&f->dts);
        QCOMPARE(grid()->Columns().Count(), 2);
        QCOMPARE(grid()->Columns()[1]->FieldName(), QStringLiteral("QT"));
        QCOMPARE(grid()->CellText(1, 1), QStringLiteral("2,5"));
    }

    void anEmptySetTypingInsertsAndDownAppends() {
        cds().Close();
        cds().CreateDataSet();
        take();
        QCOMPARE(grid()->Row(), -1);
        f->type(QStringLiteral("N"));
        QCOMPARE(take(), trace({"BeforeInsert", "BeforeScroll", "state:insert", "OnNewRecord", "AfterInsert",
                                "AfterScroll"}));
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("N"));
        f->key(Qt::Key_Escape);
        f->key(Qt::Key_Escape);
        QCOMPARE(cds().RecordCount(), 0);
        take();
        f->key(Qt::Key_Down);
        QCOMPARE(cds().State(), dsInsert);
        QCOMPARE(grid()->Row(), 0);
    }

    void aPostedRowTakesItsIndexPlace() {
        cds().AddIndex(QStringLiteral("BYCODE"), QStringLiteral("CODE"));
        cds().SetIndexName(QStringLiteral("BYCODE"));
        f->type(QStringLiteral("009"));
        f->key(Qt::Key_Return);
        take();
        // The post moves the row to the end of the index order; Up then goes on from there.
        f->key(Qt::Key_Up);
        QCOMPARE(take(), trace({"BeforePost", "state:browse", "AfterPost", "BeforeScroll", "AfterScroll"}));
        QCOMPARE(grid()->Row(), 1);
        QCOMPARE(grid()->CellText(1, 0), QStringLiteral("003"));
        QCOMPARE(grid()->CellText(2, 0), QStringLiteral("009"));
        QCOMPARE(grid()->CellText(0, 0), QStringLiteral("002"));
    }

    // ---- row keys

    void downAppendsOnTheLastRowAndUpCancelsAnUntouchedInsert() {
        f->key(Qt::Key_Down);
        QCOMPARE(take(), trace({"BeforeScroll", "AfterScroll"}));
        f->key(Qt::Key_Down);
        take();
        QCOMPARE(cds().RecNo(), 3);

        f->key(Qt::Key_Down);
        QCOMPARE(take(), trace({"BeforeInsert", "BeforeScroll", "state:insert", "OnNewRecord", "AfterInsert",
                                "AfterScroll"}));
        QCOMPARE(cds().RecordCount(), 4);
        QCOMPARE(grid()->Row(), 3);

        f->key(Qt::Key_Down); // an untouched new row at the end: nothing
        QCOMPARE(take(), QString());
        QCOMPARE(cds().State(), dsInsert);

        f->key(Qt::Key_Up);
        QCOMPARE(take(),
                 trace({"BeforeCancel", "BeforeScroll", "state:browse", "AfterCancel", "AfterScroll"}));
        QCOMPARE(cds().RecordCount(), 3);
        QCOMPARE(cds().RecNo(), 3);
    }

    void downOnAModifiedInsertPostsAndAppendsAgain() {
        f->key(Qt::Key_Insert);
        QCOMPARE(take(), trace({"BeforeInsert", "BeforeScroll", "state:insert", "OnNewRecord", "AfterInsert",
                                "AfterScroll"}));
        QCOMPARE(grid()->Row(), 0); // Insert places the new row before the current one
        f->type(QStringLiteral("X1"));
        take();
        f->key(Qt::Key_Up); // typed text counts as a change: Up posts instead of cancelling
        QCOMPARE(take(), trace({"BeforePost", "state:browse", "AfterPost"}));
        QCOMPARE(cds().RecordCount(), 4);
        QCOMPARE(cds().FieldByName("CODE")->AsString(), QStringLiteral("X1"));
    }

    void homeEndMoveColumnsCtrlHomeEndMoveRows() {
        f->key(Qt::Key_End);
        QCOMPARE(take(), trace({"ColEnter:QT"}));
        f->key(Qt::Key_Home);
        QCOMPARE(take(), trace({"ColEnter:CODE"}));
        f->key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(take(), trace({"BeforeScroll", "AfterScroll"}));
        QCOMPARE(cds().RecNo(), 3);
        f->key(Qt::Key_PageUp); // a page up from the last row reaches the first
        QCOMPARE(cds().RecNo(), 1);
        QCOMPARE(take(), trace({"BeforeScroll", "AfterScroll"}));
        f->key(Qt::Key_Left); // first column: nothing
        QCOMPARE(take(), QString());
    }

    // A move repaints the row left and the row reached, not the whole grid.
    void aMoveRepaintsOnlyTheRowsLeftAndReached() {
        QRegion painted;
        struct Watch : QObject {
            QRegion* region;
            explicit Watch(QRegion* r) : region(r) {}
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) *region += static_cast<QPaintEvent*>(e)->region();
                return false;
            }
        } watch(&painted);
        QCoreApplication::processEvents();
        grid()->viewport()->installEventFilter(&watch);
        f->key(Qt::Key_Down);
        QCoreApplication::processEvents();
        grid()->viewport()->removeEventFilter(&watch);
        auto rowRect = [this](int row) {
            return QRect(0, grid()->rowViewportPosition(row), grid()->viewport()->width(),
                         grid()->rowHeight(row));
        };
        QVERIFY(painted.intersects(rowRect(0)));
        QVERIFY(painted.intersects(rowRect(1)));
        QVERIFY(!painted.intersects(rowRect(2)));
    }

    // The grid repaints only what a step changes: after every step the window must show what a
    // fresh paint of the grid shows, so that nothing a step changes is left out.
    void eachStepLeavesTheGridShownAsItIs_data() {
        QTest::addColumn<GridSteps>("steps");
        auto type = [](const char* text) { return [text](GridFixture& g) { g.type(QLatin1String(text)); }; };
        auto key = [](Qt::Key k) { return [k](GridFixture& g) { g.key(k); }; };
        auto column = [](int index) { return [index](GridFixture& g) { g.grid->SetSelectedIndex(index); }; };
        auto option = [](TDBGridOption o, bool on) {
            return [o, on](GridFixture& g) { g.grid->SetOption(o, on); };
        };
        auto focus = [](bool onGrid) {
            return [onGrid](GridFixture& g) { onGrid ? g.grid->SetFocus() : g.other->SetFocus(); };
        };
        QTest::newRow("typing opens the editor, Tab moves it, Esc closes it and cancels") << GridSteps{
            column(1), type("Z"), key(Qt::Key_Tab), type("4"), key(Qt::Key_Escape), key(Qt::Key_Escape)};
        QTest::newRow("the focus leaves the grid and its editor, and comes back")
            << GridSteps{focus(false), focus(true), type("7"), focus(false), focus(true)};
        QTest::newRow("the same under a style that shows the focus on the frame")
            << GridSteps{[](GridFixture& g) {
                             auto* style = new FocusFrameStyle;
                             style->setParent(g.grid);
                             g.grid->setStyle(style);
                         },
                         focus(false),
                         focus(true),
                         type("7"),
                         key(Qt::Key_Escape),
                         focus(false),
                         focus(true)};
        QTest::newRow("editing off and on under a lookup button")
            << GridSteps{[](GridFixture& g) { g.grid->Columns()[0]->SetButtonStyle(cbsEllipsis); },
                         option(dgEditing, false), option(dgEditing, true)};
        QTest::newRow("values written from code, with and without the row indicator")
            << GridSteps{[](GridFixture& g) {
                             g.cds.Edit();
                             g.cds.FieldByName("NAME")->SetAsString(QStringLiteral("Ala Z"));
                         },
                         option(dgIndicator, true),
                         [](GridFixture& g) { g.cds.FieldByName("QT")->SetAsFloat(3); }, key(Qt::Key_Down)};
        // A reload repaints only the cells whose pictures differ from what is on screen.
        auto reload = [](void (*change)(TDataPacket&)) {
            return [change](GridFixture& g) {
                TDataPacket p = g.cds.Data();
                change(p);
                g.cds.SetData(p);
            };
        };
        QTest::newRow("reloads: the same rows, one value changed, a row fewer, on another current row")
            << GridSteps{reload([](TDataPacket&) {}),
                         reload([](TDataPacket& p) { p.rows[2][1] = "Ala Z"; }),
                         reload([](TDataPacket& p) { p.rows.removeLast(); }),
                         key(Qt::Key_Down),
                         reload([](TDataPacket& p) { p.rows[0][2] = 5.0; }),
                         [reload](GridFixture& g) {
                             g.cds.FieldByName("NAME")->SetDisplayLabel(QStringLiteral("Ala"));
                             reload([](TDataPacket&) {})(g);
                         }};
    }
    void eachStepLeavesTheGridShownAsItIs() {
        QFETCH(GridSteps, steps);
        const int flash = QApplication::cursorFlashTime();
        QApplication::setCursorFlashTime(0); // a steady caret in both pictures
        const auto restore = qScopeGuard([flash] { QApplication::setCursorFlashTime(flash); });
        for (qsizetype i = 0; i < steps.size(); ++i) {
            steps[i](*f);
            for (int k = 0; k < 3; ++k)
                QCoreApplication::processEvents();
            const QImage shown = f->form.screen()
                                     ->grabWindow(f->form.winId())
                                     .toImage()
                                     .copy(QRect(grid()->mapTo(&f->form, QPoint()), grid()->size()))
                                     .convertToFormat(QImage::Format_RGB32);
            const QImage fresh = grid()->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(shown == fresh, qPrintable(QStringLiteral("step %1").arg(i + 1)));
        }
    }

    void rowChangePostsAndARefusedPostKeepsRowAndEdit() {
        grid()->SetSelectedIndex(1);
        f->type(QStringLiteral("Nova"));
        take();
        bool refuse = true;
        cds().BeforePost = [&](TClientDataSet*) {
            f->trace.add("BeforePost");
            if (refuse) Consiste::MensErro(QStringLiteral("Recusado."), true);
        };
        f->key(Qt::Key_Down);
        QCOMPARE(take(), trace({"BeforePost"}));
        QCOMPARE(f->ui.errors, QStringList({"Recusado."}));
        QCOMPARE(cds().State(), dsEdit);
        QCOMPARE(cds().RecNo(), 1);
        QCOMPARE(cds().FieldByName("NAME")->AsString(), QStringLiteral("Nova"));
        QVERIFY(grid()->EditorMode());
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("Nova"));

        refuse = false;
        f->key(Qt::Key_Down);
        QCOMPARE(take(), trace({"BeforePost", "state:browse", "AfterPost", "BeforeScroll", "AfterScroll"}));
        QCOMPARE(cds().RecNo(), 2);
        QVERIFY(!grid()->EditorMode());
        QCOMPARE(grid()->CellText(0, 1), QStringLiteral("Nova"));
    }

    void escRevertsTheEditorFirstThenCancels() {
        grid()->SetSelectedIndex(1);
        f->type(QStringLiteral("Outra"));
        take();
        f->key(Qt::Key_Escape);
        QCOMPARE(take(), QString());
        QVERIFY(!grid()->EditorMode());
        QCOMPARE(grid()->CellText(0, 1), QStringLiteral("Ala A"));
        QCOMPARE(cds().State(), dsEdit);
        f->key(Qt::Key_Escape);
        QCOMPARE(take(), trace({"BeforeCancel", "state:browse", "AfterCancel"}));
        QCOMPARE(cds().FieldByName("NAME")->AsString(), QStringLiteral("Ala A"));
    }

    void ctrlDeleteAsksThroughTheHostAndDeletesOnYes() {
        f->key(Qt::Key_Down);
        take();
        f->ui.answers = {kvo::mrNo};
        f->key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f->ui.questions, QStringList({TDBGrid::ConfirmDeleteText()}));
        QCOMPARE(take(), QString());
        QCOMPARE(cds().RecordCount(), 3);

        f->ui.answers = {kvo::mrYes};
        f->key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(take(), trace({"BeforeDelete", "BeforeScroll", "AfterDelete", "AfterScroll"}));
        QCOMPARE(cds().RecordCount(), 2);
        QCOMPARE(cds().FieldByName("CODE")->AsString(), QStringLiteral("003"));

        // Without the option there is no question; plain Delete never deletes a row.
        grid()->SetOption(dgConfirmDelete, false);
        f->ui.questions.clear();
        f->key(Qt::Key_Delete);
        QCOMPARE(cds().RecordCount(), 2);
        f->key(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(f->ui.questions, QStringList());
        QCOMPARE(cds().RecordCount(), 1);
    }

    // ---- columns

    void columnChangeWritesTheEditorThenColExitThenColEnter() {
        grid()->SetSelectedIndex(1);
        take();
        f->type(QStringLiteral("Leste"));
        take();
        grid()->OnColExit = [this](QObject*) {
            f->trace.add(
                QStringLiteral("ColExit:%1 NAME=%2")
                    .arg(grid()->SelectedField()->FieldName(), cds().FieldByName("NAME")->AsString()));
        };
        f->key(Qt::Key_Tab);
        QCOMPARE(take(), trace({"ColExit:NAME NAME=Leste", "ColEnter:QT"}));
        QCOMPARE(grid()->SelectedIndex(), 2);
        // Within the edited row the editor follows the column, its text selected for typing over.
        QVERIFY(grid()->EditorMode());
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("12"));
        QCOMPARE(grid()->InplaceEditor()->selectedText(), QStringLiteral("12"));

        f->key(Qt::Key_Tab, Qt::ShiftModifier);
        QCOMPARE(take(), trace({"ColExit:QT NAME=Leste", "ColEnter:NAME"}));
        QCOMPARE(grid()->SelectedIndex(), 1);
    }

    void aRaisingColExitVetoesTheMove() {
        grid()->SetSelectedIndex(2);
        f->type(QStringLiteral("3"));
        take();
        grid()->OnColExit = [this](QObject*) {
            f->trace.add("ColExit");
            Consiste::MensErro(QStringLiteral("Quantidade inválida."), true);
        };
        f->key(Qt::Key_Left, Qt::NoModifier); // caret at the end: Left moves the caret only
        QCOMPARE(take(), QString());
        f->key(Qt::Key_Home, Qt::NoModifier);
        f->key(Qt::Key_Left);
        QCOMPARE(take(), trace({"ColExit"}));
        QCOMPARE(grid()->SelectedIndex(), 2);
        QCOMPARE(f->ui.errors, QStringList({"Quantidade inválida."}));
        QVERIFY(grid()->EditorMode());
        QCOMPARE(cds().FieldByName("QT")->AsFloat(), 3.0); // the text was written before the veto

        // From code the veto reaches the caller.
        bool threw = false;
        try {
            grid()->SetSelectedIndex(0);
        } catch (const EAbort&) {
            threw = true;
        }
        QVERIFY(threw);
        QCOMPARE(grid()->SelectedIndex(), 2);
    }

    void tabWrapsRowsAndLeavesTheGridAtItsEnds() {
        // Last column of the first row: Tab goes to the next row's first column.
        grid()->SetSelectedIndex(2);
        take();
        f->key(Qt::Key_Tab);
        QCOMPARE(take(), trace({"BeforeScroll", "AfterScroll", "ColEnter:CODE"}));
        QCOMPARE(cds().RecNo(), 2);
        QCOMPARE(grid()->SelectedIndex(), 0);

        // Hidden columns are skipped.
        grid()->Columns()[1]->SetVisible(false);
        f->key(Qt::Key_Tab);
        QCOMPARE(grid()->SelectedIndex(), 2);
        grid()->Columns()[1]->SetVisible(true);

        cds().Last();
        take();
        f->key(Qt::Key_Tab); // last cell of the grid: the focus moves on
        QCOMPARE(take(), trace({"Exit", "edtOther:Enter"}));
        QVERIFY(f->other->hasFocus());

        grid()->SetFocus();
        cds().First();
        grid()->SetSelectedIndex(0);
        take();
        f->key(Qt::Key_Tab, Qt::ShiftModifier); // first cell: backwards out of the grid
        QCOMPARE(take(), trace({"Exit", "edtOther:Enter"}));

        // Without the tabs option Tab leaves at once.
        grid()->SetFocus();
        grid()->SetOption(dgTabs, false);
        take();
        f->key(Qt::Key_Tab);
        QCOMPARE(take(), trace({"Exit", "edtOther:Enter"}));
    }

    void keyDownSwallowsAndReplacesKeysKeyPressSwallowsCharacters() {
        grid()->OnKeyDown = [](QObject*, int& key, Qt::KeyboardModifiers) {
            if (key == Qt::Key_Up)
                key = Qt::Key_Down;
            else if (key == Qt::Key_Insert)
                key = 0;
        };
        f->key(Qt::Key_Up);
        QCOMPARE(take(), trace({"BeforeScroll", "AfterScroll"}));
        QCOMPARE(cds().RecNo(), 2);
        f->key(Qt::Key_Insert);
        QCOMPARE(take(), QString());

        grid()->OnKeyPress = [](QObject*, QChar& ch) {
            if (ch == QLatin1Char('-') || ch == QLatin1Char('\r'))
                ch = QChar();
            else if (ch == QLatin1Char('.'))
                ch = QLatin1Char(',');
        };
        grid()->SetSelectedIndex(2);
        take();
        f->type(QStringLiteral("-"));
        f->key(Qt::Key_Return);
        QCOMPARE(take(), QString());
        QVERIFY(!grid()->EditorMode());
        f->type(QStringLiteral("1-.5")); // inside the editor too: swallowed and replaced
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("1,5"));
        f->key(Qt::Key_Return); // swallowed: the editor stays open
        QVERIFY(grid()->EditorMode());
    }

    void editorKeysGoThroughTheGridHandlers() {
        // While the editor is open, OnKeyDown still sees the keys and may swallow them.
        grid()->SetSelectedIndex(1);
        f->type(QStringLiteral("A"));
        QStringList seen;
        grid()->OnKeyDown = [&](QObject*, int& key, Qt::KeyboardModifiers) {
            seen << QString::number(key, 16);
            if (key == Qt::Key_Delete) key = 0;
        };
        f->key(Qt::Key_Home);
        f->key(Qt::Key_Delete);
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("A"));
        QCOMPARE(seen, QStringList({QString::number(Qt::Key_Home, 16), QString::number(Qt::Key_Delete, 16)}));
        // A key neither the grid nor the editor uses is seen once, not again on its way out.
        seen.clear();
        f->key(Qt::Key_F9);
        QCOMPARE(seen, QStringList({QString::number(Qt::Key_F9, 16)}));
    }

    // ---- focus

    void cancelOnExitDropsAnUntouchedInsertBeforeOnExit() {
        f->key(Qt::Key_Insert);
        take();
        f->other->SetFocus();
        QCOMPARE(take(), trace({"BeforeCancel", "BeforeScroll", "state:browse", "AfterCancel", "AfterScroll",
                                "Exit", "edtOther:Enter"}));
        QCOMPARE(cds().RecordCount(), 3);

        // A touched insert stays pending; its typed text is written on the way out.
        grid()->SetFocus();
        f->key(Qt::Key_Insert);
        f->type(QStringLiteral("N1"));
        take();
        f->other->SetFocus();
        QCOMPARE(take(), trace({"Exit", "edtOther:Enter"}));
        QCOMPARE(cds().State(), dsInsert);
        QCOMPARE(cds().FieldByName("CODE")->AsString(), QStringLiteral("N1"));

        // Without the option an untouched insert is kept.
        cds().Cancel();
        grid()->SetOption(dgCancelOnExit, false);
        grid()->SetFocus();
        f->key(Qt::Key_Insert);
        f->other->SetFocus();
        QCOMPARE(cds().State(), dsInsert);
    }

    void fieldFocusControlSelectsItsColumn() {
        f->other->SetFocus();
        take();
        cds().FieldByName("QT")->FocusControl();
        QCOMPARE(grid()->SelectedIndex(), 2);
        QVERIFY(grid()->Focused());
        QCOMPARE(take(), trace({"ColEnter:QT", "edtOther:Exit", "Enter"}));
    }

    // ---- values

    void numbersShowAndAreTypedInBrazilianFormat() {
        QCOMPARE(grid()->CellText(0, 2), QStringLiteral("12"));
        QCOMPARE(grid()->CellText(1, 2), QStringLiteral("2,5"));
        QCOMPARE(grid()->CellText(2, 2), QString()); // null
        grid()->SetSelectedIndex(2);
        f->key(Qt::Key_F2);
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("12"));
        f->type(QStringLiteral("1234,75"));
        f->key(Qt::Key_Return);
        QCOMPARE(cds().FieldByName("QT")->AsFloat(), 1234.75);
        QCOMPARE(grid()->CellText(0, 2), QStringLiteral("1234,75"));
        f->key(Qt::Key_Down);
        QCOMPARE(grid()->CellText(0, 2), QStringLiteral("1234,75"));
        // A long view: painting other rows reads them without moving the current row.
        QCOMPARE(grid()->CellText(2, 0), QStringLiteral("003"));
        QCOMPARE(cds().RecNo(), 2);
    }

    void aBadNumberIsRefusedAndTheEditorKeepsIt() {
        grid()->SetSelectedIndex(2);
        f->type(QStringLiteral("1x"));
        take();
        f->key(Qt::Key_Tab);
        QCOMPARE(f->ui.errors, QStringList({"'1x' não é um valor numérico válido."}));
        QCOMPARE(take(), QString()); // no column exit, no move
        QCOMPARE(grid()->SelectedIndex(), 2);
        QVERIFY(grid()->EditorMode());
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("1x"));
        QCOMPARE(cds().FieldByName("QT")->AsFloat(), 12.0);

        // Posting by a row move fails the same way and keeps the row.
        f->key(Qt::Key_Down);
        QCOMPARE(f->ui.errors.size(), 2);
        QCOMPARE(cds().RecNo(), 1);
        QCOMPARE(cds().State(), dsEdit);

        // Leaving the grid with it: the focus stays in the grid.
        f->other->setFocus();
        QVERIFY(grid()->Focused());
        QCOMPARE(f->ui.errors.size(), 3);
    }

    void editMaskLimitsTheCellEditor() {
        cds().FieldByName("CODE")->SetEditMask(QStringLiteral("ccccc;0; "));
        f->type(QStringLiteral("ab cdefg"));
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("ab cd"));
        f->key(Qt::Key_Escape);
        f->key(Qt::Key_Escape);

        cds().FieldByName("CODE")->SetEditMask(QStringLiteral(">aaaa;0; "));
        f->type(QStringLiteral("x-1y?zw"));
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("X1YZ"));
        f->key(Qt::Key_Return);
        QCOMPARE(cds().FieldByName("CODE")->AsString(), QStringLiteral("X1YZ"));
    }

    void ellipsisButtonAndCtrlEnterFireEditButtonClick() {
        int clicks = 0;
        grid()->OnEditButtonClick = [&](QObject*) {
            ++clicks;
            cds().Edit();
            cds().FieldByName("CODE")->SetAsString(QStringLiteral("L01")); // a lookup's pick
        };
        f->key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(clicks, 0); // no button on the column yet

        grid()->Columns()[0]->SetButtonStyle(cbsEllipsis);
        f->type(QStringLiteral("Q"));
        f->key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(clicks, 1);
        // The editor shows what the handler put into the field, and it is not overwritten.
        QCOMPARE(grid()->InplaceEditor()->text(), QStringLiteral("L01"));
        f->key(Qt::Key_Tab);
        QCOMPARE(cds().FieldByName("CODE")->AsString(), QStringLiteral("L01"));

        // A click on the button of the selected cell.
        grid()->SetSelectedIndex(0);
        const QModelIndex cell = grid()->model()->index(0, 0);
        const QRect r = grid()->visualRect(cell);
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, QPoint(r.right() - 4, r.center().y()));
        QCOMPARE(clicks, 2);

        grid()->SetOption(dgEditing, false); // editing off: no button
        f->key(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(clicks, 2);
    }

    void clickingACellMovesRowThenColumn() {
        const QRect r = grid()->visualRect(grid()->model()->index(2, 1));
        take();
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(take(), trace({"BeforeScroll", "AfterScroll", "ColEnter:NAME"}));
        QCOMPARE(cds().RecNo(), 3);
        QCOMPARE(grid()->SelectedIndex(), 1);
    }

    void aClickVetoedByTheOtherControlsExitMovesNothing() {
        f->other->SetFocus();
        f->other->OnExit = [](QObject*) { Consiste::MensErro(QStringLiteral("Informe o campo."), true); };
        take();
        const QRect r = grid()->visualRect(grid()->model()->index(2, 1));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(f->ui.errors, QStringList({"Informe o campo."}));
        QCOMPARE(take(), QString());
        QCOMPARE(cds().RecNo(), 1);
        QCOMPARE(grid()->SelectedIndex(), 0);
        QVERIFY(f->other->hasFocus());
    }

    void rebindingTheDataSourceFollowsTheNewSet() {
        TClientDataSet other;
        other.AddField(QStringLiteral("CODE"), ftString, 5);
        other.CreateDataSet();
        other.Append();
        other.FieldByName("CODE")->SetAsString(QStringLiteral("Z9"));
        other.Post();
        TDataSource src(&other);
        grid()->SetDataSource(&src);
        QCOMPARE(grid()->CellText(0, 0), QStringLiteral("Z9"));
        QCOMPARE(grid()->CellText(0, 1), QString()); // no such field in this set
        QCOMPARE(grid()->Columns().IndexOfField(QStringLiteral("qt")), 2);
        grid()->SetDataSource(&f->dts);
        QCOMPARE(grid()->CellText(0, 0), QStringLiteral("001"));
    }
};

QTEST_MAIN(TestDBGrid)
#include "tst_dbgrid.moc"
