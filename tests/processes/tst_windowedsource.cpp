// The windowed list against the in-memory record set on the same rows: the same order for every
// column, the same nearest-key answers and the same rows at the same places, with blanks, accents,
// mixed case and equal values; and one order for text on screen, in lookups and on paper.
#include "core/collation.h"
#include "forms/common/gridmodel.h"
#include "forms/common/gridsearch.h"
#include "forms/common/lookupdialog.h"
#include "forms/common/recordset.h"
#include "forms/common/windowedsource.h"
#include "forms/processes/pesqdespacho.h"
#include "forms/processes/pesqprocesso.h"
#include "forms/registers/lookups.h"
#include "reports/engine/report.h"
#include "reports/listings/listings.h"
#include "tests/support/testdatabase.h"

#include <QDate>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTime>

using namespace forms;
using testsupport::TestDatabase;

namespace {

// Texts where character codes and the Brazilian order disagree, blanks of every kind and
// repeated values.
const QList<QVariant> kTexts = {
    QStringLiteral("ÁGUA BRANCA"),  QStringLiteral("SECRETARIA"),
    QStringLiteral("agua branca"),  QVariant(),
    QStringLiteral("ÓRGÃO GESTOR"), QStringLiteral(""),
    QStringLiteral("AGUA BRANCA"),  QStringLiteral("Orgao gestor"),
    QStringLiteral("   "),          QStringLiteral("secretaria"),
    QStringLiteral("A B"),          QStringLiteral("A-B"),
    QStringLiteral("AB"),           QStringLiteral("ÇAPATO"),
    QStringLiteral("CASA"),         QStringLiteral("Zélia"),
    QStringLiteral("ZELIA"),        QStringLiteral("SECRETARIA"),
};

QString code(int n, int width) {
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

// 300 processes (a number in up to three years, more than four blocks of rows) over applicants,
// types and users whose names are those texts; links to nothing, to a missing row and to blanks.
void fillProcesses(TestDatabase& db) {
    // One transaction: a commit per row would wait for the disk every time.
    QSqlDatabase connection = db.connection();
    connection.transaction();
    auto commit = qScopeGuard([&connection] { connection.commit(); });
    for (int i = 0; i < kTexts.size(); ++i) {
        db.exec(QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES (?, ?)"),
                {code(i + 1, 6), kTexts.at(i)});
        db.exec(QStringLiteral("INSERT INTO USUARIOS (COD_USUARIO, USUARIO) VALUES (?, ?)"),
                {code(i + 1, 8), kTexts.at((i + 5) % kTexts.size())});
    }
    for (int i = 0; i < 6; ++i)
        db.exec(QStringLiteral("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES (?, ?)"),
                {code(i + 1, 4), kTexts.at(i * 2)});
    const QList<QVariant> links = {QVariant(), QStringLiteral(""), QStringLiteral("999999")};
    QSqlQuery q(db.connection());
    q.prepare(QStringLiteral(
        "INSERT INTO PROCESSOS (IDPROCESSO, ANO, DATA, HORA, IDTITULAR, IDREQUERENTE, ASSUNTO, RG, CPF, "
        "IDTIPOPROCESSO, COD_USUARIO, COMPROVANTE_RESIDENCIA, CARTEIRA_PROFISSIONAL) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int i = 0; i < 300; ++i) {
        const int year = 2017 + (i * 7) % 3;
        q.addBindValue(code(300 - i / 3 * 2 - (i % 3 == 2 ? 1 : 0), 8));
        q.addBindValue(QString::number(year));
        q.addBindValue(i % 11 == 0 ? QVariant(QMetaType(QMetaType::QDate))
                                   : QVariant(QDate(year, 1 + i % 12, 1 + i % 5)));
        q.addBindValue(i % 13 == 0 ? QVariant(QMetaType(QMetaType::QTime))
                                   : QVariant(QTime(8 + i % 3, (i * 7) % 60)));
        q.addBindValue(i % 17 < 3 ? links.at(i % 17) : QVariant(code(1 + i % kTexts.size(), 6)));
        q.addBindValue(code(1 + (i * 5) % kTexts.size(), 6));
        q.addBindValue(kTexts.at((i * 7) % kTexts.size()));
        q.addBindValue(QList<QVariant>{QStringLiteral("X"), QVariant(), QStringLiteral("")}.at(i % 3));
        q.addBindValue(i % 4 == 0 ? QStringLiteral("X") : QStringLiteral(" "));
        q.addBindValue(code(1 + i % 7, 4)); // 0007 is no type
        q.addBindValue(i % 19 == 0 ? QVariant() : QVariant(code(1 + i % kTexts.size(), 8)));
        q.addBindValue(i % 2 ? QStringLiteral("X") : QStringLiteral(""));
        q.addBindValue(QStringLiteral("X"));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
}

// The process search's process number of row i of fillProcesses, and its year.
QString processNumber(int i) {
    return code(300 - i / 3 * 2 - (i % 3 == 2 ? 1 : 0), 8);
}
QString processYear(int i) {
    return QString::number(2017 + (i * 7) % 3);
}

// Those processes, sectors named by the texts, and 400 movements (inserted out of register order)
// between them; links to nothing, to a missing row and to blanks, and a movement of a process
// that does not exist.
void fillDispatches(TestDatabase& db) {
    fillProcesses(db);
    QSqlDatabase connection = db.connection();
    connection.transaction();
    auto commit = qScopeGuard([&connection] { connection.commit(); });
    for (int i = 0; i < kTexts.size(); ++i)
        db.exec(QStringLiteral("INSERT INTO SETORES (IDSETOR, SETOR) VALUES (?, ?)"),
                {code(i + 1, 6), kTexts.at((i + 3) % kTexts.size())});
    const QList<QVariant> links = {QVariant(), QStringLiteral(""), QStringLiteral("99999999")};
    QSqlQuery q(db.connection());
    q.prepare(
        QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, IDSETOR, COD_USUARIO_DESTINO, "
                       "DATA, COD_USUARIO) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (int j = 0; j < 400; ++j) {
        const int r = (j * 37) % 400;
        const int process = (r * 7) % 300;
        q.addBindValue(code(r + 1, 8));
        q.addBindValue(r % 23 == 0 ? QVariant() : QVariant(processNumber(process)));
        q.addBindValue(r % 31 == 0 ? QStringLiteral("2016") : processYear(process));
        q.addBindValue(
            r % 17 < 3 ? QList<QVariant>{QVariant(), QStringLiteral(""), QStringLiteral("999999")}.at(r % 17)
                       : QVariant(code(1 + r % kTexts.size(), 6)));
        q.addBindValue(r % 13 < 3 ? links.at(r % 13) : QVariant(code(1 + (r * 5) % kTexts.size(), 8)));
        q.addBindValue(QDate(2018, 1 + r % 12, 1 + r % 7));
        q.addBindValue(r % 19 == 0 ? QVariant() : QVariant(code(1 + r % kTexts.size(), 8)));
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
}

// The dispatch search's rows, but for the dispatch text the list never reads.
const QString kDispatchQuery = QStringLiteral(
    "SELECT A.REGISTRO, A.IDPROCESSO, A.ANO, A.IDSETOR, A.COD_USUARIO_DESTINO, A.DATA, A.HORA, "
    "A.DATA_RECEBIMENTO, A.HORA_RECEBIMENTO, A.ARQUIVADO, A.COD_USUARIO, B.ASSUNTO, C.SETOR, "
    "D.USUARIO AS USUARIO_DESTINO, E.USUARIO AS USUARIO FROM TRAMITACAO A "
    "LEFT JOIN PROCESSOS B ON A.IDPROCESSO = B.IDPROCESSO AND A.ANO = B.ANO "
    "LEFT JOIN SETORES C ON A.IDSETOR = C.IDSETOR "
    "LEFT JOIN USUARIOS D ON A.COD_USUARIO_DESTINO = D.COD_USUARIO "
    "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO ORDER BY A.REGISTRO");

const QString kProcessQuery = QStringLiteral(
    "SELECT A.IDPROCESSO, A.ANO, A.DATA, A.HORA, A.IDTITULAR, A.IDREQUERENTE, A.ASSUNTO, A.RG, A.CPF, "
    "A.IDTIPOPROCESSO, A.COD_USUARIO, A.COMPROVANTE_RESIDENCIA, A.CARTEIRA_PROFISSIONAL, "
    "B.INTERESSADO AS TITULAR, C.INTERESSADO AS REQUERENTE, D.TIPO AS TIPO_PROCESSO, E.USUARIO "
    "FROM PROCESSOS A LEFT JOIN INTERESSADOS B ON A.IDTITULAR = B.IDINTERESSADO "
    "LEFT JOIN INTERESSADOS C ON A.IDREQUERENTE = C.IDINTERESSADO "
    "LEFT JOIN TIPOPROCESSO D ON A.IDTIPOPROCESSO = D.IDTIPO "
    "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO "
    "WHERE (:P_ANO = '0000' OR A.ANO = :P_ANO) ORDER BY A.IDPROCESSO, A.ANO");

QString rowKey(const RowSource& s, int row) {
    const int registro = s.fieldIndex(QStringLiteral("REGISTRO"));
    if (registro >= 0) return s.valueAt(row, registro).toString();
    return s.valueAt(row, s.fieldIndex(QStringLiteral("IDPROCESSO"))).toString() + QLatin1Char('/') +
           s.valueAt(row, s.fieldIndex(QStringLiteral("ANO"))).toString();
}

// The same rows in memory and in windows, of the process search (of a year) or the dispatch
// search (year empty).
void fillFor(TestDatabase& db, const QString& year) {
    if (year.isEmpty())
        fillDispatches(db);
    else
        fillProcesses(db);
}

WindowedSpec rowsFor(const QString& year) {
    return year.isEmpty() ? processes::dispatchSearchRows() : processes::processSearchRows();
}

bool openInMemory(RecordSet& memory, const QString& year) {
    memory.setQuery(year.isEmpty() ? kDispatchQuery : kProcessQuery);
    if (!year.isEmpty()) memory.setParameter(QStringLiteral("P_ANO"), year);
    return memory.open();
}

QString shown(const RowSource& s, int row, const QString& field) {
    const int f = s.fieldIndex(field);
    return GridModel::displayText(s.valueAt(row, f), s.fieldType(f));
}

} // namespace

class TestWindowedSource : public QObject {
    Q_OBJECT
private slots:
    void sameRowsInTheSameOrder_data();
    void sameRowsInTheSameOrder();
    void sameNearestKey_data();
    void sameNearestKey();
    void joinedNamesOfALargeTable();
    void lostLinksJoinTheFrontKeepingTheCurrentRow();
    void subjectsComeInTheServersOrder();
    void searchAheadOfTheReadingWaitsForItsRows();
    void namesOutOfTheProgramsOrderRankedHere_data();
    void namesOutOfTheProgramsOrderRankedHere();
    void serverAndProgramOrderTextAlike();
    void oneOrderInGridLookupListingAndWindowedList();
    void columnWithoutTheCollationOrderedHere();
    void hiddenDispatchTextNeverRead();
    void queryTypedTextBlobIsText();
};

void TestWindowedSource::sameRowsInTheSameOrder_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("year");
    for (const WindowedField& f : processes::processSearchRows().fields)
        QTest::newRow(qPrintable(f.name)) << f.name << QStringLiteral("0000");
    QTest::newRow("ASSUNTO of 2018") << QStringLiteral("ASSUNTO") << QStringLiteral("2018");
    QTest::newRow("TITULAR of 2019") << QStringLiteral("TITULAR") << QStringLiteral("2019");
    QTest::newRow("key order of 2017") << QString() << QStringLiteral("2017");
    // The dispatch search's names, its subject linked by number and year.
    for (const char* name : {"ASSUNTO", "SETOR", "USUARIO_DESTINO", "USUARIO", "IDSETOR", "DATA"})
        QTest::newRow(qPrintable(QStringLiteral("dispatches by ") + QLatin1String(name)))
            << QString::fromLatin1(name) << QString();
}

void TestWindowedSource::sameRowsInTheSameOrder() {
    QFETCH(QString, field);
    QFETCH(QString, year);
    TestDatabase db;
    QVERIFY_DB(db);
    fillFor(db, year);
    RecordSet memory;
    QVERIFY2(openInMemory(memory, year), qPrintable(memory.lastError()));
    if (!field.isEmpty()) QVERIFY(memory.sortBy(field));
    QVERIFY(memory.rowCount() >= 100);

    // Read forwards, and in a second list backwards from the last row (blocks read in the other
    // direction).
    for (bool backwards : {false, true}) {
        WindowedSource windowed(rowsFor(year));
        windowed.setParameter(QStringLiteral("P_ANO"), year);
        if (!field.isEmpty()) QVERIFY(windowed.sortBy(field));
        QVERIFY2(windowed.open(), qPrintable(windowed.lastError()));
        QVERIFY2(windowed.waitForComplete(), qPrintable(windowed.lastError()));
        QCOMPARE(windowed.rowCount(), memory.rowCount());
        const int n = memory.rowCount();
        for (int i = 0; i < n; ++i) {
            const int row = backwards ? n - 1 - i : i;
            QCOMPARE(rowKey(windowed, row), rowKey(memory, row));
            for (int f = 0; f < memory.fieldCount(); ++f)
                QCOMPARE(shown(windowed, row, memory.fieldName(f)), shown(memory, row, memory.fieldName(f)));
        }
        QVERIFY(windowed.lastError().isEmpty());
    }
}

void TestWindowedSource::sameNearestKey_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("year");
    QTest::newRow("subject, lower case finds its word") << "ASSUNTO"
                                                        << "agua" << QStringLiteral("0000");
    QTest::newRow("subject, accented key") << "ASSUNTO"
                                           << "ÓRG" << QStringLiteral("0000");
    QTest::newRow("subject, middle of the list") << "ASSUNTO"
                                                 << "SECRET" << QStringLiteral("0000");
    QTest::newRow("subject, a blank") << "ASSUNTO"
                                      << " " << QStringLiteral("0000");
    QTest::newRow("subject, past the end") << "ASSUNTO"
                                           << "ZZZ" << QStringLiteral("0000");
    QTest::newRow("subject, punctuation") << "ASSUNTO"
                                          << "A-" << QStringLiteral("0000");
    QTest::newRow("holder name, joined") << "TITULAR"
                                         << "orgao" << QStringLiteral("0000");
    QTest::newRow("holder name, cedilla") << "TITULAR"
                                          << "CA" << QStringLiteral("0000");
    QTest::newRow("user name") << "USUARIO"
                               << "Z" << QStringLiteral("0000");
    QTest::newRow("type name") << "TIPO_PROCESSO"
                               << "s" << QStringLiteral("0000");
    QTest::newRow("process number") << "IDPROCESSO"
                                    << "00000142" << QStringLiteral("0000");
    QTest::newRow("year") << "ANO"
                          << "2018" << QStringLiteral("0000");
    QTest::newRow("date") << "DATA"
                          << "03/06/2018" << QStringLiteral("0000");
    QTest::newRow("date, not a date") << "DATA"
                                      << "ABC" << QStringLiteral("0000");
    QTest::newRow("time") << "HORA"
                          << "9:15" << QStringLiteral("0000");
    QTest::newRow("flag") << "RG"
                          << "X" << QStringLiteral("0000");
    QTest::newRow("flag past every value") << "RG"
                                           << "Y" << QStringLiteral("0000");
    // The dispatch search's names (empty year).
    QTest::newRow("dispatch subject") << "ASSUNTO"
                                      << "orgao" << QString();
    QTest::newRow("dispatch subject, a blank") << "ASSUNTO"
                                               << " " << QString();
    QTest::newRow("dispatch subject, past the end") << "ASSUNTO"
                                                    << "ZZZ" << QString();
    QTest::newRow("dispatch sector") << "SETOR"
                                     << "s" << QString();
    QTest::newRow("dispatch destination user") << "USUARIO_DESTINO"
                                               << "ÇA" << QString();
    QTest::newRow("dispatch sender") << "USUARIO"
                                     << "ZELIA" << QString();
}

void TestWindowedSource::sameNearestKey() {
    QFETCH(QString, field);
    QFETCH(QString, key);
    QFETCH(QString, year);
    TestDatabase db;
    QVERIFY_DB(db);
    fillFor(db, year);
    RecordSet memory;
    QVERIFY(openInMemory(memory, year));
    QVERIFY(memory.sortBy(field));
    // Searched at once, while the list may still be reading, and answered from the rows read so
    // far or left to wait for its rows.
    WindowedSource windowed(rowsFor(year));
    windowed.setSeekWait(0);
    windowed.setParameter(QStringLiteral("P_ANO"), year);
    QVERIFY(windowed.open());
    QVERIFY(windowed.sortBy(field));
    const LocateResult expected = memory.locateNearest(key);
    const LocateResult found = windowed.locateNearest(key);
    // A key whose rows are not read yet is answered as they arrive.
    if (found == LocateResult::Pending)
        QTRY_VERIFY(!windowed.isSeeking());
    else
        QCOMPARE(found, expected);
    // A key that does not fit the column moves nothing.
    if (expected == LocateResult::Incompatible) return;
    // Once read whole (rows whose link finds no name join the front last), the same row.
    QVERIFY(windowed.waitForComplete());
    QCOMPARE(windowed.currentRow(), memory.currentRow());
    QCOMPARE(rowKey(windowed, windowed.currentRow()), rowKey(memory, memory.currentRow()));
    // The windowed list found its row without reading every block.
    QVERIFY(windowed.lastError().isEmpty());
}

// A names table of thousands of names, many of them equal, read in many batches of links: the
// same order and the same nearest rows all the same.
void TestWindowedSource::joinedNamesOfALargeTable() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillProcesses(db);
    {
        QSqlDatabase connection = db.connection();
        connection.transaction();
        QSqlQuery q(connection);
        q.prepare(QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES (?, ?)"));
        for (int i = 0; i < 2100; ++i) {
            q.addBindValue(code(100000 + i, 6));
            q.addBindValue(i % 50 == 0 ? QVariant()
                                       : kTexts.at(i % kTexts.size()).toString() + QString::number(i % 7));
            QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
        }
        // Every fourth process asks through one of them.
        QVERIFY(db.exec(
            QStringLiteral("UPDATE PROCESSOS SET IDREQUERENTE = '1' || SUBSTRING(IDPROCESSO FROM 4 FOR 5) "
                           "WHERE MOD(CAST(IDPROCESSO AS INTEGER), 4) = 0")));
        connection.commit();
    }
    for (const QString& field : {QStringLiteral("TITULAR"), QStringLiteral("REQUERENTE")}) {
        RecordSet memory;
        QVERIFY(openInMemory(memory, QStringLiteral("0000")));
        QVERIFY(memory.sortBy(field));
        WindowedSource windowed(processes::processSearchRows());
        windowed.setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
        QVERIFY(windowed.sortBy(field));
        QVERIFY(windowed.open());
        QVERIFY2(windowed.waitForComplete(), qPrintable(windowed.lastError()));
        QCOMPARE(windowed.rowCount(), memory.rowCount());
        for (int r = 0; r < memory.rowCount(); ++r) {
            QCOMPARE(rowKey(windowed, r), rowKey(memory, r));
            QCOMPARE(shown(windowed, r, field), shown(memory, r, field));
        }
        for (const QString& key :
             {QStringLiteral("SECRETARIA3"), QStringLiteral("orgao"), QStringLiteral(" ")}) {
            const LocateResult expected = memory.locateNearest(key);
            QCOMPARE(windowed.locateNearest(key), expected);
            QCOMPARE(windowed.currentRow(), memory.currentRow());
        }
    }
}

// Rows whose link finds no name are found only once a joined order has been read whole (the
// count of rows read falls short); they then take their place at the front, and the row the user
// stands on stays his row.
void TestWindowedSource::lostLinksJoinTheFrontKeepingTheCurrentRow() {
    TestDatabase db;
    QVERIFY_DB(db);
    fillProcesses(db);
    {
        // Enough applicants and processes that the first screens do not read the whole order.
        QSqlDatabase connection = db.connection();
        connection.transaction();
        QSqlQuery names(connection);
        names.prepare(QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES (?, ?)"));
        QSqlQuery q(connection);
        q.prepare(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, IDTITULAR) VALUES (?, '2020', ?)"));
        for (int j = 0; j < 600; ++j) {
            names.addBindValue(code(200000 + j, 6));
            names.addBindValue(QStringLiteral("PESSOA %1").arg(j, 4, 10, QLatin1Char('0')));
            QVERIFY2(names.exec(), qPrintable(names.lastError().text()));
            for (int k = 0; k < 4; ++k) {
                q.addBindValue(code(10000 + 4 * j + k, 8));
                q.addBindValue(code(200000 + j, 6));
                QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
            }
        }
        // The first key of all, its applicant missing too.
        QVERIFY(db.exec(QStringLiteral(
            "INSERT INTO PROCESSOS (IDPROCESSO, ANO, IDTITULAR) VALUES ('00000000', '2016', '888888')")));
        connection.commit();
    }
    RecordSet memory;
    QVERIFY(openInMemory(memory, QStringLiteral("0000")));
    QVERIFY(memory.sortBy(QStringLiteral("TITULAR")));
    WindowedSource windowed(processes::processSearchRows());
    windowed.setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
    QVERIFY(windowed.sortBy(QStringLiteral("TITULAR")));
    QVERIFY(windowed.open());
    QVERIFY(!windowed.isComplete());
    const int before = windowed.rowCount();
    QVERIFY(before > 10);
    windowed.setCurrentRow(before - 1);
    const QStringList standingOn = windowed.keyAt(before - 1);
    QVERIFY2(windowed.waitForComplete(), qPrintable(windowed.lastError()));
    QCOMPARE(windowed.rowCount(), memory.rowCount());
    for (int r = 0; r < memory.rowCount(); ++r)
        QCOMPARE(rowKey(windowed, r), rowKey(memory, r));
    // The processes of the missing applicant 999999 are among the first rows now.
    int lost = 0;
    for (int r = 0; r < 40 && r < windowed.rowCount(); ++r) {
        const int f = windowed.fieldIndex(QStringLiteral("IDTITULAR"));
        if (f >= 0 && windowed.valueAt(r, f).toString() == QStringLiteral("999999")) ++lost;
    }
    QVERIFY(lost > 0);
    QVERIFY(windowed.currentRow() > before - 1);
    QCOMPARE(windowed.keyAt(windowed.currentRow()), standingOn);

    // A blank key answered before those rows came is the first row still, not the record that
    // was first then.
    WindowedSource searched(processes::processSearchRows());
    searched.setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
    searched.setSeekWait(0);
    QVERIFY(searched.sortBy(QStringLiteral("TITULAR")));
    QVERIFY(searched.open());
    QCOMPARE(searched.locateNearest(QStringLiteral(" ")), LocateResult::Found);
    QVERIFY(searched.waitForComplete());
    QCOMPARE(searched.currentRow(), 0);
}

namespace {

// The dispatches of fillDispatches and 2,600 processes more, their subjects many times repeated
// in case and accents, some blank, one in ten without movements: more subjects than the server
// hands over at a time.
void fillManySubjects(TestDatabase& db) {
    fillDispatches(db);
    QSqlDatabase connection = db.connection();
    connection.transaction();
    auto commit = qScopeGuard([&connection] { connection.commit(); });
    QSqlQuery process(connection);
    process.prepare(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, ASSUNTO) VALUES (?, '2021', ?)"));
    QSqlQuery movement(connection);
    movement.prepare(
        QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, DATA) VALUES (?, ?, '2021', ?)"));
    int registro = 1000;
    for (int i = 0; i < 2600; ++i) {
        const QString number = code(20000 + i, 8);
        process.addBindValue(number);
        process.addBindValue(i % 40 == 0 ? QVariant()
                                         : QVariant(kTexts.at(i % kTexts.size()).toString() +
                                                    QStringLiteral(" %1").arg(i % 9)));
        QVERIFY2(process.exec(), qPrintable(process.lastError().text()));
        if (i % 10 == 3) continue;
        for (int m = 0; m < 1 + i % 3; ++m) {
            movement.addBindValue(code(registro++ * 7 % 100000, 8));
            movement.addBindValue(number);
            movement.addBindValue(QDate(2021, 1 + i % 12, 1 + m));
            QVERIFY2(movement.exec(), qPrintable(movement.lastError().text()));
        }
    }
}

// Those rows, also in memory in the subjects' order.
void subjectsInMemory(TestDatabase& db, RecordSet& memory) {
    fillManySubjects(db);
    QVERIFY(openInMemory(memory, QString()));
    QVERIFY(memory.sortBy(QStringLiteral("ASSUNTO")));
}

} // namespace

// The dispatches' subjects handed over by the server in order as the rows need them (not ranked
// here first): the same order and the same nearest rows as the rows in memory.
void TestWindowedSource::subjectsComeInTheServersOrder() {
    TestDatabase db;
    QVERIFY_DB(db);
    RecordSet memory;
    subjectsInMemory(db, memory);
    if (QTest::currentTestFailed()) return;
    WindowedSource windowed(processes::dispatchSearchRows());
    QVERIFY(windowed.sortBy(QStringLiteral("ASSUNTO")));
    QVERIFY(windowed.open());
    // The first screens came before the last subjects.
    QVERIFY(!windowed.isComplete());
    QVERIFY2(windowed.waitForComplete(), qPrintable(windowed.lastError()));
    QCOMPARE(windowed.rowCount(), memory.rowCount());
    for (int r = 0; r < memory.rowCount(); ++r) {
        QCOMPARE(rowKey(windowed, r), rowKey(memory, r));
        QCOMPARE(shown(windowed, r, QStringLiteral("ASSUNTO")), shown(memory, r, QStringLiteral("ASSUNTO")));
    }
    for (const QString& key : {QStringLiteral("secretaria 4"), QStringLiteral("Orgao"), QStringLiteral(" "),
                               QStringLiteral("ZZZ")}) {
        QCOMPARE(windowed.locateNearest(key), memory.locateNearest(key));
        QCOMPARE(windowed.currentRow(), memory.currentRow());
    }
}

// A name whose rows are not read yet does not hold the keystroke: the search waits behind the
// reading, the current row following the rows read, and lands on the row the whole list gives;
// the user's own move ends the wait.
void TestWindowedSource::searchAheadOfTheReadingWaitsForItsRows() {
    TestDatabase db;
    QVERIFY_DB(db);
    RecordSet memory;
    subjectsInMemory(db, memory);
    if (QTest::currentTestFailed()) return;
    QCOMPARE(memory.locateNearest(QStringLiteral("zelia 5")), LocateResult::Found);
    const QString answer = rowKey(memory, memory.currentRow());

    WindowedSource windowed(processes::dispatchSearchRows());
    windowed.setSeekWait(0);
    QVERIFY(windowed.sortBy(QStringLiteral("ASSUNTO")));
    QVERIFY(windowed.open());
    QVERIFY(!windowed.isComplete());
    QCOMPARE(windowed.locateNearest(QStringLiteral("zelia 5")), LocateResult::Pending);
    QVERIFY(windowed.isSeeking());
    QCOMPARE(windowed.currentRow(), windowed.rowCount() - 1);
    QTRY_VERIFY_WITH_TIMEOUT(!windowed.isSeeking(), 20000);
    QCOMPARE(rowKey(windowed, windowed.currentRow()), answer);
    QVERIFY(windowed.lastError().isEmpty());

    // Sought again from the start, and left by the user before the answer came.
    QVERIFY(windowed.sortBy(QStringLiteral("ASSUNTO")));
    QCOMPARE(windowed.locateNearest(QStringLiteral("zelia 5")), LocateResult::Pending);
    windowed.setCurrentRow(3);
    QVERIFY(!windowed.isSeeking());
    const QStringList chosen = windowed.keyAt(3);
    QVERIFY(windowed.waitForComplete());
    QCOMPARE(windowed.keyAt(windowed.currentRow()), chosen);
}

void TestWindowedSource::namesOutOfTheProgramsOrderRankedHere_data() {
    QTest::addColumn<QString>("order");
    QTest::newRow("held in code order") << QStringLiteral("INTERESSADO");
    QTest::newRow("an order the database cannot give") << QStringLiteral("INTERESSADO COLLATE PT_BR");
}

// Names said to come in the program's order that do not, or cannot be ordered so by this
// database: the list ranks them here and shows the program's order all the same.
void TestWindowedSource::namesOutOfTheProgramsOrderRankedHere() {
    QFETCH(QString, order);
    TestDatabase db;
    QVERIFY_DB(db);
    fillProcesses(db);
    WindowedSpec spec = processes::processSearchRows();
    for (WindowedField& f : spec.fields)
        if (f.name == QLatin1String("TITULAR")) f.namesOrder = order;
    RecordSet memory;
    QVERIFY(openInMemory(memory, QStringLiteral("0000")));
    QVERIFY(memory.sortBy(QStringLiteral("TITULAR")));
    WindowedSource windowed(spec);
    windowed.setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
    QVERIFY(windowed.sortBy(QStringLiteral("TITULAR")));
    QVERIFY(windowed.open());
    QVERIFY2(windowed.waitForComplete(), qPrintable(windowed.lastError()));
    QCOMPARE(windowed.rowCount(), memory.rowCount());
    for (int r = 0; r < memory.rowCount(); ++r)
        QCOMPARE(rowKey(windowed, r), rowKey(memory, r));
}

// The server's order of the searched free texts (its Brazilian collation through the index) and
// the program's own order of the same texts, row by row.
void TestWindowedSource::serverAndProgramOrderTextAlike() {
    TestDatabase db;
    QVERIFY_DB(db);
    QStringList texts;
    for (const QVariant& v : kTexts)
        texts << v.toString();
    texts << QStringLiteral("água") << QStringLiteral("AÇÃO") << QStringLiteral("ACAO")
          << QStringLiteral("ação") << QStringLiteral("Ação popular") << QStringLiteral("0001")
          << QStringLiteral("1") << QStringLiteral("(A)") << QStringLiteral("É") << QStringLiteral("e")
          << QStringLiteral("Ñandu") << QStringLiteral("NANDU ") << QStringLiteral("ÆON")
          << QStringLiteral("AEON") << QStringLiteral("ß") << QStringLiteral("SS") << QStringLiteral("ÿ")
          << QStringLiteral("Y");
    for (int i = 0; i < texts.size(); ++i)
        QVERIFY(
            db.exec(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, ASSUNTO) VALUES (?, '2019', ?)"),
                    {code(i + 1, 8), i == 3 ? QVariant() : QVariant(texts.at(i))}));
    QStringList server;
    for (const QVariantList& r :
         db.rows(QStringLiteral("SELECT IDPROCESSO FROM PROCESSOS ORDER BY ASSUNTO, IDPROCESSO")))
        server << r.at(0).toString();
    QList<int> program;
    for (int i = 0; i < texts.size(); ++i)
        program << i;
    std::stable_sort(program.begin(), program.end(), [&](int a, int b) {
        return core::compareValues(a == 3 ? QVariant() : QVariant(texts.at(a)),
                                   b == 3 ? QVariant() : QVariant(texts.at(b)), core::ValueType::Text) < 0;
    });
    QStringList ours;
    for (int i : program)
        ours << code(i + 1, 8);
    // Blanks apart (the server puts a null before an empty text, the lists merge them by key),
    // the two orders are the same.
    auto blanksLast = [&](const QStringList& keys) {
        QStringList out;
        for (const QString& k : keys)
            if (!core::isBlank(texts.at(k.toInt() - 1)) && k.toInt() != 4) out << k;
        return out;
    };
    QCOMPARE(blanksLast(server), blanksLast(ours));
    // And the windowed list over the same rows shows exactly the program's order, blanks included.
    WindowedSource windowed(processes::processSearchRows());
    windowed.setParameter(QStringLiteral("P_ANO"), QStringLiteral("0000"));
    QVERIFY(windowed.sortBy(QStringLiteral("ASSUNTO")));
    QVERIFY(windowed.open());
    QVERIFY(windowed.waitForComplete());
    QStringList listed;
    for (int r = 0; r < windowed.rowCount(); ++r)
        listed << windowed.keyAt(r).value(0);
    QCOMPARE(listed, ours);
}

void TestWindowedSource::oneOrderInGridLookupListingAndWindowedList() {
    TestDatabase db;
    QVERIFY_DB(db);
    const QStringList names{QStringLiteral("ÁGUA"),  QStringLiteral("SECRETARIA"), QStringLiteral("ÓRGÃO"),
                            QStringLiteral("água"),  QStringLiteral("abacaxi"),    QStringLiteral("Orgao"),
                            QStringLiteral("ZEBRA"), QStringLiteral("secretaria")};
    for (int i = 0; i < names.size(); ++i) {
        QVERIFY(db.exec(QStringLiteral("INSERT INTO TIPOPROCESSO (IDTIPO, TIPO) VALUES (?, ?)"),
                        {code(i + 1, 4), names.at(i)}));
        QVERIFY(db.exec(QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, IDTIPOPROCESSO, ASSUNTO) "
                                       "VALUES (?, '2019', ?, ?)"),
                        {code(i + 1, 8), code(i + 1, 4), names.at(i)}));
    }
    // Case and accents do not separate words; equal words keep the order of their codes.
    const QStringList expected{QStringLiteral("abacaxi"),    QStringLiteral("ÁGUA"),
                               QStringLiteral("água"),       QStringLiteral("ÓRGÃO"),
                               QStringLiteral("Orgao"),      QStringLiteral("SECRETARIA"),
                               QStringLiteral("secretaria"), QStringLiteral("ZEBRA")};

