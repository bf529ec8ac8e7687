#include "forms/common/formwindow.h"

#include "core/dialogs.h"
#include "gui/windows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPalette>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace forms {

namespace {

const char kCloseAllowed[] = "forms_closeAllowed";
const char kFinishFirst[] = "Conclua ou cancele a operação em andamento antes de fechar esta janela.";

class WindowFrame : public QObject {
public:
    explicit WindowFrame(QDialog* dialog)
        : QObject(dialog)
        , m_dialog(dialog) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_dialog) return false;
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Escape) return true;
            if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
            // The window's own focus child: the key came to this window, and while it is still
            // being activated the application may not yet name it as the focus widget.
            QWidget* focused = m_dialog->focusWidget();
            // A check box is a field, not a command: Enter moves on from it as from an edit.
            auto* button = qobject_cast<QAbstractButton*>(focused);
            if (button && !qobject_cast<QCheckBox*>(focused)) {
                // Enter on a focused button presses it. A push button that is not an automatic
                // default leaves Enter to its window, which would otherwise do nothing with it.
                if (button->isEnabled() && button->window() == m_dialog) button->click();
                return true;
            }
            if (!focused || qobject_cast<QPlainTextEdit*>(focused) || qobject_cast<QTextEdit*>(focused))
                return false;
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QApplication::sendEvent(focused, &tab);
            return true;
        }
        case QEvent::Close:
            if (m_dialog->property(kCloseAllowed).toBool()) return false;
            event->ignore();
            closeRequested();
            return true;
        case QEvent::Show:
            if (QScreen* screen = m_dialog->screen()) {
                const QRect area = screen->availableGeometry();
                m_dialog->move(area.center() - m_dialog->rect().center());
            }
            return false;
        default:
            return false;
        }
    }

private:
    // The title bar's close button (or Alt+F4) is the window's own "Fechar": it runs that button's
    // handler, with its questions and checks, when the button may be pressed, whichever tab is
    // showing (the button may sit on a tab not in view). While it may not (a record being edited,
    // work under way) the user is told why the window stays, rather than a button that silently
    // does nothing. A window without "Fechar" cannot be closed this way.
    void closeRequested() {
        auto* fechar = m_dialog->findChild<QAbstractButton*>(QStringLiteral("Botao_Fechar"));
        if (!fechar || fechar->window() != m_dialog) return;
        if (fechar->isEnabled() && !fechar->isHidden()) {
            // Queued: the handler may close and destroy the window, which must not happen
            // inside the window system's close event.
            QTimer::singleShot(0, fechar, &QAbstractButton::click);
        } else {
            core::dialogs().message(m_dialog, QString::fromUtf8(kFinishFirst));
        }
    }

    QDialog* m_dialog;
};

} // namespace

void prepareWindow(QDialog* dialog, const QSize& size) {
    gui::setDialogFrame(dialog);
    dialog->setFixedSize(size);
    dialog->setModal(true);
    dialog->installEventFilter(new WindowFrame(dialog));
}

void closeWindow(QDialog* dialog, int result) {
    dialog->setProperty(kCloseAllowed, true);
    dialog->done(result);
    dialog->setProperty(kCloseAllowed, false);
}

void paintBackground(QWidget* widget) {
    QLinearGradient g(0, 0, 1, 1);
    g.setCoordinateMode(QGradient::ObjectMode); // stretched over the whole page
    g.setColorAt(0.0, QColor(22, 62, 102));
    g.setColorAt(1.0, QColor(48, 104, 150));
    QPalette pal = widget->palette();
    pal.setBrush(QPalette::Window, QBrush(g));
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void styleCaption(QLabel* label) {
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(pal);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
}

void showOpeningError(QWidget* owner, const QString& text) {
    // Empty: the failure was told already (a lost connection).
    if (!text.isEmpty()) core::dialogs().error(owner, text);
}

QVBoxLayout* commandColumn(QWidget* parent, const QList<CommandButton>& buttons) {
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    for (const CommandButton& b : buttons) {
        *b.button = new QPushButton(b.text, parent);
        (*b.button)->setObjectName(QString::fromLatin1(b.objectName));
        (*b.button)->setFixedWidth(kCommandButtonWidth);
        (*b.button)->setAutoDefault(true);
        QObject::connect(*b.button, &QPushButton::clicked, parent, b.clicked);
        column->addWidget(*b.button);
    }
    column->addStretch();
    return column;
}

HiddenStateParts addHiddenStateParts(QWidget* parent, const QString& title,
                                     const std::function<void()>& applyStateTable,
                                     const QString& buttonCaption) {
    auto* stateButton = new QPushButton(buttonCaption, parent);
    stateButton->setObjectName(QStringLiteral("AtivaDesativaBotoes"));
    stateButton->setVisible(false);
    stateButton->setAutoDefault(false);
    QObject::connect(stateButton, &QPushButton::clicked, parent, applyStateTable);
    auto* label = new QLabel(title, parent);
    label->setObjectName(QStringLiteral("Titulo"));
    label->setVisible(false);
    return {stateButton, label};
}

ProgressWindowParts buildProgressWindow(QDialog* dialog, const QColor& barColour, const QString& actionName,
                                        const QString& actionCaption, const QString& fecharCaption,
                                        const QSize& size) {
    ProgressWindowParts parts;
    parts.progress = new QProgressBar(dialog);
    parts.progress->setObjectName(QStringLiteral("ProgressBar1"));
    parts.progress->setTextVisible(true);
    parts.progress->setRange(0, 100);
    parts.progress->setValue(0);
    // The filled part in the window's colour; the percentage is drawn in white over it and in
    // black beside it, so it stays readable as the bar fills.
    QPalette bar = parts.progress->palette();
    bar.setColor(QPalette::Highlight, barColour);
    bar.setColor(QPalette::HighlightedText, Qt::white);
    bar.setColor(QPalette::Base, Qt::white);
    parts.progress->setPalette(bar);

    parts.action = new QPushButton(actionCaption, dialog);
    parts.action->setObjectName(actionName);
    parts.fechar = new QPushButton(fecharCaption, dialog);
    parts.fechar->setObjectName(QStringLiteral("Botao_Fechar"));

    auto* layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(parts.progress);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(parts.action);
    buttons->addStretch();
    buttons->addWidget(parts.fechar);
    layout->addLayout(buttons);
    prepareWindow(dialog, size);
    return parts;
}

} // namespace forms
