#include "reports/processes/processreports.h"

#include "core/appvalues.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/publiclookup.h"
#include "core/session.h"
#include "gui/colours.h"
#include "reports/engine/preview.h"
#include "reports/processes/qrcode.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>

namespace reports {

namespace {

const QColor kSilver(192, 192, 192);
const QColor kWhite(255, 255, 255);
const QColor kNavy(0, 0, 128);

// Usable widths: A4 portrait with 10 mm margins, A4 landscape with 10 mm margins, and the
// dispatch sheet's A4 portrait with 30 mm on the left (binding) and 15 mm on the right.
constexpr double kPortraitWidth = 190;
constexpr double kLandscapeWidth = 277;
constexpr double kSheetWidth = 165;

// Texts fitted into a box of a one-page paper get no smaller than this: still read without
// effort on paper, which is what matters more than seeing every word of a very long text.
constexpr double kSmallestType = 7;

const QString kProcessQuery = QStringLiteral(
    "SELECT A.IDPROCESSO, A.ANO, A.DATA, A.HORA, A.IDTITULAR, A.IDREQUERENTE, A.ASSUNTO, A.PROCESSO, A.RG, "
    "A.CPF, A.IDTIPOPROCESSO, A.COD_USUARIO, A.COMPROVANTE_RESIDENCIA, A.CARTEIRA_PROFISSIONAL, "
    "A.DOCUMENTOS_ANEXADOS, B.INTERESSADO AS TITULAR, B.CPF AS TITULAR_CPF, C.INTERESSADO AS REQUERENTE, "
    "C.CPF AS REQUERENTE_CPF, D.TIPO AS TIPO_PROCESSO "
    "FROM PROCESSOS A "
    "LEFT JOIN INTERESSADOS B ON A.IDTITULAR = B.IDINTERESSADO "
    "LEFT JOIN INTERESSADOS C ON A.IDREQUERENTE = C.IDINTERESSADO "
    "LEFT JOIN TIPOPROCESSO D ON A.IDTIPOPROCESSO = D.IDTIPO "
    "WHERE A.IDPROCESSO = :UM AND A.ANO = :ANO ORDER BY A.IDPROCESSO");

const QString kCoverMovementsQuery = QStringLiteral(
    "SELECT A.*, B.ASSUNTO, B.PROCESSO, C.SETOR, D.USUARIO AS USUARIO_DESTINO, E.USUARIO AS USUARIO, "
    "F.UNIDADE FROM TRAMITACAO A "
    "LEFT JOIN PROCESSOS B ON A.IDPROCESSO = B.IDPROCESSO AND A.ANO = B.ANO "
    "LEFT JOIN SETORES C ON A.IDSETOR = C.IDSETOR "
    "LEFT JOIN USUARIOS D ON A.COD_USUARIO_DESTINO = D.COD_USUARIO "
    "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO "
    "LEFT JOIN UNIDADES F ON A.IDUNIDADE = F.IDUNIDADE "
    "WHERE A.IDPROCESSO = :IDPROCESSO AND A.ANO = :ANO ORDER BY A.REGISTRO");

// The process is joined on its number and its year: a number is given again every year, and a
// join on the number alone would repeat each movement once per year that number exists.
const QString kHistoryQuery = QStringLiteral(
    "SELECT A.REGISTRO, A.IDPROCESSO, A.IDSETOR, A.COD_USUARIO_DESTINO, A.DATA, A.HORA, A.DESPACHO, "
    "A.DATA_RECEBIMENTO, A.HORA_RECEBIMENTO, A.DATA_RECEBIMENTO_FISICO, A.HORA_RECEBIMENTO_FISICO, "
    "A.ARQUIVADO, A.COD_USUARIO, A.DATA_ARQUIVAMENTO, A.HORA_ARQUIVAMENTO, A.MOTIVO_ARQUIVAMENTO, "
    "A.DATA_DESARQUIVAMENTO, A.HORA_DESARQUIVAMENTO, A.MOTIVO_DESARQUIVAMENTO, A.IDUNIDADE, B.ASSUNTO, "
    "B.PROCESSO, B.DATA AS DATA_PROCESSO, B.HORA AS HORA_PROCESSO, B.IDREQUERENTE, B.IDTITULAR, "
    "B.IDTIPOPROCESSO, C.SETOR, D.USUARIO AS USUARIO_DESTINO, E.USUARIO AS USUARIO, "
    "F.INTERESSADO AS REQUERENTE, G.INTERESSADO AS TITULAR, H.TIPO AS TIPOPROCESSO, I.UNIDADE "
    "FROM TRAMITACAO A "
    "LEFT JOIN PROCESSOS B ON A.IDPROCESSO = B.IDPROCESSO AND A.ANO = B.ANO "
    "LEFT JOIN SETORES C ON A.IDSETOR = C.IDSETOR "
    "LEFT JOIN USUARIOS D ON A.COD_USUARIO_DESTINO = D.COD_USUARIO "
    "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO "
    "LEFT JOIN INTERESSADOS F ON B.IDREQUERENTE = F.IDINTERESSADO "
    "LEFT JOIN INTERESSADOS G ON B.IDTITULAR = G.IDINTERESSADO "
    "LEFT JOIN TIPOPROCESSO H ON B.IDTIPOPROCESSO = H.IDTIPO "
    "LEFT JOIN UNIDADES I ON A.IDUNIDADE = I.IDUNIDADE "
    "WHERE A.IDPROCESSO = :UM AND A.ANO = :ANO ORDER BY A.DATA, A.HORA, A.REGISTRO");

const QString kDispatchQuery = QStringLiteral(
    "SELECT A.REGISTRO, A.IDPROCESSO, A.IDSETOR, A.COD_USUARIO_DESTINO, A.DATA, A.HORA, A.DESPACHO, "
    "A.DATA_RECEBIMENTO, A.HORA_RECEBIMENTO, A.ARQUIVADO, A.COD_USUARIO, A.DATA_ARQUIVAMENTO, "
    "A.HORA_ARQUIVAMENTO, A.MOTIVO_ARQUIVAMENTO, A.DATA_DESARQUIVAMENTO, A.HORA_DESARQUIVAMENTO, "
    "A.MOTIVO_DESARQUIVAMENTO, B.ASSUNTO, B.PROCESSO, B.DATA AS DATA_PROCESSO, B.HORA AS HORA_PROCESSO, "
    "B.IDREQUERENTE, B.IDTITULAR, B.IDTIPOPROCESSO, C.SETOR, D.USUARIO AS USUARIO_DESTINO, "
    "E.USUARIO AS USUARIO, E.CPF, F.INTERESSADO AS REQUERENTE, G.INTERESSADO AS TITULAR, "
    "H.TIPO AS TIPOPROCESSO "
    "FROM TRAMITACAO A "
    "LEFT JOIN PROCESSOS B ON A.IDPROCESSO = B.IDPROCESSO AND A.ANO = B.ANO "
    "LEFT JOIN SETORES C ON A.IDSETOR = C.IDSETOR "
    "LEFT JOIN USUARIOS D ON A.COD_USUARIO_DESTINO = D.COD_USUARIO "
    "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO "
    "LEFT JOIN INTERESSADOS F ON B.IDREQUERENTE = F.IDINTERESSADO "
    "LEFT JOIN INTERESSADOS G ON B.IDTITULAR = G.IDINTERESSADO "
    "LEFT JOIN TIPOPROCESSO H ON B.IDTIPOPROCESSO = H.IDTIPO "
    "WHERE A.REGISTRO = :UM ORDER BY A.DATA, A.HORA");

TextStyle plain(double points) {
    return TextStyle(points);
}

TextStyle bold(double points) {
    return TextStyle(points, true);
}

// Running values of one preparation of the history's pages.
struct HistoryRun {
    int count = 0;
    bool silver = true;
    QString previousSector;
    QString situation;
    QString reason;
};

// The page header of the receipt and the cover: the emblem on the left, the organisation's
// texts beside it, and the picture slot at the right edge left empty.
void addProcessPageHeader(Report& r) {
    Band& h = r.pageHeader;
    h.height = 30;
    h.addPicture(QRectF(1.5, 1.5, 25, 25), emblemPicture());
    const double x = 30;
    const double w = kPortraitWidth - x - 30;
    h.addLabel(QStringLiteral("Estado"), QRectF(x, 1.5, w, 5.2), QString(), bold(12)).elided();
    h.addLabel(QStringLiteral("Empresa"), QRectF(x, 6.7, w, 5.2), QString(), bold(12)).elided();
    h.addLabel(QStringLiteral("Setor"), QRectF(x, 11.9, w, 5.2), QString(), bold(12)).elided();
    h.addLabel(QStringLiteral("Endereco"), QRectF(x, 17.1, w, 5.2), QString(), bold(12)).elided();
    h.addLabel(QStringLiteral("CNPJ"), QRectF(x, 22.3, w, 4.6), QString(), bold(10)).elided();
}

// Heading of the receipt and the cover: "P R O T O C O L O", number, year, date and time
// between two rules. Returns the band height it takes.
double addProtocolHeading(Band& b) {
    b.addHLine(0.3, 0, kPortraitWidth);
    b.addText(QRectF(0, 1.2, kPortraitWidth, 7.5), QStringLiteral("P R O T O C O L O"), bold(16).centred());
    const double y = 9.2;
    const double h = 5;
    b.addText(QRectF(1, y, 22, h), QStringLiteral("Protocolo :"), bold(10));
    b.addField(QRectF(23, y, 27, h), QStringLiteral("IDPROCESSO"), plain(10));
    b.addText(QRectF(52, y, 11, h), QStringLiteral("Ano :"), bold(10));
    b.addField(QRectF(63, y, 15, h), QStringLiteral("ANO"), plain(10));
    b.addText(QRectF(82, y, 18, h), QStringLiteral("Emissão :"), bold(10));
    b.addField(QRectF(100, y, 24, h), QStringLiteral("DATA"), plain(10));
    b.addText(QRectF(128, y, 13, h), QStringLiteral("Hora :"), bold(10));
    b.addField(QRectF(141, y, 24, h), QStringLiteral("HORA"), plain(10));
    b.addHLine(14.8, 0, kPortraitWidth);
    return 15.3;
}

void applyFrame(Report& r, bool fourSides) {
    r.page.frame.colour = gui::colourFromName(core::appValues().highlightColourName);
    r.page.frame.widthMm = 0.5;
    r.page.frame.top = true;
    r.page.frame.bottom = true;
    r.page.frame.left = fourSides;
    r.page.frame.right = fourSides;
}

// "(X) CÓPIA RG" or "( ) CÓPIA RG": the mark is worked out for each process.
TextFunction documentLine(const QString& flag, const QString& caption) {
    return [flag, caption](const EvalContext& c) {
        const QString mark =
            c.text(flag).trimmed() == QLatin1String("X") ? QStringLiteral("X") : QStringLiteral(" ");
        return QStringLiteral("(") + mark + caption;
    };
}

void setProcessLabels(Report& r, const ProcessLabels& l) {
    r.setLabel(QStringLiteral("Estado"), l.estado);
    r.setLabel(QStringLiteral("Empresa"), l.empresa);
    r.setLabel(QStringLiteral("Endereco"), l.endereco);
    r.setLabel(QStringLiteral("Setor"), l.setor);
    r.setLabel(QStringLiteral("CNPJ"), l.cnpj);
    r.setLabel(QStringLiteral("Usuario"), l.usuario);
}

// A one-record paper still prints its page, empty fields and all, when the record is missing.
void keepOnePage(ReportData& data) {
    if (data.rowCount() == 0) data.addRow({});
}

QString dateTimeText(const QVariant& date, const QVariant& time) {
    return displayText(date) + QStringLiteral(" as ") + displayText(time);
}

} // namespace

ProcessLabels processLabels() {
    const core::AppValues& v = core::appValues();
    ProcessLabels l;
    l.estado = v.profile.stateName;
    l.empresa = v.profile.organisationName;
    l.endereco = v.profile.organisationAddress;
    l.setor = QStringLiteral("Setor de Protocolo");
    l.cnpj = QStringLiteral("CNPJ   ") + v.profile.organisationCnpj;
    l.usuario = core::currentUser().name;
    return l;
}

QString organisationInCapitals(const QString& text) {
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toUpper(text);
}

QString writtenDate(const QDate& date) {
    if (!date.isValid()) return {};
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    return QStringLiteral("%1 de %2 de %3")
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(brazil.monthName(date.month(), QLocale::LongFormat))
        .arg(date.year(), 4, 10, QLatin1Char('0'));
}

QString firstLine(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("[\r\n]"));
    return text.section(breaks, 0, 0);
}

