#include "report/ReportDefinition.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

namespace kvo::report {

namespace {

const QString kExtension = QStringLiteral(".kvr");

[[noreturn]] void fail(const QString& name, int line, const QString& problem) {
    if (line > 0)
        throw EReportError(
            QStringLiteral("Definição de relatório '%1', linha %2: %3").arg(name).arg(line).arg(problem));
    throw EReportError(QStringLiteral("Definição de relatório '%1': %2").arg(name, problem));
}

QStringList words(const QString& value) {
    return value.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
}

QStringList upperWords(const QString& value) {
    QStringList out = words(value);
    for (QString& w : out)
        w = w.toUpper();
    return out;
}

bool parseNumber(const QString& text, double& out) {
    bool ok = false;
    QString t = text.trimmed();
    t.replace(u',', u'.');
    out = t.toDouble(&ok);
    return ok && out >= 0;
}

QString number(double v) {
    return QString::number(v, 'g', 6).replace(u'.', u',');
}

QString alignmentText(Qt::Alignment a) {
    if (a & Qt::AlignRight) return QStringLiteral("direita");
    if (a & Qt::AlignHCenter) return QStringLiteral("centro");
    return QStringLiteral("esquerda");
}

} // namespace

bool ParseWidth(const QString& text, double& millimetres) {
    return parseNumber(text, millimetres) && millimetres > 0;
}

QString FormatWidth(double millimetres) {
    return number(millimetres);
}

QStringList ParseFieldList(const QString& text) {
    return upperWords(text);
}

QString AlignmentText(Qt::Alignment alignment) {
    return alignmentText(alignment);
}

bool ParseAlignment(const QString& text, Qt::Alignment& alignment) {
    if (text == QLatin1String("esquerda"))
        alignment = Qt::AlignLeft;
    else if (text == QLatin1String("centro"))
        alignment = Qt::AlignHCenter;
    else if (text == QLatin1String("direita"))
        alignment = Qt::AlignRight;
    else
        return false;
    return true;
}

bool ParseYesNo(const QString& text, bool& value) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("sim"))
        value = true;
    else if (t == QLatin1String("nao") || t == QStringLiteral("não"))
        value = false;
    else
        return false;
    return true;
}

QString TReportDefinition::Name() const {
    const QString file = QFileInfo(path).fileName();
    if (title.isEmpty()) return file;
    return file.isEmpty() ? title : QStringLiteral("%1 (%2)").arg(title, file);
}

int TReportDefinition::ColumnOf(const QString& field) const {
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].field.compare(field, Qt::CaseInsensitive) == 0) return i;
    return -1;
}

bool ParseColumnFormat(const QString& text, TReportColumn& column) {
    const QString t = text.trimmed().toLower();
    column.formatText = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("texto")) {
        column.format = TColumnFormat::Text;
        return true;
    }
    if (t == QLatin1String("data")) {
        column.format = TColumnFormat::Date;
        return true;
    }
    static const QRegularExpression pattern(QStringLiteral("^(#\\.##)?0(,(0+))?$"));
    const auto m = pattern.match(t);
    if (!m.hasMatch()) return false;
    column.format = TColumnFormat::Number;
    column.thousands = m.capturedLength(1) > 0;
    column.decimals = int(m.capturedLength(3));
    return true;
}

void CheckDefinition(const TReportDefinition& def, const QString& name) {
    if (def.title.isEmpty()) fail(name, 0, QStringLiteral("falta o título ([relatorio] titulo = ...)."));
    if (def.query.isEmpty()) fail(name, 0, QStringLiteral("falta a consulta ([consulta])."));
    if (def.columns.isEmpty()) fail(name, 0, QStringLiteral("nenhuma coluna ([coluna])."));
    for (int c = 0; c < def.columns.size(); ++c)
        if (def.columns[c].field.isEmpty())
            fail(name, 0, QStringLiteral("a coluna %1 não tem campo.").arg(c + 1));
    auto shown = [&](const QStringList& sums, const QString& where) {
        for (const QString& f : sums)
            if (def.ColumnOf(f) < 0)
                fail(name, 0, QStringLiteral("a soma %1 (%2) não tem coluna.").arg(f, where));
    };
    for (const TReportGroup& g : def.groups) {
        if (g.field.isEmpty()) fail(name, 0, QStringLiteral("um grupo não tem campo."));
        shown(g.sums, QStringLiteral("grupo ") + g.field);
    }
    shown(def.totals, QStringLiteral("totais"));
}

