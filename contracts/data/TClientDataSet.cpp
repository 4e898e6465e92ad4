#include "TClientDataSet.h"

#include "Conversions.h"
#include "FilterExpr.h"
#include "TDataSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>

using namespace kvodata;
using namespace kvo::data;

namespace {

// One stored value, 8 bytes. Texts are ids into their column's pool (0 = null), floats are doubles
// (NaN = null: no NaN is ever stored as a value), dates are julian-day milliseconds.
union Cell {
    quint64 bits;
    double f;
    qint64 t;
    quint32 s;
};

constexpr qint64 NullDate = std::numeric_limits<qint64>::min();
constexpr qint64 SeqStep = 1 << 16;

Cell nullCell(TFieldType type) {
    Cell c;
    c.bits = 0;
    if (type == ftFloat)
        c.f = std::numeric_limits<double>::quiet_NaN();
    else if (type == ftDateTime)
        c.t = NullDate;
    return c;
}

bool cellNull(TFieldType type, Cell c) {
    switch (type) {
    case ftFloat:
        return std::isnan(c.f);
    case ftDateTime:
        return c.t == NullDate;
    default:
        return c.s == 0;
    }
}

qint64 dateKey(const QDate& d) {
    return d.toJulianDay() * 86400000LL;
}

QDate keyDate(qint64 k) {
    qint64 day = k / 86400000LL;
    if (k % 86400000LL < 0) --day;
    return QDate::fromJulianDay(day);
}

QDate variantDate(const QVariant& v, bool* ok) {
    const std::optional<QDate> d = toDate(v);
    *ok = d.has_value();
    return d.value_or(QDate());
}

bool variantNumber(const QVariant& v, double* out) {
    const std::optional<double> d = toNumber(v);
    *out = d.value_or(0);
    return d.has_value();
}

// A field's values; texts are interned so that equal texts share one id (filters and locates then
// compare ids, and a repeated text costs 4 bytes per row).
struct Column {
    TField* field = nullptr;
    TFieldType type = ftString;
    int size = 0;
    std::vector<QString> pool{QString()}; // pool[0] is the null placeholder
    std::vector<quint32> hashes{0};
    std::vector<quint32> table; // open addressing: 0 empty, else an id
    quint32 mask = 0;

    static quint32 hashOf(const QString& s) {
        const char* p = reinterpret_cast<const char*>(s.constData());
        size_t n = size_t(s.size()) * 2;
        quint64 h = 0x9E3779B97F4A7C15ULL ^ n;
        while (n >= 8) {
            quint64 w;
            std::memcpy(&w, p, 8);
            h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
            h ^= h >> 32;
            p += 8;
            n -= 8;
        }
        if (n) {
            quint64 w = 0;
            std::memcpy(&w, p, n);
            h = (h ^ w) * 0xFF51AFD7ED558CCDULL;
            h ^= h >> 32;
        }
        h *= 0xC4CEB9FE1A85EC53ULL;
        return quint32(h ^ (h >> 29));
    }

    quint32 lookup(const QString& s, quint32 h) const {
        if (table.empty()) return 0;
        for (quint32 i = h & mask;; i = (i + 1) & mask) {
            const quint32 id = table[i];
            if (id == 0) return 0;
            if (hashes[id] == h && pool[id] == s) return id;
        }
    }

    void grow() {
        const size_t size = std::max<size_t>(16, table.size() * 2);
        table.assign(size, 0);
        mask = quint32(size - 1);
        for (quint32 id = 1; id < pool.size(); ++id) {
            quint32 i = hashes[id] & mask;
            while (table[i])
                i = (i + 1) & mask;
            table[i] = id;
        }
    }

    quint32 intern(const QString& s) {
        if (s.isEmpty()) return 0;
        const quint32 h = hashOf(s);
        if (const quint32 id = lookup(s, h)) return id;
        if ((pool.size() + 1) * 2 > table.size()) grow();
        const quint32 id = quint32(pool.size());
        pool.push_back(s);
        hashes.push_back(h);
        quint32 i = h & mask;
        while (table[i])
            i = (i + 1) & mask;
        table[i] = id;
        return id;
    }

    // The id of a text, 0 for the empty text, UINT32_MAX when no row holds it.
    quint32 find(const QString& s) const {
        if (s.isEmpty()) return 0;
        const quint32 id = lookup(s, hashOf(s));
        return id ? id : std::numeric_limits<quint32>::max();
    }

    void clear() {
        pool.assign(1, QString());
        hashes.assign(1, 0);
        table.clear();
        mask = 0;
    }
};

struct LogEntry {
    TChange::Op op = TChange::Insert;
    std::vector<Cell> orig; // Modify, Delete
    quint64 order = 0;
};

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

} // namespace

struct TClientDataSet::Impl {
    TClientDataSet* q;
    std::vector<std::unique_ptr<TField>> fields;
    std::vector<int> colOf;  // field index -> data column, -1 for calculated
    std::vector<int> calcOf; // field index -> calc slot, -1 for data
    bool defined = false;    // fields were declared by the owner, not taken from a packet
    std::vector<IndexDef> indexDefs;

    // Storage
    std::vector<Column> cols;
    int calcCount = 0;
    std::vector<Cell> cells; // row-major, cols.size() per row
    std::vector<qint64> seq; // arrival-order key per row
    std::vector<quint8> alive;
    std::vector<quint32> natural; // live rows in arrival order
    std::vector<quint32> sorted;  // live posted rows in index order
    std::vector<quint32> view;    // sorted, filtered; plus the inserted row while inserting
    int cur = -1;
    bool eof = true, bof = true;

    TDataSetState state = dsInactive;
    bool modified = false;
    std::vector<Cell> buf; // the edited / inserted row
    quint32 editRow = 0;

    // Calculated fields of the current row, and of one other row for grid painting
    std::vector<QVariant> calcBuf;
    qint64 calcRow = -1;
    quint64 calcGen = ~0ULL;
    mutable std::vector<QVariant> otherCalc;
    mutable qint64 otherCalcRow = -1;
    mutable quint64 otherCalcGen = ~0ULL;
    quint64 generation = 0;
    bool inCalc = false;
    std::vector<QVariant>* calcTarget = nullptr;
    qint64 readRow = -1; // row the OnCalcFields handler reads while painting another row

    // Change log
    std::unordered_map<quint32, LogEntry> log;
    quint64 logOrder = 0;
    bool logChanges = true;

    // Filter and index
    QString filterText;
    std::unique_ptr<FilterNode> filter;
    bool filtered = false;
    QString indexName;
    std::vector<int> indexCols;

    int disableCount = 0;
    TDataSetState disableState = dsInactive;
    bool disableActive = false;
    std::vector<TDataSource*> sources;

    explicit Impl(TClientDataSet* owner) : q(owner) {}

