#include "tests/support/typing.h"

#include <QTest>

namespace testsupport {

void typeText(QWidget* widget, const QString& text) {
    for (int i = 0; i < text.size(); ++i) {
        const ushort u = text.at(i).unicode();
        if (u < 128 && u >= 32) {
            QTest::keyClick(widget, char(u));
            continue;
        }
        // A character beyond the first plane (an emoji) arrives as one key with both halves.
        const int length =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
        const QString key = text.mid(i, length);
        i += length - 1;
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, key, Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, key, Qt::NoModifier);
    }
}

} // namespace testsupport
