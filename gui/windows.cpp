#include "gui/windows.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QWidget>

namespace gui {

namespace {

// Room the window manager takes beside the title text: icon, close button, margins.
constexpr int kTitleBarExtra = 140;

int titleWidth(const QWidget* window) {
    const QFont titleFont = QGuiApplication::font();
    return QFontMetrics(titleFont).horizontalAdvance(window->windowTitle()) + kTitleBarExtra;
}

} // namespace

void setMaximisedOnScreen(QWidget* window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) window->setGeometry(screen->availableGeometry());
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

void setDialogFrame(QWidget* window) {
    Qt::WindowFlags flags = window->windowFlags();
    flags &= ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowMinMaxButtonsHint |
               Qt::WindowContextHelpButtonHint);
    // The close hint stays: a title bar asked for with no button at all leaves the decorations to
    // the window manager, and most (Openbox among them) then show minimise and maximise too. The
    // program's windows take the close request as a press of their own "Fechar".
    flags |= Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
             Qt::MSWindowsFixedSizeDialogHint;
    window->setWindowFlags(flags);
}

void keepTitleWhole(QMessageBox* box) {
    // The box's grid layout decides its width; a spacer in an empty last row widens it.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(titleWidth(box), 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

void keepTitleWhole(QWidget* dialog) {
    dialog->setMinimumWidth(qMax(dialog->minimumWidth(), titleWidth(dialog)));
}

} // namespace gui
