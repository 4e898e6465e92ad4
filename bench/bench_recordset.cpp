// Record-set benchmark on packets shaped like the day's diet rows (19 fields), 10,000 and 100,000 rows.
// Per operation Google Benchmark prints the time; the "per_row" counter is the time divided by the rows
// the operation touches. The memory case reports the heap a loaded set holds against the packet's JSON
// size, and main() prints the process's peak memory at the end.

#include "data/TClientDataSet.h"
#include "data/TDataPacket.h"
#include "data/TextPool.h"

#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QHash>
#include <cstdio>
#include <map>
#include <memory>
#include <random>

namespace {

struct FieldDef {
    const char* name;
    TFieldType type;
    int size;
};

const FieldDef CardadiaFields[] = {
    {"CDSERVFILI", ftString, 5},  {"NMSERVICO", ftString, 40},  {"CDDIETPAD", ftString, 4},
    {"DSDIETPAD", ftString, 50},  {"QTCOMEFETCAR", ftFloat, 0}, {"QTCLIEFETCAR", ftFloat, 0},
    {"QTFUNEFETCAR", ftFloat, 0}, {"QTDOAEFETCAR", ftFloat, 0}, {"QTCOMESTICAR", ftFloat, 0},
    {"QTCLIESTICAR", ftFloat, 0}, {"QTFUNESTICAR", ftFloat, 0}, {"QTDOAESTICAR", ftFloat, 0},
    {"QTCOMEFETRI", ftFloat, 0},  {"QTCOMEFETSL", ftFloat, 0},  {"DTCARDAPIO", ftDateTime, 0},
    {"CDFILIAL", ftString, 4},    {"CDOPERADOR", ftString, 12}, {"NRCARDAPIO", ftString, 10},
    {"DTMESCARD", ftDateTime, 0},
};
constexpr int Services = 200;
constexpr int Diets = 400;

QString code(int n, int width) {
    return QString::number(n).rightJustified(width, QLatin1Char('0'));
}

void defineCardadia(TClientDataSet& cds) {
    for (const FieldDef& f : CardadiaFields)
        cds.AddField(QLatin1String(f.name), f.type, f.size);
    cds.AddIndex(QStringLiteral("INDICE"), QStringLiteral("CDDIETPAD"));
}

// Rows in random order, as a server may deliver them; every row has its own menu number.
TDataPacket makePacket(int rows) {
    TDataPacket p;
    for (const FieldDef& f : CardadiaFields)
        p.fields.push_back({QLatin1String(f.name), f.type, f.size});
    std::mt19937 rng(42);
    const QDateTime day(QDate(2026, 12, 8), QTime(0, 0)), month(QDate(2026, 12, 1), QTime(0, 0));
    p.rows.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        const int s = int(rng() % Services), d = int(rng() % Diets);
        const double cli = rng() % 90, fun = rng() % 20, doa = rng() % 5;
        p.rows.push_back({code(s, 5), QStringLiteral("SERVIÇO DE NUTRIÇÃO %1").arg(s), code(d, 4),
                          QStringLiteral("DIETA PADRÃO HIPOSSÓDICA %1").arg(d), cli + fun + doa, cli, fun,
                          doa, cli + fun + doa + 2, cli + 1, fun + 1, doa, cli + fun + doa, cli + fun + doa,
                          day, QStringLiteral("0001"), QStringLiteral("OPERADOR"), code(r, 10), month});
    }
    return p;
}

const QByteArray& packetJson(int rows) {
    static std::map<int, QByteArray> cache;
    auto it = cache.find(rows);
    if (it == cache.end()) it = cache.emplace(rows, makePacket(rows).toJson()).first;
    return it->second;
}

std::unique_ptr<TClientDataSet> loadedSet(int rows) {
    auto cds = std::make_unique<TClientDataSet>();
    defineCardadia(*cds);
    cds->SetIndexName(QStringLiteral("INDICE"));
    cds->SetData(TDataPacket::fromJson(packetJson(rows)));
    return cds;
}

