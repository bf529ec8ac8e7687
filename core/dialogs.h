#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace core {

// Every message box, question, input box and file choice of the program goes through here,
// so that a test can read the exact text shown and give the answer.
class DialogService {
public:
    enum class DefaultButton { Yes, No };

    virtual ~DialogService() = default;

    // Plain message box with an OK button (the "Atenção, ..." messages).
    virtual void message(QWidget* parent, const QString& text, const QString& title = QString()) = 0;
    // Message box with a warning icon and an OK button ("Erro" boxes of the import).
    virtual void warning(QWidget* parent, const QString& text, const QString& title) {
        message(parent, text, title);
    }
    // Yes/No box with a question icon, titled with the system name.
    virtual bool question(QWidget* parent, const QString& text, DefaultButton defaultButton) = 0;
    // Input box; empty optional when cancelled.
    virtual std::optional<QString> input(QWidget* parent, const QString& title, const QString& prompt,
                                         const QString& initial = QString()) = 0;
    // File choice; filter in Qt's form ("JPEG Image File (*.jpg);;..."). Empty when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& title, const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                 const QString& suggestedName = QString(),
                                 QString* chosenFilter = nullptr) = 0;
    // The program's general error box: an unhandled failure's own text; the program goes on.
    virtual void error(QWidget* parent, const QString& text) = 0;
};

// The service in use: the one the client or a test installed. Before any is installed (a tool
// without windows) every prompt is written to standard error and answered No / Cancel.
DialogService& dialogs();
// Installs a service (not owned); nullptr goes back to the standard-error one.
void setDialogService(DialogService* service);

} // namespace core
