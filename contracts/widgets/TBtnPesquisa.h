#pragma once

#include "FrameworkExport.h"

#include "StdControls.h"

#include <QPointer>

class TDataSource;

// The small lookup button beside an edit (prefix btp/btn). A click (or F9 in the associated
// control) moves the focus to the associated control, runs OnBeforePesq (which may refuse by
// clearing its flag, and usually opens the list's query), shows the list with Pesquisar and, when
// a row was picked, runs OnAfterPesq. An assigned OnClick replaces that whole sequence.
class KVO_FRAMEWORK_EXPORT TBtnPesquisa : public TButtonFlat {
    Q_OBJECT
public:
    explicit TBtnPesquisa(QWidget* parent = nullptr);
    ~TBtnPesquisa() override;

    QWidget* Associate() const { return m_associate; }
    void SetAssociate(QWidget* control);
    QString Title() const { return m_title; }
    void SetTitle(const QString& title) { m_title = title; }
    TDataSource* DataSource() const { return m_source; }
    void SetDataSource(TDataSource* source) { m_source = source; }
    QString EmptyError() const { return m_emptyError; }
    void SetEmptyError(const QString& text) { m_emptyError = text; }

    std::function<void(QObject* Sender, bool& Allow)> OnBeforePesq;
    TFocusControl::TNotifyEvent OnAfterPesq;

protected:
    void DoClick() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> m_associate;
    QPointer<TDataSource> m_source;
    QString m_title, m_emptyError;
};

namespace kvo {
// The magnifier glyph of lookup buttons.
KVO_FRAMEWORK_EXPORT QIcon LookupGlyph();
} // namespace kvo
