#include "core/processpapers.h"

#include <QHash>

namespace core {

namespace {

QHash<QString, ProcessPaperOpener>& openers() {
    static QHash<QString, ProcessPaperOpener> table;
    return table;
}

QString withoutHotkey(QString text) {
    const int amp = text.indexOf(QLatin1Char('&'));
    if (amp >= 0) text.remove(amp, 1);
    return text;
}

} // namespace

void registerProcessPaper(const QString& entryText, ProcessPaperOpener opener) {
    openers().insert(withoutHotkey(entryText), std::move(opener));
}

bool openProcessPaper(const QString& entryText, QWidget* parent, const QString& key, const QString& year) {
    const auto it = openers().constFind(withoutHotkey(entryText));
    if (it == openers().constEnd()) return false;
    (*it)(parent, key, year);
    return true;
}

} // namespace core
