#include "report/ReportEngine.h"

#include "data/Conversions.h"
#include "host/TADOIBQuery.h"

#include <QFileInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QLocale>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRawFont>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTextLayout>

#include <xlsxwriter.h>

namespace kvo::report {

namespace {

[[noreturn]] void fail(const TReportDefinition& def, const QString& problem) {
    throw EReportError(QStringLiteral("Relatório '%1': %2").arg(def.Name(), problem));
}

// How often long loops report progress.
constexpr qint64 kProgressStep = 256;

void step(const TProgress& progress, qint64 done, qint64 total) {
    if (progress && (done % kProgressStep == 0 || done == total) && !progress(done, total)) throw EAbort();
}

QString expand(const QString& text, const TReportData& data, const TReportDefinition& def,
               const QVector<QVariant>& row) {
    QString out = text;
    for (int f = 0; f < data.fields.size(); ++f) {
        const QString tag = u'{' + data.fields[f] + u'}';
        if (!out.contains(tag, Qt::CaseInsensitive)) continue;
        const int col = def.ColumnOf(data.fields[f]);
        out.replace(tag, col >= 0 ? FormatValue(def.columns[col], row[f]) : row[f].toString(),
                    Qt::CaseInsensitive);
    }
    return out;
}

double numberOf(const QVariant& v) {
    return kvo::data::toNumber(v).value_or(0.0);
}

} // namespace

void CheckFields(const TReportDefinition& def, const TReportData& data) {
    auto need = [&](const QString& field, const QString& where) {
        if (data.IndexOf(field) < 0)
            fail(def, QStringLiteral("campo %1 (%2) não existe na consulta.").arg(field, where));
    };
    for (const TReportColumn& c : def.columns)
        need(c.field, QStringLiteral("coluna"));
    for (const TReportGroup& g : def.groups)
        need(g.field, QStringLiteral("grupo"));
}

TReportParams QueryParams(const TReportDefinition& def) {
    QStringList names = TADOIBQuery::ParamNames(def.query.join(u'\n'));
    // The subtitle shows parameters the query may not use; they are asked for all the same.
    static const QRegularExpression tag(QStringLiteral("\\{(P_\\w+)\\}"),
                                        QRegularExpression::CaseInsensitiveOption);
    for (auto it = tag.globalMatch(def.subtitle); it.hasNext();)
        names << it.next().captured(1).toUpper();
    return TReportParams(names);
}

QString FormatNumber(const TReportColumn& column, double value) {
    static const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    QString s = br.toString(value, 'f', column.decimals);
    if (!column.thousands) s.remove(br.groupSeparator());
    if (s.startsWith(u'-') && numberOf(QString(s).replace(u',', u'.')) == 0) s.remove(0, 1);
    return s;
}

QString FormatValue(const TReportColumn& column, const QVariant& value) {
    if (value.isNull() || !value.isValid()) return QString();
    switch (column.format) {
    case TColumnFormat::Date: {
        const QDate d = kvo::data::dateFromSql(value);
        return d.isValid() ? kvo::data::displayDate(d) : value.toString();
    }
    case TColumnFormat::Number: {
        const std::optional<double> n = kvo::data::toNumber(value);
        return n ? FormatNumber(column, *n) : value.toString();
    }
    case TColumnFormat::Text:
        break;
    }
    if (value.typeId() == QMetaType::QDate) return kvo::data::displayDate(value.toDate());
    if (value.typeId() == QMetaType::Double) return kvo::data::displayNumber(value.toDouble());
    return value.toString();
}

TReportData RunQuery(const TReportDefinition& def, const TReportParams& params,
                     const QString& connectionName) {
    // Declared types first: a wrong value is the definition's or the screen's fault, not the database's.
    for (const auto& [name, type] : def.paramTypes) {
        const TParam* p = params.Find(name);
        if (!p || p->Value().isNull() || !p->Value().isValid()) continue;
        const QVariant v = p->Value();
        const bool ok = type == QLatin1String("data")     ? kvo::data::toDate(v).has_value()
                        : type == QLatin1String("numero") ? kvo::data::toNumber(v).has_value()
                                                          : v.canConvert<QString>();
        if (!ok)
            fail(def, QStringLiteral("o parâmetro %1 deve ser do tipo %2 (recebeu '%3').")
                          .arg(name, type, v.toString()));
    }

    TADOIBQuery query;
    if (!connectionName.isEmpty()) query.SetConnectionName(connectionName);
    query.SQL = def.query;
    const QStringList used = TADOIBQuery::ParamNames(def.query.join(u'\n'));
    for (const QString& name : params.Names()) {
        if (!used.contains(name)) continue;
        QVariant v = params.Find(name)->Value();
        // A declared date may come as text (a command line's "01/12/2026"): bound as a date all the same.
        const bool isDate = std::any_of(def.paramTypes.begin(), def.paramTypes.end(), [&](const auto& t) {
            return t.first == name && t.second == QLatin1String("data");
        });
        if (isDate && !v.isNull() && v.isValid()) v = kvo::data::toDate(v).value_or(QDate());
        if (v.typeId() == QMetaType::QDate) v = kvo::data::sqlDate(v.toDate());
        query.ParamByName(name).SetValue(v);
    }
    try {
        query.Open();
    } catch (const EDatabaseError& e) {
        fail(def, QStringLiteral("a consulta falhou. %1").arg(e.Message()));
    }
    TDataPacket packet = query.Query()->Data();
    TReportData data;
    for (const TPacketField& f : packet.fields)
        data.fields << f.name.toUpper();
    data.rows = std::move(packet.rows);

    CheckFields(def, data);
    return data;
}

QString Subtitle(const TReportDefinition& def, const TReportParams& params) {
    QString out = def.subtitle;
    for (const QString& name : params.Names()) {
        const QVariant v = params.Find(name)->Value();
        out.replace(u'{' + name + u'}',
                    v.typeId() == QMetaType::QDate ? kvo::data::displayDate(v.toDate()) : v.toString(),
                    Qt::CaseInsensitive);
    }
    return out;
}

namespace {

// A column's values as shown and as summed, each converted once: a long report repeats a few
// dozen figures and dates thousands of times, and the database hands many of them over as text.
class ColumnValues {
public:
    struct Value {
        QString shown;
        double number = 0;
    };
    explicit ColumnValues(const TReportColumn& column) : m_column(&column) {}
    const Value& Of(const QVariant& v) {
        if (v.isNull() || !v.isValid()) return m_null;
        const QString key = v.toString();
        auto it = m_values.constFind(key);
        if (it == m_values.cend()) it = m_values.insert(key, Value{FormatValue(*m_column, v), numberOf(v)});
        return *it;
    }

private:
    const TReportColumn* m_column;
    const Value m_null;
    QHash<QString, Value> m_values;
};

} // namespace

TReportLayout Layout(const TReportDefinition& def, const TReportData& data, const TProgress& progress) {
    CheckFields(def, data);
    TReportLayout out;
    out.title = def.title;
    for (const TReportColumn& c : def.columns)
        out.captions << c.caption;

    const int nCols = int(def.columns.size());
    QVector<int> colField(nCols);
    std::vector<ColumnValues> values;
    for (int c = 0; c < nCols; ++c) {
        colField[c] = data.IndexOf(def.columns[c].field);
        values.emplace_back(def.columns[c]);
    }
    const int nGroups = int(def.groups.size());
    QVector<int> groupField(nGroups);
    for (int g = 0; g < nGroups; ++g)
        groupField[g] = data.IndexOf(def.groups[g].field);

    // Sums per group level and for the report, per column.
    QVector<QVector<double>> groupSums(nGroups, QVector<double>(nCols, 0.0));
    QVector<double> totals(nCols, 0.0);
    QVector<bool> summed(nCols, false);
    for (const TReportGroup& g : def.groups)
        for (const QString& f : g.sums)
            summed[def.ColumnOf(f)] = true;
    for (const QString& f : def.totals)
        summed[def.ColumnOf(f)] = true;

    auto sumLine = [&](TReportLine::Kind kind, int level, const QString& caption, const QStringList& fields,
                       const QVector<double>& sums) {
        TReportLine line;
        line.kind = kind;
        line.level = level;
        line.text = caption;
        line.cells = QStringList(nCols, QString());
        bool captionPlaced = false;
        for (const QString& f : fields) {
            const int c = def.ColumnOf(f);
            line.cells[c] = FormatNumber(def.columns[c], sums[c]);
        }
        if (nCols > 0 && line.cells[0].isEmpty()) {
            line.cells[0] = caption;
            captionPlaced = true;
        }
        if (!captionPlaced && !caption.isEmpty()) line.text = caption;
        out.lines.append(line);
    };

    const qint64 total = data.rows.size();
    for (qint64 r = 0; r < total; ++r) {
        const QVector<QVariant>& row = data.rows[r];
        // The outermost group whose value changed opens again, with every group inside it.
        int changed = nGroups;
        if (r == 0)
            changed = 0;
        else
            for (int g = 0; g < nGroups; ++g)
                if (row[groupField[g]] != data.rows[r - 1][groupField[g]]) {
                    changed = g;
                    break;
                }
        if (r > 0)
            for (int g = nGroups - 1; g >= changed; --g) {
                const TReportGroup& grp = def.groups[g];
                if (!grp.footer.isEmpty() || !grp.sums.isEmpty())
                    sumLine(TReportLine::Footer, g, expand(grp.footer, data, def, data.rows[r - 1]), grp.sums,
                            groupSums[g]);
                groupSums[g].fill(0.0);
            }
        for (int g = changed; g < nGroups; ++g)
            if (!def.groups[g].header.isEmpty())
                out.lines.append(
                    TReportLine{TReportLine::Header, g, expand(def.groups[g].header, data, def, row), {}});

        TReportLine detail;
        detail.cells.reserve(nCols);
        for (int c = 0; c < nCols; ++c) {
            const ColumnValues::Value& v = values[c].Of(row[colField[c]]);
            detail.cells << v.shown;
            if (summed[c]) {
                for (int g = 0; g < nGroups; ++g)
                    groupSums[g][c] += v.number;
                totals[c] += v.number;
            }
        }
        out.lines.append(std::move(detail));
        step(progress, r + 1, total);
    }
    if (total > 0)
        for (int g = nGroups - 1; g >= 0; --g) {
            const TReportGroup& grp = def.groups[g];
            if (!grp.footer.isEmpty() || !grp.sums.isEmpty())
                sumLine(TReportLine::Footer, g, expand(grp.footer, data, def, data.rows.last()), grp.sums,
                        groupSums[g]);
        }
    if (!def.totals.isEmpty()) {
        sumLine(TReportLine::Total, 0, def.totalCaption, def.totals, totals);
    }
    return out;
}

void ApplyPageLayout(const TReportDefinition& def, QPagedPaintDevice* device) {
    device->setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                      def.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                      def.margins, QPageLayout::Millimeter));
}

