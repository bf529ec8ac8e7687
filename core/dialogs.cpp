#include "core/dialogs.h"

#include "core/appvalues.h"

#include <QTextStream>

namespace core {

namespace {

DialogService* installedService = nullptr;

// Used only when nothing was installed: nothing is ever confirmed or chosen silently.
class StandardErrorDialogs : public DialogService {
public:
    void message(QWidget*, const QString& text, const QString& title) override { write(title, text); }
    bool question(QWidget*, const QString& text, DefaultButton) override {
        write(QString(), text);
        return false;
    }
    std::optional<QString> input(QWidget*, const QString& title, const QString& prompt,
                                 const QString&) override {
        write(title, prompt);
        return std::nullopt;
    }
    QString openFileName(QWidget*, const QString& title, const QString&) override {
        write(title, QString());
        return QString();
    }
    QString saveFileName(QWidget*, const QString& title, const QString&, const QString&, QString*) override {
        write(title, QString());
        return QString();
    }
    void error(QWidget*, const QString& text) override { write(QString(), text); }

private:
    static void write(const QString& title, const QString& text) {
        QTextStream err(stderr);
        err << (title.isEmpty() ? appValues().systemName : title) << ": " << text << Qt::endl;
    }
};

} // namespace

DialogService& dialogs() {
    static StandardErrorDialogs fallback;
    return installedService ? *installedService : fallback;
}

void setDialogService(DialogService* service) {
    installedService = service;
}

} // namespace core
