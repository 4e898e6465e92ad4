#include "CalcFixture.h"

#include "calc/TfrmCalcComensais.h"
#include "headcount/TfrmMediEfetDiet.h"
#include "host/ScreenCreation.h"
#include "host/dtmDBGeral.h"
#include "module/Units.h"

#include "Fixture.h"

#include <QSqlQuery>
#include <stdexcept>

CalcFixture::CalcFixture(bool boundToBranch) : HeadcountFixture(boundToBranch) {
    // Estimates already stand for the day (the seeded rows); the food control says otherwise.
    foodControl(proc(), QStringLiteral("00001"), QStringLiteral("0001"), 20);
    foodControl(proc(), QStringLiteral("00002"), QStringLiteral("0002"), 8);
    frmMediEfetDiet = open();
}

CalcFixture::~CalcFixture() {
    delete m_dialog;
    frmMediEfetDiet = nullptr;
}

TfrmCalcComensais* CalcFixture::openDialog() {
    delete m_dialog;
    m_dialog = kvo::CreateForm<TfrmCalcComensais>();
    if (!kvo::test::ShowActive(m_dialog)) throw std::runtime_error("the dialog did not become active");
    ui.Clear(); // what the headcount screen showed while opening is not the dialog's
    return m_dialog;
}

void CalcFixture::confirm() {
    m_dialog->sbtConfirma->Click();
    kvo::test::Settle();
}

void CalcFixture::foodControl(const QDate& day, const QString& service, const QString& diet, double clients) {
    sql(QStringLiteral("DELETE FROM CONTALIM WHERE CDFILIAL = '0001' AND DTCONTALIM = '%1' AND CDSERVFILI = "
                       "'%2' AND CDDIETPAD = '%3'")
            .arg(day.toString(Qt::ISODate), service, diet));
    sql(QStringLiteral("INSERT INTO CONTALIM VALUES ('0001', '%1', '%2', '%3', %4, 1, 0)")
            .arg(day.toString(Qt::ISODate), service, diet)
            .arg(clients));
}

double CalcFixture::estimate(const QDate& day, const QString& service, const QString& diet) const {
    QSqlQuery q(dtmDBGeral::dtbGeral());
    q.prepare(
        QStringLiteral("SELECT QTCOMESTICAR FROM CARDADIA WHERE CDFILIAL = '0001' AND DTCARDAPIO = ? AND "
                       "CDSERVFILI = ? AND CDDIETPAD = ?"));
    q.addBindValue(day.toString(Qt::ISODate));
    q.addBindValue(service);
    q.addBindValue(diet);
    if (!q.exec()) throw std::runtime_error("cannot read the estimates");
    return q.next() ? q.value(0).toDouble() : -1;
}

int CalcFixture::calculations() const {
    return int(recorder->calls().count(QStringLiteral("CalcularComensais")));
}
