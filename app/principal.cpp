#include "app/principal.h"

#include "app/dashboardchart.h"

#include "core/activity.h"
#include "core/appvalues.h"
#include "core/clock.h"
#include "core/audit.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "core/routines.h"
#include "core/session.h"
#include "core/users.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRadialGradient>
#include <QSet>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>

namespace app {

namespace {

const char kKindProperty[] = "menuKind";

// The picture stretched over the client area behind the year label.
class BackgroundPicture : public QWidget {
public:
    explicit BackgroundPicture(QWidget* parent)
        : QWidget(parent) {
        setObjectName(QStringLiteral("Image1"));
        m_picture = draw();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawPixmap(rect(), m_picture);
    }

private:
    static QPixmap draw() {
        const QSize size(1200, 800);
        QPixmap pixmap(size);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient base(0, 0, size.width(), size.height());
        base.setColorAt(0.0, QColor(226, 234, 244));
        base.setColorAt(1.0, QColor(170, 192, 220));
        p.fillRect(pixmap.rect(), base);
        QRadialGradient glow(QPointF(size.width() * 0.62, size.height() * 0.55), size.width() * 0.45);
        glow.setColorAt(0.0, QColor(255, 255, 255, 150));
        glow.setColorAt(1.0, QColor(255, 255, 255, 0));
        p.fillRect(pixmap.rect(), glow);
        // Faint watermark of the system's name.
        QFont font(QStringLiteral("Arial"), 96, QFont::Bold);
        p.setFont(font);
        p.setPen(QColor(0, 40, 100, 28));
        p.drawText(QRect(0, size.height() / 2 - 40, size.width(), 160), Qt::AlignCenter,
                   QStringLiteral("PROTOCOLO"));
        QFont small(QStringLiteral("Arial"), 28);
        p.setFont(small);
        p.setPen(QColor(0, 40, 100, 40));
        p.drawText(QRect(0, size.height() / 2 + 110, size.width(), 60), Qt::AlignCenter,
                   core::appValues().systemName);
        return pixmap;
    }