TReportDefinition ParseDefinition(const QString& text, const QString& name) {
    TReportDefinition def;
    enum Section { None, Report, Query, Column, Group, Totals } section = None;
    bool sawTotals = false;
    const QStringList lines = text.split(u'\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r')) line.chop(1);
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(u'[') && trimmed.endsWith(u']')) {
            const QString s = trimmed.mid(1, trimmed.size() - 2).trimmed().toLower();
            if (s == QLatin1String("relatorio"))
                section = Report;
            else if (s == QLatin1String("consulta"))
                section = Query;
            else if (s == QLatin1String("coluna")) {
                section = Column;
                def.columns.append(TReportColumn{});
            } else if (s == QLatin1String("grupo")) {
                section = Group;
                def.groups.append(TReportGroup{});
            } else if (s == QLatin1String("totais")) {
                section = Totals;
                sawTotals = true;
            } else
                fail(name, i + 1, QStringLiteral("seção desconhecida [%1].").arg(s));
            continue;
        }
        if (section == Query) {
            // The query keeps its lines as written; comments belong to the file, not to the SQL.
            if (!trimmed.startsWith(u'#')) def.query << line;
            continue;
        }
        if (trimmed.isEmpty() || trimmed.startsWith(u'#')) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0) fail(name, i + 1, QStringLiteral("esperado 'chave = valor'."));
        const QString key = line.left(eq).trimmed().toLower();
        const QString value = line.mid(eq + 1).trimmed();
        auto unknown = [&] { fail(name, i + 1, QStringLiteral("chave desconhecida '%1'.").arg(key)); };
        switch (section) {
        case None:
            fail(name, i + 1, QStringLiteral("chave fora de uma seção."));
        case Report:
            if (key == QLatin1String("titulo"))
                def.title = value;
            else if (key == QLatin1String("subtitulo"))
                def.subtitle = value;
            else if (key == QLatin1String("orientacao")) {
                if (value == QLatin1String("paisagem"))
                    def.landscape = true;
                else if (value == QLatin1String("retrato"))
                    def.landscape = false;
                else
                    fail(name, i + 1,
                         QStringLiteral("orientação '%1' inválida (retrato ou paisagem).").arg(value));
            } else if (key == QLatin1String("margens")) {
                const QStringList m = words(value);
                double v[4];
                if (m.size() != 4 || !parseNumber(m[0], v[0]) || !parseNumber(m[1], v[1]) ||
                    !parseNumber(m[2], v[2]) || !parseNumber(m[3], v[3]))
                    fail(name, i + 1, QStringLiteral("margens devem ser quatro números em milímetros."));
                def.margins = QMarginsF(v[0], v[1], v[2], v[3]);
            } else if (key == QLatin1String("parametro")) {
                const QStringList p = words(value);
                const QString type = p.size() == 2 ? p[1].toLower() : QString();
                if (type != QLatin1String("texto") && type != QLatin1String("data") &&
                    type != QLatin1String("numero"))
                    fail(name, i + 1, QStringLiteral("parâmetro deve ser 'NOME texto|data|numero'."));
                QString pname = p[0].toUpper();
                if (pname.startsWith(u':')) pname.remove(0, 1);
                def.paramTypes.append({pname, type});
            } else
                unknown();
            break;
        case Column: {
            TReportColumn& c = def.columns.last();
            if (key == QLatin1String("campo"))
                c.field = value.toUpper();
            else if (key == QLatin1String("titulo"))
                c.caption = value;
            else if (key == QLatin1String("largura")) {
                if (!ParseWidth(value, c.width))
                    fail(name, i + 1, QStringLiteral("largura '%1' inválida (milímetros).").arg(value));
            } else if (key == QLatin1String("alinhamento")) {
                if (!ParseAlignment(value, c.alignment))
                    fail(name, i + 1, QStringLiteral("alinhamento '%1' inválido.").arg(value));
            } else if (key == QLatin1String("formato")) {
                if (!ParseColumnFormat(value, c))
                    fail(name, i + 1, QStringLiteral("formato '%1' inválido.").arg(value));
            } else if (key == QLatin1String("repetir")) {
                if (!ParseYesNo(value, c.repeat))
                    fail(name, i + 1, QStringLiteral("repetir '%1' inválido (sim ou nao).").arg(value));
            } else
                unknown();
            break;
        }
        case Group: {
            TReportGroup& g = def.groups.last();
            if (key == QLatin1String("campo"))
                g.field = value.toUpper();
            else if (key == QLatin1String("cabecalho"))
                g.header = value;
            else if (key == QLatin1String("rodape"))
                g.footer = value;
            else if (key == QLatin1String("somas"))
                g.sums = upperWords(value);
            else
                unknown();
            break;
        }
        case Totals:
            if (key == QLatin1String("titulo"))
                def.totalCaption = value;
            else if (key == QLatin1String("somas"))
                def.totals = upperWords(value);
            else
                unknown();
            break;
        case Query:
            break;
        }
    }
    while (!def.query.isEmpty() && def.query.last().trimmed().isEmpty())
        def.query.removeLast();
    while (!def.query.isEmpty() && def.query.first().trimmed().isEmpty())
        def.query.removeFirst();

    CheckDefinition(def, name);
    if (sawTotals && def.totals.isEmpty()) fail(name, 0, QStringLiteral("[totais] sem somas."));
    return def;
}

