#include "TClientDataSet.h"

#include "CalcCache.h"
#include "ChangeLog.h"
#include "Conversions.h"
#include "FilterExpr.h"
#include "RowStore.h"
#include "TDataSource.h"
#include "ValueMatcher.h"
#include "ViewOrder.h"

#include <QVarLengthArray>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <utility>

using namespace kvo::data;

namespace {

struct IndexDef {
    QString name;
    QString fields;
};

QStringList splitFieldList(const QString& fields) {
    QStringList out;
    for (const QString& p : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        if (!t.isEmpty()) out << t;
    }
    return out;
}

[[noreturn]] void dbError(const QString& text) {
    throw EDatabaseError(text);
}

int findColumn(const std::vector<Column>& columns, const QString& name) {
    int found = -1;
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].field->FieldName().compare(name, Qt::CaseInsensitive) == 0) found = int(i);
    return found;
}

} // namespace

// The sequencer: it owns the parts (rows, view order, change log, calculated values) and runs
// every operation as the classic event sequence over them, telling the data sources what changed.
struct TClientDataSet::Impl {
    TClientDataSet* q;

    // Field definitions
    std::vector<std::unique_ptr<TField>> fields;
    bool defined = false; // fields were declared by the owner, not taken from a packet
    std::vector<IndexDef> indexDefs;

    RowStore store;
    ViewOrder view;
    ChangeLog log;
    CalcCache calc;
    bool logChanges = true;

    // Cursor and state (held by the set, see TClientDataSet::Cursor); setCur and setState write them.
    const int& cur = q->m_cursor.cur;
    bool& eof = q->m_cursor.eof;
    bool& bof = q->m_cursor.bof;
    const TDataSetState& state = q->m_cursor.state;
    bool modified = false;
    std::vector<Cell> buf; // the edited / inserted row
    quint32 editRow = 0;

    QString filterText;
    std::unique_ptr<kvo::data::FilterNode> filterTree;
    bool filtered = false;
    QString indexName;

    int& disableCount = q->m_cursor.disableCount;
    TDataSetState disableState = dsInactive;
    bool viewLost = false; // a view change went untold while controls were disabled
    std::vector<TDataSource*>& sources = q->m_cursor.sources;

    explicit Impl(TClientDataSet* owner) : q(owner) { q->m_cursor.view = &view.rows; }

    // ---- events and notifications
    void fire(const TDataSetNotifyEvent& ev) {
        if (ev) ev(q);
    }
    bool controlsOn() const { return disableCount == 0; }
    void setState(TDataSetState s) {
        if (s == state) return;
        const bool activeChange = (s == dsInactive) != (state == dsInactive);
        q->m_cursor.state = s;
        q->m_cursor.drop();
        if (!controlsOn()) return;
        const auto list = sources;
        for (TDataSource* src : list) {
            if (activeChange) src->notifyActiveChange();
            src->notifyStateChange();
        }
    }
    void dataChanged(TField* field) {
        if (sources.empty() || !controlsOn()) return;
        const auto list = sources;
        for (TDataSource* src : list)
            src->notifyDataChange(field);
    }
    void viewChanged(TViewChange::Kind kind, int row = -1, int to = -1) {
        q->m_cursor.drop(); // before the controls read the changed view
        if (sources.empty()) return;
        if (!controlsOn()) {
            viewLost = true;
            return;
        }
        const auto list = sources;
        for (TDataSource* src : list)
            src->notifyViewChange({kind, row, to});
    }
    void updateData() {
        if (!controlsOn()) return;
        const auto list = sources;
        for (TDataSource* s : list)
            s->notifyUpdateData();
    }

    void checkActive() const {
        if (state == dsInactive)
            dbError(
                QStringLiteral("Não é possível realizar esta operação com o conjunto de registros fechado"));
    }

    // ---- values
    bool editing() const { return state == dsEdit || state == dsInsert; }
    bool hasRow() const { return cur >= 0 && cur < view.size(); }
    void setCur(int pos) {
        q->m_cursor.cur = view.empty() ? -1 : std::clamp(pos, 0, view.size() - 1);
        q->m_cursor.drop();
    }
    // The walk from the current row (see Cursor), after a move.
    void walk() {
        Cursor& c = q->m_cursor;
        c.drop();
        if (state != dsBrowse || !hasRow() || eof || calc.computing()) return;
        int last = 0;
        c.id = view.rows.run(cur, &last);
        c.width = store.width();
        c.cells = store.row(0);
        c.row = c.cells + size_t(*c.id) * c.width;
        if (c.unwatched() && !bof) c.walkEnd = last; // a step then leaves the flags as they are
    }

