#include "app/core/windows.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace core {

void setMaximisedOnScreen(QWidget* window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) window->setGeometry(screen->availableGeometry());
    window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

} // namespace core
