// The receipt with and without the citizens' look-up block, read back from its PDF: the block's
// texts, its QR code decoded to the very address, and the rest of the page unmoved.
#include "core/appvalues.h"
#include "core/publiclookup.h"
#include "core/session.h"
#include "reports/engine/exports.h"
#include "reports/processes/processreports.h"
#include "tests/reports/pdftools.h"
#include "tests/support/lookupoffice.h"
#include "tests/support/testdatabase.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

using namespace reports;

namespace {

const QString kAddress = QStringLiteral("https://protocolo.satuba.al.gov.br/consulta/");
constexpr int kDpi = 300;

ProcessLabels labels() {
    ProcessLabels l;
    l.estado = QStringLiteral("Estado de Alagoas");
    l.empresa = QStringLiteral("Prefeitura Municipal de Satuba");
    l.setor = QStringLiteral("Setor de Protocolo");
    l.cnpj = QStringLiteral("CNPJ   12.200.291/0001-44");
    l.usuario = QStringLiteral("JOÃO ESCRIVÃO");
    return l;
}

// The receipt of a process as a PDF in dir, with the public address set or not.
QString receiptPdf(const QTemporaryDir& dir, const QString& name, const QString& address,
                   const QString& process, const QString& year) {
    core::appValues().profile.publicLookupAddress = address;
    QString error;
    std::unique_ptr<Report> r = buildReceipt(process, year, labels(), &error);
    if (!r) qWarning("%s", qPrintable(error));
    const PreparedReport p = prepare(*r);
    const QString pdf = dir.filePath(name + QStringLiteral(".pdf"));
    if (!exportPdf(*r, p, pdf, &error)) qWarning("%s", qPrintable(error));
    return pdf;
}

// The first pixel row (in mm from the paper's top) where two page images differ; -1 when none.
double firstDifferenceMm(const QImage& a, const QImage& b) {
    for (int y = 0; y < qMin(a.height(), b.height()); ++y)
        for (int x = 0; x < qMin(a.width(), b.width()); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) return y * 25.4 / kDpi;
    return -1;
}

} // namespace

class TestReceiptLookup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void withoutAddressNothingChanges();
    void blockWithCodeAndQr_data();
    void blockWithCodeAndQr();

private:
    std::unique_ptr<testsupport::TestDatabase> m_db;
    QByteArray m_secret;
};

void TestReceiptLookup::initTestCase() {
    core::initialiseAppValues(0);
    core::currentUser().name = QStringLiteral("JOÃO ESCRIVÃO");
    m_db = std::make_unique<testsupport::TestDatabase>();
    QVERIFY_DB(*m_db);
    testsupport::addLookupOffice(m_db->connection());
    m_secret = core::consulta::readSecret(m_db->connection());
    QVERIFY(!m_secret.isEmpty());
}

void TestReceiptLookup::withoutAddressNothingChanges() {
    QTemporaryDir dir;
    const QString pdf =
        receiptPdf(dir, QStringLiteral("sem"), QString(), QStringLiteral("00000002"), QStringLiteral("2026"));
    QCOMPARE(pdftools::pageCount(pdf), 1);
    const QString text = pdftools::text(pdf, 0, 0, false).simplified();
    QVERIFY(text.contains(QStringLiteral("P R O T O C O L O")));
    QVERIFY(!text.contains(QStringLiteral("Consulte")));
    QVERIFY(!text.contains(
        core::consulta::verificationCode(m_secret, QStringLiteral("2"), QStringLiteral("2026"))));
    // A receipt without the setting has the bands the receipt always had, and nothing more.
    QString error;
    core::appValues().profile.publicLookupAddress.clear();
    auto plain = buildReceipt(QStringLiteral("00000002"), QStringLiteral("2026"), labels(), &error);
    QCOMPARE(plain->detailChildren.size(), createReceipt()->detailChildren.size());
}

void TestReceiptLookup::blockWithCodeAndQr_data() {
    QTest::addColumn<QString>("process");
    QTest::addColumn<QString>("year");
    QTest::newRow("three movements") << "00000002"
                                     << "2026";
    QTest::newRow("same number, earlier year") << "00000002"
                                               << "2025";
    QTest::newRow("never sent") << "00000001"
                                << "2026";
}

void TestReceiptLookup::blockWithCodeAndQr() {
    QFETCH(QString, process);
    QFETCH(QString, year);
    if (QStandardPaths::findExecutable(QStringLiteral("zbarimg")).isEmpty())
        QSKIP("zbarimg (zbar-tools) is not installed");
    QTemporaryDir dir;
    const QString with = receiptPdf(dir, QStringLiteral("com"), kAddress, process, year);
    const QString without = receiptPdf(dir, QStringLiteral("sem"), QString(), process, year);
    QCOMPARE(pdftools::pageCount(with), 1);

    const QString code = core::consulta::verificationCode(m_secret, process, year);
    const QString url = core::consulta::lookupUrl(kAddress, process, year, code);
    QCOMPARE(url, kAddress + QStringLiteral("?numero=%1&ano=%2&codigo=%3").arg(process, year, code));
    const QString flat = pdftools::text(with, 0, 0, false).simplified();
    const int user = flat.indexOf(QStringLiteral("JOÃO ESCRIVÃO"));
    const int block = flat.indexOf(QStringLiteral("Consulte o andamento do processo"));
    QVERIFY2(user >= 0 && block > user, qPrintable(flat)); // after the receipt's last line
    QVERIFY(flat.indexOf(kAddress, block) > block);
    QVERIFY(flat.indexOf(QStringLiteral("Código de verificação: ") + code, block) > block);

    // Everything the receipt places stays where it was: the two pages are the same down to the
    // block, which starts below the signatures (their band ends 259 mm from the paper's top) and
    // ends inside the bottom margin.
    const QImage a = pdftools::pageImage(with, 1, kDpi);
    const QImage b = pdftools::pageImage(without, 1, kDpi);
    QVERIFY(!a.isNull() && a.size() == b.size());
    const double diff = firstDifferenceMm(a, b);
    QVERIFY2(diff >= 259, qPrintable(QString::number(diff)));
    for (int y = int(287 / 25.4 * kDpi); y < a.height(); ++y)
        for (int x = 0; x < a.width(); x += 4)
            QCOMPARE(a.pixel(x, y), b.pixel(x, y));

    // The QR code read back by a real reader gives the address with number, year and code.
    const QString png = dir.filePath(QStringLiteral("com.png"));
    QVERIFY(a.save(png));
    // To look at the page: PROTOCOLO_KEEP_PAPERS=/some/folder.
    if (qEnvironmentVariableIsSet("PROTOCOLO_KEEP_PAPERS"))
        a.scaled(a.width() / 3, a.height() / 3, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            .save(qEnvironmentVariable("PROTOCOLO_KEEP_PAPERS") +
                  QStringLiteral("/recibo-%1-%2.png").arg(process, year));
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--quiet"), QStringLiteral("--raw"), png});
    QVERIFY(zbar.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), url);
}

QTEST_MAIN(TestReceiptLookup)
#include "tst_receiptlookup.moc"
