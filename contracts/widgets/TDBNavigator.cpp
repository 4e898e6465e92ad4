#include "TDBNavigator.h"

#include "Dispatch.h"
#include "HostUi.h"
#include "TDBGrid.h"

#include "data/TClientDataSet.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace {

struct ButtonLook {
    const char* glyph;
    const char* hint;
};

// Glyphs as text: they render on every platform, offscreen included.
constexpr ButtonLook looks[TDBNavigator::ButtonCount] = {
    {"|◀", "Primeiro"}, {"◀", "Anterior"}, {"▶", "Próximo"},   {"▶|", "Último"},  {"+", "Incluir"},
    {"−", "Excluir"},   {"▲", "Alterar"},  {"✔", "Confirmar"}, {"✖", "Cancelar"}, {"↻", "Atualizar"},
};

} // namespace

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent) {
    m_link.OnActiveChange = m_link.OnStateChange = [this] { updateButtons(); };
    m_link.OnDataChange = [this](TField* field) {
        if (!field) updateButtons();
    };
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf8(looks[i].glyph));
        b->setToolTip(QString::fromUtf8(looks[i].hint));
        b->setAccessibleName(QString::fromUtf8(looks[i].hint));
        b->setFocusPolicy(Qt::NoFocus);
        b->setAutoRaise(false);
        layout->addWidget(b);
        m_buttons[size_t(i)] = b;
        connect(b, &QToolButton::clicked, this,
                [this, i] { kvo::Dispatch([this, i] { BtnClick(TNavigateBtn(i)); }, {.owner = this}); });
    }
    updateButtons();
}

void TDBNavigator::SetDataSource(TDataSource* source) {
    if (m_link.SetDataSource(source)) updateButtons();
}

void TDBNavigator::SetEnabled(bool on) {
    setEnabled(on);
    updateButtons();
}

bool TDBNavigator::ButtonVisible(TNavigateBtn button) const {
    return !Button(button)->isHidden();
}

void TDBNavigator::SetButtonVisible(TNavigateBtn button, bool visible) {
    Button(button)->setVisible(visible);
}

bool TDBNavigator::ButtonEnabled(TNavigateBtn button) const {
    return Button(button)->isEnabled();
}

void TDBNavigator::updateButtons() {
    TClientDataSet* ds = m_link.DataSet();
    const bool active = ds && DataSource()->Enabled() && ds->Active();
    const TDataSetState st = active ? ds->State() : dsInactive;
    const bool editing = st == dsEdit || st == dsInsert;
    const bool empty = !active || ds->IsEmpty();
    const int recNo = active ? ds->RecNo() : 0;
    const int count = active ? ds->RecordCount() : 0;
    const bool up = active && !empty && recNo > 1;
    const bool down = active && !empty && recNo < count;

    std::array<bool, ButtonCount> on{};
    on[nbFirst] = up;
    on[nbPrior] = up;
    on[nbNext] = down;
    on[nbLast] = down;
    on[nbInsert] = active;
    on[nbDelete] = active && !empty;
    on[nbEdit] = active && !editing;
    on[nbPost] = editing;
    on[nbCancel] = editing;
    on[nbRefresh] = active;
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[size_t(i)]->setEnabled(on[size_t(i)]);
}

void TDBNavigator::BtnClick(TNavigateBtn button) {
    TClientDataSet* ds = m_link.DataSet();
    if (!ds || !ds->Active() || !DataSource()->Enabled()) return;
    if (BeforeAction) BeforeAction(this, button);
    switch (button) {
    case nbFirst:
        ds->First();
        break;
    case nbPrior:
        ds->Prior();
        break;
    case nbNext:
        ds->Next();
        break;
    case nbLast:
        ds->Last();
        break;
    case nbInsert:
        ds->Insert();
        break;
    case nbEdit:
        ds->Edit();
        break;
    case nbPost:
        ds->Post();
        break;
    case nbCancel:
        ds->Cancel();
        break;
    case nbDelete:
        if (ds->IsEmpty()) return;
        if (m_confirmDelete) {
            const int answer =
                kvo::Ui().ShowMessage(TDBGrid::ConfirmDeleteText(), kvo::mtConfirmation, kvo::mbYesNo);
            if (answer != kvo::mrYes && answer != kvo::mrOk) return;
        }
        ds->Delete();
        break;
    case nbRefresh:
        // An in-memory set has nothing to fetch: pending edits are settled and the controls redrawn.
        ds->CheckBrowseMode();
        DataSource()->notifyDataChange(nullptr);
        break;
    }
    updateButtons();
    if (OnClick) OnClick(this, button);
}
