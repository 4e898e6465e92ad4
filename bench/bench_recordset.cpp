// The record set beside a deliberately plain baseline, on packets shaped like the day's diet rows
// (19 fields) of 1,000, 10,000 and 100,000 rows. The baseline keeps typed rows (QString, double,
// QDate) in a std::vector, a vector of row numbers as its view, and a vector of changes; it does
// what each operation needs and nothing else (no events, no checks, no data-aware links), so it
// is the practical limit: the set should stay within 3x of it. Every operation prints a target
// line with both times; two more lines check that a scan and a delete cost the same per row at
// 100,000 rows as at 10,000. Times are CPU time. Arguments: --quick (1,000 and 10,000 rows only), --only=WORD
// (only the operations whose name contains WORD, e.g. --only=scan).

#include "BenchTarget.h"

#include "data/TClientDataSet.h"
#include "data/TDataPacket.h"

#include <malloc.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <numeric>
#include <random>

namespace {

// Process CPU time: the set is single-threaded, and a busy shared machine stretches wall time.
double cpuMedianUs(int reps, const std::function<void()>& prepare, const std::function<void()>& run) {
    return kvo::bench::medianUs(reps, prepare, run, true);
}

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
constexpr int NFields = int(std::size(CardadiaFields));
constexpr int Services = 200;
constexpr int Diets = 400;
constexpr int ServCol = 0, DietCol = 2, QtyCol = 4, CliCol = 5, MenuCol = 17;

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
    const QDate day(2026, 12, 8), month(2026, 12, 1);
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

const TDataPacket& packet(int rows) {
    static std::map<int, TDataPacket> cache;
    auto it = cache.find(rows);
    if (it == cache.end()) it = cache.emplace(rows, makePacket(rows)).first;
    return it->second;
}

const QByteArray& packetJson(int rows) {
    static std::map<int, QByteArray> cache;
    auto it = cache.find(rows);
    if (it == cache.end()) it = cache.emplace(rows, packet(rows).toJson()).first;
    return it->second;
}

std::unique_ptr<TClientDataSet> loadedSet(int rows, bool indexed = true) {
    auto cds = std::make_unique<TClientDataSet>();
    defineCardadia(*cds);
    if (indexed) cds->SetIndexName(QStringLiteral("INDICE"));
    cds->SetData(TDataPacket::fromJson(packetJson(rows)));
    return cds;
}

// ---- the plain baseline

struct PlainRow {
    std::array<QString, 7> texts; // fields 0-3, 15-17
    std::array<double, 10> nums;  // fields 4-13
    std::array<QDate, 2> days;    // fields 14, 18
};

// Where field f lives in a PlainRow.
int slotOf(int f) {
    if (f < 4) return f;
    if (f < 14) return f - 4;
    if (f == 14) return 0;
    if (f < 18) return f - 11;
    return 1;
}

struct PlainSet {
    struct Change {
        TChange::Op op;
        quint32 row;
        PlainRow orig;
    };
    std::vector<PlainRow> rows;
    std::vector<quint8> live;
    std::vector<quint32> view; // row numbers in index order
    std::vector<Change> log;
    bool logging = true;