    QPixmap m_picture;
};

bool hasChildren(const QList<core::MenuEntrySpec>& tree, int index) {
    return index + 1 < tree.size() && tree.at(index + 1).level > tree.at(index).level;
}

// Puts "&" before the first letter that no earlier sibling uses; the rights compare titles
// without it.
QString captionWithAccelerator(const QString& title, QSet<QChar>& used) {
    for (int i = 0; i < title.size(); ++i) {
        const QChar c = title.at(i).toUpper();
        if (title.at(i).isLetter() && !used.contains(c)) {
            used.insert(c);
            QString caption = title;
            caption.insert(i, QLatin1Char('&'));
            return caption;
        }
    }
    return title;
}

} // namespace

TFrm_Principal::TFrm_Principal(QWidget* parent)
    : QMainWindow(parent) {
    setObjectName(QStringLiteral("Frm_Principal"));
    setWindowTitle(core::appValues().systemName);

    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* background = new BackgroundPicture(central);
    m_labelAno = new QLabel(core::appValues().exerciseYear, background);
    m_labelAno->setObjectName(QStringLiteral("LabelAno"));
    QFont yearFont(QStringLiteral("Arial"), 48, QFont::Bold);
    yearFont.setUnderline(true);
    m_labelAno->setFont(yearFont);
    QPalette yearPalette = m_labelAno->palette();
    yearPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_labelAno->setPalette(yearPalette);
    m_labelAno->move(24, 16);
    m_labelAno->adjustSize();
    layout->addWidget(background, 1);

    m_calendar = new QCalendarWidget(central);
    m_calendar->setObjectName(QStringLiteral("calendario"));
    m_calendar->setAccessibleName(QStringLiteral("Calendário"));
    m_calendar->setLocale(QLocale(QLocale::Portuguese, QLocale::Brazil));
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setGridVisible(true);
    m_calendar->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    m_calendar->setFixedWidth(280);
    m_calendar->setStyleSheet(
        QStringLiteral("QCalendarWidget QWidget#qt_calendar_navigationbar { background-color: "
                       "navy; }"
                       "QCalendarWidget QToolButton { color: white; background-color: navy; "
                       "font-weight: bold; }"));
    m_calendar->setSelectedDate(core::today());
    // The chart stays hidden until the rights say the user may see it.
    m_dashboard = new DashboardChart(central);
    m_dashboard->setFixedWidth(420);
    m_dashboard->hide();
    layout->addWidget(m_dashboard);
    layout->addWidget(m_calendar);
    setCentralWidget(central);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar_Principal"));
    m_statusBar->setSizeGripEnabled(false);
    m_statusBar->setStyleSheet(
        QStringLiteral("QStatusBar#StatusBar_Principal { background: rgb(192, 192, 192); }"));
    m_panel = new QLabel(m_statusBar);
    m_panel->setObjectName(QStringLiteral("Panel0"));
    m_panel->setAlignment(Qt::AlignCenter);
    m_statusBar->addWidget(m_panel, 1);
    setStatusBar(m_statusBar);
    // The last finished action of any window shows here at once, also while that window is open.
    connect(&core::activity(), &core::Activity::announced, this, &TFrm_Principal::showStatus);

    buildMenu();
    // The trail's rows are sealed a few seconds after they are committed, by whichever desk is
    // idle first: sealing in the writing transaction would make every desk of the office wait
    // for the chain's head row at each write.
    auto* sealing = new QTimer(this);
    sealing->setObjectName(QStringLiteral("TimerSelagem"));
    sealing->setInterval(5000);
    connect(sealing, &QTimer::timeout, this, [] {
        if (core::currentUser().code.isEmpty() || core::mainConnectionLost()) return;
        QSqlDatabase db = core::mainConnection();
        if (db.isOpen()) core::audit::sealPending(db);
    });
    sealing->start();
    Frm_Principal = this;
}

TFrm_Principal::~TFrm_Principal() {
    if (Frm_Principal == this) Frm_Principal = nullptr;
}

int TFrm_Principal::kindOf(const QAction* action) {
    const QVariant kind = action ? action->property(kKindProperty) : QVariant();
    return kind.isValid() ? kind.toInt() : -1;
}

void TFrm_Principal::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));
    const QIcon windowIcon = style()->standardIcon(QStyle::SP_FileDialogContentsView);
    const QIcon reportIcon = style()->standardIcon(QStyle::SP_FileIcon);
    const QIcon helpIcon = style()->standardIcon(QStyle::SP_DialogHelpButton);

    const QList<core::MenuEntrySpec>& tree = core::menuTree();
    QMenu* parents[3] = {nullptr, nullptr, nullptr};
    QList<QSet<QChar>> usedLetters(4);
    for (int i = 0; i < tree.size(); ++i) {
        const core::MenuEntrySpec& spec = tree.at(i);
        usedLetters[spec.level + 1].clear();
        QSet<QChar>& used = usedLetters[spec.level];
        QAction* action = nullptr;
        // A header has children, or is one of the empty "Relatórios" headers kept hidden in the design.
        const bool header =
            !spec.separator() &&
            (hasChildren(tree, i) || (spec.level > 0 && spec.kind == core::MenuKind::Always && spec.hidden));
        if (spec.level == 0) {
            const QString caption = captionWithAccelerator(spec.title, used);
            if (header) {
                QMenu* menu = bar->addMenu(caption);
                parents[0] = menu;
                action = menu->menuAction();
            } else {
                action = bar->addAction(caption);
            }
        } else {
            QMenu* parent = parents[spec.level - 1];
            if (spec.separator()) {
                action = parent->addSeparator();
            } else if (header) {
                QMenu* menu = parent->addMenu(captionWithAccelerator(spec.title, used));
                parents[spec.level] = menu;
                action = menu->menuAction();
            } else {
                action = parent->addAction(captionWithAccelerator(spec.title, used));
            }
        }
        action->setProperty(kKindProperty, int(spec.kind));
        if (spec.hidden) action->setVisible(false);

        if (spec.level > 0 && !spec.separator()) {
            if (spec.title == QLatin1String("Ajuda"))
                action->setIcon(helpIcon);
            else if (spec.kind == core::MenuKind::Report || spec.title == QLatin1String("Relatórios"))
                action->setIcon(reportIcon);
            else if (spec.kind == core::MenuKind::Window || spec.kind == core::MenuKind::Utility ||
                     spec.title == QLatin1String("Recebe dados - TCE/AL"))
                action->setIcon(windowIcon);
        }

        if (!header && !spec.separator()) {
            if (spec.level == 0 && spec.title == QLatin1String("Sair")) {
                connect(action, &QAction::triggered, this, &QWidget::close);
            } else {
                connect(action, &QAction::triggered, this,
                        [this, action] { openEntry(routines::withoutAccelerator(action->text())); });
            }
        }
        m_entries.append({action, spec});
    }
}

