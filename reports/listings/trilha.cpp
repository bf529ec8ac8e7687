#include "reports/listings/trilha.h"

#include "core/appvalues.h"
#include "core/audit.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "reports/engine/preview.h"

namespace reports {

namespace {

constexpr double kWidth = 277;
constexpr double kPoints = 8;

QString changesOf(const QVariant& v) {
    return v.typeId() == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray()) : v.toString();
}

} // namespace

std::unique_ptr<Report> buildTrailReport(const QString& sql, const QVariantMap& params, const QString& title,
                                         QString* errorText) {
    auto report = std::make_unique<Report>(title);
    report->page.orientation = QPageLayout::Landscape;
    report->page.marginsMm = QMarginsF(10, 10, 10, 10);

    const TextStyle big = TextStyle(14, true).centred();
    Band& header = report->pageHeader;
    header.height = 23;
    header.addLabel(QStringLiteral("Empresa"), QRectF(30, 0, kWidth - 60, 7), QString(), big);
    header.addLabel(QStringLiteral("Sistema"), QRectF(30, 7, kWidth - 60, 7), QString(), big);
    header.addLabel(QStringLiteral("Titulo"), QRectF(30, 14, kWidth - 60, 7), QString(), big);
    header.addPageNumber(QRectF(kWidth - 40, 0, 40, 5), QStringLiteral("Página : "), TextStyle(8).right());

    const double lineHeight = kPoints * 1.15 * 25.4 / 72.0;
    const double rowHeight = lineHeight + 1.4;
    Band& columns = report->columnHeader;
    columns.height = rowHeight + 2;
    columns.addHLine(0.3, 0, kWidth);
    columns.addHLine(rowHeight + 1.7, 0, kWidth);
    report->detail.height = rowHeight;
    report->addColumns({{QStringLiteral("Nº"), {QStringLiteral("ID")}, 14},
                        {QStringLiteral("Data/Hora"), {}, 30},
                        {QStringLiteral("Usuário"), {QStringLiteral("USUARIO")}, 20},
                        {QStringLiteral("Estação"), {QStringLiteral("ENDERECO")}, 30},
                        {QStringLiteral("Tabela"), {QStringLiteral("TABELA")}, 30},
                        {QStringLiteral("Chave"), {QStringLiteral("CHAVE")}, 24},
                        {QStringLiteral("Ação"), {}, 17},
                        {QStringLiteral("Alterações"), {}, kWidth - 165}},
                       1, rowHeight, TextStyle(kPoints, true), TextStyle(kPoints));
    auto computed = [&](int column, TextFunction f) {
        Element& e = report->detail.elements[report->exportColumns.at(column).element];
        e.source = TextSource::Function;
        e.function = std::move(f);
    };
    computed(1, [](const EvalContext& c) {
        return c.value(QStringLiteral("MOMENTO"))
            .toDateTime()
            .toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    });
    computed(6, [](const EvalContext& c) {
        return core::audit::actionName(c.text(QStringLiteral("ACAO")).trimmed());
    });
    // Every change in full, one column a line: the printed trail says what the window says.
    computed(7, [](const EvalContext& c) {
        QStringList lines;
        for (const core::audit::Change& change :
             core::audit::parseChanges(changesOf(c.value(QStringLiteral("ALTERACOES"))))) {
            lines << QStringLiteral("%1: %2 → %3")
                         .arg(change.column,
                              core::audit::valueText(change.beforeNull, change.beforeHidden, change.before),
                              core::audit::valueText(change.afterNull, change.afterHidden, change.after));
        }
        return lines.join(QLatin1Char('\n'));
    });

    Band& summary = report->summary;
    summary.height = 14;
    summary.addHLine(0.3, 0, kWidth);
    summary.addLabel(QStringLiteral("Ancora"), QRectF(1, 1.5, kWidth - 2, 11), QString(), TextStyle(9, true));

    QSqlDatabase db = core::mainConnection();
    core::audit::sealPending(db);
    if (!report->data.load(sql, params, errorText)) return nullptr;
    const core::audit::Anchor anchor = core::audit::currentAnchor(db);
    report->setLabel(
        QStringLiteral("Ancora"),
        anchor.isValid()
            ? QStringLiteral("Âncora da trilha (guarde fora do banco de dados e informe-a na próxima "
                             "verificação):\n%1")
                  .arg(core::audit::anchorText(anchor))
            : QStringLiteral("A trilha ainda não tem selos."));
    const core::AppValues& values = core::appValues();
    report->setLabel(QStringLiteral("Empresa"), values.profile.organisationName);
    report->setLabel(QStringLiteral("Sistema"), values.systemName);
    report->setLabel(QStringLiteral("Titulo"), title);
    return report;
}

void openTrailReport(QWidget* parent, const QString& sql, const QVariantMap& params, const QString& title) {
    QString error;
    std::unique_ptr<Report> report = buildTrailReport(sql, params, title, &error);
    if (!report) {
        core::dialogs().error(parent, error);
        return;
    }
    showPreview(*report, parent);
}

} // namespace reports
