#pragma once

#include "HeadcountFixture.h"

#include <QDate>
#include <QString>

class TfrmCalcComensais;

// The dialog over the headcount screen it leans on, both over the real server code on loopback;
// the suite database also holds a food control for the processing date of branch 0001.
class CalcFixture : public HeadcountFixture {
public:
    explicit CalcFixture(bool boundToBranch = false);
    ~CalcFixture();

    // Creates the dialog as its creator does (without the modal loop) and makes it active.
    TfrmCalcComensais* openDialog();
    TfrmCalcComensais* dialog() const { return m_dialog; }

    // A person's click on "Calcular".
    void confirm();
    // Food control of one service and diet on a day.
    void foodControl(const QDate& day, const QString& service, const QString& diet, double clients);
    // Estimated diners (QTCOMESTICAR) of a diet row; -1 when the row does not exist.
    double estimate(const QDate& day, const QString& service, const QString& diet) const;
    // Calls of CalcularComensais that reached the server.
    int calculations() const;

private:
    TfrmCalcComensais* m_dialog = nullptr;
};
