// Times the applicants listing on 5,000 rows: reading the rows, the first page on screen and a
// finished PDF. Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_reports [rows] [pdf]
#include "core/appvalues.h"
#include "core/connection.h"
#include "db/database.h"
#include "reports/engine/exports.h"
#include "reports/engine/preview.h"
#include "reports/listings/listings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QTextStream out(stdout);

bool fill(int rows, QString* error) {
    QSqlDatabase db = core::mainConnection();
    db.transaction();
    QSqlQuery q(db);
    q.prepare(
        QStringLiteral("INSERT INTO INTERESSADOS (IDINTERESSADO, INTERESSADO, TIPO, CPF, CNPJ, ENDERECO, "
                       "NUMERO, BAIRRO, CEP, CIDADE, UF, DDD_TELEFONE, TELEFONE, EMAIL, SITE) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const QStringList first{QStringLiteral("JOSÉ"),    QStringLiteral("MARIA"),     QStringLiteral("JOÃO"),
                            QStringLiteral("ANTÔNIO"), QStringLiteral("FRANCISCA"), QStringLiteral("LUÍS")};
    const QStringList last{QStringLiteral("DA SILVA"), QStringLiteral("DOS SANTOS"),
                           QStringLiteral("CONCEIÇÃO"), QStringLiteral("ARAÚJO"),
                           QStringLiteral("GONÇALVES DE ALBUQUERQUE E MELO")};
    for (int i = 1; i <= rows; ++i) {
        const bool company = i % 7 == 0;
        const QString name =
            company
                ? QStringLiteral("ASSOCIAÇÃO DOS MORADORES DO BAIRRO %1").arg(i)
                : QStringLiteral("%1 %2 %3").arg(first[i % first.size()], last[(i / 3) % last.size()]).arg(i);
        const QVariantList values{
            QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0')),
            name,
            company ? QStringLiteral("2 - Pessoa Jurídica") : QStringLiteral("1 - Pessoa Física"),
            company ? QString() : QStringLiteral("123.456.789-%1").arg(i % 100, 2, 10, QLatin1Char('0')),
            company ? QStringLiteral("12.345.678/0001-%1").arg(i % 100, 2, 10, QLatin1Char('0')) : QString(),
            QStringLiteral("RUA DO COMÉRCIO"),
            QString::number(i),
            QStringLiteral("CENTRO"),
            QStringLiteral("57.000-000"),
            QStringLiteral("MACEIÓ"),
            QStringLiteral("AL"),
            QStringLiteral("82"),
            QStringLiteral("3221-%1").arg(i % 10000, 4, 10, QLatin1Char('0')),
            QStringLiteral("contato%1@exemplo.com.br").arg(i),
            i % 3 == 0 ? QStringLiteral("www.exemplo%1.com.br").arg(i) : QString()};
        for (int v = 0; v < values.size(); ++v)
            q.bindValue(v, values.at(v));
        if (!q.exec()) {
            *error = q.lastError().text();
            db.rollback();
            return false;
        }
    }
    return db.commit();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    core::initialiseAppValues(0);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KORVALIS_PROTOCOLO.fdb"));
    const QString pdfPath =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("bench.pdf"));
    QString error;
    core::ConnectionTarget target;
    target.database = path;
    target.userName = QString::fromLatin1(core::kDbaUser);
    if (!db::createDatabase(path, &error) || !core::openMainConnection(target, &error)) {
        out << "database: " << error << Qt::endl;
        return 1;
    }
    QElapsedTimer clock;
    clock.start();
    if (!fill(rows, &error)) {
        out << "insert: " << error << Qt::endl;
        return 1;
    }
    out << "rows inserted: " << rows << " in " << clock.elapsed() << " ms" << Qt::endl;

    const QString title = QStringLiteral("Relatório dos Requerentes/Titulares - Ordem Alfabética");

    // 1. Raw fetch of the listing's rows.
    clock.restart();
    reports::ReportData raw;
    if (!raw.load(reports::listingQuery(reports::Listing::Applicants), {}, &error)) {
        out << "fetch: " << error << Qt::endl;
        return 1;
    }
    out << "raw fetch of " << raw.rowCount() << " rows: " << clock.elapsed() << " ms" << Qt::endl;

    // 2. From the menu entry to the first page drawn on screen: read, order, lay out, show, draw.
    clock.restart();
    std::unique_ptr<reports::Report> report = reports::buildListing(title, &error);
    if (!report) {
        out << "listing: " << error << Qt::endl;
        return 1;
    }
    const qint64 built = clock.elapsed();
    int firstShown = -1;
    qint64 shownAt = 0;
    {
        reports::PreviewWindow preview(*report);
        QObject::connect(&preview, &reports::PreviewWindow::pageShown, [&](int page) {
            if (firstShown < 0) {
                firstShown = page;
                shownAt = clock.elapsed();
            }
        });
        preview.preparePages();
        const qint64 prepared = clock.elapsed();
        preview.resize(1280, 900);
        preview.show();
        while (firstShown < 0 && clock.elapsed() < 10000)
            QApplication::processEvents();
        out << "first page on screen: " << shownAt << " ms (read+order " << built << " ms, layout of "
            << preview.pageCount() << " pages " << prepared - built << " ms)" << Qt::endl;
    }

    // 3. A finished PDF: fresh preparation and every page written.
    clock.restart();
    const reports::PreparedReport prepared = reports::prepare(*report);
    const qint64 layoutMs = clock.elapsed();
    if (!reports::exportPdf(*report, prepared, pdfPath, &error)) {
        out << "pdf: " << error << Qt::endl;
        return 1;
    }
    out << "finished PDF: " << clock.elapsed() << " ms (layout " << layoutMs << " ms), "
        << prepared.pageCount() << " pages, " << QFileInfo(pdfPath).size() / 1024 << " KiB" << Qt::endl;
    core::mainConnection().close();
    return 0;
}
