#pragma once

#include "widgets/HostUi.h"

#include <QStringList>
#include <functional>

class TDataSource;

// Stands in for the person at the screen: records what would have been shown, in order, and
// answers lookups from a script.
class ScriptedUi : public kvo::HostUi {
public:
    QStringList errors;     // error texts, in order
    QStringList shown;      // every window put up: "error:...", "msg:...", "lookup:<caption>", "avi:<kind>"
    QStringList lookups;    // captions of the lookup lists opened
    int aviOpen = 0;        // progress windows still open
    int aviOpened = 0;
    QList<int> aviKinds;
    // Answer of the next lookup: the row to pick (0-based), or -1 to cancel.
    std::function<int(TDataSource*)> pick = [](TDataSource*) { return -1; };
    int aviOpenDuringLookup = 0;

    void reset()
    {
        errors.clear();
        shown.clear();
        lookups.clear();
        aviOpened = 0;
        aviKinds.clear();
    }

    void ShowError(const QString& text) override;
    int ShowMessage(const QString& text, int kind, int buttons) override;
    bool Pesquisar(TDataSource* source, const QString& title) override;
    bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                       QString& selection) override;
    void ActiveShowAvi(QWidget* form, int kind, const QString& caption) override;
    void DeactiveShowAvi() override;
    void ShowPreview(QWidget* preview, const QString& title) override;
};
