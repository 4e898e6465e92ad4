#pragma once

#include "HostUi.h"

#include <QPointer>

class ProgressWindow;

namespace kvo {

// The host UI with real windows: message boxes, lookup dialogs and the progress window.
class GuiHostUi : public HostUi {
public:
    GuiHostUi();
    ~GuiHostUi() override;

    void ShowError(const QString& text) override;
    int ShowMessage(const QString& text, int kind, int buttons) override;
    bool Pesquisar(TDataSource* source, const QString& title) override;
    bool PesquisaLista(TDataSource* source, const QString& keyField, const QString& title,
                       QString& selection) override;
    void ActiveShowAvi(QWidget* form, int kind, const QString& caption) override;
    void DeactiveShowAvi() override;
    void ShowPreview(QWidget* preview, const QString& title) override;

    int ProgressDepth() const { return m_depth; }

private:
    QPointer<ProgressWindow> m_progress;
    int m_depth = 0;
};

} // namespace kvo