namespace {

// The texts of a report in one font, each shaped and measured once: a long report repeats a few
// dozen names and figures thousands of times, and shaping them again per cell is most of its cost.
class ShapedTexts {
public:
    struct Shaped {
        QRawFont font;
        QList<quint32> glyphs;
        QList<QPointF> positions; // from the left end of the baseline
        double width = 0;
        bool single = false; // one font: drawn from the glyphs; otherwise as text
    };

    ShapedTexts(const QFont& font, QPaintDevice* device)
        : m_font(font), m_device(device), m_metrics(font, device) {}
    const QFontMetricsF& Metrics() const { return m_metrics; }

    const Shaped& Get(const QString& text) {
        if (const auto it = m_shaped.constFind(text); it != m_shaped.cend()) return *it;
        Shaped s;
        s.width = m_metrics.horizontalAdvance(text);
        QTextLayout layout(text, m_font, m_device);
        layout.beginLayout();
        const QTextLine line = layout.createLine();
        layout.endLayout();
        const QList<QGlyphRun> runs = layout.glyphRuns();
        if (runs.size() == 1) {
            s.font = runs.first().rawFont();
            s.glyphs = runs.first().glyphIndexes();
            for (const QPointF& at : runs.first().positions())
                s.positions << at - QPointF(0, line.ascent());
            s.single = true;
        }
        return *m_shaped.insert(text, std::move(s));
    }

