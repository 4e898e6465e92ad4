#include "TfrmMediEfetDiet.h"

#include "host/TADOIBQuery.h"

// The lookup texts are kept line by line as the suite stores them in its screen resources, in
// the four dialect slots; blanks and trailing lines matter to the sites that diff them.
namespace {

const QStringList kSqlFilial = {
    QStringLiteral("SELECT"),       QStringLiteral("   CDFILIAL,"),
    QStringLiteral("   NMFILIAL,"), QStringLiteral("   IDCNTRRESC"),
    QStringLiteral("FROM"),         QStringLiteral("   FILIAL"),
    QStringLiteral("WHERE"),        QStringLiteral("   ((CDFILIAL = :P_CDFILIAL) OR (:P_TCDFILIAL = 'T'))"),
    QStringLiteral("ORDER BY"),     QStringLiteral("   CDFILIAL"),
};

const QStringList kSqlServico = {
    QStringLiteral("SELECT"),
    QStringLiteral("   CDFILIAL,"),
    QStringLiteral("   CDSERVFILI,"),
    QStringLiteral("   NMSERVICO"),
    QStringLiteral("FROM"),
    QStringLiteral("   SERVICO"),
    QStringLiteral("WHERE"),
    QStringLiteral("   (CDFILIAL   = :P_CDFILIAL)                   AND"),
    QStringLiteral("   (CDSERVFILI = :P_CDSERVFILI OR :P_TCDSERVFILI = 'T') AND"),
    QStringLiteral("   (IDTIPOSERV = 'D')"),
    QStringLiteral("ORDER BY"),
    QStringLiteral("   CDFILIAL,"),
    QStringLiteral("   CDSERVFILI "),
};

const QStringList kSqlDieta = {
    QStringLiteral("SELECT"),
    QStringLiteral("   DP.CDDIETPAD,"),
    QStringLiteral("   DP.DSDIETPAD"),
    QStringLiteral("FROM"),
    QStringLiteral("   DIETPADR DP,"),
    QStringLiteral("   DIETSERV DS"),
    QStringLiteral("WHERE"),
    QStringLiteral("   DS.CDFILIAL    = :P_CDFILIAL   AND"),
    QStringLiteral("   DS.CDSERVFILI  = :P_CDSERVFILI AND"),
    QStringLiteral("   DP.CDDIETPAD   = DS.CDDIETPAD  AND"),
    QStringLiteral("   ((DP.CDDIETPAD = :P_CDDIETPAD) OR (:P_TCDDIETPAD = 'T')) AND"),
    QStringLiteral("   DP.IDTIPODIET  = 'S'"),
    QStringLiteral("ORDER BY"),
    QStringLiteral("   DP.CDDIETPAD"),
};

} // namespace

void TfrmMediEfetDiet::CriaConsultas() {
    qryFilial = kvo::NewLookupQuery(this, "qryFilial", kSqlFilial,
                                    {
                                        {"CDFILIAL", 4, "Código"},
                                        {"NMFILIAL", 30, "Nome"},
                                        {"IDCNTRRESC", 1, nullptr},
                                    });
    qryServico = kvo::NewLookupQuery(this, "qryServico", kSqlServico,
                                     {
                                         {"CDSERVFILI", 5, "Código"},
                                         {"NMSERVICO", 40, "Nome"},
                                         {"CDFILIAL", 4, nullptr},
                                     });
    qryDieta = kvo::NewLookupQuery(this, "qryDieta", kSqlDieta,
                                   {
                                       {"CDDIETPAD", 4, "Código"},
                                       {"DSDIETPAD", 50, "Nome"},
                                   });
    // Only the default slot carries the extra blank line.
    qryDieta->SQL.append(QStringLiteral(" "));

    dtsFilial = new TDataSource(qryFilial->Query(), this);
    dtsServico = new TDataSource(qryServico->Query(), this);
    dtsDieta = new TDataSource(qryDieta->Query(), this);
}
