#include "tests/support/typing.h"

#include <QTest>

namespace testsupport {

void typeText(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 128 && u >= 32) {
            QTest::keyClick(widget, char(u));
            continue;
        }
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

} // namespace testsupport
