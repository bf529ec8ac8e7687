#pragma once

class QWidget;
class QMessageBox;

namespace gui {

// Marks the window maximised and also gives it the whole free screen area, because without a
// window manager (a bare X server, a kiosk session) the maximised state alone leaves it at its
// own size. Call before showing it.
void setMaximisedOnScreen(QWidget* window);

// Registry forms, lookups and the other dialogs carry a title bar without minimise, maximise or
// help buttons: they are modal and fixed, so those buttons could only do nothing.
void setDialogFrame(QWidget* window);

// A message box is only as wide as its text, and the window manager then cuts the title short
// ("Protoc… rvalis"). Gives the box at least the width its title needs.
void keepTitleWhole(QMessageBox* box);
void keepTitleWhole(QWidget* dialog);

} // namespace gui
