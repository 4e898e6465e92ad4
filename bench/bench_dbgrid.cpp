// The data grid over 2,000, 20,000 and 100,000 rows beside a plain QTableView over a
// QAbstractTableModel on a std::vector of the same rows: the Down key with the repaint it causes
// (events processed after each key), loading the rows, and painting a screenful. Target lines: the
// grid's Down key at most the plain view's, and the same at 100,000 rows as at 2,000. Key times are
// the process's CPU time (painting threads included), steadier than wall time on a shared machine.
// Arguments: --quick (2,000 and 20,000 rows only).

#include "BenchTarget.h"

#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "widgets/TDBGrid.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPixmap>
#include <QTableView>
#include <cstdio>
#include <map>

using kvo::bench::medianUs;

namespace {

TDataPacket rows(int n) {
    TDataPacket p;
    p.fields = {{QStringLiteral("CODE"), ftString, 5},
                {QStringLiteral("NAME"), ftString, 40},
                {QStringLiteral("QT"), ftFloat, 0}};
    p.rows.reserve(n);
    for (int i = 0; i < n; ++i)
        p.rows.push_back({QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0')),
                          QStringLiteral("Serviço %1").arg(i), double(i) / 4});
    return p;
}

struct GridSetup {
    TClientDataSet cds;
    TDataSource dts{&cds};
    TDBGrid grid;
    explicit GridSetup(int n) {
        grid.Columns().Add(QStringLiteral("CODE"));
        grid.Columns().Add(QStringLiteral("NAME"));
        grid.Columns().Add(QStringLiteral("QT"));
        grid.SetDataSource(&dts);
        grid.resize(640, 480);
        grid.show();
        cds.SetData(rows(n));
        grid.setFocus();
        QApplication::processEvents();
    }
};

// The plain reference: typed rows in a vector, texts made when asked, as any table model does.
struct PlainRow {
    QString code, name;
    double qt;
};

class PlainModel : public QAbstractTableModel {
public:
    explicit PlainModel(int n) {
        m_rows.reserve(size_t(n));
        for (int i = 0; i < n; ++i)
            m_rows.push_back({QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0')),
                              QStringLiteral("Serviço %1").arg(i), double(i) / 4});
    }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 3; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole) return {};
        const PlainRow& r = m_rows[size_t(index.row())];
        switch (index.column()) {
        case 0:
            return r.code;
        case 1:
            return r.name;
        default:
            return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(r.qt);
        }
    }

private:
    std::vector<PlainRow> m_rows;
};

struct PlainSetup {
    PlainModel model;
    QTableView view;
    explicit PlainSetup(int n) : model(n) {
        view.setModel(&model);
        view.resize(640, 480);
        view.show();
        view.setCurrentIndex(model.index(0, 0));
        view.setFocus();
        QApplication::processEvents();
    }
};

// Microseconds per Down key, the repaint included; back to the top when the end is near.
template <class AtEnd> double downKey(QWidget* target, AtEnd atEnd) {
    constexpr int keys = 200;
    return medianUs(
               9, nullptr,
               [&] {
                   for (int i = 0; i < keys; ++i) {
                       const bool home = atEnd();
                       QKeyEvent key(QEvent::KeyPress, home ? Qt::Key_Home : Qt::Key_Down,
                                     home ? Qt::ControlModifier : Qt::NoModifier);
                       QApplication::sendEvent(target, &key);
                       QApplication::processEvents();
                   }
               },
               true) /
           keys;
}

double gridDown(int n) {
    GridSetup s(n);
    return downKey(&s.grid, [&] { return s.cds.RecNo() >= s.cds.RecordCount(); });
}

double plainDown(int n) {
    PlainSetup s(n);
    return downKey(&s.view, [&] { return s.view.currentIndex().row() >= n - 1; });
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    std::vector<int> sizes{2000, 20000};
    if (!quick) sizes.push_back(100000);
    std::map<int, double> grid;
    gridDown(sizes.front()); // fonts, glyph caches and the backing store warmed once
    plainDown(sizes.front());
    for (int n : sizes) {
        grid[n] = gridDown(n);
        const double plain = plainDown(n);
        char what[64];
        std::snprintf(what, sizeof what, "grid Down key %dk", n / 1000);
        kvo::bench::target(what, grid[n], plain, 1.0, "us");
    }
    kvo::bench::target("grid Down key, largest vs 2k rows", grid[sizes.back()], grid[2000], 1.3, "us");

    for (int n : sizes) {
        GridSetup s(10);
        const TDataPacket packet = rows(n);
        const double load = medianUs(5, nullptr, [&] {
            s.cds.SetData(packet);
            QApplication::processEvents();
        });
        s.cds.MoveBy(n / 2);
        const double paint = medianUs(9, nullptr, [&] {
            QPixmap shot = s.grid.grab();
            (void)shot;
        });
        std::printf("grid %dk rows: load into the bound grid %.2f ms, paint a screenful %.2f ms\n", n / 1000,
                    load / 1000, paint / 1000);
    }
    return 0;
}