    // The lookup of process types, its name column chosen.
    LookupDialog lookup(registers::pesqTipoProcessoSpec(), nullptr);
    QVERIFY(lookup.records()->open());
    lookup.gridSearch()->DBGrid1TitleClick(1);
    QStringList inLookup;
    for (int r = 0; r < lookup.gridModel()->rowCount(); ++r)
        inLookup << lookup.gridModel()->index(r, 1).data().toString();
    QCOMPARE(inLookup, expected);

    // A register's grid over the in-memory record set.
    RecordSet rows;
    rows.setQuery(QStringLiteral("SELECT IDTIPO, TIPO FROM TIPOPROCESSO ORDER BY IDTIPO"));
    QVERIFY(rows.open());
    GridModel grid(&rows, {{QStringLiteral("Tipo"), QStringLiteral("TIPO")}});
    QVERIFY(rows.sortBy(QStringLiteral("TIPO")));
    QStringList inGrid;
    for (int r = 0; r < grid.rowCount(); ++r)
        inGrid << grid.index(r, 0).data().toString();
    QCOMPARE(inGrid, expected);

    // The alphabetical listing.
    QString error;
    auto listing =
        reports::buildListing(QStringLiteral("Relatório dos Tipos de Processos - Ordem Alfabética"), &error);
    QVERIFY2(listing, qPrintable(error));
    QStringList inListing;
    for (int r = 0; r < listing->data.rowCount(); ++r)
        inListing << listing->data.text(r, QStringLiteral("TIPO"));
    QCOMPARE(inListing, expected);

