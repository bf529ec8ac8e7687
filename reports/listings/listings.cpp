#include "reports/listings/listings.h"

#include "core/appvalues.h"
#include "core/collation.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "gui/colours.h"
#include "reports/engine/preview.h"

#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <algorithm>

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
    // The code as the query names it: the primary key gives the numerical order.
    QString codeExpr;
    // Where an index gives the alphabetical order (a register that grows large): the expression
    // it is built on and its name. Without one the rows are read whole and ordered here.
    QString nameOrderExpr;
    QString nameIndex;
};

ListingLayout layoutOf(Listing listing) {
    const Qt::Alignment centre = Qt::AlignHCenter;
    switch (listing) {
    case Listing::BudgetUnits:
        return {QStringLiteral("SELECT IDUNIDADE, UNIDADE FROM UNIDADES"),
                {{QStringLiteral("Código"), {QStringLiteral("IDUNIDADE")}, 25, centre},
                 {QStringLiteral("Unidade"), {QStringLiteral("UNIDADE")}, 252}},
                10,
                QStringLiteral("IDUNIDADE"),
                {},
                {}};
    case Listing::UnitTypes:
        return {QStringLiteral("SELECT IDTIPO, TIPO FROM TIPOUNIDADE"),
                {{QStringLiteral("Código"), {QStringLiteral("IDTIPO")}, 25, centre},
                 {QStringLiteral("Tipo Unidade"), {QStringLiteral("TIPO")}, 252}},
                10,
                QStringLiteral("IDTIPO"),
                {},
                {}};
    case Listing::Organisation:
        return {
            QStringLiteral("SELECT A.IDEMPRESA, A.EMPRESA, A.CNPJ, A.ENDERECO, A.NUMERO, A.BAIRRO, A.CEP, "
                           "A.CIDADE, A.UF, A.LOGO, A.DDD, A.TELEFONE, A.EMAIL, A.SITE FROM EMPRESA A"),
            // The whole width of the page: the name takes what the fixed-length values leave,
            // the addresses share the rest.
            {{QStringLiteral("Código"), {QStringLiteral("IDEMPRESA")}, 17, centre},
             {QStringLiteral("Empresa"), {QStringLiteral("EMPRESA")}, 83},
             {QStringLiteral("C N P J "), {QStringLiteral("CNPJ")}, 36},
             {QStringLiteral("Telefone "), {QStringLiteral("DDD"), QStringLiteral("TELEFONE")}, 31},
             {QStringLiteral("EMail"), {QStringLiteral("EMAIL")}, 55},
             {QStringLiteral("Site"), {QStringLiteral("SITE")}, 55}},
            10,
            QStringLiteral("A.IDEMPRESA"),
            {},
            {}};
    case Listing::ProcessTypes:
        return {QStringLiteral("SELECT IDTIPO, TIPO FROM TIPOPROCESSO"),
                {{QStringLiteral("Código"), {QStringLiteral("IDTIPO")}, 25, centre},
                 {QStringLiteral("Tipo Processo"), {QStringLiteral("TIPO")}, 252}},
                10,
                QStringLiteral("IDTIPO"),
                {},
                {}};
    case Listing::Sectors:
        return {QStringLiteral("SELECT A.IDSETOR, A.SETOR, A.IDUNIDADE, B.UNIDADE FROM SETORES A "
                               "LEFT JOIN UNIDADES B ON A.IDUNIDADE = B.IDUNIDADE"),
                {{QStringLiteral("Código"), {QStringLiteral("IDSETOR")}, 25, centre},
                 {QStringLiteral("Setor"), {QStringLiteral("SETOR")}, 126},
                 {QStringLiteral("Unidade Orçamentária"),
                  {QStringLiteral("IDUNIDADE"), QStringLiteral("UNIDADE")},
                  126}},
                10,
                QStringLiteral("A.IDSETOR"),
                {},
                {}};
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
            8,
            QStringLiteral("A.IDINTERESSADO"),
            QStringLiteral("A.INTERESSADO COLLATE WIN_PTBR"),
            QStringLiteral("INTERESSADOS_O_NOME")};
    case Listing::Users:
        return {QStringLiteral("SELECT COD_USUARIO, USUARIO, CPF FROM USUARIOS"),
                {{QStringLiteral("Código"), {QStringLiteral("COD_USUARIO")}, 25, centre},
                 {QStringLiteral("Usuário"), {QStringLiteral("USUARIO")}, 222},
                 {QStringLiteral("C P F "), {QStringLiteral("CPF")}, 30, centre}},
                7,
                QStringLiteral("COD_USUARIO"),
                {},
                {}};
    }
    return {};
}

