#pragma once

class QWidget;

namespace core {

// Marks the window maximised and also gives it the whole free screen area, because without a
// window manager (a bare X server, a kiosk session) the maximised state alone leaves it at its
// own size. Call before showing it.
void setMaximisedOnScreen(QWidget* window);

} // namespace core
