#include "core/clock.h"

namespace core {

namespace {
QDateTime& fixedMoment() {
    static QDateTime moment;
    return moment;
}
} // namespace

QDateTime now() {
    const QDateTime& fixed = fixedMoment();
    return fixed.isValid() ? fixed : QDateTime::currentDateTime();
}

QDate today() {
    return now().date();
}

void setClock(const QDateTime& fixed) {
    fixedMoment() = fixed;
}

} // namespace core
