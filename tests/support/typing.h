#pragma once

#include <QString>

class QWidget;

namespace testsupport {

// Types the text into the widget key by key, accented letters included (QTest::keyClicks only
// takes ASCII).
void typeText(QWidget* widget, const QString& text);

} // namespace testsupport