    // Cells of a view row, the edit buffer for the row being edited.
    const Cell* cellsOf(quint32 row) const {
        if (editing() && row == editRow) return buf.data();
        return store.row(row);
    }
    std::function<void()> calcHandler() {
        if (!q->OnCalcFields) return {};
        return [this] {
            q->m_cursor.drop(); // the handler reads the row it computes, not the current one
            q->OnCalcFields(q);
        };
    }
    QVariant calcValueOf(qint64 row, int slot) {
        return calc.value(row, slot, hasRow() && row == view.rows[cur], calcHandler());
    }
    QVariant valueOf(qint64 row, const TField* f) {
        const int c = f->m_column;
        if (c >= 0) return cellValue(store.cols[c], cellsOf(quint32(row))[c]);
        return calcValueOf(row, f->m_calcSlot);
    }

    // ---- sequences
    TField* declareField(const QString& name, TFieldType type, int size, TFieldKind kind);
    std::vector<Column> packetColumns(const TDataPacket& packet, std::vector<int>& srcOf,
                                      std::vector<std::unique_ptr<TField>>& newFields);
    std::vector<int> resolveIndex(const QString& name, const std::vector<Column>& columns) const;
    std::optional<RowFilter> bindFilter(const std::vector<Column>& columns) const {
        if (!filterTree) return std::nullopt;
        return RowFilter(*filterTree, columns);
    }

    // The fields a Locate names, looked up once for repeated searches on the same fields.
    QString locateText;
    std::vector<TField*> locateList;
    const std::vector<TField*>& locatedFields(const QString& text) {
        if (!locateList.empty() && text == locateText) return locateList;
        const QStringList names = splitFieldList(text);
        if (names.isEmpty()) dbError(QStringLiteral("A busca precisa de pelo menos um campo"));
        std::vector<TField*> list;
        for (const QString& n : names)
            list.push_back(q->FieldByName(n));
        locateText = text;
        locateList = std::move(list);
        return locateList;
    }

    void scrollTo(int pos, bool atEof, bool atBof);
    void insertRow(bool atEnd);
    void dropInserted(int pos);
    void reorder(bool resort);
    void clearStorage();
};

// ---- sequences ----------------------------------------------------------------------------------

// Every real move: BeforeScroll; move; the controls follow; AfterScroll.
void TClientDataSet::Impl::scrollTo(int pos, bool atEof, bool atBof) {
    fire(q->BeforeScroll);
    setCur(pos);
    eof = atEof;
    bof = atBof;
    dataChanged(nullptr);
    fire(q->AfterScroll);
    walk();
}

// Insert puts the new row before the current one (in the view and in arrival order), Append after
// the last; the rest is one sequence. OnNewRecord raising takes the row away again.
void TClientDataSet::Impl::insertRow(bool atEnd) {
    checkActive();
    q->CheckBrowseMode();
    fire(q->BeforeInsert);
    fire(q->BeforeScroll);
    const bool beforeCurrent = !atEnd && hasRow();
    const int pos = atEnd ? view.size() : beforeCurrent ? cur : 0;
    const quint32 row = store.add(beforeCurrent ? view.rows[cur] : RowStore::Last);
    view.rows.insert(pos, row);
    setCur(pos);
    editRow = row;
    buf.assign(store.row(row), store.row(row) + store.ncols());
    eof = bof = false;
    calc.invalidate();
    viewChanged(TViewChange::Inserted, pos);
    setState(dsInsert);
    try {
        fire(q->OnNewRecord);
    } catch (...) {
        dropInserted(atEnd ? pos - 1 : pos);
        modified = false;
        setState(dsBrowse);
        dataChanged(nullptr);
        throw;
    }
    modified = false;
    dataChanged(nullptr);
    fire(q->AfterInsert);
    fire(q->AfterScroll);
}

// The row being inserted leaves the view and the store; `then` becomes the current position.
void TClientDataSet::Impl::dropInserted(int then) {
    const int pos = cur;
    view.rows.erase(pos);
    store.drop(editRow);
    calc.invalidate();
    viewChanged(TViewChange::Removed, pos);
    setCur(then);
}

// A new filter or index: CheckBrowseMode was run by the caller; the view is rebuilt, then First.
// A new filter or order. The current row stays current while it is still visible, else the
// nearest position does, at neither end: BeforeScroll may refuse the First that follows, and the
// cursor must not be left past the end or on a row it never moved to.
void TClientDataSet::Impl::reorder(bool resort) {
    qint64 current = hasRow() ? qint64(view.rows[cur]) : -1;
    if (resort) {
        const std::vector<quint32> moved = view.rebuild(store, true);
        if (!moved.empty()) {
            log.renumber(moved);
            if (current >= 0) current = moved[size_t(current)];
        }
        calc.invalidate();
    } else {
        view.refilter(store);
    }
    const int found = current < 0 ? -1 : view.find(quint32(current));
    setCur(found >= 0 ? found : cur);
    eof = bof = false;
    viewChanged(TViewChange::Reset);
    q->First();
}

