#include "HostUi.h"

#include "GuiHostUi.h"
#include "data/Exceptions.h"

namespace kvo {

namespace {
HostUi* g_ui = nullptr;
}

QString SuiteName() {
    return QStringLiteral("Suíte de Nutrição e Dietética");
}

HostUi& Ui() {
    if (g_ui) return *g_ui;
    static GuiHostUi gui;
    return gui;
}

HostUi* SetUi(HostUi* ui) {
    HostUi* previous = g_ui;
    g_ui = ui;
    return previous;
}

ShowAviScope::ShowAviScope(QWidget* form, int kind, const QString& caption) {
    Ui().ActiveShowAvi(form, kind, caption);
}

ShowAviScope::~ShowAviScope() {
    try {
        Ui().DeactiveShowAvi();
    } catch (...) {
    }
}

QString LookupCaption(const QString& title) {
    return title.section(QLatin1Char('|'), 0, 0);
}

QString LookupEmptyText(const QString& title) {
    const int bar = title.indexOf(QLatin1Char('|'));
    return bar < 0 ? QString() : title.mid(bar + 1);
}

QStringList SplitSelection(const QString& selection) {
    QStringList keys = selection.split(QLatin1Char('_'));
    keys.removeAll(QString());
    return keys;
}

QString JoinSelection(const QStringList& keys) {
    QString text;
    for (const QString& k : keys)
        text += QLatin1Char('_') + k;
    return text;
}

} // namespace kvo

namespace Consiste {

void MensErro(const QString& text, bool abort) {
    kvo::Ui().ShowError(text);
    if (abort) Abort();
}

} // namespace Consiste

bool Pesquisar(TDataSource* source, const QString& title, bool, bool) {
    return kvo::Ui().Pesquisar(source, title);
}

bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& title, bool,
                   QString& selection) {
    return kvo::Ui().PesquisaLista(source, keyField, title, selection);
}

void ActiveShowAvi(QWidget* form, int kind, const QString& caption) {
    kvo::Ui().ActiveShowAvi(form, kind, caption);
}

void DeactiveShowAvi() {
    kvo::Ui().DeactiveShowAvi();
}