    const QString& diet(quint32 r) const { return rows[r].texts[DietCol]; }
    bool dietBefore(quint32 a, quint32 b) const {
        const int c = diet(a).compare(diet(b));
        return c < 0 || (c == 0 && a < b);
    }
    void sortView() {
        std::stable_sort(view.begin(), view.end(),
                         [this](quint32 a, quint32 b) { return diet(a).compare(diet(b)) < 0; });
    }
    void place(quint32 r) {
        view.insert(std::lower_bound(view.begin(), view.end(), r,
                                     [this](quint32 a, quint32 b) { return dietBefore(a, b); }),
                    r);
    }
    quint32 add(const PlainRow& row) {
        rows.push_back(row);
        live.push_back(1);
        if (logging) log.push_back({TChange::Insert, quint32(rows.size() - 1), {}});
        return quint32(rows.size() - 1);
    }
};

PlainRow plainRow(const QVector<QVariant>& v) {
    PlainRow r;
    for (int f = 0; f < NFields; ++f) {
        switch (CardadiaFields[f].type) {
        case ftString:
        case ftFixedChar:
            r.texts[slotOf(f)] = v[f].toString();
            break;
        case ftFloat:
            r.nums[slotOf(f)] = v[f].toDouble();
            break;
        case ftDateTime:
            r.days[slotOf(f)] = v[f].toDate();
            break;
        }
    }
    return r;
}

QJsonArray plainJsonRow(const PlainRow& r) {
    QJsonArray a;
    for (int f = 0; f < NFields; ++f) {
        switch (CardadiaFields[f].type) {
        case ftString:
        case ftFixedChar:
            a.append(r.texts[slotOf(f)]);
            break;
        case ftFloat:
            a.append(r.nums[slotOf(f)]);
            break;
        case ftDateTime:
            a.append(r.days[slotOf(f)].toString(Qt::ISODate) + QLatin1String("T00:00:00"));
            break;
        }
    }
    return a;
}

QJsonArray plainJsonFields() {
    QJsonArray fields;
    for (const FieldDef& f : CardadiaFields)
        fields.append(QJsonObject{{QStringLiteral("name"), QLatin1String(f.name)},
                                  {QStringLiteral("type"), QLatin1String(FieldTypeName(f.type))},
                                  {QStringLiteral("size"), f.size}});
    return fields;
}

PlainSet plainLoad(const QByteArray& json) {
    PlainSet p;
    const QJsonArray rows = QJsonDocument::fromJson(json).object().value(QLatin1String("rows")).toArray();
    p.rows.reserve(size_t(rows.size()));
    for (const QJsonValue& rv : rows) {
        const QJsonArray a = rv.toArray();
        PlainRow r;
        for (int f = 0; f < NFields; ++f) {
            const QJsonValue v = a.at(f);
            switch (CardadiaFields[f].type) {
            case ftString:
            case ftFixedChar:
                r.texts[slotOf(f)] = v.toString();
                break;
            case ftFloat:
                r.nums[slotOf(f)] = v.toDouble();
                break;
            case ftDateTime:
                r.days[slotOf(f)] = QDate::fromString(v.toString().left(10), Qt::ISODate);
                break;
            }
        }
        p.rows.push_back(std::move(r));
    }
    p.live.assign(p.rows.size(), 1);
    p.view.resize(p.rows.size());
    std::iota(p.view.begin(), p.view.end(), 0u);
    p.sortView();
    return p;
}

QByteArray plainSave(const PlainSet& p) {
    QJsonArray rows;
    for (quint32 r = 0; r < p.rows.size(); ++r)
        if (p.live[r]) rows.append(plainJsonRow(p.rows[r]));
    return QJsonDocument(
               QJsonObject{{QStringLiteral("fields"), plainJsonFields()}, {QStringLiteral("rows"), rows}})
        .toJson(QJsonDocument::Compact);
}

QByteArray plainEncodeLog(const PlainSet& p) {
    QJsonArray changes;
    for (const PlainSet::Change& c : p.log) {
        QJsonObject o;
        o.insert(QStringLiteral("op"), c.op == TChange::Insert   ? QStringLiteral("insert")
                                       : c.op == TChange::Modify ? QStringLiteral("modify")
                                                                 : QStringLiteral("delete"));
        if (c.op != TChange::Insert) o.insert(QStringLiteral("old"), plainJsonRow(c.orig));
        if (c.op != TChange::Delete) o.insert(QStringLiteral("new"), plainJsonRow(p.rows[c.row]));
        changes.append(o);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("fields"), plainJsonFields()},
                                     {QStringLiteral("changes"), changes}})
        .toJson(QJsonDocument::Compact);
}

// ---- the comparisons

double sink = 0;
QString only;

bool wanted(const char* op) {
    return only.isEmpty() || QLatin1String(op).contains(only);
}

struct Runner {
    int rows;
    int reps;

    void compare(const char* op, double setUs, double plainUs, double per, const char* unit) {
        char what[96];
        std::snprintf(what, sizeof what, "recordset %s %dk", op, rows / 1000);
        kvo::bench::target(what, setUs / per, plainUs / per, 3.0, unit);
    }

    void appendPost(bool logging) {
        const TDataPacket& src = packet(rows);
        const double set = cpuMedianUs(reps, nullptr, [&] {
            TClientDataSet cds;
            defineCardadia(cds);
            cds.CreateDataSet();
            cds.SetLogChanges(logging);
            std::vector<TField*> fields;
            for (int f = 0; f < cds.FieldCount(); ++f)
                fields.push_back(cds.Fields(f));
            for (const auto& row : src.rows) {
                cds.Append();
                for (size_t f = 0; f < fields.size(); ++f)
                    fields[f]->SetValue(row[qsizetype(f)]);
                cds.Post();
            }
            sink += cds.RecordCount();
        });
        const double plain = cpuMedianUs(reps, nullptr, [&] {
            PlainSet p;
            p.logging = logging;
            for (const auto& row : src.rows) {
                PlainRow r = plainRow(row);
                p.view.push_back(p.add(r));
            }
            sink += double(p.view.size());
        });
        compare(logging ? "append+post, log on (per row)" : "append+post, log off (per row)", set, plain,
                rows, "us");
    }

