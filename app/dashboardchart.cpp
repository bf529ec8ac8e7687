#include "app/dashboardchart.h"

#include "core/connection.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QVBoxLayout>
#include <QValueAxis>

namespace app {

namespace {

constexpr qint64 kMinimumSecondsBetweenReads = 60;
// A long unit name would squeeze the bars to nothing in a small chart. Unit names of one office
// share their start ("SECRETARIA MUNICIPAL DE ..."), so the first word is kept with the last ones,
// which tell the units apart; the accessible description keeps the whole name.
constexpr int kCaptionLength = 26;

QString caption(const QString& name) {
    if (name.size() <= kCaptionLength) return name;
    const QStringList words = name.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QString tail;
    for (int i = int(words.size()) - 1; i > 0; --i) {
        const QString longer = tail.isEmpty() ? words.at(i) : words.at(i) + QLatin1Char(' ') + tail;
        if (words.first().size() + 3 + longer.size() > kCaptionLength) break;
        tail = longer;
    }
    if (tail.isEmpty()) return name.left(kCaptionLength - 1) + QStringLiteral("…");
    return words.first() + QStringLiteral(" … ") + tail;
}

QString processes(int n, const QString& word) {
    return QStringLiteral("%1 %2%3").arg(n).arg(word, n == 1 ? QString() : QStringLiteral("s"));
}

} // namespace

DashboardChart::DashboardChart(QWidget* parent)
    : QWidget(parent) {
    setObjectName(QStringLiteral("painelPendencias"));
    setAccessibleName(QStringLiteral("Painel de Pendências"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    m_view = new QChartView(this);
    m_view->setObjectName(QStringLiteral("graficoPendencias"));
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setAccessibleName(QStringLiteral("Gráfico de pendências por unidade orçamentária"));
    layout->addWidget(m_view, 1);

    m_notice = new QLabel(this);
    m_notice->setObjectName(QStringLiteral("avisoPainel"));
    m_notice->setWordWrap(true);
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->hide();
    layout->addWidget(m_notice);

    // The figures are a moment's picture: the panel says which moment.
    m_readAt = new QLabel(this);
    m_readAt->setObjectName(QStringLiteral("LidoEm"));
    m_readAt->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_readAt);

    draw({});
}

void DashboardChart::refreshIfDue() {
    if (m_lastRead.isValid() && m_lastRead.secsTo(m_clock()) < kMinimumSecondsBetweenReads) return;
    refreshNow();
}

void DashboardChart::refreshNow() {
    const QDateTime now = m_clock();
    m_lastRead = now;
    ++m_reads;
    QList<core::UnitLoad> loads;
    QString error;
    QSqlDatabase db = core::mainConnection();
    if (!db.isOpen() || !core::loadDashboard(db, now.date(), &loads, &error)) {
        // Quiet: the user did not ask for this read, and the next activation tries again.
        m_notice->setText(QStringLiteral("Não foi possível ler as pendências agora; o painel será "
                                         "atualizado na próxima vez."));
        m_notice->setAccessibleName(m_notice->text());
        m_notice->show();
        m_view->hide();
        setAccessibleDescription(m_notice->text());
        return;
    }
    m_loads = loads;
    m_figuresAt = now;
    draw(loads);
    m_readAt->setText(readAtText());
    // Empty axes would leave the user guessing whether anything was read: say so in words.
    if (loads.isEmpty()) {
        m_notice->setText(describe(loads));
        m_notice->setAccessibleName(m_notice->text());
        m_notice->show();
        m_view->hide();
    } else {
        m_notice->hide();
        m_view->show();
    }
}

QString DashboardChart::readAtText() const {
    if (!m_figuresAt.isValid()) return {};
    if (m_figuresAt.date() == m_clock().date())
        return QStringLiteral("Lido às ") + m_figuresAt.toString(QStringLiteral("hh:mm:ss"));
    return QStringLiteral("Lido em ") + m_figuresAt.toString(QStringLiteral("dd/MM/yyyy 'às' hh:mm:ss"));
}

QString DashboardChart::describe(const QList<core::UnitLoad>& loads) {
    if (loads.isEmpty()) return QStringLiteral("Nenhum processo pendente.");
    QStringList parts;
    for (const core::UnitLoad& l : loads)
        parts << QStringLiteral("%1: %2, %3")
                     .arg(l.unitName, processes(l.waiting, QStringLiteral("pendente")),
                          processes(l.overdue, QStringLiteral("atrasado")));
    return QStringLiteral("Pendências por unidade orçamentária. ") + parts.join(QStringLiteral("; ")) +
           QLatin1Char('.');
}

void DashboardChart::draw(const QList<core::UnitLoad>& loads) {
    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Pendências por unidade"));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(2, 2, 2, 2));

    auto* pending = new QBarSet(QStringLiteral("Pendentes"));
    auto* overdue = new QBarSet(QStringLiteral("Atrasados"));
    pending->setColor(QColor(70, 110, 170));
    overdue->setColor(QColor(200, 40, 40));
    QStringList categories;
    int greatest = 0;
    // A horizontal chart draws its first category at the bottom: the list is reversed so the
    // units read from the top in alphabetical order.
    for (auto it = loads.crbegin(); it != loads.crend(); ++it) {
        *pending << it->waiting;
        *overdue << it->overdue;
        // The axis merges equal captions into one bar: a shortened name that another unit
        // shortens to as well carries its unit's code.
        QString text = caption(it->unitName);
        if (categories.contains(text)) text += QStringLiteral(" (%1)").arg(it->unitCode);
        categories << text;
        greatest = qMax(greatest, it->waiting);
    }
    auto* series = new QHorizontalBarSeries;
    series->append(pending);
    series->append(overdue);
    chart->addSeries(series);

    auto* units = new QBarCategoryAxis;
    units->append(categories);
    // The chart is narrow: a smaller face lets the captions show whole beside the bars.
    QFont small = units->labelsFont();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    units->setLabelsFont(small);
    chart->addAxis(units, Qt::AlignLeft);
    series->attachAxis(units);
    auto* counts = new QValueAxis;
    counts->setLabelFormat(QStringLiteral("%d"));
    counts->setRange(0, qMax(1, greatest));
    counts->setTickCount(qMin(qMax(1, greatest), 4) + 1);
    chart->addAxis(counts, Qt::AlignBottom);
    series->attachAxis(counts);

    QChart* old = m_view->chart();
    m_view->setChart(chart);
    delete old;
    m_view->setAccessibleDescription(describe(loads));
    setAccessibleDescription(describe(loads));
}

} // namespace app
