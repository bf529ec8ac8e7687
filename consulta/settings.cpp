#include "consulta/settings.h"

#include <QFileInfo>
#include <QSettings>

namespace consulta {

bool loadSettings(const QString& path, Settings* s, QString* errorText) {
    const auto fail = [&](const QString& text) {
        if (errorText) *errorText = text;
        return false;
    };
    if (!QFileInfo(path).isReadable())
        return fail(QStringLiteral("Arquivo de configuração não encontrado ou sem permissão de leitura: %1")
                        .arg(path));
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return fail(QStringLiteral("Arquivo de configuração inválido: %1").arg(path));
    Settings out;
    out.database = ini.value(QStringLiteral("banco/local")).toString().trimmed();
    out.user = ini.value(QStringLiteral("banco/usuario")).toString().trimmed();
    out.password = ini.value(QStringLiteral("banco/senha")).toString();
    out.listenAddress = ini.value(QStringLiteral("servico/endereco"), out.listenAddress).toString().trimmed();
    bool ok = true;
    const int port = ini.value(QStringLiteral("servico/porta"), out.port).toInt(&ok);
    if (!ok || port < 0 || port > 65535) return fail(QStringLiteral("Porta inválida em %1.").arg(path));
    out.port = quint16(port);
    out.publicAddress = ini.value(QStringLiteral("servico/endereco_publico")).toString().trimmed();
    out.lookupsPerMinute =
        ini.value(QStringLiteral("servico/consultas_por_minuto"), out.lookupsPerMinute).toInt();
    out.trustedProxy =
        ini.value(QStringLiteral("servico/proxy_confiavel"), out.trustedProxy).toString().trimmed();
    out.threads = qBound(1, ini.value(QStringLiteral("servico/linhas_de_execucao"), out.threads).toInt(), 64);
    out.maxConnections =
        qBound(1, ini.value(QStringLiteral("servico/conexoes_maximas"), out.maxConnections).toInt(), 10000);
    out.connectionsPerAddress = qBound(
        1, ini.value(QStringLiteral("servico/conexoes_por_endereco"), out.connectionsPerAddress).toInt(),
        10000);
    out.timeoutSeconds =
        qBound(1, ini.value(QStringLiteral("servico/tempo_limite"), out.timeoutSeconds).toInt(), 600);
    if (out.database.isEmpty()) return fail(QStringLiteral("Falta [banco] local em %1.").arg(path));
    if (out.user.isEmpty()) return fail(QStringLiteral("Falta [banco] usuario em %1.").arg(path));
    // The service faces the public: it must never hold the keys of the whole database.
    if (out.user.compare(QStringLiteral("SYSDBA"), Qt::CaseInsensitive) == 0)
        return fail(QStringLiteral(
            "O serviço de consulta não usa o SYSDBA: crie um usuário só de leitura (README)."));
    *s = out;
    return true;
}

} // namespace consulta
