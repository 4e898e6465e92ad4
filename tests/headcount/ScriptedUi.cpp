#include "ScriptedUi.h"

#include "data/TDataSource.h"

void ScriptedUi::ShowError(const QString& text)
{
    errors.append(text);
    shown.append(QStringLiteral("error:") + text);
}

int ScriptedUi::ShowMessage(const QString& text, int /*kind*/, int /*buttons*/)
{
    shown.append(QStringLiteral("msg:") + text);
    return kvo::mrYes;
}

bool ScriptedUi::Pesquisar(TDataSource* source, const QString& title)
{
    lookups.append(kvo::LookupCaption(title));
    shown.append(QStringLiteral("lookup:") + kvo::LookupCaption(title));
    aviOpenDuringLookup = aviOpen;
    TClientDataSet* set = source->DataSet();
    if (!set || set->IsEmpty()) {
        shown.append(QStringLiteral("empty:") + kvo::LookupEmptyText(title));
        return false;
    }
    const int row = pick(source);
    if (row < 0 || row >= set->RecordCount())
        return false;
    set->SetRecNo(row + 1);
    return true;
}

bool ScriptedUi::PesquisaLista(TDataSource*, const QString&, const QString& title, QString&)
{
    shown.append(QStringLiteral("list:") + kvo::LookupCaption(title));
    return false;
}

void ScriptedUi::ActiveShowAvi(QWidget*, int kind, const QString&)
{
    ++aviOpen;
    ++aviOpened;
    aviKinds.append(kind);
    shown.append(QStringLiteral("avi:%1").arg(kind));
}

void ScriptedUi::DeactiveShowAvi()
{
    --aviOpen;
}

void ScriptedUi::ShowPreview(QWidget*, const QString&) {}
