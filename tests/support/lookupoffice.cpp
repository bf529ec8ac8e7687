#include "tests/support/lookupoffice.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTime>

namespace testsupport {

namespace {

void insert(const QSqlDatabase& conn, const QString& table, const QVariantMap& values) {
    QStringList marks;
    for (int i = 0; i < values.size(); ++i)
        marks << QStringLiteral("?");
    QSqlQuery q(conn);
    q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(table, values.keys().join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec())
        QTest::qFail(
            qPrintable(QStringLiteral("SQL falhou: %1 (%2)").arg(q.lastQuery(), q.lastError().text())),
            __FILE__, __LINE__);
}

void addProcess(const QSqlDatabase& db, const QString& number, const QString& year, const QDate& date) {
    insert(db, QStringLiteral("PROCESSOS"),
           {{QStringLiteral("IDPROCESSO"), number},
            {QStringLiteral("ANO"), year},
            {QStringLiteral("DATA"), date},
            {QStringLiteral("HORA"), QTime(9, 30)},
            {QStringLiteral("IDTITULAR"), QStringLiteral("000001")},
            {QStringLiteral("IDREQUERENTE"), QStringLiteral("000001")},
            {QStringLiteral("ASSUNTO"), QStringLiteral("PEDIDO SIGILOSO")},
            {QStringLiteral("PROCESSO"), QStringLiteral("Instrução com dados de MARIA DA SILVA")},
            {QStringLiteral("IDTIPOPROCESSO"), QStringLiteral("0001")},
            {QStringLiteral("COD_USUARIO"), QStringLiteral("00000001")}});
}

int g_registro = 0;

void addMovement(const QSqlDatabase& db, const QString& number, const QString& year, const QString& unit,
                 const QDate& sent, const QDate& received = {}, const QDate& archived = {}) {
    insert(db, QStringLiteral("TRAMITACAO"),
           {{QStringLiteral("REGISTRO"), QString::number(++g_registro).rightJustified(8, QLatin1Char('0'))},
            {QStringLiteral("IDPROCESSO"), number},
            {QStringLiteral("ANO"), year},
            {QStringLiteral("COD_USUARIO_DESTINO"), QStringLiteral("00000001")},
            {QStringLiteral("COD_USUARIO"), QStringLiteral("00000001")},
            {QStringLiteral("DATA"), sent},
            {QStringLiteral("HORA"), QTime(10, 0)},
            {QStringLiteral("DESPACHO"), QStringLiteral("DESPACHO INTERNO")},
            {QStringLiteral("DATA_RECEBIMENTO"),
             received.isValid() ? QVariant(received) : QVariant(QMetaType(QMetaType::QDate))},
            {QStringLiteral("DATA_ARQUIVAMENTO"),
             archived.isValid() ? QVariant(archived) : QVariant(QMetaType(QMetaType::QDate))},
            {QStringLiteral("MOTIVO_ARQUIVAMENTO"), archived.isValid()
                                                        ? QVariant(QStringLiteral("MOTIVO PESSOAL"))
                                                        : QVariant(QMetaType(QMetaType::QString))},
            {QStringLiteral("IDUNIDADE"), unit}});
}

} // namespace

void addLookupOffice(const QSqlDatabase& db) {
    g_registro = 0;
    insert(db, QStringLiteral("INTERESSADOS"),
           {{QStringLiteral("IDINTERESSADO"), QStringLiteral("000001")},
            {QStringLiteral("INTERESSADO"), QStringLiteral("MARIA DA SILVA")},
            {QStringLiteral("CPF"), QStringLiteral("123.456.789-09")}});
    insert(db, QStringLiteral("TIPOPROCESSO"),
           {{QStringLiteral("IDTIPO"), QStringLiteral("0001")},
            {QStringLiteral("TIPO"), QStringLiteral("REQUERIMENTO")}});
    insert(db, QStringLiteral("USUARIOS"),
           {{QStringLiteral("COD_USUARIO"), QStringLiteral("00000001")},
            {QStringLiteral("USUARIO"), QStringLiteral("JOSE CLERK")},
            {QStringLiteral("IDUNIDADE"), QStringLiteral("0001")}});
    const QStringList units{QStringLiteral("SECRETARIA DE OBRAS"), QStringLiteral("FINANCAS"),
                            QStringLiteral("GABINETE")};
    for (int i = 0; i < units.size(); ++i)
        insert(db, QStringLiteral("UNIDADES"),
               {{QStringLiteral("IDUNIDADE"), QString::number(i + 1).rightJustified(4, QLatin1Char('0'))},
                {QStringLiteral("UNIDADE"), units.at(i)}});
    const QString y = QStringLiteral("2026");
    addProcess(db, QStringLiteral("00000001"), y, QDate(2026, 2, 1));
    addProcess(db, QStringLiteral("00000002"), y, QDate(2026, 2, 2));
    addMovement(db, QStringLiteral("00000002"), y, QStringLiteral("0001"), QDate(2026, 2, 3),
                QDate(2026, 2, 4));
    addMovement(db, QStringLiteral("00000002"), y, QStringLiteral("0002"), QDate(2026, 2, 10),
                QDate(2026, 2, 11));
    addMovement(db, QStringLiteral("00000002"), y, QStringLiteral("0003"), QDate(2026, 3, 1),
                QDate(2026, 3, 5));
    addProcess(db, QStringLiteral("00000003"), y, QDate(2026, 3, 2));
    addMovement(db, QStringLiteral("00000003"), y, QStringLiteral("0002"), QDate(2026, 3, 3),
                QDate(2026, 3, 4), QDate(2026, 4, 1));
    addProcess(db, QStringLiteral("00000004"), y, QDate(2026, 1, 5));
    for (int i = 0; i < 25; ++i)
        addMovement(db, QStringLiteral("00000004"), y,
                    i % 2 ? QStringLiteral("0002") : QStringLiteral("0001"), QDate(2026, 1, 6).addDays(i),
                    i < 24 ? QDate(2026, 1, 6).addDays(i) : QDate());
    addProcess(db, QStringLiteral("00000002"), QStringLiteral("2025"), QDate(2025, 6, 1));
}

} // namespace testsupport
