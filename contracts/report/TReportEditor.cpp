#include "report/TReportEditor.h"

#include "report/TReportDesignerDialog.h"
#include "widgets/Dispatch.h"
#include "widgets/HostUi.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kvo::report {

namespace {

// A cell edited by picking one of a few spellings (editable: others may be typed).
class ChoiceDelegate : public QStyledItemDelegate {
public:
    ChoiceDelegate(QStringList choices, bool editable, QObject* parent)
        : QStyledItemDelegate(parent), m_choices(std::move(choices)), m_editable(editable) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* box = new QComboBox(parent);
        box->addItems(m_choices);
        box->setEditable(m_editable);
        return box;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QComboBox*>(editor)->setCurrentText(index.data().toString());
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        model->setData(index, static_cast<QComboBox*>(editor)->currentText());
    }

private:
    QStringList m_choices;
    bool m_editable;
};

// A widget under its member's name, as tests and style sheets find it.
template <typename W> W* named(QWidget* parent, const char* name) {
    auto* w = new W(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

QTableWidget* table(QWidget* parent, const char* name, const QStringList& headings) {
    auto* t = new QTableWidget(0, int(headings.size()), parent);
    t->setObjectName(QLatin1String(name));
    t->setHorizontalHeaderLabels(headings);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->setDefaultSectionSize(22);
    return t;
}

void setRow(QTableWidget* t, int row, const QStringList& cells) {
    for (int c = 0; c < t->columnCount(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells.value(c)));
}

QString cell(const QTableWidget* t, int row, int column) {
    const QTableWidgetItem* item = t->item(row, column);
    return item ? item->text().trimmed() : QString();
}

// Add (after the current row), remove and move the current row of a table; the buttons go into
// a column beside it.
struct RowButtons {
    QPushButton *add, *remove, *up, *down;
};

RowButtons rowButtons(QTableWidget* t, QHBoxLayout* beside, const QString& prefix, QStringList fresh) {
    auto* column = new QVBoxLayout;
    beside->addLayout(column);
    auto button = [&](const char* name, const QString& text) {
        auto* b = new QPushButton(text, t->parentWidget());
        b->setObjectName(prefix + QLatin1String(name));
        column->addWidget(b);
        return b;
    };
    RowButtons b{button("Adicionar", QStringLiteral("Adicionar")),
                 button("Remover", QStringLiteral("Remover")), button("Subir", QStringLiteral("Subir")),
                 button("Descer", QStringLiteral("Descer"))};
    column->addStretch(1);
    QObject* owner = t;
    kvo::Connect(b.add, &QPushButton::clicked, owner, [t, fresh] {
        const int row = t->currentRow() < 0 ? t->rowCount() : t->currentRow() + 1;
        t->insertRow(row);
        setRow(t, row, fresh);
        t->setCurrentCell(row, 0);
    });
    kvo::Connect(b.remove, &QPushButton::clicked, owner, [t] {
        if (t->currentRow() >= 0) t->removeRow(t->currentRow());
    });
    auto move = [t](int delta) {
        const int from = t->currentRow(), to = from + delta;
        if (from < 0 || to < 0 || to >= t->rowCount()) return;
        for (int c = 0; c < t->columnCount(); ++c) {
            QTableWidgetItem* a = t->takeItem(from, c);
            QTableWidgetItem* other = t->takeItem(to, c);
            t->setItem(from, c, other);
            t->setItem(to, c, a);
        }
        t->setCurrentCell(to, std::max(0, t->currentColumn()));
    };
    kvo::Connect(b.up, &QPushButton::clicked, owner, [move] { move(-1); });
    kvo::Connect(b.down, &QPushButton::clicked, owner, [move] { move(+1); });
    return b;
}

QDoubleSpinBox* margin(QWidget* parent, const char* name) {
    auto* s = named<QDoubleSpinBox>(parent, name);
    s->setRange(0, 100);
    s->setDecimals(1);
    s->setSuffix(QStringLiteral(" mm"));
    return s;
}

} // namespace

TReportEditor::TReportEditor(TReportDesignerDialog* designer, const TReportDefinition& definition,
                             QWidget* parent)
    : QDialog(parent), m_designer(designer), m_definition(definition),
      m_name(QFileInfo(definition.path).fileName()) {
    setObjectName(QStringLiteral("TReportEditor"));
    setWindowTitle(QStringLiteral("Editar relatório - %1").arg(definition.title));
    auto* root = new QVBoxLayout(this);
    auto* split = new QSplitter(this);
    root->addWidget(split, 1);

    pgcEditor = named<QTabWidget>(split, "pgcEditor");

    auto* geral = new QWidget(pgcEditor);
    auto* form = new QFormLayout(geral);
    edtTitulo = named<QLineEdit>(geral, "edtTitulo");
    edtSubtitulo = named<QLineEdit>(geral, "edtSubtitulo");
    edtSubtitulo->setToolTip(QStringLiteral("{P_NOME}: o valor do parâmetro"));
    cbbOrientacao = named<QComboBox>(geral, "cbbOrientacao");
    cbbOrientacao->addItems({QStringLiteral("Retrato"), QStringLiteral("Paisagem")});
    speMargemEsq = margin(geral, "speMargemEsq");
    speMargemSup = margin(geral, "speMargemSup");
    speMargemDir = margin(geral, "speMargemDir");
    speMargemInf = margin(geral, "speMargemInf");
    auto* margins = new QHBoxLayout;
    for (QDoubleSpinBox* s : {speMargemEsq, speMargemSup, speMargemDir, speMargemInf})
        margins->addWidget(s);
    form->addRow(QStringLiteral("Título"), edtTitulo);
    form->addRow(QStringLiteral("Subtítulo"), edtSubtitulo);
    form->addRow(QStringLiteral("Orientação"), cbbOrientacao);
    form->addRow(QStringLiteral("Margens (esq., sup., dir., inf.)"), margins);
    pgcEditor->addTab(geral, QStringLiteral("Relatório"));

    auto* colunas = new QWidget(pgcEditor);
    auto* colLayout = new QHBoxLayout(colunas);
    grdColunas = table(colunas, "grdColunas",
                       {QStringLiteral("Campo"), QStringLiteral("Título"), QStringLiteral("Largura (mm)"),
                        QStringLiteral("Alinhamento"), QStringLiteral("Formato"), QStringLiteral("Repetir")});
    grdColunas->setItemDelegateForColumn(
        colAlinhamento,
        new ChoiceDelegate({QStringLiteral("esquerda"), QStringLiteral("centro"), QStringLiteral("direita")},
                           false, grdColunas));
    grdColunas->setItemDelegateForColumn(
        colFormato, new ChoiceDelegate({QStringLiteral("texto"), QStringLiteral("data"), QStringLiteral("0"),
                                        QStringLiteral("#.##0"), QStringLiteral("#.##0,00")},
                                       true, grdColunas));
    grdColunas->setItemDelegateForColumn(
        colRepetir, new ChoiceDelegate({QStringLiteral("sim"), QStringLiteral("nao")}, false, grdColunas));
    colLayout->addWidget(grdColunas, 1);
    const RowButtons cb = rowButtons(grdColunas, colLayout, QStringLiteral("btnCol"),
                                     {QString(), QString(), QStringLiteral("25"), QStringLiteral("esquerda"),
                                      QStringLiteral("texto"), QStringLiteral("sim")});
    btnColAdicionar = cb.add, btnColRemover = cb.remove, btnColSubir = cb.up, btnColDescer = cb.down;
    pgcEditor->addTab(colunas, QStringLiteral("Colunas"));

    auto* grupos = new QWidget(pgcEditor);
    auto* grpLayout = new QHBoxLayout(grupos);
    grdGrupos = table(grupos, "grdGrupos",
                      {QStringLiteral("Campo"), QStringLiteral("Cabeçalho"), QStringLiteral("Rodapé"),
                       QStringLiteral("Somas")});
    grdGrupos->setToolTip(QStringLiteral("O primeiro grupo é o mais externo; {CAMPO}: o valor do campo"));
    grpLayout->addWidget(grdGrupos, 1);
    const RowButtons gb = rowButtons(grdGrupos, grpLayout, QStringLiteral("btnGrp"), {});
    btnGrpAdicionar = gb.add, btnGrpRemover = gb.remove, btnGrpSubir = gb.up, btnGrpDescer = gb.down;
    pgcEditor->addTab(grupos, QStringLiteral("Grupos"));

    auto* totais = new QWidget(pgcEditor);
    auto* totForm = new QFormLayout(totais);
    edtTotalTitulo = named<QLineEdit>(totais, "edtTotalTitulo");
    edtTotalSomas = named<QLineEdit>(totais, "edtTotalSomas");
    edtTotalSomas->setToolTip(QStringLiteral("Campos somados, separados por espaço"));
    totForm->addRow(QStringLiteral("Título"), edtTotalTitulo);
    totForm->addRow(QStringLiteral("Somas"), edtTotalSomas);
    pgcEditor->addTab(totais, QStringLiteral("Totais"));

    const QFont mono(QStringLiteral("DejaVu Sans Mono"), 9);
    memConsulta = named<QPlainTextEdit>(pgcEditor, "memConsulta");
    memConsulta->setFont(mono);
    pgcEditor->addTab(memConsulta, QStringLiteral("Consulta"));
    memTexto = named<QPlainTextEdit>(pgcEditor, "memTexto");
    memTexto->setFont(mono);
    pgcEditor->addTab(memTexto, QStringLiteral("Avançado"));

    auto* right = new QWidget(split);
    m_pagesLayout = new QVBoxLayout(right);
    m_problem = new QLabel(right);
    m_problem->setObjectName(QStringLiteral("lblProblema"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #a00000"));
    m_pagesLayout->addWidget(m_problem);
    split->setStretchFactor(1, 1);

    auto* buttons = new QDialogButtonBox(this);
    btnSalvar = buttons->addButton(QStringLiteral("Salvar"), QDialogButtonBox::AcceptRole);
    btnSalvar->setObjectName(QStringLiteral("btnSalvar"));
    btnCancelar = buttons->addButton(QStringLiteral("Cancelar"), QDialogButtonBox::RejectRole);
    btnCancelar->setObjectName(QStringLiteral("btnCancelar"));
    root->addWidget(buttons);
    kvo::Connect(btnSalvar, &QPushButton::clicked, this, [this] { Save(); });
    connect(btnCancelar, &QPushButton::clicked, this, &QDialog::reject);

    load(definition);

    m_debounce.setSingleShot(true);
    m_debounce.setInterval(500);
    kvo::Connect(&m_debounce, &QTimer::timeout, this, [this] { Refresh(); });
    for (QLineEdit* e : {edtTitulo, edtSubtitulo, edtTotalTitulo, edtTotalSomas})
        connect(e, &QLineEdit::textChanged, this, &TReportEditor::changed);
    for (QDoubleSpinBox* s : {speMargemEsq, speMargemSup, speMargemDir, speMargemInf})
        connect(s, &QDoubleSpinBox::valueChanged, this, &TReportEditor::changed);
    connect(cbbOrientacao, &QComboBox::currentIndexChanged, this, &TReportEditor::changed);
    for (QTableWidget* t : {grdColunas, grdGrupos}) {
        connect(t, &QTableWidget::itemChanged, this, &TReportEditor::changed);
        connect(t->model(), &QAbstractItemModel::rowsRemoved, this, &TReportEditor::changed);
    }
    connect(memConsulta, &QPlainTextEdit::textChanged, this, &TReportEditor::changed);
    connect(memTexto, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_loading) m_textEdited = true;
        changed();
    });
    kvo::Connect(pgcEditor, &QTabWidget::currentChanged, this, [this](int index) { tabChanged(index); });
    resize(1200, 760);
    Refresh();
}

TReportEditor::~TReportEditor() = default;

QString TReportEditor::Problem() const {
    return m_problem->text();
}

void TReportEditor::load(const TReportDefinition& d) {
    m_loading = true;
    edtTitulo->setText(d.title);
    edtSubtitulo->setText(d.subtitle);
    cbbOrientacao->setCurrentIndex(d.landscape ? 1 : 0);
    speMargemEsq->setValue(d.margins.left());
    speMargemSup->setValue(d.margins.top());
    speMargemDir->setValue(d.margins.right());
    speMargemInf->setValue(d.margins.bottom());
    grdColunas->setRowCount(int(d.columns.size()));
    for (int r = 0; r < d.columns.size(); ++r) {
        const TReportColumn& c = d.columns[r];
        setRow(grdColunas, r,
               {c.field, c.caption, FormatWidth(c.width), AlignmentText(c.alignment),
                c.formatText.isEmpty() ? QStringLiteral("texto") : c.formatText,
                c.repeat ? QStringLiteral("sim") : QStringLiteral("nao")});
    }
    grdGrupos->setRowCount(int(d.groups.size()));
    for (int r = 0; r < d.groups.size(); ++r) {
        const TReportGroup& g = d.groups[r];
        setRow(grdGrupos, r, {g.field, g.header, g.footer, g.sums.join(u' ')});
    }
    edtTotalTitulo->setText(d.totalCaption);
    edtTotalSomas->setText(d.totals.join(u' '));
    memConsulta->setPlainText(d.query.join(u'\n'));
    m_loading = false;
}

TReportDefinition TReportEditor::fromForm() const {
    auto fail = [this](const QString& problem) {
        throw EReportError(QStringLiteral("Definição de relatório '%1': %2").arg(m_name, problem));
    };
    TReportDefinition d = m_definition; // the file and the declared parameter types stay
    d.title = edtTitulo->text().trimmed();
    d.subtitle = edtSubtitulo->text().trimmed();
    d.landscape = cbbOrientacao->currentIndex() == 1;
    d.margins =
        QMarginsF(speMargemEsq->value(), speMargemSup->value(), speMargemDir->value(), speMargemInf->value());
    d.query = memConsulta->toPlainText().split(u'\n');
    while (!d.query.isEmpty() && d.query.last().trimmed().isEmpty())
        d.query.removeLast();
    d.columns.clear();
    for (int r = 0; r < grdColunas->rowCount(); ++r) {
        TReportColumn c;
        c.field = cell(grdColunas, r, colCampo).toUpper();
        c.caption = cell(grdColunas, r, colTitulo);
        const QString width = cell(grdColunas, r, colLargura);
        if (!ParseWidth(width, c.width))
            fail(QStringLiteral("coluna %1: largura '%2' inválida (milímetros).").arg(r + 1).arg(width));
        const QString alignment = cell(grdColunas, r, colAlinhamento);
        if (!ParseAlignment(alignment.isEmpty() ? QStringLiteral("esquerda") : alignment, c.alignment))
            fail(QStringLiteral("coluna %1: alinhamento '%2' inválido (esquerda, centro ou direita).")
                     .arg(r + 1)
                     .arg(alignment));
        const QString format = cell(grdColunas, r, colFormato);
        if (!ParseColumnFormat(format, c))
            fail(QStringLiteral("coluna %1: formato '%2' inválido (texto, data, 0, #.##0 ou #.##0,00).")
                     .arg(r + 1)
                     .arg(format));
        const QString repeat = cell(grdColunas, r, colRepetir);
        if (!ParseYesNo(repeat.isEmpty() ? QStringLiteral("sim") : repeat, c.repeat))
            fail(QStringLiteral("coluna %1: repetir '%2' inválido (sim ou nao).").arg(r + 1).arg(repeat));
        d.columns << c;
    }
    d.groups.clear();
    for (int r = 0; r < grdGrupos->rowCount(); ++r)
        d.groups << TReportGroup{cell(grdGrupos, r, grpCampo).toUpper(), cell(grdGrupos, r, grpCabecalho),
                                 cell(grdGrupos, r, grpRodape), ParseFieldList(cell(grdGrupos, r, grpSomas))};
    d.totalCaption = edtTotalTitulo->text().trimmed();
    d.totals = ParseFieldList(edtTotalSomas->text());
    CheckDefinition(d, m_name);
    return d;
}

TReportDefinition TReportEditor::Edited() const {
    if (pgcEditor->currentWidget() == memTexto && m_textEdited) {
        TReportDefinition d = ParseDefinition(memTexto->toPlainText(), m_name);
        d.path = m_definition.path;
        return d;
    }
    return fromForm();
}

void TReportEditor::tabChanged(int index) {
    const int advanced = pgcEditor->indexOf(memTexto);
    try {
        if (m_tab == advanced && m_textEdited) {
            // Back to the form: it takes the text's definition, or the text stays to be mended.
            TReportDefinition d = ParseDefinition(memTexto->toPlainText(), m_name);
            d.path = m_definition.path;
            load(d);
            m_textEdited = false;
        } else if (index == advanced) {
            const QString text = FormatDefinition(fromForm());
            m_loading = true;
            memTexto->setPlainText(text);
            m_loading = false;
            m_textEdited = false;
        }
    } catch (const EReportError& e) {
        m_problem->setText(e.Message());
        const QSignalBlocker block(pgcEditor);
        pgcEditor->setCurrentIndex(m_tab);
        return;
    }
    m_tab = index;
}

void TReportEditor::changed() {
    if (!m_loading) m_debounce.start();
}

TReportLayout TReportEditor::run(const TReportDefinition& d) {
    kvo::ShowAviScope avi(this, kvo::aviLoading, d.title);
    return m_designer->Run(d, HostProgress());
}

bool TReportEditor::Refresh() {
    m_debounce.stop();
    try {
        const TReportDefinition d = Edited();
        TReportLayout layout = run(d);
        auto* pages = new TReportPreview(d, std::move(layout), m_pagesLayout->parentWidget());
        delete m_preview;
        m_preview = pages;
        m_pagesLayout->addWidget(m_preview, 1);
        m_problem->clear();
        return true;
    } catch (const EAbort&) {
        m_problem->setText(QStringLiteral("Visualização cancelada."));
    } catch (const Exception& e) {
        m_problem->setText(e.Message());
    }
    return false;
}

void TReportEditor::Save() {
    m_debounce.stop();
    const TReportDefinition d = Edited();
    // Run once: a query that fails, a field it lacks or a parameter of the wrong type stops here.
    run(d);
    m_definition = d;
    accept();
}

} // namespace kvo::report
