#include "core/appvalues.h"
#include "core/connection.h"
#include "core/routines.h"
#include "core/session.h"
#include "app/senha.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

using testsupport::child;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;

namespace {

const QString kInvalid = QStringLiteral("Atenção, senha inválida!");

// Types text key by key, accented letters included (QTest::keyClicks takes ASCII only).
void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(widget, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// A login window on screen and active, so that focus moves as the user sees it.
struct LoginWindow {
    app::TFrm_Senha window;
    QLineEdit* code;
    QLineEdit* password;
    LoginWindow() {
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        code = child<QLineEdit>(&window, QStringLiteral("Campo1"));
        password = child<QLineEdit>(&window, QStringLiteral("Campo2"));
    }
    QString text(const char* name) { return child<QLineEdit>(&window, QString::fromLatin1(name))->text(); }
    // Types the code and leaves the field with Tab.
    void enterCode(const QString& typed) {
        code->setFocus();
        code->clear();
        typeText(code, typed);
        QTest::keyClick(code, Qt::Key_Tab);
    }
    void typePassword(const QString& typed) {
        password->clear();
        typeText(password, typed);
    }
    void pressEntrar() {
        QTest::mouseClick(child<QPushButton>(&window, QStringLiteral("Botao_Entrar")), Qt::LeftButton);
    }
    bool accepted() const { return !window.isVisible() && window.result() == QDialog::Accepted; }
};

} // namespace

class TestLogin : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void layoutAndCaptions();
    void leavingTheCodePadsAndLooksUp();
    void enterMovesFocusAndPressesEntrar();
    void wrongPasswordThenCorrected();
    void refusedCodes_data();
    void refusedCodes();
    void emptyStoredPasswordLogsInEmpty();
    void accentedPasswordRoundTrip();
    void escapeCancels();
    void lookupFailureKeepsDisplays();

private:
    std::unique_ptr<TestDatabase> m_db;
};

void TestLogin::initTestCase() {
    m_db = std::make_unique<TestDatabase>(true);
    QVERIFY_DB(*m_db);
    core::initialiseAppValues(0);
    // 00000002: no password stored at all; 00000003: a password with accents and signs.
    QVERIFY(m_db->insert("USUARIOS", {{"COD_USUARIO", "00000002"},
                                      {"USUARIO", "JOSÉ SEM SENHA"},
                                      {"CPF", "111.444.777-35"},
                                      {"PROTOCOLISTA", "NAO"}}));
    const QString scrambled = routines::scrambleUp(QStringLiteral("Ção ¢º1é"));
    QVERIFY(m_db->insert("USUARIOS", {{"COD_USUARIO", "00000003"},
                                      {"USUARIO", "MARIA DAS GRAÇAS"},
                                      {"SENHA", scrambled},
                                      {"CONFIRMACAO", scrambled},
                                      {"CPF", "529.982.247-25"},
                                      {"PROTOCOLISTA", "SIM"}}));
}

void TestLogin::init() {
    core::currentUser() = core::CurrentUser{};
}

void TestLogin::cleanupTestCase() {
    m_db.reset();
}

void TestLogin::layoutAndCaptions() {
    LoginWindow w;
    QCOMPARE(w.window.windowTitle(), QStringLiteral("Protocolo-Korvalis"));
    QVERIFY(!(w.window.windowFlags() & Qt::WindowCloseButtonHint));
    QCOMPARE(w.password->echoMode(), QLineEdit::Password);
    QVERIFY(!child<QLineEdit>(&w.window, "SenhaCriptografada")->isVisible());
    QCOMPARE(child<QPushButton>(&w.window, "Botao_Entrar")->text(), QStringLiteral("&Entrar       "));
    QCOMPARE(child<QPushButton>(&w.window, "Botao_Cancelar")->text(), QStringLiteral("&Cancelar   "));
    // Every edit carries its caption, as a buddy label and as its accessible name.
    const QList<QPair<QString, QString>> captions{{"Campo1", "Código"},
                                                  {"CampoE4", "Usuário"},
                                                  {"Campo2", "Senha"},
                                                  {"CampoE5", "CPF"},
                                                  {"CampoE6", "Protocolista ?"}};
    for (const auto& [name, caption] : captions) {
        QLineEdit* edit = child<QLineEdit>(&w.window, name);
        QCOMPARE(edit->accessibleName(), caption);
        bool hasBuddy = false;
        for (QLabel* label : w.window.findChildren<QLabel*>())
            hasBuddy = hasBuddy || (label->buddy() == edit && label->text() == caption);
        QVERIFY2(hasBuddy, qPrintable(name));
        const bool readOnly = name.startsWith(QLatin1String("CampoE"));
        QCOMPARE(edit->isReadOnly(), readOnly);
        QCOMPARE(edit->focusPolicy() == Qt::NoFocus, readOnly);
    }
    QCOMPARE(w.code->hasFocus(), true);
}

