#include "reports/listings/listings.h"

#include "core/appvalues.h"
#include "core/dialogs.h"
#include "gui/colours.h"
#include "reports/engine/preview.h"

#include <QLocale>

namespace reports {

namespace {

// Listing page frame: A4 landscape, 10 mm margins, so 277 mm of usable width.
constexpr double kWidth = 277;
const QColor kSilver(192, 192, 192);
const QColor kWhite(255, 255, 255);

struct ListingLayout {
    QString query;
    QVector<ColumnSpec> columns;
    double pointSize = 10;
};

ListingLayout layoutOf(Listing listing) {
    const Qt::Alignment centre = Qt::AlignHCenter;
    switch (listing) {
    case Listing::BudgetUnits:
        return {QStringLiteral("SELECT IDUNIDADE, UNIDADE FROM UNIDADES"),
                {{QStringLiteral("Código"), {QStringLiteral("IDUNIDADE")}, 25, centre},
                 {QStringLiteral("Unidade"), {QStringLiteral("UNIDADE")}, 252}},
                10};
    case Listing::UnitTypes:
        return {QStringLiteral("SELECT IDTIPO, TIPO FROM TIPOUNIDADE"),
                {{QStringLiteral("Código"), {QStringLiteral("IDTIPO")}, 25, centre},
                 {QStringLiteral("Tipo Unidade"), {QStringLiteral("TIPO")}, 252}},
                10};
    case Listing::Organisation:
        return {
            QStringLiteral("SELECT A.IDEMPRESA, A.EMPRESA, A.CNPJ, A.ENDERECO, A.NUMERO, A.BAIRRO, A.CEP, "
                           "A.CIDADE, A.UF, A.LOGO, A.DDD, A.TELEFONE, A.EMAIL, A.SITE FROM EMPRESA A"),
            // The whole width of the page: the name takes what the fixed-length values leave,
            // the addresses share the rest.
            {{QStringLiteral("Código"), {QStringLiteral("IDEMPRESA")}, 14, centre},
             {QStringLiteral("Empresa"), {QStringLiteral("EMPRESA")}, 86},
             {QStringLiteral("C N P J "), {QStringLiteral("CNPJ")}, 36},
             {QStringLiteral("Telefone "), {QStringLiteral("DDD"), QStringLiteral("TELEFONE")}, 31},
             {QStringLiteral("EMail"), {QStringLiteral("EMAIL")}, 55},
             {QStringLiteral("Site"), {QStringLiteral("SITE")}, 55}},
            10};
    case Listing::ProcessTypes:
        return {QStringLiteral("SELECT IDTIPO, TIPO FROM TIPOPROCESSO"),
                {{QStringLiteral("Código"), {QStringLiteral("IDTIPO")}, 25, centre},
                 {QStringLiteral("Tipo Processo"), {QStringLiteral("TIPO")}, 252}},
                10};
    case Listing::Sectors:
        return {QStringLiteral("SELECT A.IDSETOR, A.SETOR, A.IDUNIDADE, B.UNIDADE FROM SETORES A "
                               "LEFT JOIN UNIDADES B ON A.IDUNIDADE = B.IDUNIDADE"),
                {{QStringLiteral("Código"), {QStringLiteral("IDSETOR")}, 25, centre},
                 {QStringLiteral("Setor"), {QStringLiteral("SETOR")}, 126},
                 {QStringLiteral("Unidade Orçamentária"),
                  {QStringLiteral("IDUNIDADE"), QStringLiteral("UNIDADE")},
                  126}},
                10};
    case Listing::Applicants:
        return {
            QStringLiteral("SELECT A.IDINTERESSADO, A.INTERESSADO, A.TIPO, A.CPF, A.CNPJ, A.ENDERECO, "
                           "A.NUMERO, A.BAIRRO, A.CEP, A.CIDADE, A.UF, A.DDD_TELEFONE, A.TELEFONE, "
                           "A.DDD_CELULAR, A.CELULAR, A.EMAIL, A.SITE FROM INTERESSADOS A"),
            {{QStringLiteral("Código"), {QStringLiteral("IDINTERESSADO")}, 17, centre},
             {QStringLiteral("Requerente / Titular"), {QStringLiteral("INTERESSADO")}, 82},
             {QStringLiteral("C N P J "), {QStringLiteral("CNPJ")}, 33},
             {QStringLiteral("C P F"), {QStringLiteral("CPF")}, 27},
             {QStringLiteral("Telefone "), {QStringLiteral("DDD_TELEFONE"), QStringLiteral("TELEFONE")}, 26},
             {QStringLiteral("EMail"), {QStringLiteral("EMAIL")}, 48},
             {QStringLiteral("Site"), {QStringLiteral("SITE")}, 44}},
            8};
    case Listing::Users:
        return {QStringLiteral("SELECT COD_USUARIO, USUARIO, CPF FROM USUARIOS"),
                {{QStringLiteral("Código"), {QStringLiteral("COD_USUARIO")}, 25, centre},
                 {QStringLiteral("Usuário"), {QStringLiteral("USUARIO")}, 222},
                 {QStringLiteral("C P F "), {QStringLiteral("CPF")}, 30, centre}},
                7};
    }
    return {};
}

// Running values of one preparation of a listing's pages.
struct Running {
    int count = 0;
    int colour = 0; // index of the next line colour
};

} // namespace

const QVector<ListingEntry>& listingEntries() {
    static const QVector<ListingEntry> entries{
        {QStringLiteral("Relatório das Unidades Orçamentárias - Ordem Numérica"), Listing::BudgetUnits, 0},
        {QStringLiteral("Relatório das Unidades Orçamentárias - Ordem Alfabética"), Listing::BudgetUnits, 1},
        {QStringLiteral("Relatório Tipos de Unidades - Ordem Numérica"), Listing::UnitTypes, 0},
        {QStringLiteral("Relatório Tipos de Unidades - Ordem Alfabética"), Listing::UnitTypes, 1},
        {QStringLiteral("Relatório da Empresa"), Listing::Organisation, 0},
        {QStringLiteral("Relatório dos Tipos de Processos - Ordem Numérica"), Listing::ProcessTypes, 0},
        {QStringLiteral("Relatório dos Tipos de Processos - Ordem Alfabética"), Listing::ProcessTypes, 1},
        {QStringLiteral("Relatório dos Setores - Ordem Numérica"), Listing::Sectors, 0},
        {QStringLiteral("Relatório dos Setores - Ordem Alfabética"), Listing::Sectors, 1},
        {QStringLiteral("Relatório dos Requerentes/Titulares - Ordem Numérica"), Listing::Applicants, 0},
        {QStringLiteral("Relatório dos Requerentes/Titulares - Ordem Alfabética"), Listing::Applicants, 1},
        {QStringLiteral("Relatório dos Usuários - Ordem Numérica"), Listing::Users, 0},
        {QStringLiteral("Relatório dos Usuários - Ordem Alfabética"), Listing::Users, 1},
    };
    return entries;
}

const ListingEntry* listingEntry(const QString& title) {
    for (const ListingEntry& e : listingEntries())
        if (e.title == title) return &e;
    return nullptr;
}

QString listingQuery(Listing listing) {
    return layoutOf(listing).query;
}

QString listingCountText(Listing listing, int count) {
    const QString prefix = QStringLiteral("Total de Registros : ");
    if (listing != Listing::Users) return prefix + QStringLiteral("%1").arg(count, 6, 10, QLatin1Char('0'));
    // "###,###,000": three digits at least, groups of thousands with the Brazilian separator.
    if (count < 1000) return prefix + QStringLiteral("%1").arg(count, 3, 10, QLatin1Char('0'));
    return prefix + QLocale(QLocale::Portuguese, QLocale::Brazil).toString(count);
}

std::unique_ptr<Report> createListing(Listing listing) {
    const ListingLayout layout = layoutOf(listing);
    const bool users = listing == Listing::Users;
    auto report = std::make_unique<Report>();
    report->page.orientation = QPageLayout::Landscape;
    report->page.marginsMm = QMarginsF(10, 10, 10, 10);

    // Page header: organisation, system and title centred, the page number at the top right
    // (users: page, date and time of printing, one under the other).
    const TextStyle big = TextStyle(14, true).centred();
    Band& header = report->pageHeader;
    header.height = 23;
    header.addLabel(QStringLiteral("Empresa"), QRectF(30, 0, kWidth - 60, 7), QString(), big);
    header.addLabel(QStringLiteral("Sistema"), QRectF(30, 7, kWidth - 60, 7), QString(), big);
    header.addLabel(QStringLiteral("Titulo"), QRectF(30, 14, kWidth - 60, 7), QString(), big);
    const TextStyle corner = TextStyle(users ? 9 : 10, true).right();
    if (users) {
        header.addPageNumber(QRectF(kWidth - 40, 0, 40, 4.5), QStringLiteral("Pág.  "), corner);
        header.addPrintDate(QRectF(kWidth - 40, 4.5, 40, 4.5), corner);
        header.addPrintTime(QRectF(kWidth - 40, 9, 40, 4.5), corner);
    } else {
        header.addPageNumber(QRectF(kWidth - 40, 0, 40, 5), QStringLiteral("Página : "), corner);
    }

    // Column header between two rules, then one line per record: a value longer than its
    // column is cut with an ellipsis rather than wrapped, so the listing reads as a table.
    const double lineHeight = layout.pointSize * 1.15 * 25.4 / 72.0;
    const double rowHeight = lineHeight + 1.4;
    Band& columns = report->columnHeader;
    columns.height = rowHeight + 2;
    columns.addHLine(0.3, 0, kWidth);
    columns.addHLine(rowHeight + 1.7, 0, kWidth);
    report->detail.height = rowHeight;
    report->addColumns(layout.columns, 1, rowHeight, TextStyle(layout.pointSize, true),
                       TextStyle(layout.pointSize), true);

    // Summary: the count, which the last line wrote into the label.
    Band& summary = report->summary;
    const QString countLabel = QStringLiteral("Registros");
    const TextStyle countStyle = TextStyle(10, true);
    if (users) {
        summary.height = 9;
        summary.addHLine(0.3, 0, kWidth);
        summary.addLabel(countLabel, QRectF(1, 1.5, 120, 5.5), QStringLiteral("T O T A L"), countStyle);
        summary.addHLine(8, 0, kWidth);
    } else {
        summary.height = 8;
        summary.addHLine(0.3, 0, kWidth);
        summary.addLabel(countLabel, QRectF(1, 1.5, 120, 5.5), QStringLiteral("Registros"), countStyle);
    }

    // Count and colours start again with every preparation, so a print made after the preview
    // counts from zero and begins with silver again.
    auto running = std::make_shared<Running>();
    report->onStart = [running](RunContext&) { *running = Running(); };
    report->beforeDetail = [running, listing, users, countLabel](RunContext& ctx) {
        QColor colour;
        if (users) {
            const QStringList& names = core::appValues().rowColourNames;
            colour =
                names.isEmpty() ? kSilver : gui::colourFromName(names.at(running->colour % names.size()));
        } else {
            colour = running->colour % 2 == 0 ? kSilver : kWhite;
        }
        ctx.setBackground(colour);
        ++running->colour;
        ++running->count;
        ctx.setLabel(countLabel, listingCountText(listing, running->count));
    };
    return report;
}

std::unique_ptr<Report> buildListing(const QString& entryTitle, QString* errorText) {
    QString title = entryTitle;
    const int amp = title.indexOf(QLatin1Char('&'));
    if (amp >= 0) title.remove(amp, 1);
    const ListingEntry* entry = listingEntry(title);
    if (!entry) {
        if (errorText) *errorText = QStringLiteral("Relatório desconhecido: %1").arg(title);
        return nullptr;
    }
    std::unique_ptr<Report> report = createListing(entry->listing);
    report->title = title;
    if (!report->data.load(listingQuery(entry->listing), {}, errorText)) return nullptr;
    // Equal names in the order of their codes (the first column), as the grids and the lookups
    // show them: the sort keeps the earlier order among equal values.
    report->data.sortByColumn(0);
    report->data.sortByColumn(entry->orderColumn);
    const core::AppValues& values = core::appValues();
    report->setLabel(QStringLiteral("Empresa"), values.profile.organisationName);
    report->setLabel(QStringLiteral("Sistema"), values.systemName);
    report->setLabel(QStringLiteral("Titulo"), title);
    return report;
}

void openListing(QWidget* parent, const QString& entryTitle) {
    QString error;
    std::unique_ptr<Report> report = buildListing(entryTitle, &error);
    if (!report) {
        core::dialogs().error(parent, error);
        return;
    }
    showPreview(*report, parent);
}

} // namespace reports
