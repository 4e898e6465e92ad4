#include "TfrmMediEfetDiet.h"

#include "host/TADOIBQuery.h"

// The lookup texts are kept line by line as the suite stores them in its screen resources, in
// the four dialect slots; blanks and trailing lines matter to the sites that diff them.
namespace {

const QStringList kSqlFilial = {
    QStringLiteral("SELECT"),
    QStringLiteral("   CDFILIAL,"),
    QStringLiteral("   NMFILIAL,"),
    QStringLiteral("   IDCNTRRESC"),
    QStringLiteral("FROM"),
    QStringLiteral("   FILIAL"),
    QStringLiteral("WHERE"),
    QStringLiteral("   ((CDFILIAL = :P_CDFILIAL) OR (:P_TCDFILIAL = 'T'))"),
    QStringLiteral("ORDER BY"),
    QStringLiteral("   CDFILIAL"),
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

void SameInAllDialects(TADOIBQuery* query, const QStringList& text)
{
    query->SQL = text;
    query->SQL_ORACLE = text;
    query->SQL_MSSQL = text;
    query->SQL_IB = text;
}

TField* LookupField(TADOIBQuery* query, const QString& name, int size, const QString& label)
{
    TField* field = query->Query()->AddField(name, ftString, size);
    if (label.isEmpty())
        field->SetVisible(false);
    else
        field->SetDisplayLabel(label);
    return field;
}

} // namespace

void TfrmMediEfetDiet::CriaConsultas()
{
    qryFilial = new TADOIBQuery(this);
    qryFilial->setObjectName(QStringLiteral("qryFilial"));
    SameInAllDialects(qryFilial, kSqlFilial);
    LookupField(qryFilial, QStringLiteral("CDFILIAL"), 4, QStringLiteral("Código"));
    LookupField(qryFilial, QStringLiteral("NMFILIAL"), 30, QStringLiteral("Nome"));
    LookupField(qryFilial, QStringLiteral("IDCNTRRESC"), 1, QString());

    qryServico = new TADOIBQuery(this);
    qryServico->setObjectName(QStringLiteral("qryServico"));
    SameInAllDialects(qryServico, kSqlServico);
    LookupField(qryServico, QStringLiteral("CDSERVFILI"), 5, QStringLiteral("Código"));
    LookupField(qryServico, QStringLiteral("NMSERVICO"), 40, QStringLiteral("Nome"));
    LookupField(qryServico, QStringLiteral("CDFILIAL"), 4, QString());

    // Only the default slot carries the extra blank line.
    qryDieta = new TADOIBQuery(this);
    qryDieta->setObjectName(QStringLiteral("qryDieta"));
    SameInAllDialects(qryDieta, kSqlDieta);
    qryDieta->SQL.append(QStringLiteral(" "));
    LookupField(qryDieta, QStringLiteral("CDDIETPAD"), 4, QStringLiteral("Código"));
    LookupField(qryDieta, QStringLiteral("DSDIETPAD"), 50, QStringLiteral("Nome"));

    dtsFilial = new TDataSource(qryFilial->Query(), this);
    dtsServico = new TDataSource(qryServico->Query(), this);
    dtsDieta = new TDataSource(qryDieta->Query(), this);
}
