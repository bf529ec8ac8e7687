#pragma once

#include <QTest>
#include <QWidget>
#include <functional>

namespace testsupport {

// Runs the action on the next modal window that opens (a lookup dialog, a window opened from
// the menu), from inside its own event loop. The action usually picks, types or closes it.
// Fails the current test if no modal window opens within the timeout.
void onNextModal(std::function<void(QWidget*)> action, int timeoutMs = 5000);

// Finds a descendant by objectName; fails the current test when it is missing.
template <typename T> T* child(QWidget* parent, const QString& objectName) {
    T* w = parent->findChild<T*>(objectName);
    if (!w) QTest::qFail(qPrintable(QStringLiteral("Sem componente %1").arg(objectName)), __FILE__, __LINE__);
    return w;
}

} // namespace testsupport