// ---------------------------------------------------------------------------------------------
// Receipt

namespace {
// The height of the receipt's public look-up block ("Consulte o andamento do processo").
constexpr double kLookupBlockHeight = 26;
} // namespace

std::unique_ptr<Report> createReceipt() {
    auto r = std::make_unique<Report>(QStringLiteral("Protocolo"));
    r->page.orientation = QPageLayout::Portrait;
    r->page.marginsMm = QMarginsF(10, 10, 10, 10);
    applyFrame(*r, false);
    addProcessPageHeader(*r);
    const double w = kPortraitWidth;

    // Heading and the four parties/subject blocks; the subject wraps at the block's foot.
    Band& d = r->detail;
    double y = addProtocolHeading(d) + 1;
    struct Block {
        QString caption;
        QStringList fields;
    };
    const QVector<Block> blocks{
        {QStringLiteral("T I T U L A R  /  Ó R G Ã O :"),
         {QStringLiteral("TITULAR"), QStringLiteral("TITULAR_CPF")}},
        {QStringLiteral("R E Q U E R E N T E:"),
         {QStringLiteral("REQUERENTE"), QStringLiteral("REQUERENTE_CPF")}},
        {QStringLiteral("T I P O  P R O C E S S O:"), {QStringLiteral("TIPO_PROCESSO")}},
        {QStringLiteral("A S S U N T O:"), {QStringLiteral("ASSUNTO")}},
    };
    // The receipt is one sheet with the signatures on it, whatever was typed: the subject, the
    // instruction and the list of documents each keep to a box of their own (smaller type, then
    // an ellipsis), and nothing above the signatures can grow.
    const double line = 4.6;
    for (const Block& block : blocks) {
        d.addText(QRectF(1, y, w - 2, line), block.caption, bold(10));
        y += line;
        for (const QString& field : block.fields) {
            if (field == QLatin1String("ASSUNTO")) {
                d.addField(QRectF(5, y, w - 6, 2 * line), field, plain(10).valigned(Qt::AlignTop))
                    .fitted(kSmallestType);
                y += 2 * line;
                continue;
            }
            d.addField(QRectF(5, y, w - 6, line), field, plain(10)).fitted(kSmallestType);
            y += line;
        }
        y += 1;
    }
    d.height = y;

    // Other data: the instruction text over the full width, in the room the page has left. The
    // strip under the signatures (kLookupBlockHeight above the bottom margin) stays free for the
    // public look-up block, so that a receipt with it and one without place everything else alike.
    Band other;
    other.height = 76;
    other.addHLine(0.3, 0, w);
    other.addText(QRectF(0, 1, w, 5.5), QStringLiteral("O U T R O S  D A D O S"), bold(11).centred());
    other.addHLine(7, 0, w);
    other
        .addField(QRectF(1, 8.3, w - 2, other.height - 9), QStringLiteral("PROCESSO"),
                  plain(10).valigned(Qt::AlignTop))
        .fitted(kSmallestType);
    r->detailChildren << other;

    // Documents handed in: the four marks on the left, the list of other papers on the right.
    Band docs;
    docs.height = 29;
    docs.addHLine(0.3, 0, w);
    docs.addText(QRectF(0, 1, w, 5.5), QStringLiteral("D O C U M E N T O S   A N E X O S"),
                 bold(11).centred());
    docs.addHLine(7, 0, w);
    const QVector<QPair<QString, QString>> lines{
        {QStringLiteral("RG"), QStringLiteral(") CÓPIA RG    ")},
        {QStringLiteral("CPF"), QStringLiteral(") CÓPIA CPF")},
        {QStringLiteral("COMPROVANTE_RESIDENCIA"), QStringLiteral(") CÓPIA COMPROVANTE DE RESIDÊNCIA")},
        {QStringLiteral("CARTEIRA_PROFISSIONAL"), QStringLiteral(") CÓPIA CARTEIRA PROFISSIONAL ")},
    };
    for (int i = 0; i < lines.size(); ++i)
        docs.addFunction(QRectF(3, 8.5 + i * 5, 85, 5), documentLine(lines[i].first, lines[i].second),
                         plain(10));
    docs.addVLine(w / 2, 7, 29).following();
    docs.addField(QRectF(w / 2 + 2, 8.5, w / 2 - 3, 20), QStringLiteral("DOCUMENTOS_ANEXADOS"),
                  plain(10).valigned(Qt::AlignTop))
        .fitted(kSmallestType);
    r->detailChildren << docs;

    // Signatures: the applicant's on the left, the clerk's receipt on the right; the user who
    // printed it in small type at the foot.
    Band sign;
    sign.height = 43;
    const double half = w / 2;
    sign.addHLine(0.3, 0, w);
    sign.addVLine(half, 0.3, 38);
    sign.addText(QRectF(0, 1, half, 5.5), QStringLiteral("ASSINATURA DO REQUERENTE"), bold(10).centred());
    sign.addText(QRectF(half, 1, half, 5.5), QStringLiteral("ASSINATURA RECEBIMENTO DE DOCUMENTOS"),
                 bold(10).centred());
    sign.addHLine(7.3, 0, w);
    sign.addText(QRectF(half + 2, 9, half - 3, 5),
                 QStringLiteral("DATA : __________ / __________ / __________"), plain(9));
    sign.addHLine(27, 10, half - 10);
    sign.addField(QRectF(1, 27.6, half - 2, 4.6), QStringLiteral("REQUERENTE"), bold(10).centred()).elided();
    sign.addField(QRectF(1, 32.2, half - 2, 4.6), QStringLiteral("REQUERENTE_CPF"), bold(10).centred());
    sign.addText(QRectF(half + 2, 19, half - 3, 5), QStringLiteral("Nome :"), bold(10));
    sign.addText(QRectF(half + 2, 29, half - 3, 5), QStringLiteral("CPF/CI :"), bold(10));
    sign.addHLine(38, 0, w);
    sign.addLabel(QStringLiteral("Usuario"), QRectF(1, 38.6, w - 2, 3.2), QString(), bold(6));
    r->detailChildren << sign;
    return r;
}