    void loadAndSave() {
        const QByteArray& json = packetJson(rows);
        TClientDataSet cds;
        defineCardadia(cds);
        cds.SetIndexName(QStringLiteral("INDICE"));
        const double load = cpuMedianUs(reps, nullptr, [&] { cds.SetData(TDataPacket::fromJson(json)); });
        PlainSet p;
        const double plainLoadUs = cpuMedianUs(reps, nullptr, [&] { p = plainLoad(json); });
        compare("packet load (per row)", load, plainLoadUs, rows, "us");
        const double save = cpuMedianUs(reps, nullptr, [&] { sink += double(cds.Data().toJson().size()); });
        const double plainSaveUs = cpuMedianUs(reps, nullptr, [&] { sink += double(plainSave(p).size()); });
        compare("packet save (per row)", save, plainSaveUs, rows, "us");
    }

    void activateIndex() {
        auto cds = loadedSet(rows, false);
        const double set = cpuMedianUs(
            reps, [&] { cds->SetIndexName(QString()); },
            [&] { cds->SetIndexName(QStringLiteral("INDICE")); });
        PlainSet p = plainLoad(packetJson(rows));
        const double plain = cpuMedianUs(
            reps, [&] { std::iota(p.view.begin(), p.view.end(), 0u); }, [&] { p.sortView(); });
        compare("index activation (per row)", set, plain, rows, "us");
    }

    // A walk over the view reading a number per row, after the index was activated on loaded rows.
    double scan() {
        auto cds = loadedSet(rows, false);
        cds->SetIndexName(QStringLiteral("INDICE"));
        TField* qty = cds->FieldByName(QStringLiteral("QTCOMEFETCAR"));
        const double set = cpuMedianUs(reps * 3, nullptr, [&] {
            double sum = 0;
            for (cds->First(); !cds->Eof(); cds->Next())
                sum += qty->AsFloat();
            sink += sum;
        });
        const PlainSet p = plainLoad(packetJson(rows));
        const double plain = cpuMedianUs(reps * 3, nullptr, [&] {
            double sum = 0;
            for (quint32 r : p.view)
                sum += p.rows[r].nums[QtyCol - 4];
            sink += sum;
        });
        compare("plain scan (per row)", set, plain, rows / 1000.0, "ns");
        return set / rows;
    }

    // One service's rows by a filter, walked.
    void filteredScan() {
        auto cds = loadedSet(rows);
        TField* qty = cds->FieldByName(QStringLiteral("QTCOMEFETCAR"));
        cds->SetFiltered(true);
        int n = 0;
        const double set = cpuMedianUs(reps * 3, nullptr, [&] {
            cds->SetFilter(QStringLiteral("CDSERVFILI = '%1'").arg(code(n++ % Services, 5)));
            for (cds->First(); !cds->Eof(); cds->Next())
                sink += qty->AsFloat();
        });
        const PlainSet p = plainLoad(packetJson(rows));
        n = 0;
        const double plain = cpuMedianUs(reps * 3, nullptr, [&] {
            const QString want = code(n++ % Services, 5);
            std::vector<quint32> view;
            for (quint32 r : p.view)
                if (p.rows[r].texts[ServCol] == want) view.push_back(r);
            for (quint32 r : view)
                sink += p.rows[r].nums[QtyCol - 4];
        });
        compare("filtered scan (per row)", set, plain, rows / 1000.0, "ns");
    }

    void locate(bool indexed) {
        const int batch = indexed ? 1000 : (rows >= 100000 ? 50 : 200);
        std::mt19937 rng(7);
        std::vector<QString> keys;
        for (int i = 0; i < batch; ++i)
            keys.push_back(indexed ? code(int(rng() % Diets), 4) : code(int(rng() % unsigned(rows)), 10));
        auto cds = loadedSet(rows);
        const QString field = QLatin1String(indexed ? "CDDIETPAD" : "NRCARDAPIO");
        const double set = cpuMedianUs(reps, nullptr, [&] {
            for (const QString& k : keys)
                sink += cds->Locate(field, k);
        });
        const PlainSet p = plainLoad(packetJson(rows));
        const int col = indexed ? DietCol : MenuCol - 11;
        const double plain = cpuMedianUs(reps, nullptr, [&] {
            for (const QString& k : keys) {
                if (indexed) {
                    const auto it = std::lower_bound(
                        p.view.begin(), p.view.end(), k,
                        [&p](quint32 r, const QString& key) { return p.diet(r).compare(key) < 0; });
                    sink += it != p.view.end() && p.diet(*it) == k;
                } else {
                    sink += std::find_if(p.view.begin(), p.view.end(), [&](quint32 r) {
                                return p.rows[r].texts[col] == k;
                            }) != p.view.end();
                }
            }
        });
        compare(indexed ? "locate, indexed field (per call)" : "locate, other field (per call)", set, plain,
                batch, "us");
    }

