#pragma once

#include "FrameworkExport.h"

#include "report/ReportDefinition.h"
#include "report/ReportParams.h"

#include <QVariant>
#include <QVector>
#include <functional>

class QPainter;
class QPagedPaintDevice;

namespace kvo::report {

// The rows of a report query.
struct KVO_FRAMEWORK_EXPORT TReportData {
    QStringList fields; // upper case, in result order
    QVector<QVector<QVariant>> rows;
    int IndexOf(const QString& field) const { return int(fields.indexOf(field.toUpper())); }
};

// The parameters the definition's query declares (and those its subtitle shows), without values.
KVO_FRAMEWORK_EXPORT TReportParams QueryParams(const TReportDefinition& definition);

// Runs the definition's query on the host's shared connection (or the named connection) with the
// given values, bound. Checks the declared parameter types first and that every field the
// definition names is in the result. Throws EReportError naming the definition.
KVO_FRAMEWORK_EXPORT TReportData RunQuery(const TReportDefinition& definition, const TReportParams& params,
                                          const QString& connectionName = QString());

// Every field a column or a group names is in the data; throws EReportError naming the definition.
KVO_FRAMEWORK_EXPORT void CheckFields(const TReportDefinition& definition, const TReportData& data);

// A printed line: a group header (text), a detail row, a group footer or the report total
// (cells per column, sums in their columns, the caption in the first column when that one is
// not summed).
struct TReportLine {
    enum Kind { Header, Detail, Footer, Total };
    Kind kind = Detail;
    int level = 0; // group level for Header and Footer
    QString text;
    QStringList cells;
};

struct KVO_FRAMEWORK_EXPORT TReportLayout {
    QString title;
    QString subtitle;
    QStringList captions;
    QList<TReportLine> lines;
};

// Called now and then while a long report is laid out or written: done and total units. Return
// false to cancel (the producer then throws EAbort and leaves no output behind).
using TProgress = std::function<bool(qint64 done, qint64 total)>;

KVO_FRAMEWORK_EXPORT TReportLayout Layout(const TReportDefinition& definition, const TReportData& data,
                                          const TProgress& progress = {});

// The definition's subtitle with each "{P_NAME}" replaced by that parameter's value (dates dd/mm/yyyy).
KVO_FRAMEWORK_EXPORT QString Subtitle(const TReportDefinition& definition, const TReportParams& params);

// A value as its column shows it: dd/mm/yyyy dates, numbers with a decimal comma.
KVO_FRAMEWORK_EXPORT QString FormatValue(const TReportColumn& column, const QVariant& value);
KVO_FRAMEWORK_EXPORT QString FormatNumber(const TReportColumn& column, double value);

// Paints the pages on a printer or PDF writer whose page layout is already set (ApplyPageLayout).
// Returns the number of pages.
KVO_FRAMEWORK_EXPORT int Paint(const TReportDefinition& definition, const TReportLayout& layout,
                               QPagedPaintDevice* device, const TProgress& progress = {});
KVO_FRAMEWORK_EXPORT void ApplyPageLayout(const TReportDefinition& definition, QPagedPaintDevice* device);

// Output files: written to a temporary file renamed at the end, so a failure or a cancel leaves
// no half-written file (and an older file of that name untouched).
KVO_FRAMEWORK_EXPORT void WritePdf(const TReportDefinition& definition, const TReportLayout& layout,
                                   const QString& path, const TProgress& progress = {});
// UTF-8, ';' between cells, decimal comma: the captions line, then every line of the layout.
KVO_FRAMEWORK_EXPORT void WriteCsv(const TReportDefinition& definition, const TReportLayout& layout,
                                   const QString& path, const TProgress& progress = {});
// One sheet: the captions row, then every line of the layout; numbers as numbers in their column's
// number format, group headers, footers and totals as rows of their own.
KVO_FRAMEWORK_EXPORT void WriteXlsx(const TReportDefinition& definition, const TReportLayout& layout,
                                    const QString& path, const TProgress& progress = {});
// By the path's extension: .csv, .xlsx, otherwise PDF.
KVO_FRAMEWORK_EXPORT void WriteFile(const TReportDefinition& definition, const TReportLayout& layout,
                                    const QString& path, const TProgress& progress = {});

} // namespace kvo::report