void TestLogin::leavingTheCodePadsAndLooksUp() {
    LoginWindow w;
    w.enterCode(QStringLiteral("1"));
    QCOMPARE(w.code->text(), QStringLiteral("00000001"));
    QCOMPARE(w.text("CampoE4"), QStringLiteral("ADMINISTRADOR"));
    QCOMPARE(w.text("CampoE6"), QStringLiteral("SIM"));
    QCOMPARE(w.text("SenhaCriptografada"), routines::scrambleUp(QStringLiteral("admin")));
    QVERIFY(w.password->hasFocus());
    // An empty code becomes eight zeros, which no user has: the displays are emptied.
    w.enterCode(QString());
    QCOMPARE(w.code->text(), QStringLiteral("00000000"));
    QCOMPARE(w.text("CampoE4"), QString());
    QCOMPARE(w.text("SenhaCriptografada"), QString());
}

void TestLogin::enterMovesFocusAndPressesEntrar() {
    LoginWindow w;
    w.code->setFocus();
    typeText(w.code, QStringLiteral("3"));
    QTest::keyClick(w.code, Qt::Key_Return);
    QVERIFY(w.password->hasFocus());
    QCOMPARE(w.text("CampoE4"), QStringLiteral("MARIA DAS GRAÇAS"));
    typeText(w.password, QStringLiteral("Ção ¢º1é"));
    QTest::keyClick(w.password, Qt::Key_Return);
    QPushButton* entrar = child<QPushButton>(&w.window, "Botao_Entrar");
    QVERIFY(entrar->hasFocus());
    QTest::keyClick(entrar, Qt::Key_Return);
    QVERIFY(w.accepted());
    const core::CurrentUser& user = core::currentUser();
    QCOMPARE(user.code, QStringLiteral("00000003"));
    QCOMPARE(user.name, QStringLiteral("MARIA DAS GRAÇAS"));
    QCOMPARE(user.cpf, QStringLiteral("529.982.247-25"));
    QCOMPARE(user.protocolist, QStringLiteral("SIM"));
}

void TestLogin::wrongPasswordThenCorrected() {
    ScriptedDialogs dialogs;
    dialogs.expectMessage(kInvalid);
    LoginWindow w;
    w.enterCode(QStringLiteral("1"));
    w.typePassword(QStringLiteral("ADMIN")); // the comparison is case-sensitive
    w.pressEntrar();
    QVERIFY(w.window.isVisible());
    QTRY_VERIFY(w.password->hasFocus());
    QCOMPARE(w.password->text(), QStringLiteral("ADMIN"));
    QVERIFY(core::currentUser().code.isEmpty());
    // Only the password is corrected; the code field is not left again.
    w.typePassword(QStringLiteral("admin"));
    w.pressEntrar();
    QVERIFY(w.accepted());
    QCOMPARE(core::currentUser().code, QStringLiteral("00000001"));
    VERIFY_DIALOGS(dialogs);
}

void TestLogin::refusedCodes_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shownCode");
    QTest::addColumn<QString>("password");
    QTest::newRow("unknown code, empty password") << "99"
                                                  << "00000099"
                                                  << "";
    QTest::newRow("unknown code, a password") << "99"
                                              << "00000099"
                                              << "admin";
    QTest::newRow("quote") << "1'"
                           << "0000001'"
                           << "";
    QTest::newRow("quote trying to match every row") << "1' OR '1'='1"
                                                     << "1' OR '1'='1"
                                                     << "admin";
    QTest::newRow("nine characters looked up unchanged") << "000000001"
                                                         << "000000001"
                                                         << "admin";
}

