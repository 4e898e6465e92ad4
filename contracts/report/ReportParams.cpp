#include "report/ReportParams.h"

#include "data/Exceptions.h"

namespace kvo::report {

namespace {
QString normal(const QString& name) {
    QString n = name.trimmed();
    if (n.startsWith(u':')) n.remove(0, 1);
    return n.toUpper();
}
} // namespace

TReportParams::TReportParams(const QStringList& names) {
    for (const QString& name : names)
        if (!Contains(name)) m_params.emplace_back(normal(name));
}

QStringList TReportParams::Names() const {
    QStringList out;
    for (const TParam& p : m_params)
        out << p.Name();
    return out;
}

const TParam* TReportParams::Find(const QString& name) const {
    const QString key = normal(name);
    for (const TParam& p : m_params)
        if (p.Name() == key) return &p;
    return nullptr;
}

bool TReportParams::Contains(const QString& name) const {
    return Find(name) != nullptr;
}

TParam& TReportParams::ParamByName(const QString& name) {
    if (const TParam* p = Find(name)) return const_cast<TParam&>(*p);
    throw EDatabaseError(QStringLiteral("Parâmetro '%1' não encontrado na consulta do relatório.").arg(name));
}

} // namespace kvo::report

bool ExistParam(const kvo::report::TReportParams& params, const QString& name) {
    return params.Contains(name);
}