QString FormatDefinition(const TReportDefinition& def) {
    QStringList out;
    out << QStringLiteral("[relatorio]") << QStringLiteral("titulo = ") + def.title;
    if (!def.subtitle.isEmpty()) out << QStringLiteral("subtitulo = ") + def.subtitle;
    out << QStringLiteral("orientacao = ") +
               (def.landscape ? QStringLiteral("paisagem") : QStringLiteral("retrato"))
        << QStringLiteral("margens = %1 %2 %3 %4")
               .arg(number(def.margins.left()), number(def.margins.top()), number(def.margins.right()),
                    number(def.margins.bottom()));
    for (const auto& p : def.paramTypes)
        out << QStringLiteral("parametro = %1 %2").arg(p.first, p.second);
    out << QString() << QStringLiteral("[consulta]") << def.query;
    for (const TReportColumn& c : def.columns) {
        out << QString() << QStringLiteral("[coluna]") << QStringLiteral("campo = ") + c.field
            << QStringLiteral("titulo = ") + c.caption << QStringLiteral("largura = ") + FormatWidth(c.width)
            << QStringLiteral("alinhamento = ") + alignmentText(c.alignment);
        if (!c.formatText.isEmpty()) out << QStringLiteral("formato = ") + c.formatText;
        if (!c.repeat) out << QStringLiteral("repetir = nao");
    }
    for (const TReportGroup& g : def.groups) {
        out << QString() << QStringLiteral("[grupo]") << QStringLiteral("campo = ") + g.field;
        if (!g.header.isEmpty()) out << QStringLiteral("cabecalho = ") + g.header;
        if (!g.footer.isEmpty()) out << QStringLiteral("rodape = ") + g.footer;
        if (!g.sums.isEmpty()) out << QStringLiteral("somas = ") + g.sums.join(u' ');
    }
    if (!def.totals.isEmpty()) {
        out << QString() << QStringLiteral("[totais]");
        if (!def.totalCaption.isEmpty()) out << QStringLiteral("titulo = ") + def.totalCaption;
        out << QStringLiteral("somas = ") + def.totals.join(u' ');
    }
    return out.join(u'\n') + u'\n';
}

TReportDefinition LoadDefinition(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(name, 0, QStringLiteral("não foi possível ler o arquivo (%1).").arg(file.errorString()));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(file.readAll());
    if (utf8.hasError()) fail(name, 0, QStringLiteral("o arquivo não está em UTF-8."));
    TReportDefinition def = ParseDefinition(text, name);
    def.path = path;
    return def;
}

void SaveDefinition(const TReportDefinition& def, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw EReportError(QStringLiteral("Não foi possível gravar o relatório '%1': %2")
                               .arg(def.title, file.errorString()));
    file.write(FormatDefinition(def).toUtf8());
    if (!file.commit())
        throw EReportError(QStringLiteral("Não foi possível gravar o relatório '%1': %2")
                               .arg(def.title, file.errorString()));
}

QList<TReportEntry> FindDefinitions(const QString& directory, const QString& code) {
    QList<TReportEntry> out;
    const QDir dir(directory);
    if (directory.isEmpty() || !dir.exists()) return out;
    const QStringList files =
        dir.entryList({code + QStringLiteral("-*") + kExtension}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& f : files) {
        const QString path = dir.filePath(f);
        QString title;
        try {
            title = LoadDefinition(path).title;
        } catch (const EReportError&) {
            title = f;
        }
        out.append({path, title});
    }
    std::stable_sort(out.begin(), out.end(), [](const TReportEntry& a, const TReportEntry& b) {
        return QString::localeAwareCompare(a.title, b.title) < 0;
    });
    return out;
}

QString NewDefinitionPath(const QString& directory, const QString& code, const QString& title) {
    QString slug;
    for (const QChar c : title.normalized(QString::NormalizationForm_D)) {
        if (c.isLetterOrNumber() && c.unicode() < 128)
            slug += c.toLower();
        else if ((c.isSpace() || c == u'-' || c == u'_') && !slug.endsWith(u'-'))
            slug += u'-';
    }
    while (slug.endsWith(u'-'))
        slug.chop(1);
    if (slug.isEmpty()) slug = QStringLiteral("relatorio");
    const QDir dir(directory);
    QString path = dir.filePath(QStringLiteral("%1-%2%3").arg(code, slug, kExtension));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(QStringLiteral("%1-%2-%3%4").arg(code, slug).arg(n).arg(kExtension));
    return path;
}

} // namespace kvo::report
