#include "TfrmMediEfetDiet.h"

// The screen's message catalog; texts exactly as the suite stores them ("%s" filled by callers).
void TfrmMediEfetDiet::CriaCatalogo() {
    msgPadrao->SetLines({
        QStringLiteral("Excl|Confirma Exclusão?"),
        QStringLiteral("FILI_DEVE|Filial deve ser informada."),
        QStringLiteral("FILI_NAO_CAD|Filial não cadastrada."),
        QStringLiteral("FILI_RESC|Filial com contrato rescindido."),
        QStringLiteral("QT_COM_DEVE|Quantidade de comensais deve ser maior que zero."),
        QStringLiteral("QT_FUN_DEVE|Quantidade de funcionários deve ser maior que zero."),
        QStringLiteral("DoaInv|Quantidade de doações deve ser maior que zero."),
        QStringLiteral("DATA_PROC|Data deve ser menor ou igual a data de  processamento."),
        QStringLiteral("SERVICO|Serviço"),
        QStringLiteral("Serv_Inf|Serviço deve ser informado."),
        QStringLiteral("Serv_Cad|Serviço não cadastrado."),
        QStringLiteral("CompCard|Cardápio possui pratos, não pode ser excluido."),
        QStringLiteral("CliInv|Quantidade de clientes deve ser maior que zero."),
        QStringLiteral("SomaClie|Somatória dos comensais dos clientes deve ser igual a quantidade de "
                       "clientes do serviço %s e dieta %s."),
        QStringLiteral("SomaFunc|Somatória dos funcionários dos clientes deve ser igual a quantidade de "
                       "funcionários do serviço %s e dieta %s."),
        QStringLiteral("SomaDoac|Somatória das doações dos clientes deve ser igual a quantidade de doações "
                       "do serviço %s e dieta %s."),
        QStringLiteral(
            "TotaEfet|Somatória dos clientes, funcionários e doações deve ser igual ao total de efetivos."),
        QStringLiteral("Retirada|Cardápio possui retirada, não pode ser excluido."),
        QStringLiteral(
            "Serv_Pad|Efetivos não podem ser informados para um serviço de padronização de cardápios."),
        QStringLiteral("Serv_Ja_Cad|Serviço já cadastrado."),
        QStringLiteral("CardapioPadr|Cardápio Padronizado."),
        QStringLiteral("Diet_Cad|Dieta padrão não cadastrada."),
        QStringLiteral("Dieta|Dieta Padrão"),
        QStringLiteral("Diet_Inf|Dieta deve ser informada."),
        QStringLiteral("DTCard_Inf|Data deve ser informada."),
        QStringLiteral("ServFili_Cad|Não há serviço de hospital cadastrado para a filial informada."),
        QStringLiteral("Diet_JaCad|Dieta já cadastrada."),
        QStringLiteral("Efet_Inf|Efetivos devem ser informados."),
        QStringLiteral("INF_COMEN|Quantidade de clientes deve ser maior ou igual a zero."),
        QStringLiteral("INF_FUNC|Quantidade de funcionários deve ser maior ou igual a zero."),
        QStringLiteral("INF_DOAC|Quantidade de doações deve ser maior ou igual a zero."),
        QStringLiteral("SOMACLIED|Somatória dos comensais dos clientes difere da quantidade de clientes do "
                       "serviço %s e dieta %s."),
        QStringLiteral("SOMAFUNCD|Somatória dos funcionários dos clientes difere da quantidade de "
                       "funcionários do serviço %s e dieta %s."),
        QStringLiteral("SOMADOACD|Somatória das doações dos clientes difere da quantidade de doações do "
                       "serviço %s e dieta %s."),
        QStringLiteral("upd_cdsEfetClie|Atualizando efetivos da cliente..."),
        QStringLiteral("VD_RETI|Verificando retiradas do estoque..."),
        QStringLiteral("SEMIRETI|Não há produto baixado em estoque no dia."),
        QStringLiteral("TOTALEFETIVOS|Cardápio possui retirada, total de efetivos deve ser maior do que 0."),
        QStringLiteral("FATU_APU|Data de faturamento já apurada para o cliente."),
        QStringLiteral("EFET_APU|Efetivos do cliente já apurados na data selecionada."),
        QStringLiteral("Data_inf|Data deve ser informada."),
        QStringLiteral("CLIE_ALTERADO|Os efetivos deste cliente foram alterados por outro usuário depois de "
                       "carregados; nada foi gravado. A linha mostra agora o que está gravado: repita a "
                       "alteração."),
        // Shown when a client share was saved but its diet row could not take the new sums.
        QStringLiteral("DIETA_NAO_SOMADA|Os efetivos do cliente foram gravados, mas a dieta %s do serviço %s "
                       "não recebeu a soma dos clientes. Grave o cliente novamente ou corrija a dieta na "
                       "página Efetivos."),
    });
}