void TClientDataSet::Impl::clearStorage() {
    locateList.clear(); // the fields may be replaced next
    store.clear();
    view.clear();
    log.clear();
    setCur(-1);
    eof = bof = true;
    modified = false;
    buf.clear();
    calc.invalidate();
}

// ================================================================================================

TClientDataSet::TClientDataSet(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

TClientDataSet::~TClientDataSet() {
    const auto list = d->sources;
    for (TDataSource* s : list)
        s->SetDataSet(nullptr);
}

// Checks a declared field and adds it to the list; the caller gives it its storage.
TField* TClientDataSet::Impl::declareField(const QString& name, TFieldType type, int size, TFieldKind kind) {
    if (state != dsInactive)
        dbError(QStringLiteral("Não é possível adicionar o campo '%1' a um conjunto de registros aberto")
                    .arg(name));
    if (name.trimmed().isEmpty()) dbError(QStringLiteral("O campo precisa de um nome"));
    if (q->FindField(name)) dbError(QStringLiteral("Nome de campo repetido: '%1'").arg(name));
    if (kind == fkData && isText(type) && (size < 1 || size > kvo::data::MaxTextSize))
        dbError(QStringLiteral("O campo de texto '%1' precisa de um tamanho").arg(name));
    locateList.clear();
    if (!defined) { // fields taken from an earlier packet give way to declared ones
        fields.clear();
        store.cols.clear();
        calc.setSlots(0);
        defined = true;
    }
    const int index = int(fields.size());
    fields.push_back(std::make_unique<TField>(q, name, type, type == ftFloat || type == ftDateTime ? 0 : size,
                                              kind, index,
                                              kind == fkData ? store.ncols() : calc.slotCount()));
    return fields.back().get();
}

TField* TClientDataSet::AddField(const QString& name, TFieldType type, int size) {
    TField* field = d->declareField(name, type, size, fkData);
    Column col;
    col.field = field;
    col.type = type;
    col.size = field->Size();
    d->store.cols.push_back(std::move(col));
    return field;
}

TField* TClientDataSet::AddCalcField(const QString& name, TFieldType type, int size) {
    TField* field = d->declareField(name, type, size, fkCalculated);
    d->calc.setSlots(d->calc.slotCount() + 1);
    return field;
}

void TClientDataSet::AddIndex(const QString& name, const QString& fields) {
    if (name.trimmed().isEmpty() || splitFieldList(fields).isEmpty())
        dbError(QStringLiteral("O índice precisa de um nome e de campos"));
    for (IndexDef& def : d->indexDefs)
        if (def.name.compare(name, Qt::CaseInsensitive) == 0) {
            if (d->indexName.compare(name, Qt::CaseInsensitive) == 0 && d->state != dsInactive)
                dbError(QStringLiteral("O índice '%1' está ativo").arg(name));
            def.fields = fields;
            return;
        }
    d->indexDefs.push_back({name, fields});
}

int TClientDataSet::FieldCount() const {
    return int(d->fields.size());
}

TField* TClientDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount())
        dbError(QStringLiteral("Posição de campo %1 fora do intervalo").arg(index));
    return d->fields[index].get();
}