// The rows of a listing's query in the order the server reads them through an index (the code's,
// or the name's in the Brazilian collation), handed over a batch at a time. The index holds
// equal names in no useful order, so each run of names the program's one order holds equal
// (case, accents, blanks and nulls) is put in code order before it is handed on. Codes are
// digit texts: the key's own order is the program's.
class OrderedRows : public RowReader {
public:
    bool open(const QString& sql, int orderColumn, int codeColumn, QString* errorText) {
        m_query = QSqlQuery(core::mainConnection());
        m_query.setForwardOnly(true);
        if (!m_query.exec(sql)) {
            if (errorText) *errorText = m_query.lastError().text();
            return false;
        }
        const QSqlRecord record = m_query.record();
        for (int i = 0; i < record.count(); ++i)
            m_columns << record.fieldName(i);
        m_order = orderColumn;
        m_code = codeColumn;
        return true;
    }

    QStringList columns() const override { return m_columns; }
    bool atEnd() const override { return m_end && m_group.isEmpty(); }

    bool read(int count, QVector<QVector<QVariant>>& rows, QString* errorText) override {
        const int n = int(m_columns.size());
        const int wanted = int(rows.size()) + count;
        while (rows.size() < wanted && !m_end) {
            if (!m_query.next()) {
                if (m_query.lastError().isValid()) {
                    if (errorText) *errorText = m_query.lastError().text();
                    return false;
                }
                m_end = true;
                m_query.finish();
                break;
            }
            QVector<QVariant> row(n);
            for (int i = 0; i < n; ++i)
                row[i] = m_query.value(i);
            const QString value = displayText(row.at(m_order));
            if (!m_group.isEmpty() && core::compareText(m_groupValue, value) != 0) handOver(rows);
            if (m_group.isEmpty()) m_groupValue = value;
            m_group.append(std::move(row));
        }
        if (m_end) handOver(rows);
        return true;
    }

private:
    void handOver(QVector<QVector<QVariant>>& rows) {
        if (m_group.size() > 1)
            std::stable_sort(m_group.begin(), m_group.end(), [this](const auto& a, const auto& b) {
                return core::compareText(displayText(a.at(m_code)), displayText(b.at(m_code))) < 0;
            });
        for (auto& row : m_group)
            rows.append(std::move(row));
        m_group.clear();
    }

    QSqlQuery m_query;
    QStringList m_columns;
    int m_order = 0;
    int m_code = 0;
    bool m_end = false;
    QString m_groupValue;
    QVector<QVector<QVariant>> m_group; // rows of one value, not yet handed over
};

bool indexActive(const QString& name) {
    QSqlQuery q(core::mainConnection());
    q.prepare(QStringLiteral("SELECT COUNT(*) FROM RDB$INDICES WHERE RDB$INDEX_NAME = ? "
                             "AND COALESCE(RDB$INDEX_INACTIVE, 0) = 0"));
    q.addBindValue(name);
    return q.exec() && q.next() && q.value(0).toInt() > 0;
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
    const ListingLayout layout = layoutOf(entry->listing);
    // A large register's first page must not wait for its last row: where an index gives the
    // order, the rows are read as the pages are laid out. Otherwise (a small register, or a
    // database whose update has not yet built the name's index) every row is read first and
    // ordered here.
    QString orderBy;
    if (entry->orderColumn == 0)
        orderBy = layout.codeExpr;
    else if (!layout.nameIndex.isEmpty() && indexActive(layout.nameIndex))
        orderBy = layout.nameOrderExpr;
    if (!orderBy.isEmpty()) {
        auto rows = std::make_unique<OrderedRows>();
        if (!rows->open(layout.query + QStringLiteral(" ORDER BY ") + orderBy, entry->orderColumn, 0,
                        errorText))
            return nullptr;
        report->data.setReader(std::move(rows));
    } else {
        if (!report->data.load(layout.query, {}, errorText)) return nullptr;
        // Equal names in the order of their codes (the first column), as the grids and the
        // lookups show them: the sort keeps the earlier order among equal values.
        report->data.sortByColumn(0);
        report->data.sortByColumn(entry->orderColumn);
    }
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
