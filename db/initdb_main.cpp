// protocolo-initdb [--demo] [--admin-password PASSWORD] DATABASE_FILE
#include "core/connection.h"
#include "db/database.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Cria um banco de dados novo do Protocolo."));
    parser.addHelpOption();
    QCommandLineOption demo(QStringLiteral("demo"), QStringLiteral("Inclui dados de demonstração."));
    QCommandLineOption password(QStringLiteral("admin-password"),
                                QStringLiteral("Senha do usuário 00000001 (padrão: admin)."),
                                QStringLiteral("PASSWORD"), QStringLiteral("admin"));
    parser.addOption(demo);
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

    // Checked before the file exists, so that a refused password leaves nothing behind.
    QString error = db::firstUserPasswordProblem(parser.value(password));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "protocolo-initdb: %s\n", qPrintable(error));
        return 2;
    }
    if (!db::createDatabase(location, &error)) {
        std::fprintf(stderr, "protocolo-initdb: %s\n", qPrintable(error));
        return 1;
    }
    bool ok = true;
    {
        QSqlDatabase conn = core::openNamedConnection(QStringLiteral("initdb"), location, &error);
        ok = conn.isOpen() && db::addFirstUser(conn, parser.value(password), &error);
        if (ok && parser.isSet(demo)) ok = db::addDemoData(conn, &error);
        conn.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("initdb"));
    if (!ok) {
        std::fprintf(stderr, "protocolo-initdb: o banco %s foi criado, mas os dados iniciais falharam: %s\n",
                     qPrintable(location), qPrintable(error));
        return 1;
    }
    std::printf("Banco criado: %s\n", qPrintable(location));
    return 0;
}
