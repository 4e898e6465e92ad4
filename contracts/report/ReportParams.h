#pragma once

#include "FrameworkExport.h"

#include "host/TADOIBQuery.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace kvo::report {

// The parameters a report query declares (":P_..."), in order of first use, each with the value
// the screen gives it before the query runs. Values are bound, never spliced into the text.
class KVO_FRAMEWORK_EXPORT TReportParams {
public:
    TReportParams() = default;
    explicit TReportParams(const QStringList& names);

    // Upper-case names; a repeated name is listed once.
    QStringList Names() const;
    bool Contains(const QString& name) const;
    // The parameter of that name; throws EDatabaseError when the query does not declare it.
    TParam& ParamByName(const QString& name);
    const TParam* Find(const QString& name) const;
    int Count() const { return int(m_params.size()); }

private:
    std::vector<TParam> m_params;
};

} // namespace kvo::report

// True when the report query has a parameter of that name (with or without ':', any case).
KVO_FRAMEWORK_EXPORT bool ExistParam(const kvo::report::TReportParams& params, const QString& name);
