#include "db/database.h"

#include "core/routines.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>
#include <algorithm>
#include <random>

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

// ---------------------------------------------------------------------------------------------
// Two years of work

// Deadlines of the process types, in days a stay at one desk may last.
const char* const kDeadlines[][2] = {{"0001", "15"}, {"0002", "30"}, {"0003", "10"},
                                     {"0004", "5"},  {"0005", "7"},  {"0006", "20"}};

struct DemoUser {
    const char* code;
    const char* unit;
};
// Everybody of the demonstration, with the unit the routing form would offer him in.
const DemoUser kUsers[] = {
    {"00000001", "0002"}, {"00000002", "0002"}, {"00000003", "0003"}, {"00000004", "0003"}};

struct DemoProcess {
    QString number;
    QString year;
    QDateTime registered;
    QString applicant;
    QString holder;
    QString type;
    QString user;
    QString subject;
    QString instruction;
    QString documents;
    QString rg, cpf, residence, workCard;
};

struct DemoMovement {
    int process = 0;
    int user = 0; // index into kUsers: the destination
    int from = 0; // the sender
    QDateTime sent;
    QString dispatch;
    QDateTime received, physical, archived, unarchived;
    QString archiveReason, unarchiveReason;
};

// A small, repeatable stream of choices: the same history every time, only its dates follow the
// day the database is made.
class Dice {
public:
    int below(int n) { return int(m_engine() % unsigned(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template <typename T, std::size_t N> const T& pick(const T (&items)[N]) { return items[below(int(N))]; }

private:
    std::mt19937 m_engine{20190301u};
};

// The next moment of office hours (weekdays, 08:00 to 17:30) `minutes` after `t`.
QDateTime officeTime(QDateTime t, int minutes) {
    t = t.addSecs(qint64(minutes) * 60);
    for (int guard = 0; guard < 10; ++guard) {
        const int dow = t.date().dayOfWeek();
        if (dow >= 6) {
            t = QDateTime(t.date().addDays(8 - dow), QTime(8, 0).addSecs(t.time().second() * 37));
            continue;
        }
        if (t.time() < QTime(8, 0)) {
            t.setTime(QTime(8, 0).addSecs(t.time().second() * 41));
            continue;
        }
        if (t.time() > QTime(17, 30)) {
            t = QDateTime(t.date().addDays(1), QTime(8, 5).addSecs(t.time().second() * 23));
            continue;
        }
        break;
    }
    return t;
}

QString longSubject() {
    return text("SOLICITAÇÃO DE REVISÃO DO LANÇAMENTO DO IPTU DOS EXERCÍCIOS ANTERIORES DO IMÓVEL SITUADO "
                "NA RUA DO SOL, 45, CENTRO, COM RESTITUIÇÃO DOS VALORES PAGOS A MAIOR, COMPENSAÇÃO COM "
                "DÉBITOS FUTUROS E EMISSÃO DE CERTIDÃO NEGATIVA PARA FINS DE FINANCIAMENTO HABITACIONAL")
        .left(255);
}

QString longDispatch() {
    return text(
        "Senhor Secretário,\n\n"
        "Encaminhamos o presente processo para análise e parecer desta Secretaria quanto ao pedido de "
        "revisão do lançamento do IPTU dos exercícios anteriores, com restituição dos valores pagos a "
        "maior. O requerente juntou os comprovantes de pagamento, a certidão de inteiro teor do imóvel "
        "emitida pelo cartório de registro de imóveis e a planta de situação aprovada em 2009, em que "
        "consta área construída inferior à lançada no cadastro imobiliário.\n\n"
        "Solicitamos que a fiscalização tributária faça a vistoria do imóvel, confira a área construída "
        "e informe se houve ampliação não averbada. Confirmada a divergência, pedimos o cálculo dos "
        "valores a restituir, atualizados na forma do Código Tributário Municipal, e a indicação dos "
        "débitos futuros que poderão ser compensados.\n\n"
        "Após a manifestação, retorne o processo a este Gabinete para decisão. Prazo de 15 (quinze) dias.\n\n"
        "Atenciosamente.");
}

QList<DemoProcess> demoProcesses(const QDateTime& now, Dice& dice, QList<DemoMovement>* movements) {
    static const char* const subjects[][3] = {
        {"0001", "SOLICITAÇÃO DE CÓPIA DE DOCUMENTOS", "Requer cópia autenticada do processo de 2015."},
        {"0001", "PEDIDO DE INFORMAÇÕES SOBRE CONCURSO",
         "Solicita informações sobre a nomeação dos aprovados."},
        {"0002", "LICENÇA PARA CONSTRUÇÃO DE RESIDÊNCIA", "Construção de residência unifamiliar de 98 m²."},
        {"0002", "LICENÇA PARA REFORMA E AMPLIAÇÃO", "Ampliação de imóvel comercial, projeto anexo."},
        {"0003", "ALVARÁ DE FUNCIONAMENTO DE COMÉRCIO", "Abertura de mercearia no bairro Ponta Grossa."},
        {"0003", "RENOVAÇÃO DE ALVARÁ", "Renovação anual do alvará de funcionamento."},
        {"0004", "FÉRIAS REGULAMENTARES", "Requer gozo de férias a partir do mês seguinte."},
        {"0005", "CERTIDÃO NEGATIVA DE DÉBITOS MUNICIPAIS", "Certidão para participação em licitação."},
        {"0006", "RECURSO CONTRA AUTO DE INFRAÇÃO", "Recorre da multa aplicada pela fiscalização."},
        {"0006", "RECURSO DE MULTA DE TRÂNSITO MUNICIPAL",
         "Alega que o veículo estava estacionado em vaga própria."}};
    static const char* const dispatches[] = {"Encaminho para análise e parecer.",
                                             "Ao setor competente para as providências cabíveis.",
                                             "Para conhecimento e manifestação no prazo regulamentar.",
                                             "Segue para instrução, conforme solicitado.",
                                             "Devolvo com o parecer anexo, para decisão.",
                                             "Encaminho para conferência da documentação apresentada.",
                                             "Para emissão da certidão requerida.",
                                             "Retorne ao protocolo após a vistoria."};
    static const char* const archiveReasons[] = {"Pedido atendido.", "Processo concluído.",
                                                 "Certidão entregue ao requerente.",
                                                 "Desistência do requerente."};
    static const char* const unarchiveReasons[] = {"Requerente apresentou novos documentos.",
                                                   "Reaberto a pedido do Gabinete.",
                                                   "Recurso apresentado dentro do prazo."};
    const char* const applicants[] = {"000001", "000002", "000003", "000004", "000005", "000006"};

    // Registration days spread over the last two years, oldest first.
    const int count = 320;
    QList<QDateTime> days;
    for (int i = 0; i < count; ++i) {
        const QDate day = now.date().addDays(-1 - dice.below(729));
        days << officeTime(QDateTime(day, QTime(8, 0).addSecs(dice.below(9 * 3600))), 0);
    }
    std::sort(days.begin(), days.end());

    QList<DemoProcess> processes;
    QHash<QString, int> sequence; // MMDD -> last sequence of that day-month, of any year
    for (int i = 0; i < count; ++i) {
        if (days[i] >= now) continue;
        DemoProcess p;
        p.registered = days[i];
        const QString mmdd = p.registered.toString(QStringLiteral("MMdd"));
        const int seq = ++sequence[mmdd];
        p.number = mmdd + QStringLiteral("%1").arg(seq, 4, 10, QLatin1Char('0'));
        p.year = QString::number(p.registered.date().year());
        const auto& s = dice.pick(subjects);
        p.type = QString::fromLatin1(s[0]);
        p.subject = text(s[1]);
        p.instruction = text(s[2]);
        p.applicant = QString::fromLatin1(dice.pick(applicants));
        p.holder = dice.chance(70) ? p.applicant : QString::fromLatin1(dice.pick(applicants));
        p.user = dice.chance(85) ? QStringLiteral("00000002") : QStringLiteral("00000001");
        p.rg = dice.chance(60) ? QStringLiteral("X") : QStringLiteral("N");
        p.cpf = dice.chance(60) ? QStringLiteral("X") : QStringLiteral("N");
        p.residence = dice.chance(40) ? QStringLiteral("X") : QStringLiteral("N");
        p.workCard = dice.chance(10) ? QStringLiteral("X") : QStringLiteral("N");
        if (dice.chance(30)) p.documents = text("Procuração e cópia do contrato social.");
        processes << p;
    }
    // The long subject and dispatch sit on a recent process, where the searches open first.
    const int longOne = int(processes.size()) - 25;
    processes[longOne].subject = longSubject();
    processes[longOne].type = QStringLiteral("0001");
    processes[longOne].instruction = longDispatch();

    for (int i = 0; i < processes.size(); ++i) {
        const DemoProcess& p = processes.at(i);
        // The last few registered by the clerk are still on her desk, not yet sent.
        if (i >= processes.size() - 6 && p.user == QLatin1String("00000002")) continue;
        const qint64 age = p.registered.daysTo(now);
        int holder = p.user == QLatin1String("00000001") ? 0 : 1;
        QDateTime t = p.registered;
        // Old processes took their few steps and were mostly archived; recent ones are still moving,
        // the newest until today, so that the desks hold fresh work besides a few overdue processes.
        const bool old = age > 90;
        const int steps = old ? 1 + dice.below(5) : age <= 45 ? 30 : 2 + dice.below(8);
        for (int step = 0; step < steps; ++step) {
            t = officeTime(t, step == 0 ? 10 + dice.below(240) : 30 + dice.below((old ? 9 : 3) * 24 * 60));
            if (t >= now) break;
            DemoMovement m;
            m.process = i;
            m.from = holder;
            do
                m.user = dice.below(4);
            while (m.user == holder);
            m.sent = t;
            m.dispatch = i == longOne && step == 0 ? longDispatch() : text(dice.pick(dispatches));
            // Received electronically, usually the same day or the next; a process on its way
            // may still be waiting for it.
            const QDateTime received = officeTime(t, 5 + dice.below(2 * 24 * 60));
            const bool last = step == steps - 1;
            if (received >= now || (last && !old && dice.chance(12))) {
                *movements << m;
                break;
            }
            m.received = received;
            t = received;
            if (dice.chance(70)) {
                const QDateTime physical = officeTime(received, dice.below(24 * 60));
                if (physical < now) {
                    m.physical = physical;
                    t = std::max(t, physical);
                }
            }
            if (!last && dice.chance(4)) {
                // Archived too early and taken out again before it went on.
                m.archived = officeTime(t, 30 + dice.below(3 * 24 * 60));
                m.unarchived = officeTime(m.archived, 60 + dice.below(10 * 24 * 60));
                if (m.unarchived >= now) {
                    m.archived = QDateTime();
                    m.unarchived = QDateTime();
                } else {
                    m.archiveReason = text(dice.pick(archiveReasons));
                    m.unarchiveReason = text(dice.pick(unarchiveReasons));
                    t = m.unarchived;
                }
            } else if (last && dice.chance(old ? 95 : 30)) {
                const QDateTime archived = officeTime(t, 30 + dice.below(5 * 24 * 60));
                if (archived < now) {
                    m.archived = archived;
                    m.archiveReason = text(dice.pick(archiveReasons));
                    const QDateTime unarchived = officeTime(archived, 60 + dice.below(20 * 24 * 60));
                    if (dice.chance(old ? 5 : 15) && unarchived < now) {
                        m.unarchived = unarchived;
                        m.unarchiveReason = text(dice.pick(unarchiveReasons));
                    }
                }
            }
            *movements << m;
            holder = m.user;
        }
    }
    return processes;
}

QVariant orNull(const QString& s) {
    return s.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(s);
}

QVariant dateOf(const QDateTime& t) {
    return t.isValid() ? QVariant(t.date()) : QVariant(QMetaType::fromType<QDate>());
}

QVariant timeOf(const QDateTime& t) {
    return t.isValid() ? QVariant(t.time()) : QVariant(QMetaType::fromType<QTime>());
}

// Deadlines, processes and movements, through the same triggers as the windows' own writes, so
// that ULTIMA_TRAMITACAO comes out as the program keeps it. Register numbers follow the sending
// order, as the routing form hands them out.
bool addDemoHistory(QSqlDatabase& connection, const QDateTime& now, QString* errorText) {
    auto fail = [errorText](const QSqlQuery& q, const char* table) {
        if (errorText)
            *errorText = q.lastError().text() + QStringLiteral(" (") + QString::fromLatin1(table) +
                         QStringLiteral(")");
        return false;
    };
    QSqlQuery deadline(connection);
    deadline.prepare(QStringLiteral("INSERT INTO PRAZOS_TIPOPROCESSO (IDTIPO, DIAS) VALUES (?, ?)"));
    for (const auto& d : kDeadlines) {
        deadline.addBindValue(QString::fromLatin1(d[0]));
        deadline.addBindValue(QString::fromLatin1(d[1]).toInt());
        if (!deadline.exec()) return fail(deadline, "PRAZOS_TIPOPROCESSO");
    }

    Dice dice;
    QList<DemoMovement> movements;
    const QList<DemoProcess> processes = demoProcesses(now, dice, &movements);

    QSqlQuery ins(connection);
    ins.prepare(QStringLiteral(
        "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, IDTITULAR, IDREQUERENTE, ASSUNTO, PROCESSO, RG, "
        "CPF, COMPROVANTE_RESIDENCIA, CARTEIRA_PROFISSIONAL, IDTIPOPROCESSO, COD_USUARIO, "
        "DOCUMENTOS_ANEXADOS) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const DemoProcess& p : processes) {
        for (const QVariant& v :
             {QVariant(p.number), QVariant(p.year), dateOf(p.registered), timeOf(p.registered),
              QVariant(p.holder), QVariant(p.applicant), QVariant(p.subject), QVariant(p.instruction),
              QVariant(p.rg), QVariant(p.cpf), QVariant(p.residence), QVariant(p.workCard), QVariant(p.type),
              QVariant(p.user), orNull(p.documents)})
            ins.addBindValue(v);
        if (!ins.exec()) return fail(ins, "PROCESSOS");
    }

    std::stable_sort(movements.begin(), movements.end(),
                     [](const DemoMovement& a, const DemoMovement& b) { return a.sent < b.sent; });
    QSqlQuery move(connection);
    move.prepare(QStringLiteral(
        "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDUNIDADE, COD_USUARIO_DESTINO, COD_USUARIO, "
        "DATA, "
        "HORA, DESPACHO, DATA_RECEBIMENTO, HORA_RECEBIMENTO, DATA_RECEBIMENTO_FISICO, "
        "HORA_RECEBIMENTO_FISICO, "
        "DATA_ARQUIVAMENTO, HORA_ARQUIVAMENTO, MOTIVO_ARQUIVAMENTO, DATA_DESARQUIVAMENTO, "
        "HORA_DESARQUIVAMENTO, "
        "MOTIVO_DESARQUIVAMENTO) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    int registro = 0;
    for (const DemoMovement& m : movements) {
        const DemoProcess& p = processes.at(m.process);
        for (const QVariant& v :
             {QVariant(QStringLiteral("%1").arg(++registro, 8, 10, QLatin1Char('0'))), QVariant(p.number),
              QVariant(p.year), QVariant(QString::fromLatin1(kUsers[m.user].unit)),
              QVariant(QString::fromLatin1(kUsers[m.user].code)),
              QVariant(QString::fromLatin1(kUsers[m.from].code)), dateOf(m.sent), timeOf(m.sent),
              QVariant(m.dispatch), dateOf(m.received), timeOf(m.received), dateOf(m.physical),
              timeOf(m.physical), dateOf(m.archived), timeOf(m.archived), orNull(m.archiveReason),
              dateOf(m.unarchived), timeOf(m.unarchived), orNull(m.unarchiveReason)})
            move.addBindValue(v);
        if (!move.exec()) return fail(move, "TRAMITACAO");
    }
    return true;
}

} // namespace

bool addDemoData(QSqlDatabase& connection, QString* errorText, const QDateTime& now) {
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
    if (ok) ok = addDemoHistory(connection, now, errorText);
    if (ok && !connection.commit()) {
        ok = false;
        if (errorText) *errorText = connection.lastError().text();
    }
    if (!ok) connection.rollback();
    return ok;
}

} // namespace db
