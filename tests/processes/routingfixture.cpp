#include "tests/processes/routingfixture.h"

#include "core/routing.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

namespace testsupport {

void addRoutingOffice(TestDatabase& db) {
    db.insert(QStringLiteral("UNIDADES"), {{"IDUNIDADE", "0002"}, {"UNIDADE", "ADMINISTRAÇÃO"}});
    db.insert(QStringLiteral("UNIDADES"), {{"IDUNIDADE", "0003"}, {"UNIDADE", "SAÚDE"}});
    const QList<QStringList> users{{"00000001", "ADMINISTRADOR", "0002"},
                                   {"00000002", "CARLA MENDES ROCHA", "0002"},
                                   {"00000003", "PAULO ROBERTO NUNES", "0003"},
                                   {"00000004", "LÚCIA HELENA ARAÚJO", "0003"},
                                   {"00000005", "JOÃO D'ÁVILA", "0003"}};
    for (const QStringList& u : users)
        db.insert(QStringLiteral("USUARIOS"), {{"COD_USUARIO", u.at(0)},
                                               {"USUARIO", u.at(1)},
                                               {"PROTOCOLISTA", "SIM"},
                                               {"IDUNIDADE", u.at(2)}});
    db.insert(QStringLiteral("PROCESSOS"), {{"IDPROCESSO", "00000001"},
                                            {"ANO", "2019"},
                                            {"ASSUNTO", "PEDIDO DE ALVARÁ"},
                                            {"PROCESSO", "Requer alvará de funcionamento."},
                                            {"COD_USUARIO", "00000001"}});
    db.insert(QStringLiteral("PROCESSOS"), {{"IDPROCESSO", "00000002"},
                                            {"ANO", "2019"},
                                            {"ASSUNTO", "CERTIDÃO NEGATIVA"},
                                            {"COD_USUARIO", "00000001"}});
    db.insert(QStringLiteral("PROCESSOS"), {{"IDPROCESSO", "00000001"},
                                            {"ANO", "2018"},
                                            {"ASSUNTO", "LICENÇA DE OBRA"},
                                            {"COD_USUARIO", "00000001"}});
}

static QVariant dateOrNull(const QDate& d) {
    return d.isValid() ? QVariant(d) : QVariant(QMetaType(QMetaType::QDate));
}

static QVariant timeOrNull(const QDate& d) {
    return d.isValid() ? QVariant(QTime(9, 0, 0)) : QVariant(QMetaType(QMetaType::QTime));
}

void addMovement(TestDatabase& db, const MovementRow& r) {
    db.exec(QStringLiteral(
                "INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, COD_USUARIO, COD_USUARIO_DESTINO, DATA, "
                "HORA, IDUNIDADE, DESPACHO, DATA_RECEBIMENTO, HORA_RECEBIMENTO, DATA_RECEBIMENTO_FISICO, "
                "HORA_RECEBIMENTO_FISICO, DATA_ARQUIVAMENTO, HORA_ARQUIVAMENTO, DATA_DESARQUIVAMENTO, "
                "HORA_DESARQUIVAMENTO) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {r.registro, r.process, r.year, r.from, r.to, r.date, r.time, r.unit, r.dispatch,
             dateOrNull(r.received), timeOrNull(r.received), dateOrNull(r.physicallyReceived),
             timeOrNull(r.physicallyReceived), dateOrNull(r.archived), timeOrNull(r.archived),
             dateOrNull(r.unarchived), timeOrNull(r.unarchived)});
}

MovementRow withStamps(MovementRow row, const QString& letters) {
    const QDate day(2019, 3, 2);
    if (letters.contains(QLatin1Char('R'))) row.received = day;
    if (letters.contains(QLatin1Char('F'))) row.physicallyReceived = day;
    if (letters.contains(QLatin1Char('A'))) row.archived = day;
    if (letters.contains(QLatin1Char('D'))) row.unarchived = day;
    return row;
}

QStringList pendingRegisters(TestDatabase& db, const QString& user) {
    QStringList out;
    QSqlQuery q(db.connection());
    q.setForwardOnly(true);
    if (!q.prepare(core::routing::pendingQuery())) {
        QTest::qFail(qPrintable(q.lastError().text()), __FILE__, __LINE__);
        return out;
    }
    q.bindValue(QStringLiteral(":UM"), user);
    if (!q.exec()) {
        QTest::qFail(qPrintable(q.lastError().text()), __FILE__, __LINE__);
        return out;
    }
    while (q.next())
        out << q.value(0).toString();
    return out;
}

} // namespace testsupport
