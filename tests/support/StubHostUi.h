#pragma once

#include "widgets/HostUi.h"

namespace kvo::test {

// A host UI that shows nothing and answers every question with "no" (cancel, nothing picked,
// progress not cancelled); small stand-ins override what they record. Header-only, so tests that
// do not link the test support library can use it.
class StubHostUi : public HostUi {
public:
    void ShowError(const QString&) override {}
    int ShowMessage(const QString&, int, int) override { return mrOk; }
    bool Pesquisar(TDataSource*, const QString&) override { return false; }
    bool PesquisaLista(TDataSource*, const QString&, const QString&, QString&) override { return false; }
    void ActiveShowAvi(QWidget*, int, const QString&) override {}
    void DeactiveShowAvi() override {}
    void ShowPreview(QWidget*, const QString&) override {}
    bool ShowHelp(const QString&, int) override { return true; }
    bool ChoosePrinter(QPrinter*, QWidget*) override { return false; }
    bool AskText(const QString&, const QString&, QString&) override { return false; }
    QString SaveFileName(QWidget*, const QString&, const QString&) override { return {}; }
    bool ExecDialog(QDialog*) override { return false; }
    bool ShowAviProgress(qint64, qint64) override { return true; }
};

} // namespace kvo::test