// ---------------------------------------------------------------------------------------------
// Cover

namespace {

// The cover reads the process's movements besides the process; its first row prints the first.
class CoverReport : public Report {
public:
    CoverReport()
        : Report(QStringLiteral("Capa de Processo")) {}
    std::shared_ptr<ReportData> movements;
};

std::unique_ptr<CoverReport> createCoverLayout() {
    auto r = std::make_unique<CoverReport>();
    r->page.orientation = QPageLayout::Portrait;
    r->page.marginsMm = QMarginsF(10, 10, 10, 10);
    applyFrame(*r, true);
    addProcessPageHeader(*r);
    const double w = kPortraitWidth;
    r->detail.height = addProtocolHeading(r->detail);

    // Two columns: the parties, type and subject on the left; the other information on the right.
    Band parties;
    const double split = 95;
    const double line = 4.6;
    double y = 1;
    auto caption = [&](const QString& text) {
        parties.addText(QRectF(1, y, split - 2, line), text, bold(10));
        y += line;
    };
    auto value = [&](const QString& field) {
        parties.addField(QRectF(3, y, split - 4, line), field, plain(10)).fitted(kSmallestType);
        y += line;
    };
    caption(QStringLiteral("REQUERENTE / PROCURADOR :"));
    value(QStringLiteral("REQUERENTE"));
    value(QStringLiteral("REQUERENTE_CPF"));
    y += 1;
    caption(QStringLiteral("TITULAR / ÓRGÃO :"));
    value(QStringLiteral("TITULAR"));
    value(QStringLiteral("TITULAR_CPF"));
    y += 1;
    caption(QStringLiteral("T I P O  P R O C E S S O:"));
    value(QStringLiteral("TIPO_PROCESSO"));
    y += 1;
    // The cover is the front of the paper folder: one sheet with the movement table on it. The
    // subject and the other information keep to their boxes (smaller type, then an ellipsis)
    // instead of pushing the table onto a second page.
    caption(QStringLiteral("A S S U N T O:"));
    parties
        .addField(QRectF(3, y, split - 4, 2 * line), QStringLiteral("ASSUNTO"),
                  plain(10).valigned(Qt::AlignTop))
        .fitted(kSmallestType);
    y += 2 * line;
    parties.height = y + 1;
    parties.addVLine(split, 0, parties.height);
    parties.addText(QRectF(split + 2, 1, w - split - 3, line), QStringLiteral("Outras Informações"),
                    bold(10));
    parties
        .addField(QRectF(split + 2, 1 + line, w - split - 3, parties.height - line - 2),
                  QStringLiteral("PROCESSO"), plain(10).valigned(Qt::AlignTop))
        .fitted(kSmallestType);
    r->detailChildren << parties;

    // The movement table: titles, the first movement, then empty rows written in by hand.
    Band moves;
    moves.addHLine(0.3, 0, w);
    moves.addText(QRectF(0, 1, w, 5.5), QStringLiteral("M O V I M E N T A Ç Ã O"), bold(11).centred());
    moves.addHLine(7, 0, w);
    const double top = 8.5;
    const double titleHeight = 6.5;
    const double rowHeight = 8.5;
    const int rows = 18;
    const double bottom = top + titleHeight + rows * rowHeight;
    const QVector<double> widths{30, 80, 30, 50};
    const QStringList titles{QStringLiteral("Data"), QStringLiteral("Órgão Destino"),
                             QStringLiteral("Dt.Recebido"), QStringLiteral("Assinatura")};
    moves.addRect(QRectF(0, top, w, bottom - top));
    double x = 0;
    for (int c = 0; c < widths.size(); ++c) {
        moves.addText(QRectF(x + 1, top, widths[c] - 2, titleHeight), titles[c], bold(10).centred());
        x += widths[c];
        if (c + 1 < widths.size()) moves.addVLine(x, top, bottom);
    }
    for (int i = 0; i < rows; ++i)
        moves.addHLine(top + titleHeight + i * rowHeight, 0, w);
    r->detailChildren << moves;

    auto movements = std::make_shared<ReportData>();
    auto first = [movements](const QString& field) {
        return [movements, field](const EvalContext&) { return movements->text(0, field); };
    };
    const double y1 = top + titleHeight;
    Band& m = r->detailChildren.last();
    m.addFunction(QRectF(1, y1, widths[0] - 2, rowHeight), first(QStringLiteral("DATA")),
                  plain(10).centred());
    m.addFunction(QRectF(widths[0] + 1.5, y1, widths[1] - 3, rowHeight), first(QStringLiteral("UNIDADE")),
                  plain(9))
        .fitted(kSmallestType);
    m.addFunction(QRectF(widths[0] + widths[1] + 1, y1, widths[2] - 2, rowHeight),
                  first(QStringLiteral("DATA_RECEBIMENTO")), plain(10).centred());
    m.addHLine(bottom + 1.5, 0, w);
    m.addLabel(QStringLiteral("Usuario"), QRectF(1, bottom + 2, w - 2, 3.2), QString(), bold(6));
    m.height = bottom + 5.5;

    r->movements = movements;
    return r;
}

} // namespace