    // Edit two fields of a random row and post; the diet code changes, so the row moves in the index.
    void editPost() {
        constexpr int batch = 1000;
        auto cds = loadedSet(rows);
        TField* cli = cds->FieldByName(QStringLiteral("QTCLIEFETCAR"));
        TField* diet = cds->FieldByName(QStringLiteral("CDDIETPAD"));
        std::mt19937 rng(3);
        const double set = cpuMedianUs(reps, nullptr, [&] {
            for (int i = 0; i < batch; ++i) {
                cds->SetRecNo(int(rng() % unsigned(rows)) + 1);
                cds->Edit();
                cli->SetAsFloat(double(rng() % 100));
                diet->SetAsString(code(int(rng() % Diets), 4));
                cds->Post();
            }
        });
        PlainSet p = plainLoad(packetJson(rows));
        rng.seed(3);
        const double plain = cpuMedianUs(reps, nullptr, [&] {
            for (int i = 0; i < batch; ++i) {
                const size_t pos = rng() % unsigned(rows);
                const quint32 r = p.view[pos];
                PlainRow buf = p.rows[r];
                buf.nums[CliCol - 4] = double(rng() % 100);
                buf.texts[DietCol] = code(int(rng() % Diets), 4);
                p.log.push_back({TChange::Modify, r, p.rows[r]});
                p.rows[r] = std::move(buf);
                p.view.erase(p.view.begin() + qsizetype(pos));
                p.place(r);
            }
        });
        compare("edit+post moving in the index (per row)", set, plain, batch, "us");
    }

    void cancel() {
        constexpr int batch = 1000;
        auto cds = loadedSet(rows);
        TField* cli = cds->FieldByName(QStringLiteral("QTCLIEFETCAR"));
        std::mt19937 rng(5);
        const double set = cpuMedianUs(reps, nullptr, [&] {
            for (int i = 0; i < batch; ++i) {
                cds->SetRecNo(int(rng() % unsigned(rows)) + 1);
                cds->Edit();
                cli->SetAsFloat(double(rng() % 100));
                cds->Cancel();
            }
        });
        const PlainSet p = plainLoad(packetJson(rows));
        rng.seed(5);
        const double plain = cpuMedianUs(reps, nullptr, [&] {
            for (int i = 0; i < batch; ++i) {
                PlainRow buf = p.rows[p.view[rng() % unsigned(rows)]];
                buf.nums[CliCol - 4] = double(rng() % 100);
                sink += buf.nums[CliCol - 4];
            }
        });
        compare("edit+cancel (per row)", set, plain, batch, "us");
    }

    // Rows deleted one by one at random positions, and rows inserted one by one before random rows.
    double deleteRows() {
        const int batch = std::min(1000, rows / 2);
        std::unique_ptr<TClientDataSet> cds;
        std::mt19937 rng(11);
        const double set = cpuMedianUs(
            reps, [&] { cds = loadedSet(rows); },
            [&] {
                for (int i = 0; i < batch; ++i) {
                    cds->SetRecNo(int(rng() % unsigned(cds->RecordCount())) + 1);
                    cds->Delete();
                }
            });
        PlainSet p;
        rng.seed(11);
        const double plain = cpuMedianUs(
            reps, [&] { p = plainLoad(packetJson(rows)); },
            [&] {
                for (int i = 0; i < batch; ++i) {
                    const size_t pos = rng() % p.view.size();
                    const quint32 r = p.view[pos];
                    p.log.push_back({TChange::Delete, r, p.rows[r]});
                    p.live[r] = 0;
                    p.view.erase(p.view.begin() + qsizetype(pos));
                }
            });
        compare("delete (per row)", set, plain, batch, "us");
        return set / batch;
    }

