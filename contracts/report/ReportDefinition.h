#pragma once

#include "FrameworkExport.h"

#include "data/Exceptions.h"

#include <QList>
#include <QMarginsF>
#include <QString>
#include <QStringList>

namespace kvo::report {

// A definition that cannot be read, or a report that cannot be produced from it. The message
// names the definition and the problem.
class KVO_FRAMEWORK_EXPORT EReportError : public Exception {
public:
    using Exception::Exception;
};

enum class TColumnFormat { Text, Date, Number };

struct TReportColumn {
    QString field;     // column of the query's result (upper case)
    QString caption;   // column heading
    double width = 25; // millimetres
    Qt::Alignment alignment = Qt::AlignLeft;
    TColumnFormat format = TColumnFormat::Text;
    int decimals = 0;       // Number
    bool thousands = false; // Number: "1.234"
    QString formatText;     // as written ("texto", "data", "#.##0,00")
    // false: on the page a detail line leaves the cell blank when it equals the line above (a
    // value its group's header already shows); files keep every value.
    bool repeat = true;
};

// A break on a field: a header line before each run of equal values, a footer line after it with
// the sums of the listed fields. "{FIELD}" in either text is that field's value in the run.
struct TReportGroup {
    QString field;
    QString header;
    QString footer;
    QStringList sums;
};

// One report definition: a text file in the report directory, named CODE-anything.kvr.
//
//   # comment
//   [relatorio]
//   titulo = Efetivos por data, serviço e dieta
//   subtitulo = Período: {P_DTPERINI} a {P_DTPERFIN}
//   orientacao = retrato | paisagem
//   margens = 10 12 10 12               (mm: esquerda superior direita inferior)
//   parametro = P_DTINICIAL data        (optional: texto | data | numero, checked before running)
//   [consulta]
//   SELECT ... WHERE C.DTCARDAPIO BETWEEN :P_DTINICIAL AND :P_DTFINAL ...
//   [coluna]                            (one section per detail column, in order)
//   campo = QTCLIEFETCAR
//   titulo = Clientes
//   largura = 22                        (mm)
//   alinhamento = esquerda | centro | direita
//   formato = texto | data | 0 | #.##0 | #.##0,00
//   repetir = sim | nao                 (nao: printed only where it changes)
//   [grupo]                             (outermost first)
//   campo = DTCARDAPIO
//   cabecalho = Data: {DTCARDAPIO}
//   rodape = Total do dia {DTCARDAPIO}
//   somas = QTCLIEFETCAR QTFUNEFETCAR
//   [totais]
//   titulo = Total geral
//   somas = QTCLIEFETCAR QTFUNEFETCAR
struct KVO_FRAMEWORK_EXPORT TReportDefinition {
    QString path; // the file it was read from (empty for a new one)
    QString title;
    QString subtitle; // "{P_NAME}" replaced by that parameter's value as given
    QStringList query;
    bool landscape = false;
    QMarginsF margins{10, 10, 10, 10};
    QList<QPair<QString, QString>> paramTypes; // name, "texto" | "data" | "numero"
    QList<TReportColumn> columns;
    QList<TReportGroup> groups;
    QString totalCaption;
    QStringList totals;

    // How the definition is named in messages: its title and its file.
    QString Name() const;
    int ColumnOf(const QString& field) const; // -1 when no column shows it
};

// Reads a definition from its text; `name` identifies it in messages. Throws EReportError.
KVO_FRAMEWORK_EXPORT TReportDefinition ParseDefinition(const QString& text, const QString& name);
// A definition whole: title, query, columns with fields, groups with fields, sums shown in a column.
// Throws EReportError naming it by `name`.
KVO_FRAMEWORK_EXPORT void CheckDefinition(const TReportDefinition& definition, const QString& name);
// The text of a definition, in the order and spelling ParseDefinition reads.
KVO_FRAMEWORK_EXPORT QString FormatDefinition(const TReportDefinition& definition);
// Reads the number format of a column ("0", "#.##0", "0,00", "#.##0,00", "texto", "data").
KVO_FRAMEWORK_EXPORT bool ParseColumnFormat(const QString& text, TReportColumn& column);

// The spellings of a definition's values, for the editor's cells as for the file: widths in
// millimetres ("22", "22,5"), field lists ("A B" or "A, B"), "esquerda" | "centro" | "direita",
// "sim" | "nao".
KVO_FRAMEWORK_EXPORT bool ParseWidth(const QString& text, double& millimetres);
KVO_FRAMEWORK_EXPORT QString FormatWidth(double millimetres);
KVO_FRAMEWORK_EXPORT QStringList ParseFieldList(const QString& text);
KVO_FRAMEWORK_EXPORT bool ParseAlignment(const QString& text, Qt::Alignment& alignment);
KVO_FRAMEWORK_EXPORT QString AlignmentText(Qt::Alignment alignment);
KVO_FRAMEWORK_EXPORT bool ParseYesNo(const QString& text, bool& value); // "sim" | "nao" ("não")

KVO_FRAMEWORK_EXPORT TReportDefinition LoadDefinition(const QString& path);
// Writes through a temporary file renamed at the end: a failed write leaves the old file whole.
KVO_FRAMEWORK_EXPORT void SaveDefinition(const TReportDefinition& definition, const QString& path);

struct TReportEntry {
    QString path;
    QString title;
};

// The definitions of a report code in a directory (files CODE-*.kvr), by title. A file that cannot
// be read is listed under its file name so that opening it reports the problem.
KVO_FRAMEWORK_EXPORT QList<TReportEntry> FindDefinitions(const QString& directory, const QString& code);
// A free file name for a new definition of that code in the directory.
KVO_FRAMEWORK_EXPORT QString NewDefinitionPath(const QString& directory, const QString& code,
                                               const QString& title);

} // namespace kvo::report