    // The text cut to the room with an ellipsis when it does not fit.
    QString Fitted(const QString& text, double room) {
        if (Get(text).width <= room) return text;
        const QString key = text + u'\x1f' + QString::number(qRound(room));
        auto it = m_fitted.constFind(key);
        if (it == m_fitted.cend())
            it = m_fitted.insert(key, m_metrics.elidedText(text, Qt::ElideRight, room));
        return *it;
    }

private:
    QFont m_font;
    QPaintDevice* m_device;
    QFontMetricsF m_metrics;
    QHash<QString, Shaped> m_shaped;
    QHash<QString, QString> m_fitted;
};

// The glyphs of a page gathered into runs, one per stretch of lines in one font: a call into the
// paint engine per run instead of one per cell.
class GlyphLine {
public:
    void Add(QPainter& p, const ShapedTexts::Shaped& s, const QString& text, const QPointF& baseline) {
        if (!s.single) {
            Flush(p);
            p.drawText(baseline, text);
            return;
        }
        if (!m_glyphs.isEmpty() && !(s.font == m_font)) Flush(p);
        m_font = s.font;
        m_glyphs += s.glyphs;
        for (const QPointF& at : s.positions)
            m_positions << at + baseline;
    }
    void Flush(QPainter& p) {
        if (m_glyphs.isEmpty()) return;
        QGlyphRun run;
        run.setRawFont(m_font);
        run.setGlyphIndexes(m_glyphs);
        run.setPositions(m_positions);
        p.drawGlyphRun(QPointF(0, 0), run);
        m_glyphs.clear();
        m_positions.clear();
    }

private:
    QRawFont m_font;
    QList<quint32> m_glyphs;
    QList<QPointF> m_positions;
};

} // namespace