void perRow(benchmark::State& state, double rows) {
    state.counters["per_row"] =
        benchmark::Counter(rows, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

size_t heapInUse() {
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

void BM_DecodeAndLoad(benchmark::State& state) {
    const int rows = int(state.range(0));
    const QByteArray& json = packetJson(rows);
    TClientDataSet cds;
    defineCardadia(cds);
    cds.SetIndexName(QStringLiteral("INDICE"));
    for (auto _ : state)
        cds.SetData(TDataPacket::fromJson(json));
    perRow(state, rows);
}

void BM_ActivateIndex(benchmark::State& state) {
    const int rows = int(state.range(0));
    auto cds = loadedSet(rows);
    for (auto _ : state) {
        state.PauseTiming();
        cds->SetIndexName(QString());
        state.ResumeTiming();
        cds->SetIndexName(QStringLiteral("INDICE"));
    }
    perRow(state, rows);
}

// One filter change to another service, then a walk over the whole view reading a field per row.
void BM_FilterSwitchAndScan(benchmark::State& state) {
    const int rows = int(state.range(0));
    auto cds = loadedSet(rows);
    TField* qty = cds->FieldByName(QStringLiteral("QTCOMEFETCAR"));
    cds->SetFiltered(true);
    int n = 0;
    double sum = 0;
    for (auto _ : state) {
        cds->SetFilter(QStringLiteral("CDSERVFILI = '%1'").arg(code(n++ % Services, 5)));
        for (cds->First(); !cds->Eof(); cds->Next())
            sum += qty->AsFloat();
    }
    benchmark::DoNotOptimize(sum);
    perRow(state, rows);
}

void BM_FilterSwitchAndScanAllRows(benchmark::State& state) {
    const int rows = int(state.range(0));
    auto cds = loadedSet(rows);
    TField* qty = cds->FieldByName(QStringLiteral("QTCOMEFETCAR"));
    cds->SetFilter(QStringLiteral("CDFILIAL = '0001' OR QTCOMEFETCAR < 0"));
    double sum = 0;
    bool on = false;
    for (auto _ : state) {
        cds->SetFiltered(on = !on);
        for (cds->First(); !cds->Eof(); cds->Next())
            sum += qty->AsFloat();
    }
    benchmark::DoNotOptimize(sum);
    perRow(state, rows);
}

// A walk over the whole unfiltered view alone, to tell navigation cost from filter cost.
void BM_ScanView(benchmark::State& state) {
    const int rows = int(state.range(0));
    auto cds = loadedSet(rows);
    TField* qty = cds->FieldByName(QStringLiteral("QTCOMEFETCAR"));
    double sum = 0;
    for (auto _ : state)
        for (cds->First(); !cds->Eof(); cds->Next())
            sum += qty->AsFloat();
    benchmark::DoNotOptimize(sum);
    perRow(state, rows);
}

void BM_Locate(benchmark::State& state) {
    const int rows = int(state.range(0));
    auto cds = loadedSet(rows);
    std::vector<QVariant> keys;
    std::mt19937 rng(7);
    for (int i = 0; i < 1000; ++i)
        keys.push_back(QVariantList{code(int(rng() % Services), 5), code(int(rng() % Diets), 4)});
    size_t i = 0, hits = 0;
    for (auto _ : state)
        hits += cds->Locate(QStringLiteral("CDSERVFILI;CDDIETPAD"), keys[i++ % keys.size()]);
    benchmark::DoNotOptimize(hits);
    perRow(state, rows);
}

void BM_LocatePartialCaseInsensitive(benchmark::State& state) {
    const int rows = int(state.range(0));
    auto cds = loadedSet(rows);
    std::mt19937 rng(9);
    std::vector<QString> keys;
    for (int i = 0; i < 1000; ++i)
        keys.push_back(QStringLiteral("dieta padrão hipossódica %1").arg(rng() % Diets));
    size_t i = 0, hits = 0;
    for (auto _ : state)
        hits += cds->Locate(QStringLiteral("DSDIETPAD"), keys[i++ % keys.size()],
                            loCaseInsensitive | loPartialKey);
    benchmark::DoNotOptimize(hits);
    perRow(state, rows);
}

// Edit and post of one row with the index active; the diet code changes so the row moves.
void BM_EditPost(benchmark::State& state) {
    const int rows = int(state.range(0));
    auto cds = loadedSet(rows);
    TField* qty = cds->FieldByName(QStringLiteral("QTCLIEFETCAR"));
    TField* diet = cds->FieldByName(QStringLiteral("CDDIETPAD"));
    std::mt19937 rng(3);
    for (auto _ : state) {
        cds->SetRecNo(int(rng() % unsigned(rows)) + 1);
        cds->Edit();
        qty->SetAsFloat(double(rng() % 100));
        diet->SetAsString(code(int(rng() % Diets), 4));
        cds->Post();
    }
    state.counters["changes"] = cds->ChangeCount();
}

void BM_EncodeChangeLog(benchmark::State& state) {
    const int rows = int(state.range(0));
    auto cds = loadedSet(rows);
    TField* qty = cds->FieldByName(QStringLiteral("QTCLIEFETCAR"));
    for (int i = 0; i < 1000; ++i) {
        cds->SetRecNo(1 + (i * 7919) % rows);
        cds->Edit();
        qty->SetAsFloat(i + 0.5);
        cds->Post();
    }
    size_t bytes = 0;
    for (auto _ : state)
        bytes += size_t(cds->Delta().toJson().size());
    benchmark::DoNotOptimize(bytes);
    state.counters["changes"] = cds->ChangeCount();
    perRow(state, cds->ChangeCount());
}

// Append and post rows one by one with all 19 fields set, from an empty set.
void BM_AppendPost(benchmark::State& state) {
    const int rows = int(state.range(0));
    const TDataPacket source = makePacket(rows);
    for (auto _ : state) {
        TClientDataSet cds;
        defineCardadia(cds);
        cds.CreateDataSet();
        std::vector<TField*> fields;
        for (int f = 0; f < cds.FieldCount(); ++f)
            fields.push_back(cds.Fields(f));
        for (const auto& row : source.rows) {
            cds.Append();
            for (size_t f = 0; f < fields.size(); ++f)
                fields[f]->SetValue(row[qsizetype(f)]);
            cds.Post();
        }
        benchmark::DoNotOptimize(cds.RecordCount());
    }
    perRow(state, rows);
}

// Heap a loaded set holds (packet and JSON freed), against the JSON size.
void BM_LoadedSetMemory(benchmark::State& state) {
    const int rows = int(state.range(0));
    const QByteArray& json = packetJson(rows);
    double ratio = 0, bytes = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = heapInUse();
        auto cds = std::make_unique<TClientDataSet>();
        defineCardadia(*cds);
        cds->SetIndexName(QStringLiteral("INDICE"));
        cds->SetData(TDataPacket::fromJson(json));
        malloc_trim(0);
        bytes = double(heapInUse() - before);
        ratio = bytes / double(json.size());
        benchmark::DoNotOptimize(cds->RecordCount());
    }
    state.counters["json_MB"] = double(json.size()) / 1e6;
    state.counters["set_MB"] = bytes / 1e6;
    state.counters["set_per_json"] = ratio;
}

// The text interning a load does (every text cell of the packet), by the set's own pool and by a
// plain QHash of texts to ids, to tell whether the hand-written pool earns its place.
template <class Pool> void internTexts(benchmark::State& state) {
    const int rows = int(state.range(0));
    const TDataPacket p = makePacket(rows);
    size_t ids = 0;
    for (auto _ : state) {
        Pool pool;
        for (const auto& row : p.rows)
            for (const QVariant& v : row)
                if (v.typeId() == QMetaType::QString) ids += pool.intern(v.toString());
    }
    benchmark::DoNotOptimize(ids);
    perRow(state, rows);
}

struct QHashPool {
    QHash<QString, quint32> ids;
    std::vector<QString> texts{QString()};
    quint32 intern(const QString& s) {
        if (s.isEmpty()) return 0;
        const auto it = ids.constFind(s);
        if (it != ids.cend()) return *it;
        const quint32 id = quint32(texts.size());
        texts.push_back(s);
        ids.insert(s, id);
        return id;
    }
};

void BM_InternTextPool(benchmark::State& state) {
    internTexts<kvo::data::TextPool>(state);
}
void BM_InternQHash(benchmark::State& state) {
    internTexts<QHashPool>(state);
}

} // namespace

BENCHMARK(BM_DecodeAndLoad)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ActivateIndex)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterSwitchAndScan)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(100);
BENCHMARK(BM_FilterSwitchAndScanAllRows)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(100);
BENCHMARK(BM_ScanView)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(100);
BENCHMARK(BM_Locate)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(1000);
BENCHMARK(BM_LocatePartialCaseInsensitive)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(1000);
BENCHMARK(BM_EditPost)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(1000);
BENCHMARK(BM_EncodeChangeLog)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendPost)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InternTextPool)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InternQHash)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadedSetMemory)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak memory (max resident set): %.1f MB\n", double(ru.ru_maxrss) / 1024.0);
    return 0;
}
