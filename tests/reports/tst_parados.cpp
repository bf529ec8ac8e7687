// "Processos parados": the processes whose latest movement is older than the days asked, grouped
// by destination unit and user, oldest first, with their days waiting and deadline state, read
// back from the files the preview writes.
#include "core/appvalues.h"
#include "core/menucommands.h"
#include "reports/engine/exports.h"
#include "reports/engine/preview.h"
#include "reports/listings/parados.h"
#include "reports/reports.h"
#include "tests/reports/pdftools.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace reports;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

namespace {

const QColor kSilver(192, 192, 192);
const QColor kWhite(255, 255, 255);

QDate today() {
    return QDate::currentDate();
}

// A movement of a process, sent `daysAgo` days ago to a user of a unit.
struct Move {
    QString registro;
    QString process;
    int daysAgo;
    QString unit;
    QString user;
    bool archived = false;
    bool unarchived = false;
};

// Two units, three users, three process types (30 days, none, 60 days) and processes that wait,
// moved on, are archived or are too recent to be listed.
void fill(TestDatabase& db) {
    db.insert("UNIDADES", {{"IDUNIDADE", "0001"}, {"UNIDADE", "GABINETE DO PREFEITO"}});
    db.insert("UNIDADES", {{"IDUNIDADE", "0002"}, {"UNIDADE", "SECRETARIA DE SAÚDE"}});
    db.insert("USUARIOS", {{"COD_USUARIO", "00000001"}, {"USUARIO", "PROTOCOLO"}, {"IDUNIDADE", "0001"}});
    db.insert("USUARIOS", {{"COD_USUARIO", "00000002"}, {"USUARIO", "ANA"}, {"IDUNIDADE", "0001"}});
    db.insert("USUARIOS", {{"COD_USUARIO", "00000003"}, {"USUARIO", "BRUNO"}, {"IDUNIDADE", "0001"}});
    db.insert("USUARIOS", {{"COD_USUARIO", "00000004"}, {"USUARIO", "CARLA"}, {"IDUNIDADE", "0002"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0001"}, {"TIPO", "ALVARÁ"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0002"}, {"TIPO", "CERTIDÃO"}});
    db.insert("TIPOPROCESSO", {{"IDTIPO", "0003"}, {"TIPO", "LICENÇA"}});
    db.insert("PRAZOS_TIPOPROCESSO", {{"IDTIPO", "0001"}, {"DIAS", 30}});
    db.insert("PRAZOS_TIPOPROCESSO", {{"IDTIPO", "0003"}, {"DIAS", 60}});
    const QList<QPair<QString, QString>> processes{
        {"00000001", "0001"}, {"00000002", "0002"}, {"00000003", "0003"},
        {"00000004", "0003"}, {"00000005", "0001"}, {"00000006", "0001"},
        {"00000007", "0002"}, {"00000008", "0002"}, {"00000009", "0002"}};
    for (const auto& p : processes)
        db.insert("PROCESSOS", {{"IDPROCESSO", p.first},
                                {"ANO", "2026"},
                                {"IDTIPOPROCESSO", p.second},
                                {"ASSUNTO", "ASSUNTO " + p.first.right(1)},
                                {"DATA", today().addDays(-200)}});
    const QList<Move> moves{
        {"00000001", "00000001", 100, "0001", "00000002"}, // moved on to Bruno 40 days ago
        {"00000002", "00000001", 40, "0001", "00000003"},
        {"00000003", "00000002", 45, "0001", "00000002"},
        {"00000004", "00000003", 90, "0001", "00000002"},
        {"00000005", "00000004", 35, "0002", "00000004"},
        {"00000006", "00000005", 200, "0001", "00000002", true},       // archived: left out
        {"00000007", "00000006", 120, "0001", "00000002", true, true}, // unarchived: listed
        {"00000008", "00000007", 10, "0001", "00000002"},              // too recent
        {"00000009", "00000008", 100, "0002", "00000004"},             // moved on 5 days ago
        {"00000010", "00000008", 5, "0001", "00000003"},
        {"00000011", "00000009", 30, "0002", "00000004"}, // exactly 30 days: not older than 30
    };
    for (const Move& m : moves) {
        QVariantMap row{{"REGISTRO", m.registro},
                        {"IDPROCESSO", m.process},
                        {"ANO", "2026"},
                        {"IDUNIDADE", m.unit},
                        {"COD_USUARIO_DESTINO", m.user},
                        {"COD_USUARIO", "00000001"},
                        {"DATA", today().addDays(-m.daysAgo)},
                        {"HORA", QTime(9, 30)}};
        if (m.archived) {
            row.insert("DATA_ARQUIVAMENTO", today().addDays(-m.daysAgo + 1));
            row.insert("HORA_ARQUIVAMENTO", QTime(10, 0));
        }
        if (m.unarchived) {
            row.insert("DATA_DESARQUIVAMENTO", today().addDays(-m.daysAgo + 2));
            row.insert("HORA_DESARQUIVAMENTO", QTime(10, 0));
        }
        db.insert("TRAMITACAO", row);
    }
}

// The process numbers the listing holds, in order.
QStringList processesOf(const Report& report) {
    QStringList out;
    for (int r = 0; r < report.data.rowCount(); ++r)
        out << report.data.text(r, QStringLiteral("IDPROCESSO"));
    return out;
}

int indexOf(const QString& text, const QString& part, int from = 0) {
    return int(text.indexOf(part, from));
}

} // namespace