    // The process search by type name (ordered here) and by subject (ordered by the server).
    for (const QString& field : {QStringLiteral("TIPO_PROCESSO"), QStringLiteral("ASSUNTO")}) {
        WindowedSource windowed(processes::processSearchRows());
        windowed.setParameter(QStringLiteral("P_ANO"), QStringLiteral("2019"));
        QVERIFY(windowed.sortBy(field));
        QVERIFY(windowed.open());
        QVERIFY(windowed.waitForComplete());
        QStringList inSearch;
        for (int r = 0; r < windowed.rowCount(); ++r)
            inSearch << shown(windowed, r, field);
        QCOMPARE(inSearch, expected);
    }
}

// A database created before the searched texts had the Brazilian collation (the server cannot
// change a column's collation in place): such a column is read as it lies and ordered here, so the
// list still shows the program's order.
void TestWindowedSource::columnWithoutTheCollationOrderedHere() {
    TestDatabase db;
    QVERIFY_DB(db);
    for (int i = 0; i < kTexts.size(); ++i)
        QVERIFY(db.exec(QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO) VALUES (?, ?)"),
                        {code(i + 1, 6), kTexts.at(i)}));
    WindowedSpec spec;
    spec.baseFrom = spec.blockFrom = QStringLiteral("INTERESSADOS A");
    spec.keyExprs = {QStringLiteral("A.IDINTERESSADO")};
    WindowedField id;
    id.name = QStringLiteral("IDINTERESSADO");
    id.expr = QStringLiteral("A.IDINTERESSADO");
    WindowedField name;
    name.name = QStringLiteral("INTERESSADO");
    name.expr = QStringLiteral("A.INTERESSADO");
    name.collatedColumn = QStringLiteral("INTERESSADOS.INTERESSADO"); // held in WIN1252's code order
    spec.fields = {id, name};
    WindowedSource windowed(spec);
    QVERIFY(windowed.sortBy(QStringLiteral("INTERESSADO")));
    QVERIFY(windowed.open());
    QVERIFY(windowed.waitForComplete());
    RecordSet memory;
    memory.setQuery(
        QStringLiteral("SELECT IDINTERESSADO, INTERESSADO FROM INTERESSADOS ORDER BY IDINTERESSADO"));
    QVERIFY(memory.open());
    QVERIFY(memory.sortBy(QStringLiteral("INTERESSADO")));
    QStringList listed, expected, byCode;
    for (int r = 0; r < memory.rowCount(); ++r) {
        listed << windowed.keyAt(r).value(0);
        expected << memory.valueAt(r, 0).toString();
    }
    QCOMPARE(listed, expected);
    // The server's own order of that column is another one.
    for (const QVariantList& r : db.rows(
             QStringLiteral("SELECT IDINTERESSADO FROM INTERESSADOS ORDER BY INTERESSADO, IDINTERESSADO")))
        byCode << r.at(0).toString();
    QVERIFY(byCode != expected);
}

