// kvo-report: runs a report definition against a database and writes it to a file, without a
// screen. The output's extension picks the format: .pdf, .csv or .xlsx.

#include "data/Exceptions.h"
#include "host/HostConfig.h"
#include "host/dtmDBGeral.h"
#include "report/ReportEngine.h"

#include <QGuiApplication>
#include <cstdio>

namespace {

// Exit codes.
constexpr int kOk = 0, kFailed = 1, kUsage = 2;

const char* const kUsageText =
    "Uso: kvo-report --database URL [--param NOME=VALOR]... DEFINICAO SAIDA\n"
    "Executa a definição de relatório DEFINICAO (arquivo .kvr) e grava o resultado em SAIDA:\n"
    "PDF, CSV ou XLSX conforme a extensão (.pdf, .csv, .xlsx).\n"
    "\n"
    "  --database URL        sqlite:CAMINHO ou postgres:host=..;port=..;dbname=..;user=..;password=..\n"
    "  --param NOME=VALOR    valor de um parâmetro da consulta (datas dd/mm/aaaa); repetível\n"
    "  --help                mostra esta ajuda\n"
    "\n"
    "Códigos de saída: 0 gravado, 1 falha do relatório ou do banco, 2 uso incorreto.\n";

void say(const QString& text) {
    std::fprintf(stderr, "kvo-report: %s\n", text.toUtf8().constData());
}

} // namespace

int main(int argc, char* argv[]) {
    // Never needs a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    QStringList args = QGuiApplication::arguments().mid(1);
    QString url;
    QList<QPair<QString, QString>> values;
    QStringList files;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsageText, stdout);
            return kOk;
        }
        if (a == QLatin1String("--database") || a == QLatin1String("--param")) {
            if (i + 1 >= args.size()) {
                say(QStringLiteral("falta o valor de %1.").arg(a));
                return kUsage;
            }
            const QString v = args[++i];
            if (a == QLatin1String("--database")) {
                url = v;
                continue;
            }
            const qsizetype eq = v.indexOf(u'=');
            if (eq <= 0) {
                say(QStringLiteral("parâmetro inválido: '%1'. Use NOME=VALOR.").arg(v));
                return kUsage;
            }
            values.append({v.left(eq).trimmed().toUpper(), v.mid(eq + 1)});
        } else if (a.startsWith(QLatin1String("--"))) {
            say(QStringLiteral("opção desconhecida: %1.").arg(a));
            return kUsage;
        } else {
            files << a;
        }
    }
    if (files.size() != 2 || url.isEmpty()) {
        std::fputs(kUsageText, stderr);
        return kUsage;
    }

    try {
        const kvo::report::TReportDefinition def = kvo::report::LoadDefinition(files[0]);
        kvo::report::TReportParams params = kvo::report::QueryParams(def);
        for (const auto& [name, value] : values) {
            if (!params.Contains(name)) {
                say(QStringLiteral("o relatório '%1' não tem o parâmetro %2.").arg(def.Name(), name));
                return kUsage;
            }
            params.ParamByName(name).SetValue(value);
        }
        dtmDBGeral::Open(ParseDatabaseUrl(url));
        kvo::report::TReportLayout layout = kvo::report::Layout(def, kvo::report::RunQuery(def, params));
        layout.subtitle = kvo::report::Subtitle(def, params);
        kvo::report::WriteFile(def, layout, files[1]);
    } catch (const Exception& e) {
        say(e.Message());
        return kFailed;
    }
    return kOk;
}
