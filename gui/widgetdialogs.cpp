#include "gui/widgetdialogs.h"

#include "core/appvalues.h"
#include "gui/windows.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace gui {

namespace {

QString boxTitle(const QString& title) {
    return title.isEmpty() ? core::appValues().systemName : title;
}

int execBox(QMessageBox& box) {
    keepTitleWhole(&box);
    return box.exec();
}

} // namespace

void WidgetDialogService::message(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, boxTitle(title), text, QMessageBox::Ok, parent);
    execBox(box);
}

void WidgetDialogService::warning(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Warning, boxTitle(title), text, QMessageBox::Ok, parent);
    execBox(box);
}

bool WidgetDialogService::question(QWidget* parent, const QString& text, DefaultButton defaultButton) {
    QMessageBox box(QMessageBox::Question, boxTitle(QString()), text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("&Sim"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("&Não"), QMessageBox::NoRole);
    box.setDefaultButton(defaultButton == DefaultButton::Yes ? yes : no);
    box.setEscapeButton(no);
    execBox(box);
    return box.clickedButton() == yes;
}

std::optional<QString> WidgetDialogService::input(QWidget* parent, const QString& title,
                                                  const QString& prompt, const QString& initial) {
    QInputDialog dlg(parent);
    dlg.setWindowTitle(title);
    dlg.setLabelText(prompt);
    dlg.setTextValue(initial);
    dlg.setOkButtonText(QStringLiteral("OK"));
    dlg.setCancelButtonText(QStringLiteral("Cancelar"));
    setDialogFrame(&dlg);
    keepTitleWhole(&dlg);
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
    QMessageBox box(QMessageBox::Critical, boxTitle(QString()), text, QMessageBox::Ok, parent);
    execBox(box);
}

void installWidgetDialogs() {
    static WidgetDialogService service;
    core::setDialogService(&service);
}

} // namespace gui
