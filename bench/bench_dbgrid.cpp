// The data grid over a large record set: loading, moving a row, and painting a screenful.

#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "widgets/TDBGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPixmap>
#include <benchmark/benchmark.h>

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
    }
};

void BM_LoadIntoBoundGrid(benchmark::State& state) {
    GridSetup s(10);
    const TDataPacket packet = rows(int(state.range(0)));
    for (auto _ : state)
        s.cds.SetData(packet);
}
BENCHMARK(BM_LoadIntoBoundGrid)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_DownKey(benchmark::State& state) {
    GridSetup s(int(state.range(0)));
    for (auto _ : state) {
        QKeyEvent down(QEvent::KeyPress, s.cds.RecNo() < s.cds.RecordCount() ? Qt::Key_Down : Qt::Key_Home,
                       s.cds.RecNo() < s.cds.RecordCount() ? Qt::NoModifier : Qt::ControlModifier);
        QApplication::sendEvent(&s.grid, &down);
    }
}
BENCHMARK(BM_DownKey)->Arg(20000)->Unit(benchmark::kMicrosecond);

void BM_PaintScreenful(benchmark::State& state) {
    GridSetup s(int(state.range(0)));
    s.cds.MoveBy(int(state.range(0)) / 2);
    for (auto _ : state) {
        QPixmap shot = s.grid.grab();
        benchmark::DoNotOptimize(shot);
    }
}
BENCHMARK(BM_PaintScreenful)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
