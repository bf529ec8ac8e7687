// protocolo-initdb [--demo] [--admin-password-stdin | --admin-password PASSWORD] DATABASE_FILE
//
// The first user's password is asked on the terminal without echo, or read as one line from
// standard input with --admin-password-stdin. --admin-password still works for old scripts, but
// a password on the command line is visible to every user of the machine in the process list.
// Whatever fails after the creation started, the new database is removed again, so that a
// second run does not stop at "já existe".
#include "core/connection.h"
#include "db/database.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace {

void fail(const QString& text) {
    std::fprintf(stderr, "protocolo-initdb: %s\n", qPrintable(text));
}

std::optional<QString> readLine(std::istream& in) {
    std::string line;
    if (!std::getline(in, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return QString::fromStdString(line);
}

// Asks on the terminal with echo off; the terminal's settings are restored in every case.
std::optional<QString> askHidden(const char* prompt) {
    std::fprintf(stderr, "%s", prompt);
    std::fflush(stderr);
    termios saved{};
    const bool terminal = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::optional<QString> line = readLine(std::cin);
    if (terminal) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fprintf(stderr, "\n");
    return line;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Cria um banco de dados novo do Protocolo. A senha do usuário 00000001 é pedida no "
                       "terminal sem eco, ou lida da entrada padrão com --admin-password-stdin."));
    parser.addHelpOption();
    QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Inclui dados de demonstração."));
    QCommandLineOption fromStdin(
        QStringLiteral("admin-password-stdin"),
        QStringLiteral("Lê a senha do usuário 00000001 da primeira linha da entrada padrão."));
    QCommandLineOption password(
        QStringLiteral("admin-password"),
        QStringLiteral("Senha do usuário 00000001 na linha de comando (desaconselhado: "
                       "fica visível na lista de processos da máquina)."),
        QStringLiteral("PASSWORD"));
    parser.addOption(demo);
    parser.addOption(fromStdin);
    parser.addOption(password);
    parser.addPositionalArgument(QStringLiteral("DATABASE_FILE"), QStringLiteral("Arquivo a criar."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        std::fprintf(stderr, "%s", qPrintable(parser.helpText()));
        return 2;
    }
    QString location = parser.positionalArguments().first();
    if (!location.contains(QLatin1Char(':')) || location.indexOf(QLatin1Char(':')) == 1)
        location = QFileInfo(location).absoluteFilePath();

    // The password, before anything is created. There is no default: a database whose first user
    // has a password nobody chose is open to anyone who read this program's guide.
    std::optional<QString> adminPassword;
    if (parser.isSet(password) && parser.isSet(fromStdin)) {
        fail(QStringLiteral("use --admin-password-stdin ou --admin-password, não os dois."));
        return 2;
    }
    if (parser.isSet(password)) {
        adminPassword = parser.value(password);
    } else if (parser.isSet(fromStdin)) {
        adminPassword = readLine(std::cin);
        if (!adminPassword) {
            fail(QStringLiteral("a entrada padrão terminou antes da senha."));
            return 2;
        }
    } else if (isatty(STDIN_FILENO)) {
        adminPassword = askHidden("Senha do usuário 00000001: ");
        const std::optional<QString> again = askHidden("Confirme a senha: ");
        if (!adminPassword || !again || *adminPassword != *again) {
            fail(QStringLiteral("as senhas digitadas não conferem; nada foi criado."));
            return 2;
        }
    } else {
        fail(QStringLiteral("informe a senha do usuário 00000001: rode num terminal para digitá-la, ou use "
                            "--admin-password-stdin."));
        return 2;
    }
    if (adminPassword->isEmpty()) {
        fail(QStringLiteral("a senha do usuário 00000001 não pode ser vazia."));
        return 2;
    }
    // Checked before the file exists, so that a refused password leaves nothing behind.
    QString error = db::firstUserPasswordProblem(*adminPassword);
    if (!error.isEmpty()) {
        fail(error);
        return 2;
    }

    // A file of this machine that is not there now and is there after a failed creation is the
    // half-written rest of this run (a full disk): removed. A server location is removed only
    // when the creation itself succeeded, since it may name a database that already existed.
    const int colon = location.indexOf(QLatin1Char(':'));
    const bool localFile = colon < 0 || colon == 1;
    const bool existedBefore = localFile && QFileInfo::exists(location);
    bool created = false;
    if (!db::createDatabase(location, &error, &created)) {
        if (!created) {
            if (existedBefore || error.contains(QStringLiteral("já existe"))) {
                fail(error);
                return 1;
            }
            const bool leftOver = localFile && QFileInfo::exists(location) && !QFile::remove(location);
            fail(QStringLiteral("não foi possível criar o banco %1; %2 Motivo informado pelo Firebird: %3")
                     .arg(location,
                          leftOver ? QStringLiteral("apague o arquivo que ficou antes de tentar de novo.")
                                   : QStringLiteral("nada ficou gravado."),
                          error));
            return 1;
        }
        QString dropError;
        db::dropDatabase(location, &dropError);
        fail(QStringLiteral("não foi possível criar o banco %1; nada ficou gravado. Motivo informado pelo "
                            "Firebird: %2")
                 .arg(location, error));
        return 1;
    }
    bool ok = true;
    {
        QSqlDatabase conn = core::openNamedConnection(QStringLiteral("initdb"), location, &error);
        ok = conn.isOpen() && db::addFirstUser(conn, *adminPassword, &error);
        if (ok && parser.isSet(demo)) ok = db::addDemoData(conn, &error);
        conn.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("initdb"));
    if (!ok) {
        QString dropError;
        const bool dropped = db::dropDatabase(location, &dropError);
        fail(QStringLiteral("os dados iniciais do banco %1 não puderam ser gravados (%2). %3")
                 .arg(location, error,
                      dropped
                          ? QStringLiteral("O banco foi removido; nada ficou gravado.")
                          : QStringLiteral("O banco não pôde ser removido (%1); apague-o antes de tentar de "
                                           "novo.")
                                .arg(dropError)));
        return 1;
    }
    std::printf("Banco criado: %s\n", qPrintable(location));
    return 0;
}