void TestLogin::refusedCodes() {
    QFETCH(QString, typed);
    QFETCH(QString, shownCode);
    QFETCH(QString, password);
    ScriptedDialogs dialogs; // no error box: the code reaches the database only as a value
    dialogs.expectMessage(kInvalid);
    LoginWindow w;
    w.enterCode(typed);
    QCOMPARE(w.code->text(), shownCode);
    QCOMPARE(w.text("CampoE4"), QString());
    QCOMPARE(w.text("CampoE5"), QString());
    QCOMPARE(w.text("CampoE6"), QString());
    w.typePassword(password);
    w.pressEntrar();
    QVERIFY(w.window.isVisible());
    QVERIFY(core::currentUser().code.isEmpty());
    VERIFY_DIALOGS(dialogs);
}

void TestLogin::emptyStoredPasswordLogsInEmpty() {
    LoginWindow w;
    w.enterCode(QStringLiteral("2"));
    QCOMPARE(w.text("CampoE4"), QStringLiteral("JOSÉ SEM SENHA"));
    w.pressEntrar();
    QVERIFY(w.accepted());
    QCOMPARE(core::currentUser().code, QStringLiteral("00000002"));
    QCOMPARE(core::currentUser().protocolist, QStringLiteral("NAO"));
}

void TestLogin::accentedPasswordRoundTrip() {
    // What the database gives back is exactly what was stored, so the password unscrambles.
    QCOMPARE(m_db->scalar("SELECT SENHA FROM USUARIOS WHERE COD_USUARIO = ?", {"00000003"}).toString(),
             routines::scrambleUp(QStringLiteral("Ção ¢º1é")));
    ScriptedDialogs dialogs;
    dialogs.expectMessage(kInvalid);
    LoginWindow w;
    w.enterCode(QStringLiteral("3"));
    w.typePassword(QStringLiteral("cão ¢º1é"));
    w.pressEntrar();
    w.typePassword(QStringLiteral("Ção ¢º1é"));
    w.pressEntrar();
    QVERIFY(w.accepted());
    VERIFY_DIALOGS(dialogs);
}

void TestLogin::escapeCancels() {
    // Through the start-up's own call: modal, and false when cancelled.
    bool sawLogin = false;
    testsupport::onNextModal([&](QWidget* modal) {
        sawLogin = modal->objectName() == QLatin1String("Frm_Senha");
        QLineEdit* code = child<QLineEdit>(modal, "Campo1");
        typeText(code, QStringLiteral("1"));
        QTest::keyClick(code, Qt::Key_Escape);
    });
    QVERIFY(!app::runLogin(nullptr));
    QVERIFY(sawLogin);
    QVERIFY(core::currentUser().code.isEmpty());
    QVERIFY(app::Frm_Senha == nullptr);

    testsupport::onNextModal([&](QWidget* modal) {
        QTest::mouseClick(child<QPushButton>(modal, "Botao_Cancelar"), Qt::LeftButton);
    });
    QVERIFY(!app::runLogin(nullptr));
}

void TestLogin::lookupFailureKeepsDisplays() {
    LoginWindow w;
    w.enterCode(QStringLiteral("1"));
    QCOMPARE(w.text("CampoE4"), QStringLiteral("ADMINISTRADOR"));
    ScriptedDialogs dialogs;
    dialogs.expectError(QString());
    dialogs.expectError(QString());
    core::mainConnection().close();
    w.enterCode(QStringLiteral("2"));
    QCOMPARE(w.text("CampoE4"), QStringLiteral("ADMINISTRADOR"));
    // "Entrar" does not log in with the displays of another code.
    w.typePassword(QStringLiteral("admin"));
    w.pressEntrar();
    QVERIFY(w.window.isVisible());
    QVERIFY(core::currentUser().code.isEmpty());
    VERIFY_DIALOGS(dialogs);
    QVERIFY(core::mainConnection().open());
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
