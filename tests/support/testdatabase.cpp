#include "tests/support/testdatabase.h"

#include "core/connection.h"
#include "core/readquery.h"
#include "db/database.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace testsupport {

TestDatabase::TestDatabase(bool withFirstUser) {
    m_path = m_dir.filePath(QStringLiteral("KORVALIS_PROTOCOLO.fdb"));
    if (!db::createDatabase(m_path, &m_error)) return;
    core::ConnectionTarget target;
    target.database = m_path;
    target.userName = QString::fromLatin1(core::kDbaUser);
    target.workingFolder = m_dir.path();
    if (!core::openMainConnection(target, &m_error)) return;
    if (withFirstUser) {
        QSqlDatabase conn = connection();
        if (!db::addFirstUser(conn, QStringLiteral("admin"), &m_error)) return;
    }
    m_valid = true;
}

TestDatabase::~TestDatabase() {
    for (const QString& name : m_extraConnections) {
        core::releaseReads(QSqlDatabase::database(name, false));
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    core::releaseReads(core::mainConnection());
    core::mainConnection().close();
}

QSqlDatabase TestDatabase::connection() const {
    return core::mainConnection();
}

static bool run(QSqlQuery& q, const QString& sql, const QVariantList& values) {
    q.setForwardOnly(true);
    if (!q.prepare(sql)) return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}

bool TestDatabase::exec(const QString& sql, const QVariantList& values) {
    QSqlQuery q(connection());
    if (!run(q, sql, values)) {
        QTest::qFail(qPrintable(QStringLiteral("SQL falhou: %1 (%2)").arg(sql, q.lastError().text())),
                     __FILE__, __LINE__);
        return false;
    }
    return true;
}

QVariant TestDatabase::scalar(const QString& sql, const QVariantList& values) {
    QSqlQuery q(connection());
    if (!run(q, sql, values)) {
        QTest::qFail(qPrintable(QStringLiteral("SQL falhou: %1 (%2)").arg(sql, q.lastError().text())),
                     __FILE__, __LINE__);
        return {};
    }
    return q.next() ? q.value(0) : QVariant();
}

QList<QVariantList> TestDatabase::rows(const QString& sql, const QVariantList& values) {
    QList<QVariantList> out;
    QSqlQuery q(connection());
    if (!run(q, sql, values)) {
        QTest::qFail(qPrintable(QStringLiteral("SQL falhou: %1 (%2)").arg(sql, q.lastError().text())),
                     __FILE__, __LINE__);
        return out;
    }
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i);
        out << row;
    }
    return out;
}

bool TestDatabase::insert(const QString& table, const QVariantMap& values) {
    QStringList marks;
    for (int i = 0; i < values.size(); ++i)
        marks << QStringLiteral("?");
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(table, values.keys().join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    return exec(sql, values.values());
}

QSqlDatabase TestDatabase::openSecondConnection(const QString& name) {
    QString error;
    QSqlDatabase db = core::openNamedConnection(name, m_path, &error);
    if (!db.isOpen())
        QTest::qFail(qPrintable(QStringLiteral("Segunda conexão falhou: %1").arg(error)), __FILE__, __LINE__);
    m_extraConnections << name;
    return db;
}

} // namespace testsupport
