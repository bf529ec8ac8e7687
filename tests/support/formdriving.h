#pragma once

#include <QString>
#include <functional>

class QDialog;
class QLineEdit;
class QTableView;
class QWidget;

namespace testsupport {

// Driving a window as the user does, control by control (found by objectName).

QLineEdit* edit(QWidget* window, const char* name);

// Clicks a button of the window; fails the current test when it is missing or disabled.
void click(QWidget* window, const char* name);

// Replaces the edit's text by typing, key by key, from its first position; the focus stays
// where it is.
void retype(QWidget* window, const char* name, const QString& text);

// Puts the focus on the edit first (the control that had it is left), then retypes.
void typeInto(QWidget* window, const char* name, const QString& text);

// The edit loses the focus, as when the user moves on: its leaving handlers run.
void leave(QWidget* widget);

void typeAndLeave(QWidget* window, const char* name, const QString& text);

// The next control that Tab reaches.
QWidget* nextTabStop(QWidget* widget);

// Selects the grid row and double-clicks it.
void dblClickRow(QTableView* grid, int row);

// Acts on the next modal dialog when it opens; whatever happens, it is closed afterwards.
void onModalDialog(std::function<void(QDialog*)> action);

} // namespace testsupport