void TestWindowedSource::hiddenDispatchTextNeverRead() {
    TestDatabase db;
    QVERIFY_DB(db);
    QVERIFY(db.exec(
        QStringLiteral("INSERT INTO PROCESSOS (IDPROCESSO, ANO, ASSUNTO) VALUES ('00000001', '2019', 'X')")));
    QVERIFY(db.exec(QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, IDPROCESSO, ANO, DESPACHO) "
                                   "VALUES ('00000001', '00000001', '2019', ?)"),
                    {QString(5000, QLatin1Char('D'))}));
    WindowedSource windowed(processes::dispatchSearchRows());
    QVERIFY(windowed.open());
    QVERIFY(windowed.waitForComplete());
    QCOMPARE(windowed.rowCount(), 1);
    QCOMPARE(windowed.valueAt(0, windowed.fieldIndex(QStringLiteral("ASSUNTO"))).toString(),
             QStringLiteral("X"));
    QVERIFY(windowed.valueAt(0, windowed.fieldIndex(QStringLiteral("DESPACHO"))).isNull());
    // A hidden blob is no order either.
    QVERIFY(!windowed.sortBy(QStringLiteral("DESPACHO")));
}

// A list that takes its fields from the query keeps a text blob as a text of its own length.
void TestWindowedSource::queryTypedTextBlobIsText() {
    TestDatabase db;
    QVERIFY_DB(db);
    QVERIFY(db.exec(QStringLiteral("INSERT INTO TRAMITACAO (REGISTRO, DESPACHO) VALUES ('00000001', ?)"),
                    {QStringLiteral("Encaminhe-se à SECRETARIA")}));
    RecordSet rows;
    rows.setQuery(QStringLiteral("SELECT REGISTRO, DESPACHO FROM TRAMITACAO"));
    QVERIFY(rows.open());
    QCOMPARE(rows.fieldType(rows.fieldIndex(QStringLiteral("DESPACHO"))), FieldType::Memo);
    const QVariant v = rows.value(QStringLiteral("DESPACHO"));
    QCOMPARE(v.typeId(), int(QMetaType::QString));
    QCOMPARE(v.toString(), QStringLiteral("Encaminhe-se à SECRETARIA"));
    QVERIFY(v.toString().capacity() < 1024);
}

QTEST_MAIN(TestWindowedSource)
#include "tst_windowedsource.moc"
