#include "reports/listings/parados.h"

#include "core/appvalues.h"
#include "core/dialogs.h"
#include "core/waiting.h"
#include "reports/engine/preview.h"

namespace reports {

namespace {

// The listing page frame: A4 landscape, 10 mm margins, so 277 mm of usable width.
constexpr double kWidth = 277;
constexpr double kPoints = 8;
const QColor kSilver(192, 192, 192);
const QColor kWhite(255, 255, 255);

// Running values of one preparation of the pages.
struct Running {
    int count = 0;
    int overdue = 0;
    int colour = 0; // index of the colour of the current group
    QString group;  // unit and user of the line before
};

QString countText(const QString& caption, int count) {
    return caption + QStringLiteral("%1").arg(count, 6, 10, QLatin1Char('0'));
}

std::optional<int> deadlineOf(const QVariant& days) {
    if (days.isNull()) return std::nullopt;
    return days.toInt();
}

core::WaitState waitOf(const EvalContext& c, const QDate& today) {
    return core::waitState(c.value(QStringLiteral("DATA")).toDate(), today,
                           deadlineOf(c.value(QStringLiteral("DIAS"))));
}

} // namespace

QString paradosTitle() {
    return QStringLiteral("Processos parados");
}

QString paradosPrompt() {
    return QStringLiteral("Listar os processos parados há mais de quantos dias?");
}

QString paradosDaysMessage() {
    return QStringLiteral("Atenção, informe o número de dias: um número inteiro de 0 a 9999.");
}

std::optional<int> paradosDays(const QString& typed) {
    const QString t = typed.trimmed();
    if (t.isEmpty() || t.size() > 4) return std::nullopt;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return std::nullopt;
    return t.toInt();
}

QString paradosQuery() {
    // A movement is the latest of its process when no other movement of the same number and year
    // was sent later (a later date, the same date and a later time, or the same moment and a
    // greater register number, so that exactly one is latest). NOT EXISTS looks at the process's
    // own movements through TRAMITACAO_PROCESSO. The candidates are read in the order of
    // TRAMITACAO_PARADOS; "A.DATA + 0" keeps the date condition off the date index, which would
    // otherwise make the server collect and sort every old movement before the first row.
    // A process is archived while its latest movement is archived and not unarchived.
    return QStringLiteral(
        "SELECT A.REGISTRO, A.IDPROCESSO, A.ANO, A.IDUNIDADE, C.UNIDADE, A.COD_USUARIO_DESTINO, "
        "D.USUARIO AS USUARIO_DESTINO, A.DATA, A.HORA, B.ASSUNTO, B.IDTIPOPROCESSO, "
        "H.TIPO AS TIPOPROCESSO, P.DIAS "
        "FROM TRAMITACAO A "
        "LEFT JOIN PROCESSOS B ON A.IDPROCESSO = B.IDPROCESSO AND A.ANO = B.ANO "
        "LEFT JOIN TIPOPROCESSO H ON B.IDTIPOPROCESSO = H.IDTIPO "
        "LEFT JOIN PRAZOS_TIPOPROCESSO P ON B.IDTIPOPROCESSO = P.IDTIPO "
        "LEFT JOIN UNIDADES C ON A.IDUNIDADE = C.IDUNIDADE "
        "LEFT JOIN USUARIOS D ON A.COD_USUARIO_DESTINO = D.COD_USUARIO "
        "WHERE A.DATA + 0 < :CORTE "
        "AND (A.DATA_ARQUIVAMENTO IS NULL OR A.DATA_DESARQUIVAMENTO IS NOT NULL) "
        "AND NOT EXISTS (SELECT 1 FROM TRAMITACAO L WHERE L.IDPROCESSO = A.IDPROCESSO AND L.ANO = A.ANO "
        "AND (L.DATA + 0 > A.DATA OR (L.DATA + 0 = A.DATA AND (L.HORA > A.HORA "
        "OR (L.HORA = A.HORA AND L.REGISTRO > A.REGISTRO))))) "
        "ORDER BY A.IDUNIDADE, A.COD_USUARIO_DESTINO, A.DATA, A.HORA, A.REGISTRO");
}

std::unique_ptr<Report> createParados(int days, const QDate& today) {
    auto report = std::make_unique<Report>(paradosTitle());
    report->page.orientation = QPageLayout::Landscape;
    report->page.marginsMm = QMarginsF(10, 10, 10, 10);

    const TextStyle big = TextStyle(14, true).centred();
    Band& header = report->pageHeader;
    header.height = 23;
    header.addLabel(QStringLiteral("Empresa"), QRectF(30, 0, kWidth - 60, 7), QString(), big);
    header.addLabel(QStringLiteral("Sistema"), QRectF(30, 7, kWidth - 60, 7), QString(), big);
    header.addLabel(QStringLiteral("Titulo"), QRectF(30, 14, kWidth - 60, 7), QString(), big);
    header.addPageNumber(QRectF(kWidth - 40, 0, 40, 5), QStringLiteral("Página : "),
                         TextStyle(10, true).right());

    const double lineHeight = kPoints * 1.15 * 25.4 / 72.0;
    const double rowHeight = lineHeight + 1.4;
    Band& columns = report->columnHeader;
    columns.height = rowHeight + 2;
    columns.addHLine(0.3, 0, kWidth);
    columns.addHLine(rowHeight + 1.7, 0, kWidth);
    report->detail.height = rowHeight;
    const Qt::Alignment centre = Qt::AlignHCenter;
    // Unit and user on every line, so that each exported line stands on its own; a group is
    // the run of lines with one background.
    report->addColumns({{QStringLiteral("Unidade Orçamentária"),
                         {QStringLiteral("IDUNIDADE"), QStringLiteral("UNIDADE")},
                         52},
                        {QStringLiteral("Usuário"), {QStringLiteral("USUARIO_DESTINO")}, 40},
                        {QStringLiteral("Processo"), {}, 24, centre},
                        {QStringLiteral("Tipo Processo"), {QStringLiteral("TIPOPROCESSO")}, 38},
                        {QStringLiteral("Assunto"), {QStringLiteral("ASSUNTO")}, 55},
                        {QStringLiteral("Enviado em"), {QStringLiteral("DATA")}, 20, centre},
                        {QStringLiteral("Dias parado"), {}, 20, centre},
                        {QStringLiteral("Prazo"), {}, 28}},
                       1, rowHeight, TextStyle(kPoints, true), TextStyle(kPoints), true);
    auto computed = [&](int column, TextFunction f) {
        Element& e = report->detail.elements[report->exportColumns.at(column).element];
        e.source = TextSource::Function;
        e.function = std::move(f);
    };
    computed(2, [](const EvalContext& c) {
        return c.text(QStringLiteral("IDPROCESSO")) + QLatin1Char('/') + c.text(QStringLiteral("ANO"));
    });
    computed(6, [today](const EvalContext& c) { return QString::number(waitOf(c, today).daysWaiting); });
    computed(7, [today](const EvalContext& c) {
        const QString text = core::deadlineText(waitOf(c, today));
        return text.isEmpty() ? QStringLiteral("Sem prazo") : text;
    });

    Band& summary = report->summary;
    summary.height = 8;
    summary.addHLine(0.3, 0, kWidth);
    const TextStyle countStyle = TextStyle(10, true);
    summary.addLabel(QStringLiteral("Registros"), QRectF(1, 1.5, 120, 5.5), QStringLiteral("Registros"),
                     countStyle);
    summary.addLabel(QStringLiteral("Atrasados"), QRectF(kWidth - 121, 1.5, 120, 5.5), QString(),
                     countStyle.right());

    // Counts and colours start again with every preparation, so a print made after the preview
    // counts from zero.
    auto running = std::make_shared<Running>();
    report->onStart = [running](RunContext& c) {
        *running = Running();
        // An empty listing says so with its counts at zero rather than the bare caption.
        c.setLabel(QStringLiteral("Registros"), countText(QStringLiteral("Total de Registros : "), 0));
        c.setLabel(QStringLiteral("Atrasados"), countText(QStringLiteral("Atrasados : "), 0));
    };
    report->beforeDetail = [running, today](RunContext& c) {
        const QString group = c.text(QStringLiteral("IDUNIDADE")) + QLatin1Char('|') +
                              c.text(QStringLiteral("COD_USUARIO_DESTINO"));
        if (running->count > 0 && group != running->group) ++running->colour;
        running->group = group;
        c.setBackground(running->colour % 2 == 0 ? kSilver : kWhite);
        ++running->count;
        const core::WaitState wait = core::waitState(c.value(QStringLiteral("DATA")).toDate(), today,
                                                     deadlineOf(c.value(QStringLiteral("DIAS"))));
        if (wait.overdue()) ++running->overdue;
        c.setLabel(QStringLiteral("Registros"),
                   countText(QStringLiteral("Total de Registros : "), running->count));
        c.setLabel(QStringLiteral("Atrasados"), countText(QStringLiteral("Atrasados : "), running->overdue));
    };

    const core::AppValues& values = core::appValues();
    report->setLabel(QStringLiteral("Empresa"), values.profile.organisationName);
    report->setLabel(QStringLiteral("Sistema"), values.systemName);
    report->setLabel(QStringLiteral("Titulo"),
                     days == 1 ? QStringLiteral("Processos parados há mais de 1 dia")
                               : QStringLiteral("Processos parados há mais de %1 dias").arg(days));
    return report;
}

QDate paradosCut(int days, const QDate& today) {
    return today.addDays(-days);
}

std::unique_ptr<Report> buildParados(int days, const QDate& today, QString* errorText) {
    std::unique_ptr<Report> report = createParados(days, today);
    // The rows come in the listing's order from the server: nothing is sorted here.
    if (!report->data.load(paradosQuery(), {{QStringLiteral("CORTE"), paradosCut(days, today)}}, errorText))
        return nullptr;
    return report;
}

void openParados(QWidget* parent) {
    const std::optional<QString> typed =
        core::dialogs().input(parent, paradosTitle(), paradosPrompt(), QString::number(kParadosDefaultDays));
    if (!typed) return;
    const std::optional<int> days = paradosDays(*typed);
    if (!days) {
        core::dialogs().message(parent, paradosDaysMessage());
        return;
    }
    QString error;
    std::unique_ptr<Report> report = buildParados(*days, QDate::currentDate(), &error);
    if (!report) {
        core::dialogs().error(parent, error);
        return;
    }
    showPreview(*report, parent);
}

} // namespace reports