class TestParados : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void openedFromTheMenuAndReadBackFromThePdf();
    void exportsHoldEveryLine_data();
    void exportsHoldEveryLine();
    void daysAsked_data();
    void daysAsked();
    void refusedAnswerOpensNothing_data();
    void refusedAnswerOpensNothing();
    void emptyListingCountsZero();
};

void TestParados::initTestCase() {
    core::initialiseAppValues(0);
    reports::registerMenuCommands();
}

void TestParados::openedFromTheMenuAndReadBackFromThePdf() {
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("parados.pdf"));
    ScriptedDialogs dialogs;
    dialogs.expectInput(paradosPrompt(), QStringLiteral("30"));
    bool opened = false;
    QVector<QColor> backgrounds;
    QStringList summary;
    testsupport::onNextModal([&](QWidget* w) {
        auto* preview = qobject_cast<PreviewWindow*>(w);
        if (preview) {
            opened = true;
            QVERIFY(preview->saveTo(pdf, ExportFormat::Pdf));
            for (const PlacedBand& b : preview->prepared().pages.first().bands)
                if (b.kind == BandKind::Detail) backgrounds << b.background;
            summary = exportTable(preview->report(), preview->prepared()).summaryLines;
        }
        w->close();
    });
    QVERIFY(core::menuCommands().open(QStringLiteral("Processos parados"), nullptr));
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    QCOMPARE(dialogs.lastInputInitial(), QStringLiteral("30"));
    QVERIFY(opened);

    if (const QString shots = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS"); !shots.isEmpty()) {
        QDir().mkpath(shots);
        QFile::remove(QDir(shots).filePath(QStringLiteral("processos_parados.pdf")));
        QVERIFY(QFile::copy(pdf, QDir(shots).filePath(QStringLiteral("processos_parados.pdf"))));
    }
    const QString text = pdftools::text(pdf);
    QVERIFY2(text.contains(QStringLiteral("Processos parados há mais de 30 dias")), qPrintable(text));
    QVERIFY(text.contains(core::appValues().systemName));
    // Grouped by unit and user, oldest first inside each group: Ana (6, 3, 2), Bruno (1) of the
    // Gabinete, then Carla (4) of the Saúde.
    const QStringList order{"00000006/2026", "00000003/2026", "00000002/2026", "00000001/2026",
                            "00000004/2026"};
    int at = 0;
    for (const QString& process : order) {
        const int found = indexOf(text, process, at);
        QVERIFY2(found >= at, qPrintable(process + QStringLiteral(" fora de ordem\n") + text));
        at = found;
    }
    // Archived, too recent, moved on recently, and exactly 30 days: not listed.
    for (const char* absent : {"00000005/", "00000007/", "00000008/", "00000009/"})
        QVERIFY2(!text.contains(QLatin1String(absent)), absent);
    // Each line: unit, user, process, type, subject, sending day, days waiting, deadline state.
    auto lineOf = [&](const QString& process) {
        const int start = int(text.lastIndexOf(QLatin1Char('\n'), text.indexOf(process))) + 1;
        return text.mid(start, text.indexOf(QLatin1Char('\n'), start) - start).simplified();
    };
    const QString sent40 = today().addDays(-40).toString(QStringLiteral("dd/MM/yyyy"));
    QCOMPARE(lineOf("00000001/2026"), QStringLiteral("0001 GABINETE DO PREFEITO BRUNO 00000001/2026 ALVARÁ "
                                                     "ASSUNTO 1 %1 40 Atrasado 10 dias")
                                          .arg(sent40));
    QVERIFY(lineOf("00000006/2026").endsWith(QStringLiteral(" 120 Atrasado 90 dias")));
    QVERIFY(lineOf("00000003/2026").endsWith(QStringLiteral(" 90 Atrasado 30 dias")));
    QVERIFY(lineOf("00000002/2026").endsWith(QStringLiteral(" 45 Sem prazo")));
    QVERIFY(lineOf("00000004/2026").startsWith(QStringLiteral("0002 SECRETARIA DE SAÚDE CARLA")));
    QVERIFY(lineOf("00000004/2026").endsWith(QStringLiteral(" 35 Faltam 25 dias")));
    QVERIFY(text.contains(QStringLiteral("Total de Registros : 000005")));
    QVERIFY(text.contains(QStringLiteral("Atrasados : 000003")));
    QCOMPARE(summary.join(QLatin1Char(' ')).simplified(),
             QStringLiteral("Total de Registros : 000005 Atrasados : 000003"));
    // One background per group: Ana's three lines, Bruno's, Carla's.
    QCOMPARE(backgrounds, (QVector<QColor>{kSilver, kSilver, kSilver, kWhite, kSilver}));
}