void TFrm_Principal::openEntry(const QString& title) {
    // The window opened is modal; when it closes this window is the active one again. Not every
    // windowing system reports that reactivation, so the rights are applied here as well.
    if (!core::menuCommands().open(title, this)) {
        // A granted entry whose window is not part of this build must not look broken.
        core::dialogs().message(this, core::notAvailableMessage(title));
        return;
    }
    if (isVisible() && !m_activating) {
        m_activating = true;
        FormActivate();
        m_activating = false;
    }
}

bool TFrm_Principal::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !m_activating) {
        m_activating = true;
        FormActivate();
        m_activating = false;
    }
    return QMainWindow::event(event);
}

void TFrm_Principal::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // The first showing counts as the first activation even where no window manager activates
    // the window.
    if (!m_shownOnce && !event->spontaneous() && !m_activating) {
        m_shownOnce = true;
        m_activating = true;
        FormActivate();
        m_activating = false;
    }
}

QString TFrm_Principal::statusText() {
    const QString user = core::currentUser().name.trimmed();
    const QString last = core::activity().last();
    QStringList parts;
    if (!user.isEmpty()) parts << QStringLiteral("Usuário: ") + user;
    if (!last.isEmpty()) parts << last;
    return parts.join(QStringLiteral("   |   "));
}

void TFrm_Principal::showStatus() {
    m_panel->setText(statusText());
}

void TFrm_Principal::FormActivate() {
    showStatus();
    m_calendar->setSelectedDate(core::today());
    m_calendar->showToday();
    applyAccessRights();
    showDashboardByRight();
    if (m_dashboard->isVisibleTo(this)) m_dashboard->refreshIfDue();
}

void TFrm_Principal::showDashboardByRight() {
    for (const MenuEntry& e : std::as_const(m_entries))
        if (e.spec.level > 0 && e.spec.title == dashboardTitle()) m_dashboard->setVisible(e.enabled);
}

void TFrm_Principal::setEntryEnabled(MenuEntry& entry, bool enabled) {
    entry.enabled = enabled;
    entry.action->setEnabled(enabled);
}

bool TFrm_Principal::applyAccessRights() {
    QList<MenuEntry*> governed;
    for (MenuEntry& e : m_entries)
        if (e.spec.level > 0) governed << &e;
    // With the connection lost the rights cannot be read: the menu keeps the ones read before,
    // so that the user's next choice there opens the connection again (a greyed menu would
    // leave him nothing to do but restart).
    QList<bool> before;
    for (MenuEntry* e : std::as_const(governed))
        before << e->enabled;
    auto keepBefore = [&] {
        for (int i = 0; i < governed.size(); ++i)
            setEntryEnabled(*governed.at(i), before.at(i));
        return false;
    };
    for (MenuEntry* e : std::as_const(governed))
        if (e->spec.kind != core::MenuKind::Always) setEntryEnabled(*e, false);

    QSqlDatabase db = core::mainConnection();
    // Never opened (the start-up said why, once): nothing to read and nothing more to say.
    if (!db.isOpen() && core::mainConnectionFailedToOpen()) return false;
    if (!core::ensureConnection(db)) return keepBefore();
    QStringList titles;
    QString error;
    if (!core::userRights(db, core::currentUser().code, &titles, &error)) {
        if (core::noteConnectionFailure(db, this)) return keepBefore();
        if (!m_rightsFailed) {
            if (error.trimmed().isEmpty()) error = QStringLiteral("Sem conexão com o banco de dados.");
            m_rightsFailed = true;
            core::dialogs().error(this, error);
        }
        return false;
    }
    m_rightsFailed = false;

    for (const QString& title : std::as_const(titles))
        for (MenuEntry* e : std::as_const(governed))
            if (!e->spec.separator() && routines::withoutAccelerator(e->action->text()) == title)
                setEntryEnabled(*e, true);
    for (MenuEntry* e : std::as_const(governed))
        if (e->spec.kind == core::MenuKind::Window && !e->enabled) e->action->setVisible(false);
    return true;
}

void TFrm_Principal::closeEvent(QCloseEvent* event) {
    if (core::dialogs().question(this, QStringLiteral("Deseja Finalizar a Aplicação ?"),
                                 core::DialogService::DefaultButton::Yes))
        event->accept();
    else
        event->ignore();
}

} // namespace app
