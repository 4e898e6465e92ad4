#include "host/ConsisteCore.h"

#include "host/dtmDBGeral.h"

#include "data/Conversions.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QWidget>

namespace Consiste {

bool EmptyString(const QString& text) {
    for (const QChar c : text) {
        // Blanks and the literals of a date mask do not make a text.
        if (!c.isSpace() && c != u'/' && c != u'_') return false;
    }
    return true;
}

QString Ajusta(const QString& text, int width) {
    const QString code = text.trimmed();
    if (width <= 0) return code;
    if (code.isEmpty()) return code;
    bool digitsOnly = true;
    for (const QChar c : code) {
        if (c < u'0' || c > u'9') {
            digitsOnly = false;
            break;
        }
    }
    if (digitsOnly && code.size() < width) return code.rightJustified(width, u'0');
    return kvo::data::cutToChars(code, width);
}

namespace {

QSqlQuery run(const QString& sql, const QStringList& values) {
    QSqlQuery q(dtmDBGeral::dtbGeral());
    q.setForwardOnly(true);
    bool ok = q.prepare(sql);
    if (ok) {
        for (const QString& v : values)
            q.addBindValue(v);
        ok = q.exec();
    }
    if (!ok)
        throw Exception(
            QStringLiteral("Não foi possível consultar a filial no banco de dados. Mensagem do banco: %1")
                .arg(q.lastError().text()));
    return q;
}

} // namespace

QString ValidaFilial(const QString& branch, const QString& operador, bool strict) {
    const QString code = Ajusta(branch, 4);
    if (EmptyString(code)) throw EValidacao(QStringLiteral("Filial deve ser informada."));

    QSqlQuery q = run(QStringLiteral("SELECT NMFILIAL, IDCNTRRESC FROM FILIAL WHERE CDFILIAL = ?"), {code});
    if (!q.next()) throw EValidacao(QStringLiteral("Filial não cadastrada."));
    const QString name = q.value(0).toString();
    const bool rescinded = q.value(1).toString().trimmed() == QLatin1String("S");
    q.finish();
    if (strict && rescinded) throw EValidacao(QStringLiteral("Filial com contrato rescindido."));

    const QString op = operador.trimmed();
    if (op.isEmpty())
        throw EValidacao(
            QStringLiteral("Operador não informado; não é possível liberar a filial %1.").arg(code));
    QSqlQuery access =
        run(QStringLiteral("SELECT 1 FROM OPERFILI WHERE CDOPERADOR = ? AND CDFILIAL = ?"), {op, code});
    if (!access.next())
        throw EValidacao(
            QStringLiteral("Operador %1 não tem permissão para trabalhar na filial %2.").arg(op, code));
    return name;
}

QString NomeSemana(const QDate& date) {
    static const char16_t* const names[] = {u"Segunda", u"Terça",  u"Quarta", u"Quinta",
                                            u"Sexta",   u"Sábado", u"Domingo"};
    if (!date.isValid()) return {};
    return QString::fromUtf16(names[date.dayOfWeek() - 1]);
}

void SetChildEnabled(QWidget* panel, bool enabled) {
    if (!panel) return;
    const auto children = panel->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (!child->isWindow()) child->setEnabled(enabled);
    }
}

} // namespace Consiste
