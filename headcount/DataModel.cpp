#include "TfrmMediEfetDiet.h"

// The screen's record sets as its resource defines them: fields in order, with types, sizes,
// labels, masks and visibility. Sets with defined fields take packet columns by name, so the
// order and the hidden columns here are what the grids and the server rely on.
namespace {

struct FieldDef {
    const char* name;
    TFieldType type;
    int size;
    const char* label; // nullptr: no label of its own
    bool visible;
};

constexpr bool Shown = true;
constexpr bool Hidden = false;

TClientDataSet* NewSet(QObject* owner, const char* name, std::initializer_list<FieldDef> fields) {
    auto* set = new TClientDataSet(owner);
    set->setObjectName(QString::fromLatin1(name));
    for (const FieldDef& def : fields) {
        TField* field = set->AddField(QString::fromLatin1(def.name), def.type, def.size);
        if (def.label) field->SetDisplayLabel(QString::fromUtf8(def.label));
        field->SetVisible(def.visible);
    }
    return set;
}

const QString kMascaraServico = QStringLiteral("ccccc;0; ");

} // namespace

void TfrmMediEfetDiet::CriaRecordSets() {
    cdsCardServ = NewSet(this, "cdsCardServ",
                         {
                             {"CDFILIAL", ftString, 4, nullptr, Hidden},
                             {"CDSERVFILI", ftString, 5, "Serviço", Shown},
                             {"NMSERVICO", ftString, 40, "Nome do Serviço", Shown},
                         });
    cdsCardServ->FieldByName(QStringLiteral("CDSERVFILI"))->SetEditMask(kMascaraServico);

    cdsCardadia = NewSet(this, "cdsCardadia",
                         {
                             {"CDSERVFILI", ftString, 5, "Código", Hidden},
                             {"NMSERVICO", ftString, 40, "Nome do Serviço", Hidden},
                             {"CDDIETPAD", ftString, 4, "Dieta", Shown},
                             {"DSDIETPAD", ftString, 50, "Nome da Dieta", Shown},
                             {"QTCOMEFETCAR", ftFloat, 0, "Efetivos", Shown},
                             {"QTCLIEFETCAR", ftFloat, 0, "Clientes", Shown},
                             {"QTFUNEFETCAR", ftFloat, 0, "Funcionários", Shown},
                             {"QTDOAEFETCAR", ftFloat, 0, "Doações", Shown},
                             {"QTCOMESTICAR", ftFloat, 0, nullptr, Hidden},
                             {"QTCLIESTICAR", ftFloat, 0, nullptr, Hidden},
                             {"QTFUNESTICAR", ftFloat, 0, nullptr, Hidden},
                             {"QTDOAESTICAR", ftFloat, 0, nullptr, Hidden},
                             {"QTCOMEFETRI", ftFloat, 0, nullptr, Hidden},
                             {"QTCOMEFETSL", ftFloat, 0, nullptr, Hidden},
                             {"DTCARDAPIO", ftDateTime, 0, nullptr, Hidden},
                             {"CDFILIAL", ftString, 4, nullptr, Hidden},
                             {"CDOPERADOR", ftString, 12, nullptr, Hidden},
                             {"NRCARDAPIO", ftString, 10, nullptr, Hidden},
                             {"DTMESCARD", ftDateTime, 0, nullptr, Hidden},
                         });
    cdsCardadia->FieldByName(QStringLiteral("CDSERVFILI"))->SetEditMask(kMascaraServico);
    // Diet rows arrive in any order; the index keeps them by diet code across loads.
    cdsCardadia->AddIndex(QStringLiteral("INDICE"), QStringLiteral("CDDIETPAD"));
    cdsCardadia->SetIndexName(QStringLiteral("INDICE"));

    cdsDtCardapio = NewSet(this, "cdsDtCardapio",
                           {
                               {"DTCARDAPIO", ftString, 10, "Data do Cardápio", Shown},
                           });
    cdsDtCardapio->FieldByName(QStringLiteral("DTCARDAPIO"))->SetReadOnly(true);
    cdsDtCardapio->AddCalcField(QStringLiteral("DSDIASEMANA"), ftString, 25)
        ->SetDisplayLabel(QStringLiteral("Dia da Semana"));

    cdsParamPlaneja = NewSet(this, "cdsParamPlaneja",
                             {
                                 {"IDBLQEFEDIAFECH", ftString, 20, nullptr, Shown},
                                 {"NRDIAANTDTPROC", ftFloat, 0, nullptr, Shown},
                                 {"IDPERLEFESRETPLA", ftString, 1, nullptr, Shown},
                                 {"IDPEREFEPOSDTPR", ftString, 1, nullptr, Shown},
                             });

    cdsParamGeral = NewSet(this, "cdsParamGeral",
                           {
                               {"IDCONSMINEFE", ftString, 1, nullptr, Shown},
                           });

    cdsClienteTrab = NewSet(this, "cdsClienteTrab",
                            {
                                {"CDCLIENTE", ftString, 21, nullptr, Shown},
                                {"NMRAZSOCCLIE", ftString, 50, "Cliente", Shown},
                                {"QTCOMEFETDIE", ftFloat, 0, "Clientes", Shown},
                                {"QTFUNEFETDIE", ftFloat, 0, "Funcionários", Shown},
                                {"QTDOAEFETDIE", ftFloat, 0, "Doações", Shown},
                                {"CDFILIAL", ftString, 4, nullptr, Shown},
                                {"CDSERVFILI", ftString, 5, nullptr, Shown},
                                {"DTEFETDIET", ftDateTime, 0, nullptr, Shown},
                                {"CDDIETPAD", ftString, 4, nullptr, Shown},
                            });

    cdsCliApuKvo = NewSet(this, "cdsCliApuKvo",
                          {
                              {"CDCLIENTE", ftString, 21, nullptr, Shown},
                              {"IDIMPEFETKVO", ftString, 1, nullptr, Shown},
                          });

    cdsCliente = NewSet(this, "cdsCliente",
                        {
                            {"CDFILIAL", ftString, 4, nullptr, Shown},
                            {"CDSERVFILI", ftString, 5, nullptr, Shown},
                            {"CDCLIENTE", ftString, 21, nullptr, Shown},
                            {"DTEFETDIET", ftDateTime, 0, nullptr, Shown},
                            {"NRSEQEFETDIE", ftString, 10, nullptr, Shown},
                            {"CDDIETPAD", ftString, 4, nullptr, Shown},
                            {"QTCOMEFETDIE", ftFloat, 0, nullptr, Shown},
                            {"QTFUNEFETDIE", ftFloat, 0, nullptr, Shown},
                            {"QTDOAEFETDIE", ftFloat, 0, nullptr, Shown},
                        });

    cdsAtuaQtEfet = NewSet(this, "cdsAtuaQtEfet",
                           {
                               {"CDFILIAL", ftString, 4, nullptr, Shown},
                               {"CDSERVFILI", ftString, 5, nullptr, Shown},
                               {"DTEFETDIET", ftDateTime, 0, nullptr, Shown},
                               {"CDDIETPAD", ftString, 4, nullptr, Shown},
                               {"QTCOMEFETDIE", ftFloat, 0, nullptr, Shown},
                               {"QTFUNEFETDIE", ftFloat, 0, nullptr, Shown},
                               {"QTDOAEFETDIE", ftFloat, 0, nullptr, Shown},
                           });
    for (const char* name : {"QTCOMEFETDIE", "QTFUNEFETDIE", "QTDOAEFETDIE"})
        cdsAtuaQtEfet->FieldByName(QString::fromLatin1(name))->SetReadOnly(true);

    cdsComensais = NewSet(this, "cdsComensais",
                          {
                              {"CDSERVFILI", ftString, 5, nullptr, Shown},
                              {"NMSERVICO", ftString, 40, nullptr, Shown},
                              {"CDDIETPAD", ftString, 4, nullptr, Shown},
                              {"TIPO", ftFixedChar, 1, nullptr, Shown},
                          });
    cdsComensais->FieldByName(QStringLiteral("TIPO"))->SetReadOnly(true);

    cdsHistorico = NewSet(this, "cdsHistorico",
                          {
                              {"DTHISTORICO", ftString, 19, "Data e hora", Shown},
                              {"NMMETODO", ftString, 30, "Método", Shown},
                              {"IDOPERACAO", ftString, 1, "Operação", Shown},
                              {"CDOPERADOR", ftString, 12, "Operador", Shown},
                              {"DSENDERECO", ftString, 64, "Estação", Shown},
                              {"DSANTES", ftString, 8000, "Antes", Shown},
                              {"DSDEPOIS", ftString, 8000, "Depois", Shown},
                          });

    dtsDtCardapio = new TDataSource(cdsDtCardapio, this);
    dtsCardServ = new TDataSource(cdsCardServ, this);
    dtsCliente = new TDataSource(cdsClienteTrab, this);
    dtsPadrao->SetDataSet(cdsCardadia);
}