std::unique_ptr<Report> createCover() {
    return createCoverLayout();
}

// ---------------------------------------------------------------------------------------------
// Routing history

std::unique_ptr<Report> createHistory() {
    auto r = std::make_unique<Report>(QStringLiteral("Histórico do Processo"));
    r->page.orientation = QPageLayout::Landscape;
    r->page.marginsMm = QMarginsF(10, 10, 10, 10);
    const double w = kLandscapeWidth;

    Band& h = r->pageHeader;
    h.height = 22;
    h.addLabel(QStringLiteral("Empresa"), QRectF(45, 0, w - 90, 7), QString(), bold(15).centred()).elided();
    h.addLabel(QStringLiteral("Sistema"), QRectF(45, 7, w - 90, 7), QString(),
               bold(15).centred().coloured(kNavy))
        .elided();
    h.addLabel(QStringLiteral("Titulo"), QRectF(45, 14, w - 90, 7), QString(), bold(15).centred()).elided();
    h.addPageNumber(QRectF(w - 45, 0, 45, 5), QStringLiteral("Página : "), bold(10).right());

    // The process block and the column titles open every page.
    Band& p = r->columnHeader;
    const double line = 4;
    p.addHLine(0.3, 0, w);
    double y = 1;
    p.addText(QRectF(0, y, 21, line), QStringLiteral("Nº Processo : "), bold(8));
    p.addField(QRectF(21, y, 22, line), QStringLiteral("IDPROCESSO"), plain(8));
    p.addText(QRectF(45, y, 9, line), QStringLiteral("Data :"), bold(8));
    p.addField(QRectF(54, y, 18, line), QStringLiteral("DATA_PROCESSO"), plain(8));
    p.addText(QRectF(75, y, 9, line), QStringLiteral("Hora :"), bold(8));
    p.addField(QRectF(84, y, 18, line), QStringLiteral("HORA_PROCESSO"), plain(8));
    p.addText(QRectF(105, y, 9, line), QStringLiteral("Tipo :"), bold(8));
    // A type name longer than the rest of the line goes on under itself, and the block with it.
    p.addFields(QRectF(114, y, w - 114, line),
                {QStringLiteral("IDTIPOPROCESSO"), QStringLiteral("TIPOPROCESSO")}, plain(8))
        .wrapped();
    const int typeLine = p.lastIndex();
    y += line;
    p.addText(QRectF(0, y, 36, line), QStringLiteral("Assunto :"), bold(8));
    p.addField(QRectF(36, y, w - 36, line), QStringLiteral("ASSUNTO"), plain(8)).elided();
    y += line;
    p.addText(QRectF(0, y, 36, line), QStringLiteral("Instrução do Processo :"), bold(8));
    p.addFunction(
         QRectF(36, y, w - 36, line),
         [](const EvalContext& c) { return firstLine(c.text(QStringLiteral("PROCESSO"))); }, plain(8))
        .elided();
    y += line;
    p.addText(QRectF(0, y, 36, line), QStringLiteral("Requerente :"), bold(8));
    p.addFields(QRectF(36, y, w - 36, line), {QStringLiteral("IDREQUERENTE"), QStringLiteral("REQUERENTE")},
                plain(8))
        .elided();
    y += line;
    p.addText(QRectF(0, y, 36, line), QStringLiteral("Titular :"), bold(8));
    p.addFields(QRectF(36, y, w - 36, line), {QStringLiteral("IDTITULAR"), QStringLiteral("TITULAR")},
                plain(8))
        .elided();
    y += line + 0.4;
    p.addHLine(y, 0, w);
    y += 0.5;
    const double t = 3.6;
    const TextStyle title = bold(8);
    p.addText(QRectF(0, y, 15, t), QStringLiteral("Registro"), title.centred());
    p.addText(QRectF(15, y, 15, t), QStringLiteral("Data"), title.centred());
    p.addText(QRectF(30, y, 15, t), QStringLiteral("Hora"), title.centred());
    p.addText(QRectF(46, y, 113, t), QStringLiteral("Despacho"), title);
    p.addText(QRectF(161, y, 52, t), QStringLiteral("Setor Origem"), title);
    p.addText(QRectF(161, y + t, 52, t), QStringLiteral("Usuário"), title);
    p.addText(QRectF(215, y, 52, t), QStringLiteral("Setor Destino"), title);
    p.addText(QRectF(215, y + t, 52, t), QStringLiteral("Encaminhado para"), title);
    p.addText(QRectF(215, y + 2 * t, 52, t), QStringLiteral("Recebido / Recebido Físico"), title);
    y += 3 * t + 0.4;
    p.addHLine(y, 0, w);
    p.height = y + 0.6;
    for (int i = typeLine + 1; i < p.elements.size(); ++i)
        p.elements[i].under(typeLine);

    // One block per movement: the dispatch grows the block; sender and receiver columns on the right.
    Band& d = r->detail;
    d.height = 11.6;
    d.addField(QRectF(0, 0.4, 15, t), QStringLiteral("REGISTRO"), plain(8).centred());
    d.addField(QRectF(15, 0.4, 15, t), QStringLiteral("DATA"), plain(8).centred());
    d.addField(QRectF(30, 0.4, 15, t), QStringLiteral("HORA"), plain(8).centred());
    d.addField(QRectF(46, 0.4, 113, 10.8), QStringLiteral("DESPACHO"), plain(8).valigned(Qt::AlignTop))
        .wrapped();
    // Sector, unit and user names are printed whole: a long one goes on under itself in its
    // column and what is under it moves down; the block grows as the dispatch makes it grow.
    const TextStyle names = plain(8).valigned(Qt::AlignTop);
    d.addLabel(QStringLiteral("L_Setor"), QRectF(161, 0.4, 52, t), QString(), names).wrapped();
    const int sectorLine = d.lastIndex();
    d.addField(QRectF(215, 0.4, 52, t), QStringLiteral("UNIDADE"), names).wrapped();
    const int unitLine = d.lastIndex();
    d.addField(QRectF(161, 0.4 + t, 52, t), QStringLiteral("USUARIO"), names).wrapped().under(sectorLine);
    d.addField(QRectF(215, 0.4 + t, 52, t), QStringLiteral("USUARIO_DESTINO"), names)
        .wrapped()
        .under(unitLine);
    const int destinationLine = d.lastIndex();
    const double y3 = 0.4 + 2 * t;
    d.addFields(QRectF(215, y3, 25, 3),
                {QStringLiteral("DATA_RECEBIMENTO"), QStringLiteral("HORA_RECEBIMENTO")}, plain(6))
        .under(destinationLine);
    d.addText(QRectF(240, y3, 3, 3), QStringLiteral("/"), bold(6).centred()).under(destinationLine);
    d.addFields(QRectF(243, y3, 25, 3),
                {QStringLiteral("DATA_RECEBIMENTO_FISICO"), QStringLiteral("HORA_RECEBIMENTO_FISICO")},
                plain(6))
        .under(destinationLine);

    Band& s = r->summary;
    s.height = 10.5;
    s.addHLine(0.3, 0, w);
    s.addLabel(QStringLiteral("Registros"), QRectF(1, 1.5, 100, 5), QStringLiteral("Registros"), bold(10));
    s.addText(QRectF(150, 1.5, 16, line), QStringLiteral("Situação :"), bold(8));
    s.addLabel(QStringLiteral("L_Situacao"), QRectF(166, 1.5, w - 166, line), QStringLiteral("Tramitando"),
               plain(8))
        .elided();
    s.addText(QRectF(150, 1.5 + line, 16, line), QStringLiteral("Motivo :"), bold(8));
    s.addLabel(QStringLiteral("L_Motivo"), QRectF(166, 1.5 + line, w - 166, line),
               QStringLiteral("Tramitando"), plain(8).valigned(Qt::AlignTop))
        .wrapped();

    // The running values start again with every preparation, so a print made after the preview
    // counts from one and begins silver again.
    auto run = std::make_shared<HistoryRun>();
    r->onStart = [run](RunContext&) {
        *run = HistoryRun();
        run->previousSector = QStringLiteral("Protocolo");
        run->situation = QStringLiteral("Tramitando");
    };
    r->beforeDetail = [run](RunContext& c) {
        c.setLabel(QStringLiteral("L_Setor"), run->previousSector);
        c.setBackground(run->silver ? kSilver : kWhite);
        run->silver = !run->silver;
        ++run->count;
        c.setLabel(QStringLiteral("Registros"),
                   QStringLiteral("Total de Registros : %1").arg(run->count, 6, 10, QLatin1Char('0')));
        run->previousSector = c.text(QStringLiteral("SETOR"));
        if (!c.value(QStringLiteral("DATA_ARQUIVAMENTO")).isNull()) {
            run->situation =
                QStringLiteral("Arquivado em ") + dateTimeText(c.value(QStringLiteral("DATA_ARQUIVAMENTO")),
                                                               c.value(QStringLiteral("HORA_ARQUIVAMENTO")));
            run->reason = c.text(QStringLiteral("MOTIVO_ARQUIVAMENTO"));
        }
        // Unarchiving comes after the archiving of the same movement, so it wins.
        if (!c.value(QStringLiteral("DATA_DESARQUIVAMENTO")).isNull()) {
            run->situation = QStringLiteral("Desarquivado/Tramitando em ") +
                             dateTimeText(c.value(QStringLiteral("DATA_DESARQUIVAMENTO")),
                                          c.value(QStringLiteral("HORA_DESARQUIVAMENTO")));
            run->reason = c.text(QStringLiteral("MOTIVO_DESARQUIVAMENTO"));
        }
        c.setLabel(QStringLiteral("L_Situacao"), run->situation);
        c.setLabel(QStringLiteral("L_Motivo"), run->reason);
    };
    return r;
}

