#pragma once

#include "core/dialogs.h"

namespace gui {

// The real Qt boxes behind the dialog service.
class WidgetDialogService : public core::DialogService {
public:
    void message(QWidget* parent, const QString& text, const QString& title) override;
    void warning(QWidget* parent, const QString& text, const QString& title) override;
    bool question(QWidget* parent, const QString& text, DefaultButton defaultButton) override;
    std::optional<QString> input(QWidget* parent, const QString& title, const QString& prompt,
                                 const QString& initial) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& suggestedName, QString* chosenFilter) override;
    void error(QWidget* parent, const QString& text) override;
};

// Installs the real boxes as the program's dialog service (the client calls it once at start-up).
void installWidgetDialogs();

} // namespace gui