    int ncols() const { return int(cols.size()); }
    const Cell* rowCells(quint32 r) const { return cells.data() + size_t(r) * cols.size(); }
    Cell* rowCells(quint32 r) { return cells.data() + size_t(r) * cols.size(); }

    // ---- events and notifications
    void fire(const TDataSetNotifyEvent& ev) {
        if (ev) ev(q);
    }
    bool controlsOn() const { return disableCount == 0; }
    void setState(TDataSetState s) {
        if (s == state) return;
        const bool activeChange = (s == dsInactive) != (state == dsInactive);
        state = s;
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

    void checkActive() const {
        if (state == dsInactive) dbError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    }

    // ---- values
    Cell toCell(const Column& c, const QVariant& v, Column* intern) const {
        Cell cell = nullCell(c.type);
        if (v.isNull() || !v.isValid()) return cell;
        switch (c.type) {
        case ftString:
        case ftFixedChar: {
            QString s = cutToChars(v.toString(), c.size);
            if (c.type == ftFixedChar && !s.isEmpty()) s = padToChars(s, c.size);
            cell.s = intern ? intern->intern(s) : c.find(s);
            return cell;
        }
        case ftFloat: {
            double d = 0;
            if (!variantNumber(v, &d))
                dbError(QStringLiteral("'%1' não é um valor numérico válido.").arg(v.toString()));
            cell.f = d;
            return cell;
        }
        case ftDateTime: {
            bool ok = false;
            const QDate dt = variantDate(v, &ok);
            if (!ok) dbError(QStringLiteral("'%1' não é uma data válida.").arg(v.toString()));
            if (dt.isValid()) cell.t = dateKey(dt);
            return cell;
        }
        }
        return cell;
    }

    QVariant toVariant(const Column& c, Cell cell) const {
        if (cellNull(c.type, cell)) return {};
        switch (c.type) {
        case ftString:
        case ftFixedChar:
            return c.pool[cell.s];
        case ftFloat:
            return cell.f;
        case ftDateTime:
            return keyDate(cell.t);
        }
        return {};
    }

    bool editing() const { return state == dsEdit || state == dsInsert; }
    bool hasRow() const { return cur >= 0 && cur < int(view.size()); }

    // Cells of a view row, the edit buffer for the row being edited.
    const Cell* cellsOf(quint32 row) const {
        if (editing() && row == editRow) return buf.data();
        return rowCells(row);
    }

    QVariant calcValue(qint64 row, int slot) const {
        auto* self = const_cast<Impl*>(this);
        const bool current = hasRow() && row == view[cur];
        std::vector<QVariant>& target = current ? self->calcBuf : otherCalc;
        qint64& targetRow = current ? self->calcRow : otherCalcRow;
        quint64& targetGen = current ? self->calcGen : otherCalcGen;
        if (inCalc) { // the handler reads a calculated field it is computing
            return calcTarget && slot < int(calcTarget->size()) ? (*calcTarget)[slot] : QVariant();
        }
        if (targetRow != row || targetGen != generation) {
            target.assign(calcCount, QVariant());
            if (q->OnCalcFields) {
                const qint64 savedRead = readRow;
                self->readRow = row;
                self->inCalc = true;
                self->calcTarget = &target;
                try {
                    q->OnCalcFields(q);
                } catch (...) {
                    self->inCalc = false;
                    self->calcTarget = nullptr;
                    self->readRow = savedRead;
                    targetRow = -1;
                    throw;
                }
                self->inCalc = false;
                self->calcTarget = nullptr;
                self->readRow = savedRead;
            }
            targetRow = row;
            targetGen = generation;
        }
        return target[slot];
    }

    QVariant valueOf(qint64 row, const TField* f) const {
        const int fi = f->Index();
        if (colOf[fi] >= 0) return toVariant(cols[colOf[fi]], cellsOf(quint32(row))[colOf[fi]]);
        return calcValue(row, calcOf[fi]);
    }

    // ---- ordering
    int compareRows(quint32 a, const Cell* ca, quint32 b, const Cell* cb) const {
        for (int c : indexCols) {
            const Column& col = cols[c];
            const Cell x = ca[c], y = cb[c];
            const bool nx = cellNull(col.type, x), ny = cellNull(col.type, y);
            if (nx || ny) {
                if (nx != ny) return nx ? -1 : 1;
                continue;
            }
            switch (col.type) {
            case ftString:
            case ftFixedChar:
                if (x.s != y.s) {
                    const int r = col.pool[x.s].compare(col.pool[y.s]);
                    if (r) return r;
                }
                break;
            case ftFloat:
                if (x.f != y.f) return x.f < y.f ? -1 : 1;
                break;
            case ftDateTime:
                if (x.t != y.t) return x.t < y.t ? -1 : 1;
                break;
            }
        }
        if (seq[a] != seq[b]) return seq[a] < seq[b] ? -1 : 1;
        return 0;
    }
    // Position of a row with the given cells in an ordered vector.
    size_t lowerBound(const std::vector<quint32>& v, quint32 row, const Cell* rc) const {
        size_t lo = 0, hi = v.size();
        while (lo < hi) {
            const size_t mid = (lo + hi) / 2;
            if (compareRows(v[mid], rowCells(v[mid]), row, rc) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    void eraseRow(std::vector<quint32>& v, quint32 row, const Cell* rc) {
        if (indexCols.empty()) {
            // arrival order: binary search on seq
            auto it = std::lower_bound(v.begin(), v.end(), row,
                                       [this](quint32 a, quint32 b) { return seq[a] < seq[b]; });
            if (it != v.end() && *it == row) {
                v.erase(it);
                return;
            }
        } else {
            size_t p = lowerBound(v, row, rc);
            if (p < v.size() && v[p] == row) {
                v.erase(v.begin() + p);
                return;
            }
        }
        auto it = std::find(v.begin(), v.end(), row); // only reached if the order was disturbed
        if (it != v.end()) v.erase(it);
    }

    // Stores the rows in the order of the active index, so walking the view reads memory in sequence.
    // Only while the change log is empty: its entries are keyed by row.
    void relayout() {
        const size_t n = alive.size(), nc = cols.size();
        if (n < 2 || !log.empty() || editing()) return;
        std::vector<Cell> nCells(cells.size());
        std::vector<qint64> nSeq(n);
        std::vector<quint32> inv(n);
        for (size_t i = 0; i < sorted.size(); ++i) {
            const quint32 src = sorted[i];
            if (nc) std::memcpy(nCells.data() + i * nc, rowCells(src), nc * sizeof(Cell));
            nSeq[i] = seq[src];
            inv[src] = quint32(i);
            sorted[i] = quint32(i);
        }
        for (quint32& r : natural)
            r = inv[r];
        cells = std::move(nCells);
        seq = std::move(nSeq);
        alive.assign(n, 1);
    }

    void sortAll() {
        sorted.clear();
        sorted.reserve(natural.size());
        sorted.assign(natural.begin(), natural.end());
        if (!indexCols.empty())
            std::sort(sorted.begin(), sorted.end(), [this](quint32 a, quint32 b) {
                return compareRows(a, rowCells(a), b, rowCells(b)) < 0;
            });
    }

    // ---- filter
    bool evalNode(const FilterNode* n, const Cell* rc) const {
        switch (n->kind) {
        case FilterNode::And:
            return evalNode(n->left.get(), rc) && evalNode(n->right.get(), rc);
        case FilterNode::Or:
            return evalNode(n->left.get(), rc) || evalNode(n->right.get(), rc);
        case FilterNode::Not:
            return !evalNode(n->left.get(), rc);
        case FilterNode::Compare:
            break;
        }
        if (n->never) return false;
        const Column& col = cols[n->column];
        const Cell c = rc[n->column];
        const bool isNull = cellNull(col.type, c);
        if (n->nullLiteral) { // FIELD = NULL / FIELD <> NULL
            if (n->op == FilterNode::Eq) return isNull;
            if (n->op == FilterNode::Ne) return !isNull;
            return false;
        }
        int cmp = 0;
        switch (col.type) {
        case ftString:
        case ftFixedChar:
            if (n->op == FilterNode::Eq || n->op == FilterNode::Ne) {
                if (n->poolSeen != col.pool.size()) {
                    n->textId = col.find(n->text);
                    n->poolSeen = col.pool.size();
                }
                return (c.s == n->textId) == (n->op == FilterNode::Eq);
            }
            cmp = col.pool[c.s].compare(n->text);
            break;
        case ftFloat:
            if (isNull) return n->op == FilterNode::Ne;
            cmp = c.f < n->number ? -1 : (c.f > n->number ? 1 : 0);
            break;
        case ftDateTime:
            if (isNull) return n->op == FilterNode::Ne;
            cmp = c.t < n->dateKey ? -1 : (c.t > n->dateKey ? 1 : 0);
            break;
        }
        switch (n->op) {
        case FilterNode::Eq:
            return cmp == 0;
        case FilterNode::Ne:
            return cmp != 0;
        case FilterNode::Lt:
            return cmp < 0;
        case FilterNode::Le:
            return cmp <= 0;
        case FilterNode::Gt:
            return cmp > 0;
        case FilterNode::Ge:
            return cmp >= 0;
        }
        return false;
    }

    // Resolves the filter's field names against a column list; throws for an unknown field.
    void bindFilter(FilterNode* n, const std::vector<Column>& columns) const {
        if (!n) return;
        if (n->kind != FilterNode::Compare) {
            bindFilter(n->left.get(), columns);
            bindFilter(n->right.get(), columns);
            return;
        }
        n->column = -1;
        for (size_t i = 0; i < columns.size(); ++i)
            if (columns[i].field->FieldName().compare(n->field, Qt::CaseInsensitive) == 0) n->column = int(i);
        if (n->column < 0) dbError(QStringLiteral("Field '%1' not found").arg(n->field));
        const Column& col = columns[n->column];
        n->never = false;
        n->poolSeen = SIZE_MAX;
        n->nullLiteral = n->literal.isNull();
        if (n->nullLiteral) return;
        const bool literalIsText = n->literal.metaType().id() == QMetaType::QString;
        switch (col.type) {
        case ftString:
        case ftFixedChar:
            if (!literalIsText) {
                n->never = true; // a text never equals a number
                return;
            }
            n->text = n->literal.toString();
            if (col.type == ftFixedChar && !n->text.isEmpty()) n->text = padToChars(n->text, col.size);
            break;
        case ftFloat:
            if (!variantNumber(n->literal, &n->number)) n->never = true;
            break;
        case ftDateTime: {
            bool ok = false;
            const QDate dt = literalIsText ? variantDate(n->literal, &ok) : QDate();
            if (!ok || !dt.isValid())
                n->never = true;
            else
                n->dateKey = dateKey(dt);
            break;
        }
        }
    }

    bool filterActive() const { return filtered && filter; }
    bool matches(const Cell* rc) const { return !filterActive() || evalNode(filter.get(), rc); }

    void buildView() {
        if (!filterActive()) {
            view = sorted;
            return;
        }
        view.clear();
        const FilterNode* n = filter.get();
        if (n->kind == FilterNode::Compare && !n->never && !n->nullLiteral &&
            (n->op == FilterNode::Eq || n->op == FilterNode::Ne) &&
            (cols[n->column].type == ftString || cols[n->column].type == ftFixedChar)) {
            // The usual "FIELD = 'text'": one id comparison per row.
            const quint32 id = cols[n->column].find(n->text);
            const bool eq = n->op == FilterNode::Eq;
            const size_t nc = cols.size(), c = size_t(n->column);
            const Cell* base = cells.data();
            for (quint32 r : sorted)
                if ((base[size_t(r) * nc + c].s == id) == eq) view.push_back(r);
            return;
        }
        for (quint32 r : sorted)
            if (evalNode(n, rowCells(r))) view.push_back(r);
    }

    void resolveIndex(const QString& indexName, const std::vector<Column>& columns,
                      std::vector<int>& out) const {
        out.clear();
        if (indexName.isEmpty()) return;
        const IndexDef* def = nullptr;
        for (const IndexDef& d : indexDefs)
            if (d.name.compare(indexName, Qt::CaseInsensitive) == 0) def = &d;
        if (!def) dbError(QStringLiteral("Index '%1' not found").arg(indexName));
        for (const QString& name : splitFieldList(def->fields)) {
            int found = -1;
            for (size_t i = 0; i < columns.size(); ++i)
                if (columns[i].field->FieldName().compare(name, Qt::CaseInsensitive) == 0) found = int(i);
            if (found < 0) dbError(QStringLiteral("Field '%1' of index '%2' not found").arg(name, def->name));
            out.push_back(found);
        }
    }

    // ---- moves
    void setCur(int pos) { cur = view.empty() ? -1 : std::clamp(pos, 0, int(view.size()) - 1); }
    void insertRow(bool atEnd);
    TField* declareField(const QString& name, TFieldType type, int size, TFieldKind kind);
    quint32 newRowId() {
        const quint32 id = quint32(alive.size());
        cells.resize(cells.size() + cols.size());
        Cell* rc = rowCells(id);
        for (int c = 0; c < ncols(); ++c)
            rc[c] = nullCell(cols[c].type);
        seq.push_back(0);
        alive.push_back(1);
        return id;
    }
    // Spreads the arrival keys apart again, keeping the order of every row, deleted ones included
    // (CancelUpdates brings those back to their place).
    void renumber(quint32 exclude) {
        std::vector<quint32> all;
        all.reserve(alive.size());
        for (quint32 r = 0; r < alive.size(); ++r)
            if (r != exclude) all.push_back(r);
        std::stable_sort(all.begin(), all.end(), [this](quint32 a, quint32 b) { return seq[a] < seq[b]; });
        qint64 s = 0;
        for (quint32 r : all)
            seq[r] = (s += SeqStep);
    }

    // ---- change log
    void logChange(quint32 row, TChange::Op op, const Cell* origCells) {
        if (!logChanges) {
            auto it = log.find(row);
            if (it != log.end() && op == TChange::Delete) log.erase(it);
            return;
        }
        auto it = log.find(row);
        if (it == log.end()) {
            LogEntry e;
            e.op = op;
            e.order = ++logOrder;
            if (op != TChange::Insert) e.orig.assign(origCells, origCells + cols.size());
            log.emplace(row, std::move(e));
            return;
        }
        LogEntry& e = it->second;
        if (op == TChange::Delete) {
            if (e.op == TChange::Insert)
                log.erase(it);
            else
                e.op = TChange::Delete;
        }
        // a Modify of an inserted or modified row keeps its entry as it is
    }

    void clearStorage() {
        cells.clear();
        cells.shrink_to_fit();
        seq.clear();
        alive.clear();
        natural.clear();
        sorted.clear();
        view.clear();
        log.clear();
        for (Column& c : cols)
            c.clear();
        cur = -1;
        eof = bof = true;
        modified = false;
        buf.clear();
        ++generation;
    }
};

// ================================================================================================

TClientDataSet::TClientDataSet(QObject* parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

TClientDataSet::~TClientDataSet() {
    const auto list = d->sources;
    for (TDataSource* s : list)
        s->SetDataSet(nullptr);
}

// Checks a declared field and adds it to the list; the caller gives it its storage.
TField* TClientDataSet::Impl::declareField(const QString& name, TFieldType type, int size, TFieldKind kind) {
    if (state != dsInactive) dbError(QStringLiteral("Cannot add field '%1' to an open dataset").arg(name));
    if (name.trimmed().isEmpty()) dbError(QStringLiteral("A field needs a name"));
    if (q->FindField(name)) dbError(QStringLiteral("Duplicate field name '%1'").arg(name));
    if (kind == fkData && (type == ftString || type == ftFixedChar) && (size < 1 || size > MaxTextSize))
        dbError(QStringLiteral("Text field '%1' needs a size").arg(name));
    if (!defined) { // fields taken from an earlier packet give way to declared ones
        fields.clear();
        colOf.clear();
        calcOf.clear();
        cols.clear();
        calcCount = 0;
        defined = true;
    }
    const int index = int(fields.size());
    fields.push_back(std::make_unique<TField>(q, name, type, type == ftFloat || type == ftDateTime ? 0 : size,
                                              kind, index));
    return fields.back().get();
}

TField* TClientDataSet::AddField(const QString& name, TFieldType type, int size) {
    TField* field = d->declareField(name, type, size, fkData);
    Column col;
    col.field = field;
    col.type = type;
    col.size = field->Size();
    d->colOf.push_back(int(d->cols.size()));
    d->calcOf.push_back(-1);
    d->cols.push_back(std::move(col));
    return field;
}

TField* TClientDataSet::AddCalcField(const QString& name, TFieldType type, int size) {
    TField* field = d->declareField(name, type, size, fkCalculated);
    d->colOf.push_back(-1);
    d->calcOf.push_back(d->calcCount++);
    return field;
}

void TClientDataSet::AddIndex(const QString& name, const QString& fields) {
    if (name.trimmed().isEmpty() || splitFieldList(fields).isEmpty())
        dbError(QStringLiteral("An index needs a name and fields"));
    for (IndexDef& def : d->indexDefs)
        if (def.name.compare(name, Qt::CaseInsensitive) == 0) {
            if (d->indexName.compare(name, Qt::CaseInsensitive) == 0 && d->state != dsInactive)
                dbError(QStringLiteral("Index '%1' is active").arg(name));
            def.fields = fields;
            return;
        }
    d->indexDefs.push_back({name, fields});
}

int TClientDataSet::FieldCount() const {
    return int(d->fields.size());
}

TField* TClientDataSet::Fields(int index) const {
    if (index < 0 || index >= FieldCount()) dbError(QStringLiteral("Field index %1 out of range").arg(index));
    return d->fields[index].get();
}

TField* TClientDataSet::FindField(const QString& name) const {
    for (const auto& f : d->fields)
        if (f->FieldName().compare(name, Qt::CaseInsensitive) == 0) return f.get();
    return nullptr;
}

TField* TClientDataSet::FieldByName(const QString& name) const {
    TField* f = FindField(name);
    if (!f) dbError(QStringLiteral("Field '%1' not found").arg(name));
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

void TClientDataSet::SetData(const TDataPacket& packet) {
    // Everything is decoded into fresh storage first, so a bad packet leaves the set untouched.
    std::vector<Column> cols;
    std::vector<int> srcOf; // column -> packet column
    std::vector<std::unique_ptr<TField>> newFields;
    if (d->defined) {
        cols.resize(d->cols.size());
        for (size_t c = 0; c < d->cols.size(); ++c) {
            const Column& old = d->cols[c];
            cols[c].field = old.field;
            cols[c].type = old.type;
            cols[c].size = old.size;
            const int src = packet.FieldIndex(old.field->FieldName());
            if (src < 0)
                dbError(
                    QStringLiteral("Field '%1' not found in the data packet").arg(old.field->FieldName()));
            const TFieldType pt = packet.fields[src].type;
            const bool textish = [](TFieldType t) { return t == ftString || t == ftFixedChar; }(pt);
            const bool want = old.type == ftString || old.type == ftFixedChar;
            if (textish != want || (!textish && pt != old.type))
                dbError(QStringLiteral("Field '%1' has another type in the data packet")
                            .arg(old.field->FieldName()));
            srcOf.push_back(src);
        }
    } else {
        // Keep the existing TField objects when the packet has the same fields (controls hold them).
        bool same = int(d->fields.size()) == packet.fields.size();
        for (int i = 0; same && i < packet.fields.size(); ++i) {
            const TField* f = d->fields[i].get();
            const TPacketField& pf = packet.fields[i];
            same = f->FieldName() == pf.name && f->DataType() == pf.type && f->Size() == pf.size;
        }
        QStringList seen;
        for (int i = 0; i < packet.fields.size(); ++i) {
            const TPacketField& pf = packet.fields[i];
            if (pf.name.trimmed().isEmpty()) dbError(QStringLiteral("A packet field has no name"));
            if (seen.contains(pf.name, Qt::CaseInsensitive))
                dbError(QStringLiteral("Field '%1' appears twice in the data packet").arg(pf.name));
            seen << pf.name;
            const bool text = pf.type == ftString || pf.type == ftFixedChar;
            if (text && (pf.size < 1 || pf.size > MaxTextSize))
                dbError(QStringLiteral("Text field '%1' has no valid size").arg(pf.name));
            TField* f;
            if (same) {
                f = d->fields[i].get();
            } else {
                newFields.push_back(
                    std::make_unique<TField>(this, pf.name, pf.type, text ? pf.size : 0, fkData, i));
                f = newFields.back().get();
            }
            Column col;
            col.field = f;
            col.type = pf.type;
            col.size = text ? pf.size : 0;
            cols.push_back(std::move(col));
            srcOf.push_back(i);
        }
    }

    const size_t nc = cols.size();
    std::vector<Cell> cells;
    cells.reserve(size_t(packet.rows.size()) * nc);
    for (qsizetype r = 0; r < packet.rows.size(); ++r) {
        const QVector<QVariant>& row = packet.rows[r];
        if (row.size() != packet.fields.size())
            dbError(QStringLiteral("Row %1 of the data packet has %2 values for %3 fields")
                        .arg(r + 1)
                        .arg(row.size())
                        .arg(packet.fields.size()));
        for (size_t c = 0; c < nc; ++c) {
            Column& col = cols[c];
            const QVariant& v = row[srcOf[c]];
            Cell cell = nullCell(col.type);
            if (!v.isNull() && v.isValid()) {
                switch (col.type) {
                case ftString:
                case ftFixedChar: {
                    if (v.metaType().id() != QMetaType::QString)
                        dbError(QStringLiteral("Row %1, field %2: a text is expected")
                                    .arg(r + 1)
                                    .arg(col.field->FieldName()));
                    QString s = v.toString();
                    const int n = s.size() <= col.size ? col.size : charCount(s); // cheap when short
                    if (n > col.size)
                        dbError(QStringLiteral("Row %1, field %2: text of %3 characters exceeds the size %4")
                                    .arg(r + 1)
                                    .arg(col.field->FieldName())
                                    .arg(n)
                                    .arg(col.size));
                    if (col.type == ftFixedChar && !s.isEmpty() && s.size() < col.size)
                        s = padToChars(s, col.size);
                    cell.s = col.intern(s);
                    break;
                }
                case ftFloat: {
                    const int t = v.metaType().id();
                    double f = 0;
                    if (t == QMetaType::Double)
                        f = v.toDouble();
                    else if (t == QMetaType::Int || t == QMetaType::LongLong || t == QMetaType::Float ||
                             t == QMetaType::UInt || t == QMetaType::ULongLong)
                        f = v.toDouble();
                    else
                        dbError(QStringLiteral("Row %1, field %2: a number is expected")
                                    .arg(r + 1)
                                    .arg(col.field->FieldName()));
                    if (!std::isfinite(f))
                        dbError(QStringLiteral("Row %1, field %2: not a finite number")
                                    .arg(r + 1)
                                    .arg(col.field->FieldName()));
                    cell.f = f;
                    break;
                }
                case ftDateTime: {
                    const int t = v.metaType().id();
                    const QDate dt = t == QMetaType::QDate       ? v.toDate()
                                     : t == QMetaType::QDateTime ? v.toDateTime().date()
                                                                 : QDate();
                    if (!dt.isValid())
                        dbError(QStringLiteral("Row %1, field %2: a valid date is expected")
                                    .arg(r + 1)
                                    .arg(col.field->FieldName()));
                    cell.t = dateKey(dt);
                    break;
                }
                }
            }
            cells.push_back(cell);
        }
    }

    // Filter and index must fit the new columns before anything is replaced.
    std::vector<int> indexCols;
    d->resolveIndex(d->indexName, cols, indexCols);
    if (d->filter) {
        try {
            d->bindFilter(d->filter.get(), cols);
        } catch (...) {
            d->bindFilter(d->filter.get(), d->cols); // back to the columns it still applies to
            throw;
        }
    }

    if (d->state != dsInactive) Close();
    d->fire(BeforeOpen);

    if (!newFields.empty() || (!d->defined && packet.fields.isEmpty())) {
        d->fields = std::move(newFields);
        d->colOf.clear();
        d->calcOf.clear();
        for (size_t i = 0; i < d->fields.size(); ++i) {
            d->colOf.push_back(int(i));
            d->calcOf.push_back(-1);
        }
        d->calcCount = 0;
    }
    d->clearStorage();
    d->cols = std::move(cols);
    d->cells = std::move(cells);
    const size_t nrows = d->cols.empty() ? size_t(packet.rows.size()) : d->cells.size() / d->cols.size();
    if (d->cols.empty()) d->cells.clear();
    d->seq.resize(nrows);
    d->alive.assign(nrows, 1);
    d->natural.resize(nrows);
    for (size_t r = 0; r < nrows; ++r) {
        d->seq[r] = qint64(r + 1) * SeqStep;
        d->natural[r] = quint32(r);
    }
    d->indexCols = std::move(indexCols);
    d->sortAll();
    if (!d->indexCols.empty()) d->relayout();
    d->buildView();
    d->setCur(0);
    d->bof = true;
    d->eof = d->view.empty();
    ++d->generation;
    d->setState(dsBrowse);
    d->fire(AfterOpen);
    d->dataChanged(nullptr);
    d->fire(AfterScroll);
}

TDataPacket TClientDataSet::Data() const {
    d->checkActive();
    TDataPacket p;
    for (const Column& c : d->cols)
        p.fields.push_back({c.field->FieldName(), c.type, c.size});
    p.rows.reserve(qsizetype(d->natural.size()));
    for (quint32 r : d->natural) {
        QVector<QVariant> row;
        row.reserve(d->ncols());
        const Cell* rc = d->rowCells(r);
        for (int c = 0; c < d->ncols(); ++c)
            row.push_back(d->toVariant(d->cols[c], rc[c]));
        p.rows.push_back(std::move(row));
    }
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

void TClientDataSet::First() {
    d->checkActive();
    CheckBrowseMode();
    d->fire(BeforeScroll);
    d->setCur(0);
    d->bof = true;
    d->eof = d->view.empty();
    d->dataChanged(nullptr);
    d->fire(AfterScroll);
}

void TClientDataSet::Last() {
    d->checkActive();
    CheckBrowseMode();
    d->fire(BeforeScroll);
    d->setCur(int(d->view.size()) - 1);
    d->eof = true;
    d->bof = d->view.empty();
    d->dataChanged(nullptr);
    d->fire(AfterScroll);
}

void TClientDataSet::Next() {
    MoveBy(1);
}
void TClientDataSet::Prior() {
    MoveBy(-1);
}

int TClientDataSet::MoveBy(int distance) {
    d->checkActive();
    CheckBrowseMode();
    if (distance == 0 || d->view.empty()) {
        if (distance > 0) d->eof = true;
        if (distance < 0) d->bof = true;
        return 0;
    }
    const int last = int(d->view.size()) - 1;
    const qint64 want = qint64(d->cur) + distance;
    const int target = int(std::clamp<qint64>(want, 0, last));
    if (target == d->cur) {
        if (distance > 0)
            d->eof = true;
        else
            d->bof = true;
        return 0;
    }
    d->fire(BeforeScroll);
    const int moved = target - d->cur;
    d->cur = target;
    d->eof = want > last;
    d->bof = want < 0;
    d->dataChanged(nullptr);
    d->fire(AfterScroll);
    return moved;
}

bool TClientDataSet::Eof() const {
    return d->state == dsInactive || d->eof;
}
bool TClientDataSet::Bof() const {
    return d->state == dsInactive || d->bof;
}

int TClientDataSet::RecNo() const {
    return d->state == dsInactive || !d->hasRow() ? 0 : d->cur + 1;
}

void TClientDataSet::SetRecNo(int recNo) {
    d->checkActive();
    CheckBrowseMode();
    if (recNo < 1 || recNo > int(d->view.size()) || recNo == d->cur + 1) return;
    d->fire(BeforeScroll);
    d->cur = recNo - 1;
    d->eof = d->bof = false;
    d->dataChanged(nullptr);
    d->fire(AfterScroll);
}

int TClientDataSet::RecordCount() const {
    return d->state == dsInactive ? 0 : int(d->view.size());
}
bool TClientDataSet::IsEmpty() const {
    return d->state == dsInactive || d->view.empty();
}

bool TClientDataSet::Locate(const QString& fields, const QVariant& values, TLocateOptions options) {
    d->checkActive();
    const QStringList names = splitFieldList(fields);
    if (names.isEmpty()) dbError(QStringLiteral("Locate needs at least one field"));
    QVariantList keys;
    if (names.size() == 1) {
        keys << values;
    } else {
        keys = values.toList();
        if (keys.size() != names.size())
            dbError(QStringLiteral("Locate on %1 fields needs %1 values").arg(names.size()));
    }
    struct Matcher {
        int col;
        TFieldType type;
        std::vector<quint8> textOk; // per pool id, for texts
        quint32 exactId;
        bool useIds;
        bool never = false;
        bool wantNull = false;
        double number = 0;
        qint64 date = 0;
    };
    for (const QString& n : names)
        FieldByName(n);
    CheckBrowseMode();
    std::vector<Matcher> ms;
    const bool ci = options & loCaseInsensitive, partial = options & loPartialKey;
    for (int i = 0; i < names.size(); ++i) {
        TField* f = FieldByName(names[i]);
        if (f->FieldKind() != fkData)
            dbError(QStringLiteral("Locate cannot search the calculated field '%1'").arg(f->FieldName()));
        Matcher m;
        m.col = d->colOf[f->Index()];
        const Column& col = d->cols[m.col];
        m.type = col.type;
        m.useIds = false;
        m.exactId = 0;
        const QVariant& key = keys[i];
        if (col.type == ftString || col.type == ftFixedChar) {
            QString k = key.isNull() ? QString() : key.toString();
            if (k.isEmpty() && !partial) {
                m.useIds = true, m.exactId = 0;
            } else if (!ci && !partial) {
                if (col.type == ftFixedChar) k = padToChars(k, col.size);
                m.useIds = true;
                m.exactId = col.find(k);
            } else {
                m.textOk.resize(col.pool.size());
                const Qt::CaseSensitivity cs = ci ? Qt::CaseInsensitive : Qt::CaseSensitive;
                for (size_t id = 0; id < col.pool.size(); ++id) {
                    const QString& s = col.pool[id];
                    bool ok;
                    if (partial)
                        ok = s.startsWith(k, cs);
                    else if (col.type == ftFixedChar)
                        ok = s.trimmed().compare(k.trimmed(), cs) == 0;
                    else
                        ok = s.compare(k, cs) == 0;
                    m.textOk[id] = ok;
                }
            }
        } else if (key.isNull()) {
            m.wantNull = true;
        } else if (col.type == ftFloat) {
            if (!variantNumber(key, &m.number)) m.never = true;
        } else {
            bool ok = false;
            const QDate dt = variantDate(key, &ok);
            if (!ok || !dt.isValid())
                m.never = true;
            else
                m.date = dateKey(dt);
        }
        ms.push_back(std::move(m));
    }
    for (size_t pos = 0; pos < d->view.size(); ++pos) {
        const Cell* rc = d->rowCells(d->view[pos]);
        bool all = true;
        for (const Matcher& m : ms) {
            const Cell c = rc[m.col];
            bool ok;
            if (m.never)
                ok = false;
            else if (m.type == ftString || m.type == ftFixedChar)
                ok = m.useIds ? c.s == m.exactId : (c.s < m.textOk.size() && m.textOk[c.s]);
            else if (m.wantNull)
                ok = cellNull(m.type, c);
            else if (m.type == ftFloat)
                ok = !std::isnan(c.f) && c.f == m.number;
            else
                ok = c.t != NullDate && c.t == m.date;
            if (!ok) {
                all = false;
                break;
            }
        }
        if (all) {
            d->fire(BeforeScroll);
            d->cur = int(pos);
            d->eof = d->bof = false;
            d->dataChanged(nullptr);
            d->fire(AfterScroll);
            return true;
        }
    }
    return false;
}

// ---- editing ------------------------------------------------------------------------------------

// Insert puts the new row before the current one (in the view and in arrival order), Append after
// the last; the rest is one sequence. OnNewRecord raising takes the row away again.
void TClientDataSet::Impl::insertRow(bool atEnd) {
    checkActive();
    q->CheckBrowseMode();
    fire(q->BeforeInsert);
    fire(q->BeforeScroll);
    const bool beforeCurrent = !atEnd && hasRow();
    const int pos = atEnd ? int(view.size()) : beforeCurrent ? cur : 0;
    const quint32 row = newRowId();
    if (beforeCurrent) {
        const quint32 before = view[cur];
        const auto it = std::find(natural.begin(), natural.end(), before);
        const size_t at = size_t(it - natural.begin());
        natural.insert(natural.begin() + at, row);
        qint64 prev = at > 0 ? seq[natural[at - 1]] : 0;
        if (seq[before] - prev < 2) {
            renumber(row);
            prev = at > 0 ? seq[natural[at - 1]] : 0;
        }
        seq[row] = prev + (seq[before] - prev) / 2;
    } else {
        seq[row] = (natural.empty() ? 0 : seq[natural.back()]) + SeqStep;
        natural.push_back(row);
    }
    view.insert(view.begin() + pos, row);
    cur = pos;
    editRow = row;
    buf.assign(rowCells(row), rowCells(row) + cols.size());
    eof = bof = false;
    ++generation;
    setState(dsInsert);
    try {
        fire(q->OnNewRecord);
    } catch (...) {
        view.erase(view.begin() + pos);
        natural.erase(std::find(natural.begin(), natural.end(), row));
        alive[row] = 0;
        setCur(atEnd ? pos - 1 : pos);
        modified = false;
        ++generation;
        setState(dsBrowse);
        dataChanged(nullptr);
        throw;
    }
    modified = false;
    dataChanged(nullptr);
    fire(q->AfterInsert);
    fire(q->AfterScroll);
}

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
    d->editRow = d->view[d->cur];
    d->buf.assign(d->rowCells(d->editRow), d->rowCells(d->editRow) + d->cols.size());
    d->modified = false;
    d->setState(dsEdit);
    d->dataChanged(nullptr);
    d->fire(AfterEdit);
}

void TClientDataSet::Post() {
    d->checkActive();
    if (!d->editing()) dbError(QStringLiteral("Dataset not in edit or insert mode"));
    {
        const auto list = d->sources;
        if (d->controlsOn())
            for (TDataSource* s : list)
                s->notifyUpdateData();
    }
    d->fire(BeforePost);
    if (!d->editing()) return; // a handler ended the edit itself

    const quint32 row = d->editRow;
    Cell* stored = d->rowCells(row);
    const size_t nc = d->cols.size();
    const bool inserting = d->state == dsInsert;
    const bool changed = inserting || std::memcmp(stored, d->buf.data(), nc * sizeof(Cell)) != 0;

    if (changed) {
        if (inserting)
            d->logChange(row, TChange::Insert, nullptr);
        else
            d->logChange(row, TChange::Modify, stored);
        // Take the row out of the orders under its old values, then put it back under the new ones.
        if (!inserting) d->eraseRow(d->sorted, row, stored);
        std::memcpy(stored, d->buf.data(), nc * sizeof(Cell));
        if (inserting || !d->indexCols.empty()) {
            d->sorted.insert(d->sorted.begin() + d->lowerBound(d->sorted, row, stored), row);
        } else {
            d->sorted.insert(std::lower_bound(d->sorted.begin(), d->sorted.end(), row,
                                              [this](quint32 a, quint32 b) { return d->seq[a] < d->seq[b]; }),
                             row);
        }
        const int oldPos = d->cur;
        d->view.erase(d->view.begin() + oldPos);
        if (d->matches(stored)) {
            const size_t p = d->lowerBound(d->view, row, stored);
            d->view.insert(d->view.begin() + p, row);
            d->cur = int(p);
        } else {
            d->setCur(oldPos);
        }
        ++d->generation;
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
    if (inserting) d->fire(BeforeScroll);
    if (inserting) {
        const quint32 row = d->editRow;
        const int pos = d->cur;
        d->view.erase(d->view.begin() + pos);
        d->natural.erase(std::find(d->natural.begin(), d->natural.end(), row));
        d->alive[row] = 0;
        d->setCur(pos);
    }
    d->modified = false;
    ++d->generation;
    d->setState(dsBrowse);
    d->dataChanged(nullptr);
    d->fire(AfterCancel);
    if (inserting) d->fire(AfterScroll);
}

void TClientDataSet::Delete() {
    d->checkActive();
    if (d->state == dsInsert) return Cancel();
    if (d->view.empty()) dbError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    d->fire(BeforeDelete);
    d->fire(BeforeScroll);
    const int pos = d->cur;
    const quint32 row = d->view[pos];
    Cell* stored = d->rowCells(row);
    d->logChange(row, TChange::Delete, stored);
    d->eraseRow(d->sorted, row, stored);
    d->view.erase(d->view.begin() + pos);
    d->natural.erase(std::find(d->natural.begin(), d->natural.end(), row));
    d->alive[row] = 0;
    d->setCur(pos);
    d->modified = false;
    d->eof = d->view.empty();
    d->bof = d->view.empty();
    ++d->generation;
    d->setState(dsBrowse);
    d->dataChanged(nullptr);
    d->fire(AfterDelete);
    d->fire(AfterScroll);
}

void TClientDataSet::CheckBrowseMode() {
    d->checkActive();
    if (!d->editing()) return;
    {
        const auto list = d->sources;
        if (d->controlsOn())
            for (TDataSource* s : list)
                s->notifyUpdateData();
    }
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
    std::unique_ptr<FilterNode> parsed = parseFilter(expression);
    if (d->state == dsInactive) {
        d->filterText = expression;
        d->filter = std::move(parsed);
        return;
    }
    if (parsed) d->bindFilter(parsed.get(), d->cols);
    if (!d->filtered) {
        d->filterText = expression;
        d->filter = std::move(parsed);
        return;
    }
    CheckBrowseMode();
    d->filterText = expression;
    d->filter = std::move(parsed);
    d->buildView();
    First();
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
    d->buildView();
    First();
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
            if (!known) dbError(QStringLiteral("Index '%1' not found").arg(name));
        }
        d->indexName = name;
        return;
    }
    std::vector<int> cols;
    d->resolveIndex(name, d->cols, cols);
    CheckBrowseMode();
    d->indexName = name;
    d->indexCols = std::move(cols);
    d->sortAll();
    d->buildView();
    First();
}

// ---- change log ---------------------------------------------------------------------------------

TChangeLog TClientDataSet::Delta() const {
    d->checkActive();
    TChangeLog out;
    for (const Column& c : d->cols)
        out.fields.push_back({c.field->FieldName(), c.type, c.size});
    std::vector<std::pair<quint64, quint32>> order;
    order.reserve(d->log.size());
    for (const auto& [row, e] : d->log)
        order.emplace_back(e.order, row);
    std::sort(order.begin(), order.end());
    auto values = [this](const Cell* rc) {
        QVector<QVariant> v;
        v.reserve(d->ncols());
        for (int c = 0; c < d->ncols(); ++c)
            v.push_back(d->toVariant(d->cols[c], rc[c]));
        return v;
    };
    for (const auto& [o, row] : order) {
        const LogEntry& e = d->log.at(row);
        TChange ch;
        ch.op = e.op;
        if (e.op != TChange::Insert) ch.oldValues = values(e.orig.data());
        if (e.op != TChange::Delete) ch.newValues = values(d->rowCells(row));
        out.changes.push_back(std::move(ch));
    }
    return out;
}

int TClientDataSet::ChangeCount() const {
    return int(d->log.size());
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

void TClientDataSet::CancelUpdates() {
    d->checkActive();
    CheckBrowseMode();
    if (d->log.empty()) return;
    const qint64 current = d->hasRow() ? qint64(d->view[d->cur]) : -1;
    const int oldPos = d->cur;
    bool reordered = false;
    for (auto& [row, e] : d->log) {
        switch (e.op) {
        case TChange::Insert:
            d->alive[row] = 0;
            reordered = true;
            break;
        case TChange::Modify:
            std::memcpy(d->rowCells(row), e.orig.data(), d->cols.size() * sizeof(Cell));
            break;
        case TChange::Delete:
            std::memcpy(d->rowCells(row), e.orig.data(), d->cols.size() * sizeof(Cell));
            d->alive[row] = 1;
            reordered = true;
            break;
        }
    }
    d->log.clear();
    if (reordered) {
        // Deleted rows return to their arrival place: seq never changes for a row except on renumbering,
        // which keeps relative order, so sorting live rows by seq restores arrival order.
        d->natural.clear();
        for (quint32 r = 0; r < d->alive.size(); ++r)
            if (d->alive[r]) d->natural.push_back(r);
        std::sort(d->natural.begin(), d->natural.end(),
                  [this](quint32 a, quint32 b) { return d->seq[a] < d->seq[b]; });
    }
    d->sortAll();
    d->buildView();
    int pos = -1;
    if (current >= 0) {
        auto it = std::find(d->view.begin(), d->view.end(), quint32(current));
        if (it != d->view.end()) pos = int(it - d->view.begin());
    }
    d->setCur(pos >= 0 ? pos : oldPos);
    d->eof = d->bof = d->view.empty();
    ++d->generation;
    d->dataChanged(nullptr);
}

// ---- controls -----------------------------------------------------------------------------------

void TClientDataSet::DisableControls() {
    if (d->disableCount++ == 0) d->disableState = d->state;
}

void TClientDataSet::EnableControls() {
    if (d->disableCount == 0) return;
    if (--d->disableCount > 0) return;
    const auto list = d->sources;
    const bool activeChange = (d->disableState == dsInactive) != (d->state == dsInactive);
    for (TDataSource* s : list) {
        if (activeChange) s->notifyActiveChange();
        if (d->disableState != d->state) s->notifyStateChange();
    }
    if (d->state != dsInactive) d->dataChanged(nullptr);
}

bool TClientDataSet::ControlsDisabled() const {
    return d->disableCount > 0;
}

const std::vector<TDataSource*>& TClientDataSet::DataSources() const {
    return d->sources;
}

void TClientDataSet::attachSource(TDataSource* source) {
    if (std::find(d->sources.begin(), d->sources.end(), source) == d->sources.end())
        d->sources.push_back(source);
}

void TClientDataSet::detachSource(TDataSource* source) {
    d->sources.erase(std::remove(d->sources.begin(), d->sources.end(), source), d->sources.end());
}

// ---- field access -------------------------------------------------------------------------------

QVariant TClientDataSet::fieldValue(const TField* field) const {
    if (field->DataSet() != this)
        dbError(QStringLiteral("Field '%1' belongs to another dataset").arg(field->FieldName()));
    if (d->state == dsInactive)
        dbError(QStringLiteral("Cannot read field '%1' of a closed dataset").arg(field->FieldName()));
    if (d->readRow >= 0) { // inside OnCalcFields for a row other than the current one
        const int fi = field->Index();
        if (d->colOf[fi] >= 0)
            return d->toVariant(d->cols[d->colOf[fi]], d->cellsOf(quint32(d->readRow))[d->colOf[fi]]);
        return d->calcValue(d->readRow, d->calcOf[fi]);
    }
    if (!d->hasRow()) return {};
    return d->valueOf(d->view[d->cur], field);
}

bool TClientDataSet::floatValue(const TField* field, double* value) const {
    const int fi = field->Index();
    if (field->DataSet() == this && d->state != dsInactive && d->readRow < 0 && d->hasRow() &&
        d->colOf[fi] >= 0 && d->cols[d->colOf[fi]].type == ftFloat) {
        const double v = d->cellsOf(d->view[d->cur])[d->colOf[fi]].f;
        *value = v;
        return !std::isnan(v);
    }
    const QVariant v = fieldValue(field);
    *value = v.isNull() ? 0 : v.toDouble();
    return !v.isNull();
}

QVariant TClientDataSet::viewFieldValue(int recNo, const TField* field) const {
    if (field->DataSet() != this || d->state == dsInactive || recNo < 1 || recNo > int(d->view.size()))
        return {};
    // Called while painting, where nothing may throw: a failing OnCalcFields reads as null.
    try {
        return d->valueOf(d->view[recNo - 1], field);
    } catch (...) {
        return {};
    }
}

void TClientDataSet::setFieldValue(TField* field, const QVariant& value) {
    if (field->DataSet() != this)
        dbError(QStringLiteral("Field '%1' belongs to another dataset").arg(field->FieldName()));
    d->checkActive();
    const int fi = field->Index();
    if (d->colOf[fi] < 0) {
        const int slot = d->calcOf[fi];
        Column tmp;
        tmp.field = field;
        tmp.type = field->DataType();
        tmp.size = field->Size() > 0 ? field->Size() : MaxTextSize;
        QVariant v;
        if (!value.isNull() && value.isValid()) {
            if (tmp.type == ftString || tmp.type == ftFixedChar) {
                QString s = cutToChars(value.toString(), tmp.size);
                if (tmp.type == ftFixedChar && !s.isEmpty()) s = padToChars(s, tmp.size);
                if (!s.isEmpty()) v = s;
            } else {
                v = d->toVariant(tmp, d->toCell(tmp, value, &tmp));
            }
        }
        if (d->inCalc && d->calcTarget) {
            (*d->calcTarget)[slot] = v;
            return;
        }
        if (!d->editing()) dbError(QStringLiteral("Dataset not in edit or insert mode"));
        if (d->hasRow()) {
            d->calcValue(d->view[d->cur], slot); // make sure the buffer belongs to this row
            d->calcBuf[slot] = v;
        }
        d->dataChanged(field);
        return;
    }
    if (d->inCalc)
        dbError(QStringLiteral("Field '%1' cannot be modified while calculating").arg(field->FieldName()));
    if (!d->editing()) dbError(QStringLiteral("Dataset not in edit or insert mode"));
    if (field->ReadOnly()) dbError(QStringLiteral("Field '%1' cannot be modified").arg(field->FieldName()));
    const int c = d->colOf[fi];
    Column& col = d->cols[c];
    d->buf[c] = d->toCell(col, value, &col);
    d->modified = true;
    ++d->generation;
    d->dataChanged(field);
}

void TClientDataSet::focusField(TField* field) {
    const auto list = d->sources;
    for (TDataSource* s : list)
        if (s->notifyFocusField(field)) return;
}