// ---------------------------------------------------------------------------------------------
// Dispatch sheet

std::unique_ptr<Report> createDispatch() {
    auto r = std::make_unique<Report>(QStringLiteral("Despacho"));
    r->page.orientation = QPageLayout::Portrait;
    r->page.marginsMm = QMarginsF(30, 10, 15, 10);
    const double w = kSheetWidth;

    Band& h = r->pageHeader;
    h.height = 38;
    h.addPicture(QRectF((w - 23) / 2, 0, 23, 23), coatOfArmsPicture());
    h.addLabel(QStringLiteral("Estado"), QRectF(0, 24.5, w, 6), QString(), bold(12).centred()).wrapped();
    h.addLabel(QStringLiteral("Empresa"), QRectF(0, 30.5, w, 6), QString(), bold(12).centred()).wrapped();

    // Process block: the number line and the subject, which wraps at the block's foot.
    const double line = 4;
    Band& d = r->detail;
    d.addHLine(0.3, 0, w);
    double y = 1.2;
    d.addText(QRectF(0, y, 25, 5), QStringLiteral("Nº Processo : "), bold(10));
    d.addField(QRectF(25, y, 22, 5), QStringLiteral("IDPROCESSO"), bold(10));
    d.addText(QRectF(48, y, 9, 5), QStringLiteral("Data :"), bold(8));
    d.addField(QRectF(57, y, 17, 5), QStringLiteral("DATA_PROCESSO"), plain(8));
    d.addText(QRectF(76, y, 9, 5), QStringLiteral("Hora :"), bold(8));
    d.addField(QRectF(85, y, 15, 5), QStringLiteral("HORA_PROCESSO"), plain(8));
    d.addText(QRectF(102, y, 9, 5), QStringLiteral("Tipo :"), bold(8));
    // The type name goes on under itself rather than being cut; the subject moves down with it.
    d.addFields(QRectF(111, y, w - 111, 5),
                {QStringLiteral("IDTIPOPROCESSO"), QStringLiteral("TIPOPROCESSO")}, plain(8))
        .wrapped();
    const int typeLine = d.lastIndex();
    y += 5.3;
    d.addText(QRectF(0, y, 34, line), QStringLiteral("Assunto :"), bold(8).valigned(Qt::AlignTop))
        .under(typeLine);
    d.addField(QRectF(34, y, w - 34, line), QStringLiteral("ASSUNTO"), plain(8).valigned(Qt::AlignTop))
        .wrapped()
        .under(typeLine);
    d.height = y + line + 0.3;

    // The parties, the destination sector and the instruction, which runs on as long as it is.
    Band parties;
    y = 0;
    auto captioned = [&](const QString& caption, const QStringList& fields, bool wrap) {
        parties.addText(QRectF(0, y, 34, line), caption, bold(8).valigned(Qt::AlignTop));
        Element& e = parties.addFields(QRectF(34, y, w - 34, line), fields, plain(8).valigned(Qt::AlignTop));
        if (wrap)
            e.wrapped();
        else
            e.elided();
        y += line;
    };
    captioned(QStringLiteral("Requerente :"), {QStringLiteral("IDREQUERENTE"), QStringLiteral("REQUERENTE")},
              false);
    captioned(QStringLiteral("Titular Órgão :"), {QStringLiteral("IDTITULAR"), QStringLiteral("TITULAR")},
              false);
    captioned(QStringLiteral("Para :"), {QStringLiteral("SETOR")}, false);
    captioned(QStringLiteral("Instrução do Processo :"), {QStringLiteral("PROCESSO")}, true);
    parties.height = y + 1;
    r->detailChildren << parties;

    // The dispatch itself, over as many lines and pages as it takes.
    Band text;
    text.addHLine(0.5, 0, w);
    text.addText(QRectF(0, 1.5, w, 5), QStringLiteral("D E S P A C H O"), bold(9).centred());
    text.addField(QRectF(0, 8, w, 5), QStringLiteral("DESPACHO"), plain(10).valigned(Qt::AlignTop)).wrapped();
    text.height = 13.5;
    r->detailChildren << text;

    // Date written out, then the sender's name and CPF under the space left for the signature.
    Band closing;
    closing.addFunction(
        QRectF(0, 8, w, 5),
        [](const EvalContext& c) {
            QString s = QStringLiteral("Em, ") + writtenDate(c.value(QStringLiteral("DATA")).toDate());
            const QString time = c.text(QStringLiteral("HORA"));
            if (!time.isEmpty()) s += QStringLiteral(" - ") + time;
            return s;
        },
        plain(10).centred());
    closing.addField(QRectF(0, 25, w, 5), QStringLiteral("USUARIO"), bold(10).italic().centred()).wrapped();
    closing.addFunction(
        QRectF(0, 30, w, 5),
        [](const EvalContext& c) {
            return QStringLiteral("Assinatura CPF ") + c.text(QStringLiteral("CPF"));
        },
        bold(10).centred());
    closing.height = 36;
    r->detailChildren << closing;
    return r;
}

