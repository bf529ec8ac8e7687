#pragma once

#include "core/clock.h"
#include "core/dashboard.h"

#include <QDateTime>
#include <QList>
#include <QWidget>
#include <functional>

class QChart;
class QChartView;
class QLabel;

namespace app {

// The small chart beside the main window's calendar: processes pending and overdue per budget
// unit, from core::loadDashboard. It is read again when the main window becomes active, at most
// once a minute, or at once from its menu entry. A failure to read shows as a quiet line in the
// chart's place (a box every minute would bury the user). The figures are also its accessible
// description, so a screen reader reads what the bars show.
class DashboardChart : public QWidget {
    Q_OBJECT
public:
    explicit DashboardChart(QWidget* parent = nullptr);

    // Reads the figures unless they were read less than a minute ago by the clock.
    void refreshIfDue();
    // Reads the figures now.
    void refreshNow();

    // The clock deciding "a minute ago" and "today"; the workstation's own by default.
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    const QList<core::UnitLoad>& loads() const { return m_loads; }
    int readCount() const { return m_reads; }
    // "Lido às 14:32:05": when the figures shown were read (a failed read leaves it as it was).
    QString readAtText() const;
    // The figures as words, as the screen reader gets them.
    static QString describe(const QList<core::UnitLoad>& loads);

private:
    void draw(const QList<core::UnitLoad>& loads);

    QChartView* m_view = nullptr;
    QLabel* m_notice = nullptr;
    QList<core::UnitLoad> m_loads;
    QDateTime m_lastRead;
    QDateTime m_figuresAt; // of the figures shown
    int m_reads = 0;
    QLabel* m_readAt = nullptr;
    std::function<QDateTime()> m_clock = [] { return core::now(); };
};

} // namespace app
