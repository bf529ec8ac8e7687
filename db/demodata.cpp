#include "db/database.h"

#include "core/routines.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>

namespace db {

namespace {

struct Row {
    const char* table;
    QStringList columns;
    QVariantList values;
};

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A municipality's first weeks with the program: its unit types, a few budget units and sectors,
// the usual process types, some applicants and holders, and three clerks in two units besides the
// administrator. The passwords are listed in README.md.
QList<Row> demoRows() {
    QList<Row> rows;
    const QStringList company{"IDEMPRESA", "EMPRESA", "CNPJ", "ENDERECO", "NUMERO", "BAIRRO", "CEP",
                              "CIDADE",    "UF",      "DDD",  "TELEFONE", "EMAIL",  "SITE"};
    rows.append({"EMPRESA",
                 company,
                 {"01", text("PREFEITURA MUNICIPAL DE DEMONSTRAÇÃO"), "11.222.333/0001-81",
                  text("PRAÇA DA MATRIZ"), "100", "CENTRO", "57.100-000", text("DEMONSTRAÇÃO"), "AL", "082",
                  "3221-1000", "gabinete@demonstracao.al.gov.br", "www.demonstracao.al.gov.br"}});

    const QStringList unitType{"IDTIPO", "TIPO"};
    const char* types[][2] = {{"01", "PREFEITURA MUNICIPAL"},     {"02", "CÂMARA MUNICIPAL"},
                              {"03", "SECRETARIA MUNICIPAL"},     {"04", "FUNDO MUNICIPAL"},
                              {"05", "AUTARQUIA MUNICIPAL"},      {"06", "FUNDAÇÃO MUNICIPAL"},
                              {"07", "INSTITUTO DE PREVIDÊNCIA"}, {"08", "EMPRESA PÚBLICA MUNICIPAL"}};
    for (const auto& t : types)
        rows.append({"TIPOUNIDADE", unitType, {t[0], text(t[1])}});

    const QStringList unit{"IDUNIDADE", "UNIDADE", "TIPO_UNIDADE", "CNPJ"};
    const char* units[][4] = {{"0001", "GABINETE DO PREFEITO", "01", "11.222.333/0001-81"},
                              {"0002", "SECRETARIA MUNICIPAL DE ADMINISTRAÇÃO", "03", "11.222.333/0002-62"},
                              {"0003", "SECRETARIA MUNICIPAL DE SAÚDE", "03", "11.222.333/0003-43"},
                              {"0004", "SECRETARIA MUNICIPAL DE EDUCAÇÃO", "03", "11.222.333/0004-24"},
                              {"0005", "FUNDO MUNICIPAL DE SAÚDE", "04", "11.222.333/0005-05"}};
    for (const auto& u : units)
        rows.append({"UNIDADES", unit, {u[0], text(u[1]), u[2], u[3]}});

    // Sector names keep the case they were typed in.
    const QStringList sector{"IDSETOR", "SETOR", "IDUNIDADE"};
    const char* sectors[][3] = {{"000001", "Gabinete", "0001"},
                                {"000002", "Protocolo Geral", "0002"},
                                {"000003", "Recursos Humanos", "0002"},
                                {"000004", "Licitações e Contratos", "0002"},
                                {"000005", "Vigilância Sanitária", "0003"},
                                {"000006", "Atenção Básica", "0003"},
                                {"000007", "Merenda Escolar", "0004"}};
    for (const auto& s : sectors)
        rows.append({"SETORES", sector, {s[0], text(s[1]), s[2]}});

    const QStringList processType{"IDTIPO", "TIPO"};
    const char* processTypes[][2] = {
        {"0001", "REQUERIMENTO ADMINISTRATIVO"},  {"0002", "LICENÇA PARA CONSTRUÇÃO"},
        {"0003", "ALVARÁ DE FUNCIONAMENTO"},      {"0004", "SOLICITAÇÃO DE FÉRIAS"},
        {"0005", "CERTIDÃO NEGATIVA DE DÉBITOS"}, {"0006", "RECURSO DE MULTA"}};
    for (const auto& t : processTypes)
        rows.append({"TIPOPROCESSO", processType, {t[0], text(t[1])}});

    const QStringList party{"IDINTERESSADO", "INTERESSADO", "TIPO",    "CPF",    "CNPJ", "ENDERECO",
                            "NUMERO",        "BAIRRO",      "CEP",     "CIDADE", "UF",   "DDD_TELEFONE",
                            "TELEFONE",      "DDD_CELULAR", "CELULAR", "EMAIL"};
    const QString person = text("1 - Pessoa Física");
    const QString organisation = text("2 - Pessoa Jurídica");
    rows.append({"INTERESSADOS",
                 party,
                 {"000001", text("JOÃO BATISTA DOS SANTOS"), person, "314.159.265-90", QVariant(),
                  "RUA DO SOL", "45", "CENTRO", "57.100-000", text("DEMONSTRAÇÃO"), "AL", "082", "3221-4455",
                  "082", "99811-2233", "joao.batista@email.com.br"}});
    rows.append({"INTERESSADOS",
                 party,
                 {"000002", text("MARIA JOSÉ DA SILVA"), person, "271.828.182-05", QVariant(),
                  "RUA SANTO ANTÔNIO", "312", "PONTA GROSSA", "57.100-020", text("DEMONSTRAÇÃO"), "AL", "082",
                  QVariant(), "082", "98822-1144", "mariajose@email.com.br"}});
    rows.append({"INTERESSADOS",
                 party,
                 {"000003", text("CONSTRUTORA LAGOA MUNDAÚ LTDA"), organisation, QVariant(),
                  "12.345.678/0001-95", "AVENIDA DA PAZ", "1200", "JATIÚCA", "57.035-000", text("MACEIÓ"),
                  "AL", "082", "3327-9000", QVariant(), QVariant(), "contato@lagoamundau.com.br"}});
    rows.append({"INTERESSADOS",
                 party,
                 {"000004", text("ASSOCIAÇÃO DOS MORADORES DO CENTRO"), organisation, QVariant(),
                  "98.765.432/0001-98", "RUA DA IGREJA", "10", "CENTRO", "57.100-000", text("DEMONSTRAÇÃO"),
                  "AL", QVariant(), QVariant(), "082", "99100-2020", "amc@email.com.br"}});
    rows.append({"INTERESSADOS",
                 party,
                 {"000005", text("ANTÔNIO CARLOS FERREIRA LIMA"), person, "161.803.398-05", QVariant(),
                  "TRAVESSA BOA VISTA", "7", "ALTO DO CRUZEIRO", "57.100-110", text("DEMONSTRAÇÃO"), "AL",
                  QVariant(), QVariant(), "082", "98877-6655", QVariant()}});
    rows.append(
        {"INTERESSADOS",
         party,
         {"000006", text("SECRETARIA MUNICIPAL DE SAÚDE"), organisation, QVariant(), "11.222.333/0003-43",
          text("PRAÇA DA MATRIZ"), "100", "CENTRO", "57.100-000", text("DEMONSTRAÇÃO"), "AL", "082",
          "3221-1020", QVariant(), QVariant(), "saude@demonstracao.al.gov.br"}});
    // The clerks' own records.
    rows.append({"INTERESSADOS",
                 party,
                 {"000007", "CARLA MENDES ROCHA", person, "141.421.356-51", QVariant(), QVariant(),
                  QVariant(), QVariant(), QVariant(), text("DEMONSTRAÇÃO"), "AL", QVariant(), QVariant(),
                  QVariant(), QVariant(), QVariant()}});
    rows.append({"INTERESSADOS",
                 party,
                 {"000008", "PAULO ROBERTO NUNES", person, "173.205.080-52", QVariant(), QVariant(),
                  QVariant(), QVariant(), QVariant(), text("DEMONSTRAÇÃO"), "AL", QVariant(), QVariant(),
                  QVariant(), QVariant(), QVariant()}});
    rows.append({"INTERESSADOS",
                 party,
                 {"000009", text("LÚCIA HELENA ARAÚJO"), person, "223.606.797-67", QVariant(), QVariant(),
                  QVariant(), QVariant(), QVariant(), text("DEMONSTRAÇÃO"), "AL", QVariant(), QVariant(),
                  QVariant(), QVariant(), QVariant()}});

    const QStringList user{"COD_USUARIO", "USUARIO",      "SENHA",     "CONFIRMACAO",
                           "CPF",         "PROTOCOLISTA", "IDTITULAR", "IDUNIDADE"};
    struct Clerk {
        const char* code;
        const char* name;
        const char* password;
        const char* cpf;
        const char* protocolist;
        const char* holder;
        const char* unit;
        QStringList grants;
    };
    const QList<Clerk> clerks{
        {"00000002",
         "CARLA MENDES ROCHA",
         "carla2019",
         "141.421.356-51",
         "SIM",
         "000007",
         "0002",
         {text("Processos"), text("Tramitação"), text("Pendências"), text("Pesquisa Processos"),
          text("Pesquisa Despachos"), text("Requerentes/Titulares"),
          text("Relatório dos Requerentes/Titulares - Ordem Alfabética")}},
        {"00000003",
         "PAULO ROBERTO NUNES",
         "paulo123",
         "173.205.080-52",
         "NAO",
         "000008",
         "0003",
         {text("Pendências"), text("Pesquisa Processos"), text("Pesquisa Despachos")}},
        {"00000004",
         "LÚCIA HELENA ARAÚJO",
         "lucia123",
         "223.606.797-67",
         "NAO",
         "000009",
         "0003",
         {text("Pendências"), text("Pesquisa Despachos"), text("Setores"),
          text("Relatório dos Setores - Ordem Numérica")}},
    };
    for (const Clerk& c : clerks) {
        const QString scrambled = routines::scrambleUp(text(c.password));
        rows.append({"USUARIOS",
                     user,
                     {c.code, text(c.name), scrambled, scrambled, c.cpf, c.protocolist, c.holder, c.unit}});
        int n = 0;
        for (const QString& title : c.grants)
            rows.append({"USUARIOS_ACESSOS",
                         {"ACESSO", "COD_USUARIO", "TITULO"},
                         {QString::number(++n), c.code, title}});
    }
    return rows;
}

} // namespace

bool addDemoData(QSqlDatabase& connection, QString* errorText) {
    if (!connection.transaction()) {
        if (errorText) *errorText = connection.lastError().text();
        return false;
    }
    bool ok = true;
    for (const Row& row : demoRows()) {
        QStringList marks;
        for (int i = 0; i < row.columns.size(); ++i)
            marks << QStringLiteral("?");
        QSqlQuery q(connection);
        q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(QString::fromLatin1(row.table), row.columns.join(QStringLiteral(", ")),
                           marks.join(QStringLiteral(", "))));
        for (const QVariant& v : row.values)
            q.addBindValue(v.isValid() ? v : QVariant(QMetaType::fromType<QString>()));
        if (!q.exec()) {
            ok = false;
            if (errorText)
                *errorText = q.lastError().text() + QStringLiteral(" (") + QString::fromLatin1(row.table) +
                             QStringLiteral(")");
            break;
        }
    }
    if (ok) {
        // The administrator works in the administration's unit and has a CPF of his own, so that
        // his record passes the users form's checks when he alters it.
        QSqlQuery q(connection);
        q.prepare(QStringLiteral("UPDATE USUARIOS SET IDUNIDADE = ?, CPF = ? WHERE COD_USUARIO = ?"));
        q.addBindValue(QStringLiteral("0002"));
        q.addBindValue(QStringLiteral("390.533.447-05"));
        q.addBindValue(QStringLiteral("00000001"));
        ok = q.exec();
        if (!ok && errorText) *errorText = q.lastError().text();
    }
    if (ok && !connection.commit()) {
        ok = false;
        if (errorText) *errorText = connection.lastError().text();
    }
    if (!ok) connection.rollback();
    return ok;
}

} // namespace db
