#pragma once

#include <QString>

class QWidget;

namespace core {

// The routing hand-off: the process a window wants sent on, held for the whole run. The opener
// sets it just before it opens the routing form, which copies it into the movement it creates.
struct RoutingHandOff {
    QString process; // IDPROCESSO, eight digits
    QString year;    // ANO, four digits
    // REGISTRO of the pending movement being forwarded; "00000000" when the process form opens
    // the routing form (no movement is shown, a first one is created).
    QString movement = QStringLiteral("00000000");
};

RoutingHandOff& routingHandOff();

// Sets the hand-off and opens the routing form modally through its menu title ("Tramitação"), so
// the windows that start a sending need not link the routing form. False when no routing form is
// registered.
bool openRouting(QWidget* parent, const QString& process, const QString& year,
                 const QString& movement = QStringLiteral("00000000"));

} // namespace core