int Paint(const TReportDefinition& def, const TReportLayout& layout, QPagedPaintDevice* device,
          const TProgress& progress) {
    QPainter p;
    if (!p.begin(device)) fail(def, QStringLiteral("não foi possível iniciar a impressão."));
    const QRectF page = device->pageLayout().paintRectPixels(device->logicalDpiX());
    const double dpmm = device->logicalDpiX() / 25.4;
    // Painting coordinates start at the paint rectangle's corner.
    const double width = page.width(), height = page.height();

    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSizeF(8);
    QFont bold = body;
    bold.setBold(true);
    QFont titleFont = body;
    titleFont.setPointSizeF(12);
    titleFont.setBold(true);
    ShapedTexts bodyTexts(body, device), boldTexts(bold, device);
    const double lineH = bodyTexts.Metrics().height() * 1.25;
    const double titleH = QFontMetricsF(titleFont, device).height() * 1.6;

    QVector<double> x, w;
    double pos = 0;
    for (const TReportColumn& c : def.columns) {
        x << pos;
        w << c.width * dpmm;
        pos += c.width * dpmm;
    }
    const double usable = std::min(pos, width);
    const double pad = 1.0 * dpmm;

    // Pages: lines fit between the heading and the footer line of each page.
    const int perPage =
        std::max(1, int((height - titleH - lineH * (layout.subtitle.isEmpty() ? 2.5 : 3.5)) / lineH));
    const int lines = int(layout.lines.size());
    const int pages = std::max(1, (lines + perPage - 1) / perPage);
    const QString emitted = QLocale(QLocale::Portuguese, QLocale::Brazil)
                                .toString(QDateTime::currentDateTime(), QStringLiteral("dd/MM/yyyy HH:mm"));

    GlyphLine glyphs;
    // The detail line above on this page, for the columns that print a value only where it changes.
    const TReportLine* above = nullptr;
    // `last`: the cell may run over the empty cells up to that column (a band's caption).
    auto cell = [&](ShapedTexts& texts, int c, double y, const QString& text, int last = -1) {
        if (text.isEmpty()) return;
        const double room = (last > c ? x[last] + w[last] - x[c] : w[c]) - 2 * pad;
        const QString shown = texts.Fitted(text, room);
        const ShapedTexts::Shaped& s = texts.Get(shown);
        const Qt::Alignment a = def.columns[c].alignment;
        const double left = a & Qt::AlignRight     ? x[c] + w[c] - pad - s.width
                            : a & Qt::AlignHCenter ? x[c] + (w[c] - s.width) / 2
                                                   : x[c] + pad;
        const QFontMetricsF& fm = texts.Metrics();
        glyphs.Add(p, s, shown, QPointF(left, y + (lineH - fm.height()) / 2 + fm.ascent()));
    };

    for (int pg = 0; pg < pages; ++pg) {
        if (pg > 0 && !device->newPage())
            fail(def, QStringLiteral("não foi possível abrir uma nova página."));
        double y = 0;
        p.setFont(titleFont);
        p.drawText(QRectF(0, 0, width, titleH), Qt::AlignLeft | Qt::AlignVCenter, layout.title);
        y += titleH;
        p.setFont(body);
        if (!layout.subtitle.isEmpty()) {
            p.drawText(QRectF(0, y, width, lineH), Qt::AlignLeft | Qt::AlignVCenter, layout.subtitle);
            y += lineH;
        }
        for (int c = 0; c < def.columns.size(); ++c)
            cell(boldTexts, c, y, layout.captions.value(c));
        glyphs.Flush(p);
        above = nullptr;
        y += lineH;
        p.drawLine(QPointF(0, y), QPointF(usable, y));
        for (int i = pg * perPage; i < std::min(lines, (pg + 1) * perPage); ++i) {
            const TReportLine& line = layout.lines[i];
            switch (line.kind) {
            case TReportLine::Header: {
                const ShapedTexts::Shaped& s = boldTexts.Get(line.text);
                const QFontMetricsF& fm = boldTexts.Metrics();
                glyphs.Add(p, s, line.text,
                           QPointF(line.level * 3 * dpmm, y + (lineH - fm.height()) / 2 + fm.ascent()));
                break;
            }
            case TReportLine::Detail:
                for (int c = 0; c < line.cells.size(); ++c)
                    if (def.columns[c].repeat || !above || above->cells.value(c) != line.cells[c])
                        cell(bodyTexts, c, y, line.cells[c]);
                break;
            case TReportLine::Footer:
            case TReportLine::Total:
                p.drawLine(QPointF(0, y), QPointF(usable, y));
                for (int c = 0; c < line.cells.size(); ++c) {
                    int last = c;
                    while (last + 1 < line.cells.size() && line.cells[last + 1].isEmpty())
                        ++last;
                    cell(boldTexts, c, y, line.cells[c], last);
                }
                break;
            }
            above = line.kind == TReportLine::Detail ? &line : nullptr;
            y += lineH;
            step(progress, i + 1, lines);
        }
        glyphs.Flush(p);
        const QRectF foot(0, height - lineH, width, lineH);
        p.drawText(foot, Qt::AlignLeft | Qt::AlignVCenter, emitted);
        p.drawText(foot, Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Página %1 de %2").arg(pg + 1).arg(pages));
    }
    p.end();
    return pages;
}

namespace {

// Opens the temporary file an output is written to; commit() renames it over the target.
void openOutput(QSaveFile& file, const TReportDefinition& def) {
    if (!file.open(QIODevice::WriteOnly))
        fail(def, QStringLiteral("não foi possível criar '%1': %2").arg(file.fileName(), file.errorString()));
}

void commitOutput(QSaveFile& file, const TReportDefinition& def) {
    if (!file.commit())
        fail(def,
             QStringLiteral("não foi possível gravar '%1': %2").arg(file.fileName(), file.errorString()));
}

QString csvCell(const QString& text) {
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n')) return text;
    return u'"' + QString(text).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"';
}

} // namespace

void WritePdf(const TReportDefinition& def, const TReportLayout& layout, const QString& path,
              const TProgress& progress) {
    QSaveFile file(path);
    openOutput(file, def);
    {
        QPdfWriter pdf(&file);
        pdf.setTitle(layout.title);
        pdf.setCreator(QStringLiteral("Efetivos"));
        pdf.setResolution(300);
        ApplyPageLayout(def, &pdf);
        Paint(def, layout, &pdf, progress); // a throw drops the temporary file
    }
    commitOutput(file, def);
}

void WriteCsv(const TReportDefinition& def, const TReportLayout& layout, const QString& path,
              const TProgress& progress) {
    QSaveFile file(path);
    openOutput(file, def);
    auto row = [&](const QStringList& cells) {
        QStringList out;
        for (const QString& c : cells)
            out << csvCell(c);
        file.write((out.join(u';') + QStringLiteral("\r\n")).toUtf8());
    };
    row(layout.captions);
    const qint64 n = layout.lines.size();
    for (qint64 i = 0; i < n; ++i) {
        const TReportLine& line = layout.lines[i];
        row(line.kind == TReportLine::Header ? QStringList{line.text} : line.cells);
        step(progress, i + 1, n);
    }
    commitOutput(file, def);
}

namespace {

// The spreadsheet's number format for a column: "#,##0.00" and the like (the reader shows its own
// separators).
QByteArray xlsxNumFormat(const TReportColumn& c) {
    QByteArray f = c.thousands ? "#,##0" : "0";
    if (c.decimals > 0) f += '.' + QByteArray(c.decimals, '0');
    return f;
}

// A cell of a number column back as its number; the layout holds the shown text, whose precision
// is the column's own.
std::optional<double> shownNumber(const QString& text) {
    static const QLocale br(QLocale::Portuguese, QLocale::Brazil);
    if (text.isEmpty()) return std::nullopt;
    bool ok = false;
    const double v = br.toDouble(text, &ok);
    if (ok) return v;
    const double plain = br.toDouble(QString(text).remove(u'.'), &ok);
    return ok ? std::optional<double>(plain) : std::nullopt;
}

} // namespace

void WriteXlsx(const TReportDefinition& def, const TReportLayout& layout, const QString& path,
               const TProgress& progress) {
    // libxlsxwriter writes the file itself: it writes a temporary file beside the target, renamed
    // over it once complete.
    const QFileInfo target(path);
    QTemporaryFile temp(target.absolutePath() + QStringLiteral("/.%1-XXXXXX.xlsx").arg(target.fileName()));
    if (!temp.open())
        fail(def, QStringLiteral("não foi possível criar '%1': %2").arg(path, temp.errorString()));
    const QByteArray tempName = QFile::encodeName(temp.fileName());
    temp.close();

    lxw_workbook* book = workbook_new(tempName.constData());
    if (!book) fail(def, QStringLiteral("não foi possível criar '%1'.").arg(path));
    struct Closer {
        lxw_workbook* book;
        ~Closer() {
            if (book) workbook_close(book); // on a throw: frees it; the temporary file goes with temp
        }
    } closer{book};
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);

    const int nCols = int(def.columns.size());
    QVector<lxw_format*> numFormat(nCols, nullptr), boldNumFormat(nCols, nullptr);
    for (int c = 0; c < nCols; ++c) {
        const TReportColumn& col = def.columns[c];
        // Widths in characters, roughly 2 mm each.
        worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), std::max(4.0, col.width / 2.0), nullptr);
        if (col.format != TColumnFormat::Number) continue;
        const QByteArray f = xlsxNumFormat(col);
        numFormat[c] = workbook_add_format(book);
        format_set_num_format(numFormat[c], f.constData());
        boldNumFormat[c] = workbook_add_format(book);
        format_set_num_format(boldNumFormat[c], f.constData());
        format_set_bold(boldNumFormat[c]);
    }

    lxw_row_t row = 0;
    auto text = [&](int c, const QString& s, lxw_format* f) {
        if (!s.isEmpty()) worksheet_write_string(sheet, row, lxw_col_t(c), s.toUtf8().constData(), f);
    };
    for (int c = 0; c < layout.captions.size(); ++c)
        text(c, layout.captions[c], bold);
    ++row;
    const qint64 n = layout.lines.size();
    for (qint64 i = 0; i < n; ++i, ++row) {
        const TReportLine& line = layout.lines[i];
        if (line.kind == TReportLine::Header) {
            text(0, line.text, bold);
        } else {
            const bool strong = line.kind != TReportLine::Detail;
            for (int c = 0; c < std::min(nCols, int(line.cells.size())); ++c) {
                const std::optional<double> v = numFormat[c] ? shownNumber(line.cells[c]) : std::nullopt;
                if (v)
                    worksheet_write_number(sheet, row, lxw_col_t(c), *v,
                                           strong ? boldNumFormat[c] : numFormat[c]);
                else
                    text(c, line.cells[c], strong ? bold : nullptr);
            }
        }
        step(progress, i + 1, n);
    }
    closer.book = nullptr;
    const lxw_error err = workbook_close(book);
    if (err != LXW_NO_ERROR)
        fail(def, QStringLiteral("não foi possível gravar '%1': %2")
                      .arg(path, QString::fromUtf8(lxw_strerror(err))));
    QFile::remove(path);
    if (!QFile::rename(temp.fileName(), path))
        fail(def, QStringLiteral("não foi possível gravar '%1'.").arg(path));
    temp.setAutoRemove(false);
}

void WriteFile(const TReportDefinition& def, const TReportLayout& layout, const QString& path,
               const TProgress& progress) {
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        WriteCsv(def, layout, path, progress);
    else if (path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        WriteXlsx(def, layout, path, progress);
    else
        WritePdf(def, layout, path, progress);
}

} // namespace kvo::report
