#pragma once

#include <QSqlDatabase>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

namespace testsupport {

// A fresh database built from the project's schema in a temporary folder, opened as the
// program's main connection (sqlConnectionPrincipal). Removed with the object.
class TestDatabase {
public:
    // withFirstUser: adds user 00000001 (password "admin") with every grant.
    explicit TestDatabase(bool withFirstUser = false);
    ~TestDatabase();

    bool isValid() const { return m_valid; }
    QString errorText() const { return m_error; }
    QString path() const { return m_path; }
    QString folder() const { return m_dir.path(); }
    QSqlDatabase connection() const;

    // Runs a statement with bound values; fails the current test when it fails.
    bool exec(const QString& sql, const QVariantList& values = {});
    // First column of the first row (invalid when none).
    QVariant scalar(const QString& sql, const QVariantList& values = {});
    // All rows, each as a list of values in column order.
    QList<QVariantList> rows(const QString& sql, const QVariantList& values = {});
    bool insert(const QString& table, const QVariantMap& values);

    // A second connection to the same file, as another workstation would hold.
    QSqlDatabase openSecondConnection(const QString& name);

private:
    QTemporaryDir m_dir;
    QString m_path;
    QString m_error;
    bool m_valid = false;
    QStringList m_extraConnections;
};

} // namespace testsupport

// Use at the start of a test function: QVERIFY_DB(db) fails with the driver's text.
#define QVERIFY_DB(db) QVERIFY2((db).isValid(), qPrintable((db).errorText()))
