#include "host/Balvora.h"

#include "data/Exceptions.h"
#include "host/Consiste.h"
#include "host/dtmDBGeral.h"

#include <QSqlError>
#include <QSqlQuery>

namespace Balvora {
namespace {
TLogin g_login;
}

void SetLogin(const TLogin& login) {
    g_login = login;
}
const TLogin& Login() {
    return g_login;
}

QString FiliProc() {
    return g_login.filial;
}
bool ModuFili() {
    return g_login.moduFili;
}
QString Operador() {
    return g_login.operador;
}
QString WebURL() {
    return g_login.webUrl;
}
int WebPort() {
    return g_login.webPort;
}
QString Token() {
    return g_login.token;
}

QDate DataProc(const QString& branch) {
    const QString code = Consiste::Ajusta(branch, 4);
    if (code.isEmpty()) return {};
    QSqlQuery q(dtmDBGeral::dtbGeral());
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT DTPROC FROM FILIAL WHERE CDFILIAL = ?")))
        throw Exception(QStringLiteral("Erro ao ler a data de processamento: %1").arg(q.lastError().text()));
    q.addBindValue(code);
    if (!q.exec())
        throw Exception(QStringLiteral("Erro ao ler a data de processamento: %1").arg(q.lastError().text()));
    if (!q.next()) return {};
    return dtmDBGeral::ToDate(q.value(0));
}

} // namespace Balvora
