// Times the applicants listing (5,000 rows unless told): the first page on screen, every page laid
// out behind it, and a finished PDF, each against the raw fetch of the same rows in the same run;
// then the resident memory. Run by hand: QT_QPA_PLATFORM=offscreen build/bench/bench_reports [rows] [pdf]
#include "core/appvalues.h"
#include "core/connection.h"
#include "db/database.h"
#include "reports/engine/exports.h"
#include "reports/engine/preview.h"
#include "reports/listings/listings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

QTextStream out(stdout);

// Resident and peak resident memory of this process, in MB (Linux).
QPair<qint64, qint64> memoryMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    qint64 rss = -1, peak = -1;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() < 2) continue;
            if (parts[0] == "VmRSS:") rss = parts[1].toLongLong() / 1024;
            if (parts[0] == "VmHWM:") peak = parts[1].toLongLong() / 1024;
        }
    }
    return {rss, peak};
}

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

    // Floor: raw fetch of the listing's rows, dropped before the listing reads them again.
    qint64 floor = 0;
    {
        clock.restart();
        reports::ReportData raw;
        if (!raw.load(reports::listingQuery(reports::Listing::Applicants), {}, &error)) {
            out << "fetch: " << error << Qt::endl;
            return 1;
        }
        floor = clock.elapsed();
        out << "raw fetch of " << raw.rowCount() << " rows: " << floor << " ms" << Qt::endl;
    }

    // From the menu entry to the first page drawn on screen: read, order, lay out page 1, draw.
    clock.restart();
    std::unique_ptr<reports::Report> report = reports::buildListing(title, &error);
    if (!report) {
        out << "listing: " << error << Qt::endl;
        return 1;
    }
    const qint64 built = clock.elapsed();
    {
        reports::PreviewWindow preview(*report);
        int firstShown = -1;
        qint64 shownAt = 0;
        QObject::connect(&preview, &reports::PreviewWindow::pageShown, [&](int page) {
            if (firstShown < 0) {
                firstShown = page;
                shownAt = clock.elapsed();
            }
        });
        preview.preparePages();
        const qint64 prepared = clock.elapsed();
        const int pagesAtFirst = preview.pageCount();
        preview.resize(1280, 900);
        preview.show();
        while (firstShown < 0 && clock.elapsed() < 60000)
            QApplication::processEvents();
        out << "first page on screen: " << shownAt << " ms (floor " << floor << " ms)" << Qt::endl;
        out << "  open " << built << " ms, " << pagesAtFirst << " pages laid out by " << prepared
            << " ms, then shown" << Qt::endl;

        // The rest is laid out between events while page 1 is on screen.
        while (!preview.layoutFinished() && clock.elapsed() < 600000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        out << "all pages laid out behind the first: " << clock.elapsed() << " ms (floor " << floor
            << " ms), " << preview.pageCount() << " pages" << Qt::endl;
        const auto memory = memoryMb();
        out << "resident memory: " << memory.first << " MB (peak " << memory.second << " MB)" << Qt::endl;

        // A finished PDF from the preview, as "Salvar como" writes it.
        clock.restart();
        if (!preview.saveTo(pdfPath, reports::ExportFormat::Pdf)) {
            out << "pdf: failed" << Qt::endl;
            return 1;
        }
        out << "finished PDF: " << clock.elapsed() << " ms (floor " << floor << " ms), "
            << preview.pageCount() << " pages, " << QFileInfo(pdfPath).size() / 1024 << " KiB" << Qt::endl;
        const auto after = memoryMb();
        out << "resident memory: " << after.first << " MB (peak " << after.second << " MB)" << Qt::endl;
    }
    core::mainConnection().close();
    return 0;
}