// ---------------------------------------------------------------------------------------------
// Reading and opening

QString lookupCodeOf(const QString& process, const QString& year) {
    return core::consulta::verificationCode(core::consulta::readSecret(core::mainConnection()), process,
                                            year);
}

bool addLookupBlock(Report& r, const QString& process, const QString& year) {
    const QString address = core::appValues().profile.publicLookupAddress;
    if (address.trimmed().isEmpty()) return false;
    const QString code = lookupCodeOf(process, year);
    const QString url = core::consulta::lookupUrl(address, process, year, code);
    if (code.isEmpty() || url.isEmpty()) return false;
    const QImage qr = qrCode(url);
    if (qr.isNull()) return false;
    // Below the signatures, in the part of the page the receipt leaves blank: nothing above moves.
    // The instruction keeps the rest of the page, so the block is sized to the strip left under the
    // signatures: a QR code of 24 mm is still read by a phone at arm's length.
    const double w = kPortraitWidth;
    const double side = kLookupBlockHeight - 2;
    Band b;
    b.height = kLookupBlockHeight;
    b.addHLine(0.3, 0, w);
    b.addText(QRectF(1, 1.5, w - side - 4, 5.5), QStringLiteral("Consulte o andamento do processo"),
              bold(11));
    b.addText(QRectF(1, 7.5, w - side - 4, 8),
              QStringLiteral("Acesse %1 ou aponte a câmera do celular para o código ao lado.").arg(address),
              plain(9))
        .wrapped();
    b.addText(QRectF(1, 16, w - side - 4, 4.5), QStringLiteral("Processo %1/%2").arg(process, year),
              plain(10));
    b.addText(QRectF(1, 20.5, w - side - 4, 5), QStringLiteral("Código de verificação: %1").arg(code),
              bold(11));
    b.addPicture(QRectF(w - side - 1, 1, side, side), qr);
    r.detailChildren << b;
    return true;
}

