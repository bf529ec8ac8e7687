#pragma once

#include "core/menutree.h"

#include <QList>
#include <QMainWindow>

class QAction;
class QCalendarWidget;
class QLabel;
class QMenu;
class QStatusBar;

namespace app {

class DashboardChart;

// The main window: the menu of the whole program, the year label, the calendar and the status
// bar. Every time it becomes active it applies the current user's access rights to the menu.
class TFrm_Principal : public QMainWindow {
    Q_OBJECT
public:
    // One menu entry with the kind and design flags it was built from. `enabled` is the state the
    // rights give the entry; a hidden QAction always reports itself disabled, so it is kept here.
    struct MenuEntry {
        QAction* action = nullptr;
        core::MenuEntrySpec spec;
        bool enabled = true;
    };

    explicit TFrm_Principal(QWidget* parent = nullptr);
    ~TFrm_Principal() override;

    // Every entry of the menu, in menu order (top-level entries included).
    const QList<MenuEntry>& menuEntries() const { return m_entries; }
    // The kind kept with an action of the menu; -1 for an action that is not an entry.
    static int kindOf(const QAction* action);

    // What each activation does: the calendar goes to today, then the rights are applied and the
    // chart (for a user with its right) is read again if its figures are over a minute old.
    void FormActivate();
    // The access rights on the second- and third-level entries; false when the user's rights
    // could not be read (the failure has been shown and every governed entry stays disabled).
    bool applyAccessRights();

    // Opens the window, report or utility of an entry (title without "&"); an entry whose window
    // this build does not have says so in a message.
    void openEntry(const QString& title);

    QLabel* yearLabel() const { return m_labelAno; }
    // The status bar's panel: who is logged in and the last finished action.
    QLabel* statusPanel() const { return m_panel; }
    static QString statusText();
    QCalendarWidget* calendar() const { return m_calendar; }
    DashboardChart* dashboard() const { return m_dashboard; }

    // Title of the menu entry whose right shows the chart.
    static QString dashboardTitle() { return QStringLiteral("Painel de Pendências"); }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void setEntryEnabled(MenuEntry& entry, bool enabled);
    void showDashboardByRight();
    void showStatus();

    QList<MenuEntry> m_entries;
    QLabel* m_labelAno = nullptr;
    QCalendarWidget* m_calendar = nullptr;
    DashboardChart* m_dashboard = nullptr;
    QStatusBar* m_statusBar = nullptr;
    QLabel* m_panel = nullptr;
    // A failure to read the rights is shown once; the activations that follow (the first one
    // being the return from the error box itself) retry silently until a read succeeds.
    bool m_rightsFailed = false;
    bool m_activating = false;
    bool m_shownOnce = false;
};

// The main window of the run; empty before start-up creates it and after it is destroyed.
inline TFrm_Principal* Frm_Principal = nullptr;

} // namespace app