void TestParados::exportsHoldEveryLine_data() {
    QTest::addColumn<int>("format");
    QTest::newRow("text") << int(ExportFormat::Text);
    QTest::newRow("csv") << int(ExportFormat::Csv);
    QTest::newRow("html") << int(ExportFormat::Html);
}

void TestParados::exportsHoldEveryLine() {
    QFETCH(int, format);
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    QString error;
    std::unique_ptr<Report> report = buildParados(30, today(), &error);
    QVERIFY2(report, qPrintable(error));
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("parados.") + extensionFor(ExportFormat(format)));
    PreviewWindow preview(*report);
    QVERIFY(preview.preparePages());
    QVERIFY(preview.saveTo(file, ExportFormat(format)));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    for (const char* caption : {"Unidade Orçamentária", "Usuário", "Processo", "Dias parado", "Prazo"})
        QVERIFY2(text.contains(QString::fromUtf8(caption)), caption);
    // Every line carries its unit and user, so an exported line stands on its own.
    QCOMPARE(int(text.count(QStringLiteral("GABINETE DO PREFEITO"))), 4);
    QCOMPARE(int(text.count(QStringLiteral("Atrasado "))), 3);
    if (ExportFormat(format) == ExportFormat::Csv)
        QVERIFY2(
            text.contains(QStringLiteral("0002 SECRETARIA DE SAÚDE;CARLA;00000004/2026;LICENÇA;ASSUNTO 4;") +
                          today().addDays(-35).toString(QStringLiteral("dd/MM/yyyy")) +
                          QStringLiteral(";35;Faltam 25 dias")),
            qPrintable(text));
}

void TestParados::daysAsked_data() {
    QTest::addColumn<int>("days");
    QTest::addColumn<QStringList>("processes");
    QTest::newRow("0: every process sent before today")
        << 0 << QStringList{"00000006", "00000003", "00000002", "00000007",
                            "00000001", "00000008", "00000004", "00000009"};
    QTest::newRow("40: exactly 40 days is not older")
        << 40 << QStringList{"00000006", "00000003", "00000002"};
    QTest::newRow("100") << 100 << QStringList{"00000006"};
    QTest::newRow("1000") << 1000 << QStringList{};
}

void TestParados::daysAsked() {
    QFETCH(int, days);
    QFETCH(QStringList, processes);
    TestDatabase db;
    QVERIFY_DB(db);
    fill(db);
    QString error;
    std::unique_ptr<Report> report = buildParados(days, today(), &error);
    QVERIFY2(report, qPrintable(error));
    QCOMPARE(processesOf(*report), processes);
}

void TestParados::refusedAnswerOpensNothing_data() {
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<QString>("answer");
    QTest::newRow("cancelled") << true << QString();
    QTest::newRow("letters") << false << QStringLiteral("trinta");
    QTest::newRow("empty") << false << QString();
    QTest::newRow("negative") << false << QStringLiteral("-5");
    QTest::newRow("fraction") << false << QStringLiteral("2,5");
    QTest::newRow("too large") << false << QStringLiteral("10000");
}

void TestParados::refusedAnswerOpensNothing() {
    QFETCH(bool, cancelled);
    QFETCH(QString, answer);
    TestDatabase db;
    QVERIFY_DB(db);
    ScriptedDialogs dialogs;
    dialogs.expectInput(paradosPrompt(), cancelled ? std::nullopt : std::optional<QString>(answer));
    if (!cancelled) dialogs.expectMessage(paradosDaysMessage());
    // Nothing else is shown: the scripted service fails on any box not expected, and no preview
    // is left open.
    openParados(nullptr);
    QVERIFY(dialogs.verifyAllShown(__FILE__, __LINE__));
    QVERIFY(!QApplication::activeModalWidget());
}

void TestParados::emptyListingCountsZero() {
    TestDatabase db;
    QVERIFY_DB(db);
    QString error;
    std::unique_ptr<Report> report = buildParados(30, today(), &error);
    QVERIFY2(report, qPrintable(error));
    const PreparedReport prepared = prepare(*report);
    QCOMPARE(exportTable(*report, prepared).summaryLines.join(QLatin1Char(' ')).simplified(),
             QStringLiteral("Total de Registros : 000000 Atrasados : 000000"));
}

QTEST_MAIN(TestParados)
#include "tst_parados.moc"
