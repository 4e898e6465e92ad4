#pragma once

// Texts the server answers with. The first group are the screens' own catalog texts, which the
// client shows as they come; the rest are the server's own.

#include <QString>

namespace kvo::server::texts {

inline const QString ServPad =
    QStringLiteral("Efetivos não podem ser informados para um serviço de padronização de cardápios.");
inline const QString ServCad = QStringLiteral("Serviço não cadastrado.");
inline const QString ServInf = QStringLiteral("Serviço deve ser informado.");
inline const QString DietCad = QStringLiteral("Dieta padrão não cadastrada.");
inline const QString DietInf = QStringLiteral("Dieta deve ser informada.");
inline const QString DietJaCad = QStringLiteral("Dieta já cadastrada.");
inline const QString InfComen = QStringLiteral("Quantidade de clientes deve ser maior ou igual a zero.");
inline const QString InfFunc = QStringLiteral("Quantidade de funcionários deve ser maior ou igual a zero.");
inline const QString InfDoac = QStringLiteral("Quantidade de doações deve ser maior ou igual a zero.");
inline const QString TotaEfet =
    QStringLiteral("Somatória dos clientes, funcionários e doações deve ser igual ao total de efetivos.");
inline const QString Retirada = QStringLiteral("Cardápio possui retirada, não pode ser excluido.");
inline const QString EfetApu = QStringLiteral("Efetivos do cliente já apurados na data selecionada.");
inline const QString FiliNaoCad = QStringLiteral("Filial não cadastrada.");
inline const QString FiliDeve = QStringLiteral("Filial deve ser informada.");
inline const QString DataInf = QStringLiteral("Data deve ser informada.");
inline const QString FiliResc = QStringLiteral("Filial com contrato rescindido.");
inline const QString DataProc = QStringLiteral("Data deve ser menor ou igual a data de  processamento.");
inline const QString OperFili = QStringLiteral("Operador %1 não tem permissão para trabalhar na filial %2.");

// Message keys CalcularComensais answers with; the dialog looks them up in its catalog.
inline const QString KeyNExistConf = QStringLiteral("NExist_Conf");
inline const QString KeyFilialNCad = QStringLiteral("Filial_NCad");

inline const QString Concurrency =
    QStringLiteral("Os dados foram alterados por outro usuário depois de lidos; nada foi gravado. "
                   "Recarregue os dados e repita a alteração.");
inline const QString ClosedDay =
    QStringLiteral("Dia fechado para alterações: somente datas a partir de %1 podem ser alteradas.");
inline const QString ClientNotServed = QStringLiteral("Cliente não atendido pelo serviço informado.");
inline const QString NoDietRow =
    QStringLiteral("Não há efetivos cadastrados para a dieta %1 do serviço %2 nesta data.");
inline const QString TooLong = QStringLiteral("Valor do campo %1 excede %2 caracteres.");
inline const QString KeyMissing = QStringLiteral("Campo %1 deve ser informado.");
inline const QString KeyChange = QStringLiteral(
    "O campo %1 faz parte da chave da linha e não pode ser alterado; exclua a linha e inclua outra.");

} // namespace kvo::server::texts