    double insertRows() {
        const int batch = std::min(1000, rows / 2);
        const TDataPacket& src = packet(rows);
        std::unique_ptr<TClientDataSet> cds;
        std::vector<TField*> fields;
        std::mt19937 rng(13);
        const double set = cpuMedianUs(
            reps,
            [&] {
                cds = loadedSet(rows);
                fields.clear();
                for (int f = 0; f < cds->FieldCount(); ++f)
                    fields.push_back(cds->Fields(f));
            },
            [&] {
                for (int i = 0; i < batch; ++i) {
                    cds->SetRecNo(int(rng() % unsigned(cds->RecordCount())) + 1);
                    cds->Insert();
                    const auto& row = src.rows[i];
                    for (size_t f = 0; f < fields.size(); ++f)
                        fields[f]->SetValue(row[qsizetype(f)]);
                    cds->Post();
                }
            });
        PlainSet p;
        const double plain = cpuMedianUs(
            reps, [&] { p = plainLoad(packetJson(rows)); },
            [&] {
                for (int i = 0; i < batch; ++i)
                    p.place(p.add(plainRow(src.rows[i])));
            });
        compare("insert+post (per row)", set, plain, batch, "us");
        return set / batch;
    }

    void encodeChangeLog() {
        const int changes = std::min(1000, rows / 2);
        auto cds = loadedSet(rows);
        TField* cli = cds->FieldByName(QStringLiteral("QTCLIEFETCAR"));
        for (int i = 0; i < changes; ++i) {
            cds->SetRecNo(1 + int((qint64(i) * 7919) % rows));
            cds->Edit();
            cli->SetAsFloat(i + 0.5);
            cds->Post();
        }
        const double set = cpuMedianUs(reps, nullptr, [&] { sink += double(cds->Delta().toJson().size()); });
        PlainSet p = plainLoad(packetJson(rows));
        for (int i = 0; i < changes; ++i) {
            const quint32 r = p.view[size_t((qint64(i) * 7919) % rows)];
            p.log.push_back({TChange::Modify, r, p.rows[r]});
            p.rows[r].nums[CliCol - 4] = i + 0.5;
        }
        const double plain = cpuMedianUs(reps, nullptr, [&] { sink += double(plainEncodeLog(p).size()); });
        compare("change-log encoding (per change)", set, plain, changes, "us");
    }
};

size_t heapInUse() {
    const struct mallinfo2 mi = mallinfo2();
    return mi.uordblks + mi.hblkhd;
}

void memory(int rows) {
    const QByteArray& json = packetJson(rows);
    malloc_trim(0);
    const size_t before = heapInUse();
    auto cds = loadedSet(rows);
    malloc_trim(0);
    const double bytes = double(heapInUse() - before);
    std::printf("recordset memory %dk: %.1f MB held for %.1f MB of packet JSON (%.2fx)\n", rows / 1000,
                bytes / 1e6, double(json.size()) / 1e6, bytes / double(json.size()));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    for (const QString& a : app.arguments())
        if (a.startsWith(QLatin1String("--only="))) only = a.mid(7);
    std::vector<int> sizes{1000, 10000};
    if (!quick) sizes.push_back(100000);
    std::map<int, double> scanPerRow, deletePerRow, insertPerRow;
    for (int rows : sizes) {
        Runner r{rows, rows >= 100000 ? 3 : 5};
        std::printf("== %d rows\n", rows);
        if (wanted("append")) r.appendPost(true);
        if (wanted("append")) r.appendPost(false);
        if (wanted("packet")) r.loadAndSave();
        if (wanted("index")) r.activateIndex();
        if (wanted("scan")) scanPerRow[rows] = r.scan();
        if (wanted("filter")) r.filteredScan();
        if (wanted("locate")) r.locate(true);
        if (wanted("locate")) r.locate(false);
        if (wanted("edit")) r.editPost();
        if (wanted("cancel")) r.cancel();
        if (wanted("delete")) deletePerRow[rows] = r.deleteRows();
        if (wanted("insert")) insertPerRow[rows] = r.insertRows();
        if (wanted("changelog")) r.encodeChangeLog();
        if (wanted("memory")) memory(rows);
    }
    const int big = sizes.back();
    if (big > 10000 && only.isEmpty()) {
        std::printf("== cost per row as the set grows (100k beside 10k)\n");
        kvo::bench::target("recordset scan per row, 100k vs 10k", scanPerRow[big] * 1000,
                           scanPerRow[10000] * 1000, 1.5, "ns");
        kvo::bench::target("recordset delete per row, 100k vs 10k", deletePerRow[big], deletePerRow[10000],
                           1.5, "us");
        kvo::bench::target("recordset insert per row, 100k vs 10k", insertPerRow[big], insertPerRow[10000],
                           1.5, "us");
    }
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak memory (max resident set): %.1f MB (%g)\n", double(ru.ru_maxrss) / 1024.0,
                sink > 0 ? 0.0 : 1.0);
    return 0;
}
