#include "app/senha.h"

#include "core/appvalues.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/routines.h"
#include "core/session.h"
#include "core/users.h"

#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

namespace app {

namespace {

const QColor kReadOnly(192, 192, 192);

void paintBase(QLineEdit* edit, const QColor& colour) {
    QPalette pal = edit->palette();
    pal.setColor(QPalette::Base, colour);
    edit->setPalette(pal);
}

QLineEdit* makeEdit(QWidget* parent, const char* name, bool readOnly) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setReadOnly(readOnly);
    if (readOnly) edit->setFocusPolicy(Qt::NoFocus);
    paintBase(edit, readOnly ? kReadOnly : QColor(Qt::white));
    return edit;
}

QLabel* captionFor(QWidget* parent, const QString& caption, QLineEdit* edit) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(edit);
    edit->setAccessibleName(caption);
    return label;
}

} // namespace

TFrm_Senha::TFrm_Senha(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("Frm_Senha"));

    m_campo1 = makeEdit(this, "Campo1", false);
    m_campoE4 = makeEdit(this, "CampoE4", true);
    m_campo2 = makeEdit(this, "Campo2", false);
    m_campoE5 = makeEdit(this, "CampoE5", true);
    m_campoE6 = makeEdit(this, "CampoE6", true);
    m_senhaCriptografada = makeEdit(this, "SenhaCriptografada", true);
    m_senhaCriptografada->hide();

    m_campo1->setMaxLength(100);
    m_campo2->setEchoMode(QLineEdit::Password);
    // Every character of the password is shown as "#".
    m_campo2->setStyleSheet(
        QStringLiteral("QLineEdit { lineedit-password-character: 35; background: white; }"));
    m_campoE6->setMaximumWidth(60);

    // The code is typed in upper case like every other code of the program.
    connect(m_campo1, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = m_campo1->cursorPosition();
            m_campo1->setText(upper);
            m_campo1->setCursorPosition(cursor);
        }
    });

    m_entrar = new QPushButton(QStringLiteral("&Entrar       "), this);
    m_entrar->setObjectName(QStringLiteral("Botao_Entrar"));
    m_cancelar = new QPushButton(QStringLiteral("&Cancelar   "), this);
    m_cancelar->setObjectName(QStringLiteral("Botao_Cancelar"));
    m_entrar->setAccessibleName(QStringLiteral("Entrar"));
    m_cancelar->setAccessibleName(QStringLiteral("Cancelar"));
    // Enter presses the focused button only; no button answers Enter from a field.
    m_entrar->setAutoDefault(true);
    m_cancelar->setAutoDefault(true);
    connect(m_entrar, &QPushButton::clicked, this, &TFrm_Senha::Botao_EntrarClick);
    connect(m_cancelar, &QPushButton::clicked, this, &TFrm_Senha::Botao_CancelarClick);

    auto* grid = new QGridLayout;
    grid->addWidget(captionFor(this, QStringLiteral("Código"), m_campo1), 0, 0);
    grid->addWidget(m_campo1, 0, 1, 1, 3);
    grid->addWidget(captionFor(this, QStringLiteral("Usuário"), m_campoE4), 1, 0);
    grid->addWidget(m_campoE4, 1, 1, 1, 3);
    grid->addWidget(captionFor(this, QStringLiteral("Senha"), m_campo2), 2, 0);
    grid->addWidget(m_campo2, 2, 1, 1, 3);
    grid->addWidget(captionFor(this, QStringLiteral("CPF"), m_campoE5), 3, 0);
    grid->addWidget(m_campoE5, 3, 1);
    grid->addWidget(captionFor(this, QStringLiteral("Protocolista ?"), m_campoE6), 3, 2, Qt::AlignRight);
    grid->addWidget(m_campoE6, 3, 3);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_entrar);
    buttons->addWidget(m_cancelar);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 18, 18, 14);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    setTabOrder(m_campo1, m_campo2);
    setTabOrder(m_campo2, m_entrar);
    setTabOrder(m_entrar, m_cancelar);
    m_campo1->installEventFilter(this);
    m_campo2->installEventFilter(this);

    setFixedSize(430, 200);
    Frm_Senha = this;
}

TFrm_Senha::~TFrm_Senha() {
    if (Frm_Senha == this) Frm_Senha = nullptr;
}

void TFrm_Senha::showEvent(QShowEvent* event) {
    setWindowTitle(core::appValues().systemName);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
    m_campo1->setFocus(Qt::OtherFocusReason);
}

bool TFrm_Senha::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    } else if (event->type() == QEvent::FocusOut && watched == m_campo1) {
        // Only a move to another control of this window counts as leaving the field; the
        // window losing activation (a message box, another program) does not.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (!m_closing && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Campo1Exit();
    }
    return QDialog::eventFilter(watched, event);
}

void TFrm_Senha::Campo1Exit() {
    const QString code = routines::zeroFill(m_campo1->text(), 8);
    if (m_campo1->text() != code) m_campo1->setText(code);
    core::UserRecord user;
    bool found = false;
    QString error;
    if (!core::findUserNamingSession(core::mainConnection(), code, &user, &found, &error)) {
        core::dialogs().error(this, error);
        return;
    }
    m_campoE4->setText(user.name);
    m_senhaCriptografada->setText(user.storedPassword);
    m_campoE5->setText(user.cpf);
    m_campoE6->setText(user.protocolist);
    m_userFound = found;
    m_lookedUpCode = code;
    m_hasLookup = true;
}

void TFrm_Senha::Botao_EntrarClick() {
    // The displays must belong to the code in the field; a code changed without leaving the field,
    // or whose look-up failed, is looked up now (a failed look-up has already been reported).
    if (!m_hasLookup || m_campo1->text() != m_lookedUpCode) {
        Campo1Exit();
        if (!m_hasLookup || m_campo1->text() != m_lookedUpCode) return;
    }
    const QString stored = routines::scrambleDown(m_senhaCriptografada->text(), core::passwordShift());
    // A code that no user has is refused like a wrong password, also with an empty password.
    if (!m_userFound || stored != m_campo2->text()) {
        core::dialogs().message(this, QStringLiteral("Atenção, senha inválida!"));
        m_campo2->setFocus(Qt::OtherFocusReason);
        return;
    }
    core::CurrentUser& user = core::currentUser();
    user.code = m_campo1->text();
    user.name = m_campoE4->text();
    user.cpf = m_campoE5->text();
    user.protocolist = m_campoE6->text();
    // The audit trail names this user for every change the connection writes: his look-up has
    // already put him in the connection's context.
    accept();
}

void TFrm_Senha::Botao_CancelarClick() {
    reject();
}

void TFrm_Senha::done(int result) {
    // Closing takes the focus away from the code field; that is not a look-up.
    m_closing = true;
    QDialog::done(result);
}

bool runLogin(QWidget* parent) {
    TFrm_Senha login(parent);
    return login.exec() == QDialog::Accepted;
}

} // namespace app
