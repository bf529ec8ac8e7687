#pragma once

#include <QDialog>
#include <QPointer>
#include <QSize>
#include <functional>

class QColor;
class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace forms {

// The frame of every modal window of the program: fixed size, centred on the screen when shown,
// no title-bar buttons. Enter in any control but a button or a multi-line text moves the focus
// to the next control as Tab would (a focused button takes Enter as a press; a check box is a
// field, not a button, and moves on). Escape does nothing. The window manager's close request
// presses the window's `Botao_Fechar` when that button is enabled, and otherwise tells the user
// to finish or cancel what is under way first; the window closes only through closeWindow(),
// which `Botao_Fechar` calls.
void prepareWindow(QDialog* dialog, const QSize& size);

// Closes a window prepared by prepareWindow().
void closeWindow(QDialog* dialog, int result = QDialog::Rejected);

// The background behind the controls of a page or dialog (the registers' stretched picture).
void paintBackground(QWidget* widget);

// A caption label on that background: white bold text.
void styleCaption(QLabel* label);

// One command button of a registry window's left column.
struct CommandButton {
    QPushButton** button;
    const char* objectName;
    QString text;
    std::function<void()> clicked;
};

// Width of the command buttons (and so of the column they make).
constexpr int kCommandButtonWidth = 96;

// The column of command buttons at the left of a registry window ("&Incluir", "&Salvar"...), top
// to bottom in the order given, all of one width, each pressed by Enter when focused.
QVBoxLayout* commandColumn(QWidget* parent, const QList<CommandButton>& buttons);

// The two hidden parts of a registry window: the state-refresh button `AtivaDesativaBotoes`,
// which runs the state table when clicked, and the label `Titulo` holding the window's title.
struct HiddenStateParts {
    QPushButton* stateButton;
    QLabel* title;
};
HiddenStateParts addHiddenStateParts(QWidget* parent, const QString& title,
                                     const std::function<void()>& applyStateTable,
                                     const QString& buttonCaption = QStringLiteral("Ativa Desativa Botões"));

// The general error box for a window that could not be prepared.
void showOpeningError(QWidget* owner, const QString& text);

// The utility windows that work through a list with a progress bar (database update, spreadsheet
// import): the bar on top, coloured `barColour`, and a row with the action button on the left and
// "Fechar" on the right. The percentage stays readable as the bar fills.
struct ProgressWindowParts {
    QProgressBar* progress = nullptr;
    QPushButton* action = nullptr;
    QPushButton* fechar = nullptr;
};
ProgressWindowParts buildProgressWindow(QDialog* dialog, const QColor& barColour, const QString& actionName,
                                        const QString& actionCaption, const QString& fecharCaption,
                                        const QSize& size);

// The opening sequence of every window opened from the menu or from a button of another window:
// the window is created with the caller as owner and kept in its global reference while open,
// prepared (its record set read, its state refresh run), shown modally, and then destroyed and
// its reference cleared, also when the preparation fails (the failure's own text goes to the
// general error box).
template <typename Form>
void openModal(QPointer<Form>& reference, QWidget* owner,
               const std::function<bool(Form*, QString*)>& prepare) {
    if (!reference) reference = new Form(owner);
    QString error;
    if (!prepare || prepare(reference, &error)) {
        reference->exec();
    } else {
        showOpeningError(owner, error);
    }
    delete reference.data();
    reference = nullptr;
}

} // namespace forms
