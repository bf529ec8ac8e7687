#include "app/core/dialogs.h"

#include "app/core/appvalues.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace core {

namespace {
DialogService* installedService = nullptr;
}

DialogService& dialogs() {
    static WidgetDialogService real;
    return installedService ? *installedService : real;
}

void setDialogService(DialogService* service) {
    installedService = service;
}

void WidgetDialogService::message(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title.isEmpty() ? appValues().systemName : title, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

bool WidgetDialogService::question(QWidget* parent, const QString& text, DefaultButton defaultButton) {
    QMessageBox box(QMessageBox::Question, appValues().systemName, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setButtonText(QMessageBox::Yes, QStringLiteral("&Sim"));
    box.setButtonText(QMessageBox::No, QStringLiteral("&Não"));
    box.setDefaultButton(defaultButton == DefaultButton::Yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> WidgetDialogService::input(QWidget* parent, const QString& title,
                                                  const QString& prompt, const QString& initial) {
    QInputDialog dlg(parent);
    dlg.setWindowTitle(title);
    dlg.setLabelText(prompt);
    dlg.setTextValue(initial);
    dlg.setOkButtonText(QStringLiteral("OK"));
    dlg.setCancelButtonText(QStringLiteral("Cancelar"));
    if (dlg.exec() != QDialog::Accepted) return std::nullopt;
    return dlg.textValue();
}

QString WidgetDialogService::openFileName(QWidget* parent, const QString& title, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, QString(), filter);
}

QString WidgetDialogService::saveFileName(QWidget* parent, const QString& title, const QString& filter,
                                          const QString& suggestedName, QString* chosenFilter) {
    return QFileDialog::getSaveFileName(parent, title, suggestedName, filter, chosenFilter);
}

void WidgetDialogService::error(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Critical, appValues().systemName, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace core
