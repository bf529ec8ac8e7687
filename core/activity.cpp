#include "core/activity.h"

namespace core {

void Activity::finished(const QString& text) {
    m_last = text;
    emit announced(text);
}

Activity& activity() {
    static Activity instance;
    return instance;
}

void announceFinished(const QString& text) {
    activity().finished(text);
}

QString processName(const QString& number, const QString& year) {
    return QStringLiteral("Processo %1/%2").arg(number, year);
}

} // namespace core
