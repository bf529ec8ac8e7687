#include "tests/support/formdriving.h"

#include "forms/common/formwindow.h"
#include "tests/support/modal.h"
#include "tests/support/typing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFocusEvent>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTableView>
#include <QTest>

namespace testsupport {

QLineEdit* edit(QWidget* window, const char* name) {
    return child<QLineEdit>(window, QString::fromLatin1(name));
}

void click(QWidget* window, const char* name) {
    auto* b = child<QAbstractButton>(window, QString::fromLatin1(name));
    if (!b) return;
    QVERIFY2(b->isEnabled(), name);
    QTest::mouseClick(b, Qt::LeftButton);
}

void retype(QWidget* window, const char* name, const QString& text) {
    QLineEdit* e = edit(window, name);
    if (!e) return;
    e->selectAll();
    e->del();
    // A masked edit keeps the cursor where the deletion left it.
    e->home(false);
    typeText(e, text);
}

void typeInto(QWidget* window, const char* name, const QString& text) {
    if (QLineEdit* e = edit(window, name)) e->setFocus();
    retype(window, name, text);
}

void leave(QWidget* widget) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(widget, &out);
}

void typeAndLeave(QWidget* window, const char* name, const QString& text) {
    retype(window, name, text);
    if (QLineEdit* e = edit(window, name)) leave(e);
}

QWidget* nextTabStop(QWidget* widget) {
    do
        widget = widget->nextInFocusChain();
    while (!(widget->focusPolicy() & Qt::TabFocus) || !widget->isVisible());
    return widget;
}

void dblClickRow(QTableView* grid, int row) {
    const QRect r = grid->visualRect(grid->model()->index(row, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, r.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, r.center());
}

void onModalDialog(std::function<void(QDialog*)> action) {
    onNextModal([action](QWidget* w) {
        auto* d = qobject_cast<QDialog*>(w);
        auto closeAnyway = qScopeGuard([d] {
            if (d && d->isVisible()) forms::closeWindow(d);
        });
        QVERIFY(d);
        action(d);
    });
}

} // namespace testsupport