std::unique_ptr<Report> buildReceipt(const QString& process, const QString& year, const ProcessLabels& labels,
                                     QString* errorText) {
    std::unique_ptr<Report> r = createReceipt();
    if (!r->data.load(kProcessQuery, {{QStringLiteral("UM"), process}, {QStringLiteral("ANO"), year}},
                      errorText))
        return nullptr;
    // Only a process that exists has a code to print.
    if (r->data.rowCount() > 0) addLookupBlock(*r, process, year);
    keepOnePage(r->data);
    setProcessLabels(*r, labels);
    return r;
}

std::unique_ptr<Report> buildCover(const QString& process, const QString& year, const ProcessLabels& labels,
                                   QString* errorText) {
    std::unique_ptr<CoverReport> r = createCoverLayout();
    if (!r->data.load(kProcessQuery, {{QStringLiteral("UM"), process}, {QStringLiteral("ANO"), year}},
                      errorText))
        return nullptr;
    if (!r->movements->load(kCoverMovementsQuery,
                            {{QStringLiteral("IDPROCESSO"), process}, {QStringLiteral("ANO"), year}},
                            errorText))
        return nullptr;
    keepOnePage(r->data);
    setProcessLabels(*r, labels);
    return r;
}

std::unique_ptr<Report> buildHistory(const QString& process, const QString& year, QString* errorText) {
    std::unique_ptr<Report> r = createHistory();
    if (!r->data.load(kHistoryQuery, {{QStringLiteral("UM"), process}, {QStringLiteral("ANO"), year}},
                      errorText))
        return nullptr;
    const core::AppValues& v = core::appValues();
    r->setLabel(QStringLiteral("Empresa"), v.profile.organisationName);
    r->setLabel(QStringLiteral("Sistema"), v.systemName);
    r->setLabel(QStringLiteral("Titulo"), QStringLiteral("Histórico do Processo"));
    return r;
}

