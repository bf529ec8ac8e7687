#pragma once

#include <QObject>
#include <QString>

// The last finished action of the run ("Processo 12110001/2026 enviado para PAULO ROBERTO NUNES"),
// which the main window's status bar shows. A window says it after the action has been written,
// instead of a box: the saves that finish silently stay silent, and the clerk can still see what
// was done last.
namespace core {

class Activity : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    QString last() const { return m_last; }
    void finished(const QString& text);

signals:
    void announced(const QString& text);

private:
    QString m_last;
};

Activity& activity();

// Shorthand for activity().finished(text).
void announceFinished(const QString& text);

// "Processo 12110001/2026": how an action names its process.
QString processName(const QString& number, const QString& year);

} // namespace core