TField* TClientDataSet::FindField(const QString& name) const {
    for (const auto& f : d->fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f.get();
    return nullptr;
}

TField* TClientDataSet::FieldByName(const QString& name) const {
    TField* f = FindField(name);
    if (!f) dbError(QStringLiteral("Campo '%1' não encontrado").arg(name));
    return f;
}

// ---- opening and loading ------------------------------------------------------------------------

void TClientDataSet::CreateDataSet() {
    TDataPacket empty;
    for (const auto& f : d->fields)
        if (f->FieldKind() == fkData) empty.fields.push_back({f->FieldName(), f->DataType(), f->Size()});
    SetData(empty);
}

void TClientDataSet::Open() {
    if (d->state == dsInactive) CreateDataSet();
}

std::vector<int> TClientDataSet::Impl::resolveIndex(const QString& name,
                                                    const std::vector<Column>& columns) const {
    std::vector<int> out;
    if (name.isEmpty()) return out;
    const IndexDef* def = nullptr;
    for (const IndexDef& d : indexDefs)
        if (d.name.compare(name, Qt::CaseInsensitive) == 0) def = &d;
    if (!def) dbError(QStringLiteral("Índice '%1' não encontrado").arg(name));
    for (const QString& field : splitFieldList(def->fields)) {
        const int found = findColumn(columns, field);
        if (found < 0)
            dbError(QStringLiteral("Campo '%1' do índice '%2' não encontrado").arg(field, def->name));
        out.push_back(found);
    }
    return out;
}

// The columns a packet fills: the declared fields by name, or the packet's own fields (keeping the
// existing TField objects when they are the same, since controls hold them). srcOf: column -> packet
// column.
std::vector<Column> TClientDataSet::Impl::packetColumns(const TDataPacket& packet, std::vector<int>& srcOf,
                                                        std::vector<std::unique_ptr<TField>>& newFields) {
    std::vector<Column> cols;
    if (defined) {
        cols.resize(store.cols.size());
        for (size_t c = 0; c < store.cols.size(); ++c) {
            const Column& old = store.cols[c];
            cols[c].field = old.field;
            cols[c].type = old.type;
            cols[c].size = old.size;
            const int src = packet.FieldIndex(old.field->FieldName());
            if (src < 0)
                dbError(QStringLiteral("Campo '%1' não encontrado no pacote de dados")
                            .arg(old.field->FieldName()));
            const TFieldType pt = packet.fields[src].type;
            if (isText(pt) != isText(old.type) || (!isText(pt) && pt != old.type))
                dbError(QStringLiteral("O campo '%1' tem outro tipo no pacote de dados")
                            .arg(old.field->FieldName()));
            srcOf.push_back(src);
        }
        return cols;
    }
    bool same = int(fields.size()) == packet.fields.size();
    for (int i = 0; same && i < packet.fields.size(); ++i) {
        const TField* f = fields[i].get();
        const TPacketField& pf = packet.fields[i];
        same = f->FieldName() == pf.name && f->DataType() == pf.type && f->Size() == pf.size;
    }
    QStringList seen;
    for (int i = 0; i < packet.fields.size(); ++i) {
        const TPacketField& pf = packet.fields[i];
        if (pf.name.trimmed().isEmpty()) dbError(QStringLiteral("Um campo do pacote de dados não tem nome"));
        if (seen.contains(pf.name, Qt::CaseInsensitive))
            dbError(QStringLiteral("O campo '%1' aparece duas vezes no pacote de dados").arg(pf.name));
        seen << pf.name;
        const bool text = isText(pf.type);
        if (text && (pf.size < 1 || pf.size > kvo::data::MaxTextSize))
            dbError(QStringLiteral("O campo de texto '%1' não tem um tamanho válido").arg(pf.name));
        TField* f;
        if (same) {
            f = fields[i].get();
        } else {
            newFields.push_back(
                std::make_unique<TField>(q, pf.name, pf.type, text ? pf.size : 0, fkData, i, i));
            f = newFields.back().get();
        }
        Column col;
        col.field = f;
        col.type = pf.type;
        col.size = text ? pf.size : 0;
        cols.push_back(std::move(col));
        srcOf.push_back(i);
    }
    return cols;
}

void TClientDataSet::SetData(const TDataPacket& packet) {
    // Everything is decoded into fresh storage first, so a bad packet leaves the set untouched.
    std::vector<int> srcOf;
    std::vector<std::unique_ptr<TField>> newFields;
    std::vector<Column> cols = d->packetColumns(packet, srcOf, newFields);
    const size_t nc = cols.size();
    std::vector<Cell> cells;
    cells.reserve(RowStore::withSpare(size_t(packet.rows.size())) * nc);
    for (qsizetype r = 0; r < packet.rows.size(); ++r) {
        const QVector<QVariant>& row = packet.rows[r];
        if (row.size() != packet.fields.size())
            dbError(QStringLiteral("A linha %1 do pacote de dados tem %2 valores para %3 campos")
                        .arg(r + 1)
                        .arg(row.size())
                        .arg(packet.fields.size()));
        for (size_t c = 0; c < nc; ++c)
            cells.push_back(packetCell(cols[c], row[srcOf[c]], r));
    }
    // Filter and index must fit the new columns before anything is replaced.
    std::vector<int> indexCols = d->resolveIndex(d->indexName, cols);
    std::optional<RowFilter> filter = d->bindFilter(cols);

    if (d->state != dsInactive) Close();
    d->fire(BeforeOpen);
    if (!newFields.empty() || (!d->defined && packet.fields.isEmpty())) {
        d->fields = std::move(newFields);
        d->calc.setSlots(0);
    }
    d->clearStorage();
    const size_t nrows = nc ? cells.size() / nc : size_t(packet.rows.size());
    d->store.load(std::move(cols), std::move(cells), nrows);
    d->log.sizeFor(nrows);
    d->view.setIndex(std::move(indexCols));
    d->view.setFilter(d->filtered ? std::move(filter) : std::nullopt);
    d->view.rebuild(d->store, true); // a fresh load: no one holds row ids yet
    d->setCur(0);
    d->bof = true;
    d->eof = d->view.empty();
    d->setState(dsBrowse); // links hear of the new rows as an active change
    d->fire(AfterOpen);
    d->dataChanged(nullptr);
    d->fire(AfterScroll);
    d->walk();
}

TDataPacket TClientDataSet::Data() const {
    d->checkActive();
    TDataPacket p;
    const RowStore& store = d->store;
    for (const Column& c : store.cols)
        p.fields.push_back({c.field->FieldName(), c.type, c.size});
    p.rows.reserve(qsizetype(store.arrival().size()));
    store.arrival().forEach([&](quint32 r) {
        if (!store.live(r)) return;
        QVector<QVariant> row;
        row.reserve(store.ncols());
        const Cell* rc = store.row(r);
        for (int c = 0; c < store.ncols(); ++c)
            row.push_back(cellValue(store.cols[c], rc[c]));
        p.rows.push_back(std::move(row));
    });
    return p;
}

void TClientDataSet::Close() {
    if (d->state == dsInactive) return;
    d->fire(BeforeClose);
    d->setState(dsInactive);
    d->clearStorage();
    d->fire(AfterClose);
}

bool TClientDataSet::Active() const {
    return d->state != dsInactive;
}
TDataSetState TClientDataSet::State() const {
    return d->state;
}
bool TClientDataSet::Modified() const {
    return d->modified;
}

// ---- navigation ---------------------------------------------------------------------------------

// On an empty view both ends are reached; a move that cannot happen sets only its direction's flag.
void TClientDataSet::First() {
    d->checkActive();
    CheckBrowseMode();
    d->scrollTo(0, d->view.empty(), true);
}

void TClientDataSet::Last() {
    d->checkActive();
    CheckBrowseMode();
    d->scrollTo(d->view.size() - 1, true, d->view.empty());
}

void TClientDataSet::Prior() {
    MoveBy(-1);
}

void TClientDataSet::nextChecked() {
    MoveBy(1);
}

int TClientDataSet::MoveBy(int distance) {
    d->checkActive();
    CheckBrowseMode();
    if (distance == 0) return 0;
    const int last = d->view.size() - 1;
    const qint64 want = qint64(d->cur) + distance;
    const int target = d->view.empty() ? -1 : int(std::clamp<qint64>(want, 0, last));
    if (target == d->cur) {
        d->eof = distance > 0;
        d->bof = distance < 0;
        m_cursor.drop(); // a walk keeps both flags down, and Eof reads them again
        return 0;
    }
    const int moved = target - d->cur;
    d->scrollTo(target, want > last, want < 0);
    return moved;
}

bool TClientDataSet::Bof() const {
    return d->state == dsInactive || d->view.empty() || d->bof;
}

int TClientDataSet::RecNo() const {
    return d->state == dsInactive || !d->hasRow() ? 0 : d->cur + 1;
}

void TClientDataSet::SetRecNo(int recNo) {
    d->checkActive();
    CheckBrowseMode();
    if (recNo < 1 || recNo > d->view.size() || recNo == d->cur + 1) return;
    d->scrollTo(recNo - 1, false, false);
}

int TClientDataSet::RecordCount() const {
    return d->state == dsInactive ? 0 : d->view.size();
}
bool TClientDataSet::IsEmpty() const {
    return d->state == dsInactive || d->view.empty();
}

bool TClientDataSet::Locate(const QString& fields, const QVariant& values, TLocateOptions options) {
    d->checkActive();
    // A copy: a handler run by CheckBrowseMode may locate on other fields. Most searches name a
    // field or two, so nothing here should need the heap.
    const std::vector<TField*>& cached = d->locatedFields(fields);
    const QVarLengthArray<TField*, 4> located(cached.begin(), cached.end());
    QVariantList keyList;
    if (located.size() > 1) {
        keyList = values.toList();
        if (keyList.size() != located.size())
            dbError(QStringLiteral("A busca em %1 campos precisa de %1 valores").arg(located.size()));
    }
    CheckBrowseMode();
    QVarLengthArray<ValueMatcher, 2> matchers;
    for (qsizetype i = 0; i < located.size(); ++i) {
        TField* f = located[i];
        if (f->FieldKind() != fkData)
            dbError(QStringLiteral("A busca não pode usar o campo calculado '%1'").arg(f->FieldName()));
        const int c = f->m_column;
        matchers.push_back(ValueMatcher::key(d->store.cols[c], c, located.size() == 1 ? values : keyList[i],
                                             options.testFlag(loCaseInsensitive),
                                             options.testFlag(loPartialKey)));
    }
    const std::vector<Column>& cols = d->store.cols;
    // Exact keys on the leading columns of the active index: a binary search in the view.
    const std::vector<int>& index = d->view.indexColumns();
    if (!options && size_t(matchers.size()) <= index.size()) {
        QVarLengthArray<Cell, 4> key(matchers.size());
        bool usable = true, none = false;
        for (qsizetype k = 0; k < key.size() && usable; ++k) {
            const auto m = std::find_if(matchers.begin(), matchers.end(),
                                        [&](const ValueMatcher& v) { return v.column() == index[k]; });
            const ValueMatcher::KeyCell kc =
                m == matchers.end() ? ValueMatcher::NotExact : m->keyCell(cols[index[k]], &key[k]);
            usable = kc != ValueMatcher::NotExact;
            none |= kc == ValueMatcher::NoRow;
        }
        if (usable) {
            const int pos = none ? -1 : d->view.seek(d->store, key.data(), size_t(key.size()));
            if (pos >= 0) d->scrollTo(pos, false, false);
            return pos >= 0;
        }
    }
    // The usual case, texts only: test the ids straight from the rows.
    struct TextKey {
        int column;
        quint32 id;
        const std::vector<quint8>* table; // case-insensitive or partial keys
    };
    QVarLengthArray<TextKey, 4> texts;
    for (const ValueMatcher& m : matchers) {
        TextKey k{m.column(), 0, m.textTable(cols[m.column()])};
        bool equal = false;
        if (!k.table && !m.textIdentity(cols[m.column()], &k.id, &equal)) break;
        texts.push_back(k);
    }
    if (texts.size() == matchers.size()) {
        auto hit = [](const Cell* rc, const TextKey& k) {
            const quint32 s = rc[k.column].s;
            return k.table ? s < k.table->size() && (*k.table)[s] : s == k.id;
        };
        const bool exact = std::none_of(texts.begin(), texts.end(), [](const TextKey& k) { return k.table; });
        for (int pos = 0; pos < d->view.size(); ++pos) {
            const Cell* rc = d->store.row(d->view.rows[pos]);
            if (exact
                    ? std::all_of(texts.begin(), texts.end(),
                                  [rc](const TextKey& k) { return rc[k.column].s == k.id; })
                    : std::all_of(texts.begin(), texts.end(), [&](const TextKey& k) { return hit(rc, k); })) {
                d->scrollTo(pos, false, false);
                return true;
            }
        }
        return false;
    }
    for (int pos = 0; pos < d->view.size(); ++pos) {
        const Cell* rc = d->store.row(d->view.rows[pos]);
        const bool all = std::all_of(matchers.begin(), matchers.end(), [&](const ValueMatcher& m) {
            return m.matches(cols[m.column()], rc[m.column()]);
        });
        if (all) {
            d->scrollTo(pos, false, false);
            return true;
        }
    }
    return false;
}

// ---- editing ------------------------------------------------------------------------------------

void TClientDataSet::Insert() {
    d->insertRow(false);
}

void TClientDataSet::Append() {
    d->insertRow(true);
}

void TClientDataSet::Edit() {
    d->checkActive();
    if (d->editing()) return;
    CheckBrowseMode();
    if (d->view.empty()) return Insert();
    d->fire(BeforeEdit);
    d->editRow = d->view.rows[d->cur];
    d->buf.assign(d->store.row(d->editRow), d->store.row(d->editRow) + d->store.ncols());
    d->modified = false;
    d->setState(dsEdit);
    d->dataChanged(nullptr);
    d->fire(AfterEdit);
}

// The row is stored and logged, then takes its place in the index; a row the filter no longer
// passes leaves the view.
void TClientDataSet::Post() {
    d->checkActive();
    if (!d->editing())
        dbError(QStringLiteral("O conjunto de registros não está em modo de edição ou inclusão"));
    d->updateData();
    d->fire(BeforePost);
    if (!d->editing()) return; // a handler ended the edit itself

    const quint32 row = d->editRow;
    Cell* stored = d->store.row(row);
    const size_t bytes = size_t(d->store.ncols()) * sizeof(Cell);
    const bool inserting = d->state == dsInsert;
    if (inserting || (bytes && std::memcmp(stored, d->buf.data(), bytes) != 0)) {
        d->log.record(row, inserting ? TChange::Insert : TChange::Modify, stored, d->store.ncols(),
                      d->logChanges);
        if (!inserting) d->view.unsort(d->store, row);
        if (bytes) std::memcpy(stored, d->buf.data(), bytes);
        const int oldPos = d->cur;
        d->view.rows.erase(oldPos);
        const int pos = d->view.place(d->store, row);
        d->calc.invalidate();
        if (pos < 0) {
            d->setCur(oldPos);
            d->viewChanged(TViewChange::Removed, oldPos);
        } else {
            d->setCur(pos);
            if (pos != oldPos) d->viewChanged(TViewChange::Moved, oldPos, pos);
            d->viewChanged(TViewChange::Changed, pos);
        }
    }
    d->modified = false;
    d->eof = d->bof = false;
    d->setState(dsBrowse);
    d->dataChanged(nullptr);
    d->fire(AfterPost);
}

void TClientDataSet::Cancel() {
    if (!d->editing()) return;
    const bool inserting = d->state == dsInsert;
    d->fire(BeforeCancel);
    if (inserting) {
        d->fire(BeforeScroll);
        d->dropInserted(d->cur);
    } else if (d->modified) {
        d->buf.assign(d->store.row(d->editRow), d->store.row(d->editRow) + d->store.ncols());
        d->viewChanged(TViewChange::Changed, d->cur);
    }
    d->modified = false;
    d->calc.invalidate();
    d->setState(dsBrowse);
    d->dataChanged(nullptr);
    d->fire(AfterCancel);
    if (inserting) d->fire(AfterScroll);
}

void TClientDataSet::Delete() {
    d->checkActive();
    if (d->state == dsInsert) return Cancel();
    if (d->view.empty())
        dbError(QStringLiteral("Não é possível realizar esta operação com o conjunto de registros vazio"));
    d->fire(BeforeDelete);
    d->fire(BeforeScroll);
    const int pos = d->cur;
    const quint32 row = d->view.rows[pos];
    d->log.record(row, TChange::Delete, d->store.row(row), d->store.ncols(), d->logChanges);
    d->view.unsort(d->store, row);
    d->view.rows.erase(pos);
    d->store.drop(row);
    d->viewChanged(TViewChange::Removed, pos);
    d->setCur(pos);
    d->modified = false;
    d->eof = d->bof = false;
    d->calc.invalidate();
    d->setState(dsBrowse);
    d->dataChanged(nullptr);
    d->fire(AfterDelete);
    d->fire(AfterScroll);
}

void TClientDataSet::CheckBrowseMode() {
    d->checkActive();
    if (!d->editing()) return;
    d->updateData();
    if (!d->editing()) return;
    if (d->modified)
        Post();
    else
        Cancel();
}

// ---- filter and index ---------------------------------------------------------------------------

QString TClientDataSet::Filter() const {
    return d->filterText;
}

void TClientDataSet::SetFilter(const QString& expression) {
    if (expression == d->filterText) return;
    std::unique_ptr<kvo::data::FilterNode> parsed = kvo::data::parseFilter(expression);
    if (d->state == dsInactive) {
        d->filterText = expression;
        d->filterTree = std::move(parsed);
        return;
    }
    std::optional<RowFilter> bound;
    if (parsed) bound.emplace(*parsed, d->store.cols); // an unknown field fails before anything changes
    if (!d->filtered) {
        d->filterText = expression;
        d->filterTree = std::move(parsed);
        return;
    }
    CheckBrowseMode();
    d->filterText = expression;
    d->filterTree = std::move(parsed);
    d->view.setFilter(std::move(bound));
    d->reorder(false);
}

bool TClientDataSet::Filtered() const {
    return d->filtered;
}

void TClientDataSet::SetFiltered(bool on) {
    if (on == d->filtered) return;
    if (d->state == dsInactive) {
        d->filtered = on;
        return;
    }
    CheckBrowseMode();
    d->filtered = on;
    d->view.setFilter(on ? d->bindFilter(d->store.cols) : std::nullopt);
    d->reorder(false);
}

QString TClientDataSet::IndexName() const {
    return d->indexName;
}

void TClientDataSet::SetIndexName(const QString& name) {
    if (name.compare(d->indexName, Qt::CaseInsensitive) == 0) return;
    if (d->state == dsInactive) {
        if (!name.isEmpty()) {
            bool known = false;
            for (const IndexDef& def : d->indexDefs)
                known |= def.name.compare(name, Qt::CaseInsensitive) == 0;
            if (!known) dbError(QStringLiteral("Índice '%1' não encontrado").arg(name));
        }
        d->indexName = name;
        return;
    }
    std::vector<int> cols = d->resolveIndex(name, d->store.cols);
    CheckBrowseMode();
    d->indexName = name;
    d->view.setIndex(std::move(cols));
    d->reorder(true);
}

// ---- change log ---------------------------------------------------------------------------------

TChangeLog TClientDataSet::Delta() const {
    d->checkActive();
    return d->log.delta(d->store);
}

int TClientDataSet::ChangeCount() const {
    return d->log.size();
}
bool TClientDataSet::LogChanges() const {
    return d->logChanges;
}
void TClientDataSet::SetLogChanges(bool on) {
    d->logChanges = on;
}

void TClientDataSet::MergeChangeLog() {
    d->checkActive();
    d->log.clear();
}

// Keeps the current row when it still exists, else the nearest position; no state or scroll events.
void TClientDataSet::CancelUpdates() {
    d->checkActive();
    CheckBrowseMode();
    if (d->log.empty()) return;
    const qint64 current = d->hasRow() ? qint64(d->view.rows[d->cur]) : -1;
    const int oldPos = d->cur;
    d->log.revert(d->store);
    d->view.rebuild(d->store, false);
    d->viewChanged(TViewChange::Reset);
    const int pos = current >= 0 ? d->view.find(quint32(current)) : -1;
    d->setCur(pos >= 0 ? pos : oldPos);
    d->eof = d->bof = false;
    d->calc.invalidate();
    d->dataChanged(nullptr);
}

// ---- controls -----------------------------------------------------------------------------------

void TClientDataSet::DisableControls() {
    m_cursor.drop(); // the next move may walk quietly
    if (d->disableCount++ == 0) d->disableState = d->state;
}

void TClientDataSet::EnableControls() {
    m_cursor.drop(); // moves are told again
    if (d->disableCount == 0) return;
    if (--d->disableCount > 0) return;
    const auto list = d->sources;
    const bool activeChange = (d->disableState == dsInactive) != (d->state == dsInactive);
    for (TDataSource* s : list) {
        if (activeChange) s->notifyActiveChange();
        if (d->disableState != d->state) s->notifyStateChange();
    }
    if (std::exchange(d->viewLost, false)) d->viewChanged(TViewChange::Reset);
    if (d->state != dsInactive) d->dataChanged(nullptr);
}

bool TClientDataSet::ControlsDisabled() const {
    return d->disableCount > 0;
}

const std::vector<TDataSource*>& TClientDataSet::DataSources() const {
    return d->sources;
}

void TClientDataSet::attachSource(TDataSource* source) {
    m_cursor.drop();
    if (std::find(d->sources.begin(), d->sources.end(), source) == d->sources.end())
        d->sources.push_back(source);
}

void TClientDataSet::detachSource(TDataSource* source) {
    m_cursor.drop();
    d->sources.erase(std::remove(d->sources.begin(), d->sources.end(), source), d->sources.end());
}

// ---- field access -------------------------------------------------------------------------------

QVariant TClientDataSet::fieldValue(const TField* field) const {
    if (field->DataSet() != this)
        dbError(
            QStringLiteral("O campo '%1' pertence a outro conjunto de registros").arg(field->FieldName()));
    if (d->state == dsInactive)
        dbError(QStringLiteral("Não é possível ler o campo '%1' com o conjunto de registros fechado")
                    .arg(field->FieldName()));
    const qint64 computing = d->calc.computingRow(); // OnCalcFields reads the row it computes
    if (computing >= 0) return d->valueOf(computing, field);
    if (!d->hasRow()) return {};
    return d->valueOf(d->view.rows[d->cur], field);
}

double TClientDataSet::floatValueChecked(const TField* field) const {
    const int c = field->m_column;
    if (field->DataSet() == this && d->state != dsInactive && !d->calc.computing() && d->hasRow() && c >= 0 &&
        d->store.cols[c].type == ftFloat) {
        return d->cellsOf(d->view.rows[d->cur])[c].f;
    }
    const QVariant v = fieldValue(field);
    return v.isNull() ? std::numeric_limits<double>::quiet_NaN() : v.toDouble();
}

QVariant TClientDataSet::viewFieldValue(int recNo, const TField* field) const {
    if (field->DataSet() != this || d->state == dsInactive || recNo < 1 || recNo > d->view.size()) return {};
    // Called while painting, where nothing may throw: a failing OnCalcFields reads as null.
    try {
        return d->valueOf(d->view.rows[recNo - 1], field);
    } catch (...) {
        return {};
    }
}

void TClientDataSet::setFieldValue(TField* field, const QVariant& value) {
    if (field->DataSet() != this)
        dbError(
            QStringLiteral("O campo '%1' pertence a outro conjunto de registros").arg(field->FieldName()));
    d->checkActive();
    if (field->m_column < 0) {
        const int slot = field->m_calcSlot;
        const QVariant v = calcValue(field->DataType(), field->Size(), value);
        if (d->calc.computing()) {
            d->calc.setComputed(slot, v);
            return;
        }
        if (!d->editing())
            dbError(QStringLiteral("O conjunto de registros não está em modo de edição ou inclusão"));
        d->calc.setCurrent(d->view.rows[d->cur], slot, v, d->calcHandler());
        d->viewChanged(TViewChange::Changed, d->cur);
        d->dataChanged(field);
        return;
    }
    if (d->calc.computing())
        dbError(
            QStringLiteral("O campo '%1' não pode ser alterado durante o cálculo").arg(field->FieldName()));
    if (!d->editing())
        dbError(QStringLiteral("O conjunto de registros não está em modo de edição ou inclusão"));
    if (field->ReadOnly())
        dbError(QStringLiteral("O campo '%1' não pode ser alterado").arg(field->FieldName()));
    const int c = field->m_column;
    d->buf[c] = writtenCell(d->store.cols[c], value);
    d->modified = true;
    d->calc.invalidate();
    d->viewChanged(TViewChange::Changed, d->cur);
    d->dataChanged(field);
}

void TClientDataSet::focusField(TField* field) {
    const auto list = d->sources;
    for (TDataSource* s : list)
        if (s->notifyFocusField(field)) return;
}