std::unique_ptr<Report> buildDispatch(const QString& registro, QString* errorText) {
    std::unique_ptr<Report> r = createDispatch();
    if (!r->data.load(kDispatchQuery, {{QStringLiteral("UM"), registro}}, errorText)) return nullptr;
    keepOnePage(r->data);
    const core::AppValues& v = core::appValues();
    r->setLabel(QStringLiteral("Estado"), v.profile.stateName);
    r->setLabel(QStringLiteral("Empresa"), organisationInCapitals(v.profile.organisationName));
    return r;
}

namespace {

PreviewWindow* openFree(QWidget* parent, std::unique_ptr<Report> report, const QString& error) {
    if (!report) {
        core::dialogs().error(parent, error);
        return nullptr;
    }
    return openPreview(std::move(report), parent);
}

void openModal(QWidget* parent, std::unique_ptr<Report> report, const QString& error) {
    if (!report) {
        core::dialogs().error(parent, error);
        return;
    }
    showPreview(*report, parent);
}

} // namespace

PreviewWindow* openReceipt(QWidget* parent, const QString& process, const QString& year,
                           const ProcessLabels& labels) {
    QString error;
    std::unique_ptr<Report> r = buildReceipt(process, year, labels, &error);
    return openFree(parent, std::move(r), error);
}

PreviewWindow* openCover(QWidget* parent, const QString& process, const QString& year,
                         const ProcessLabels& labels) {
    QString error;
    std::unique_ptr<Report> r = buildCover(process, year, labels, &error);
    return openFree(parent, std::move(r), error);
}

void openHistory(QWidget* parent, const QString& process, const QString& year) {
    QString error;
    std::unique_ptr<Report> r = buildHistory(process, year, &error);
    openModal(parent, std::move(r), error);
}

void openDispatch(QWidget* parent, const QString& registro) {
    QString error;
    std::unique_ptr<Report> r = buildDispatch(registro, &error);
    openModal(parent, std::move(r), error);
}

} // namespace reports
