// Screen readers reach each window through the accessibility tree: every edit must be named
// by its caption (a buddy label or an accessible name) and every button by its caption.
// Walks every window the menu opens, the login, the main window and the lookup dialogs.

#include "app/pesquisausuarios.h"
#include "app/principal.h"
#include "app/senha.h"
#include "app/sobre.h"
#include "app/wiring.h"
#include "core/appvalues.h"
#include "core/menucommands.h"
#include "core/session.h"
#include "forms/common/formwindow.h"
#include "forms/common/lookupdialog.h"
#include "forms/registers/lookups.h"
#include "forms/registers/pesqtitularrequerente.h"
#include "forms/registers/pesqusuario02.h"
#include "reports/engine/preview.h"
#include "reports/engine/report.h"
#include "reports/listings/listings.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextEdit>
#include <functional>

using testsupport::TestDatabase;

namespace {

bool isEdit(QWidget* w) {
    if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QTextEdit*>(w) ||
        qobject_cast<QPlainTextEdit*>(w))
        return true;
    // The line edit inside a combo box or a spin box is named through its owner.
    if (qobject_cast<QLineEdit*>(w))
        return !qobject_cast<QComboBox*>(w->parentWidget()) &&
               !qobject_cast<QAbstractSpinBox*>(w->parentWidget());
    return false;
}

// The name a screen reader announces for the widget, as the accessibility bridge builds it.
QString announcedName(QWidget* w) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name).trimmed() : QString();
}

// Every visible edit or button of the window that a screen reader could not name.
QStringList unnamed(QWidget* window) {
    QStringList missing;
    const QList<QLabel*> labels = window->findChildren<QLabel*>();
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window)) continue;
        // Qt's own inner parts (table corner, calendar arrows, menu-bar extension) name themselves.
        if (w->objectName().startsWith(QLatin1String("qt_")) || w->inherits("QTableCornerButton")) continue;
        const QString who =
            QStringLiteral("%1 (%2)").arg(w->objectName(), QLatin1String(w->metaObject()->className()));
        if (isEdit(w)) {
            bool named = !w->accessibleName().trimmed().isEmpty();
            for (QLabel* label : labels)
                named = named || (label->buddy() == w && !label->text().trimmed().isEmpty());
            if (!named || announcedName(w).isEmpty()) missing << who;
        } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            // Spin-box arrows and the like are no captioned buttons of the window.
            if (button->parentWidget() && !button->parentWidget()->isWindow() &&
                qobject_cast<QAbstractSpinBox*>(button->parentWidget()))
                continue;
            if (button->text().trimmed().isEmpty() && button->accessibleName().trimmed().isEmpty())
                missing << who;
        }
    }
    return missing;
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void menuWindows_data();
    void menuWindows();
    void lookupDialogs_data();
    void lookupDialogs();
    void loginMainWindowAndSearches(); // and a listing's preview

private:
    std::unique_ptr<TestDatabase> m_db;
    std::unique_ptr<testsupport::ScriptedDialogs> m_dialogs;
};

void TestAccessibility::initTestCase() {
    qApp->setQuitOnLastWindowClosed(false);
    QAccessible::setActive(true);
    core::initialiseAppValues(0);
    m_dialogs = std::make_unique<testsupport::ScriptedDialogs>();
    m_db = std::make_unique<TestDatabase>(true);
    QVERIFY_DB(*m_db);
    core::currentUser().code = QStringLiteral("00000001");
    app::wireMenuCommands();
}

void TestAccessibility::cleanupTestCase() {
    m_db.reset();
    m_dialogs.reset();
}

void TestAccessibility::menuWindows_data() {
    QTest::addColumn<QString>("title");
    for (const char* title : {"Tipos de Processos", "Tipo/Unidade", "Unidades Orçamentárias", "Setores",
                              "Requerentes/Titulares", "Empresa", "Usuários...", "Trilha de Auditoria",
                              "Processos", "Ajuda", "Atualiza Banco de Dados", "Tipos de Unidades"})
        QTest::newRow(title) << QString::fromUtf8(title);
}

void TestAccessibility::menuWindows() {
    QFETCH(QString, title);
    QStringList missing;
    bool opened = false;
    testsupport::onNextModal([&](QWidget* w) {
        opened = true;
        missing = unnamed(w);
        // Editing tabs are hidden until chosen: look at every page of every tab box too.
        for (QTabWidget* tabs : w->findChildren<QTabWidget*>())
            for (int i = 0; i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                missing << unnamed(w);
            }
        if (auto* d = qobject_cast<QDialog*>(w))
            forms::closeWindow(d);
        else
            w->close();
    });
    QVERIFY(core::menuCommands().open(title, nullptr));
    QVERIFY(opened);
    missing.removeDuplicates();
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(", "))));
}

void TestAccessibility::lookupDialogs_data() {
    QTest::addColumn<int>("which");
    QTest::newRow("PesqTipoUnidade") << 0;
    QTest::newRow("PesqTipoProcesso") << 1;
    QTest::newRow("PesqUnidades") << 2;
    QTest::newRow("PesqTitularRequerente") << 3;
    QTest::newRow("PesqUsuario02") << 4;
}

void TestAccessibility::lookupDialogs() {
    QFETCH(int, which);
    const forms::LookupSpec spec = which == 0   ? registers::pesqTipoUnidadeSpec()
                                   : which == 1 ? registers::pesqTipoProcessoSpec()
                                   : which == 2 ? registers::pesqUnidadesSpec()
                                   : which == 3 ? registers::pesqTitularRequerenteSpec()
                                                : registers::pesqUsuario02Spec();
    forms::LookupDialog dialog(spec, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QStringList missing = unnamed(&dialog);
    dialog.hide();
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(", "))));
}

void TestAccessibility::loginMainWindowAndSearches() {
    app::TFrm_Senha login;
    login.show();
    QVERIFY(QTest::qWaitForWindowExposed(&login));
    QStringList missing = unnamed(&login);
    login.hide();

    app::TFrm_Principal principal;
    principal.show();
    QVERIFY(QTest::qWaitForWindowExposed(&principal));
    missing << unnamed(&principal);
    principal.hide();

    app::TFrm_PesquisaUsuarios search(nullptr);
    QVERIFY(search.load());
    search.show();
    QVERIFY(QTest::qWaitForWindowExposed(&search));
    missing << unnamed(&search);
    search.hide();

    QString error;
    std::unique_ptr<reports::Report> listing =
        reports::buildListing(reports::listingEntries().first().title, &error);
    QVERIFY2(listing, qPrintable(error));
    reports::PreviewWindow preview(*listing);
    preview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&preview));
    missing << unnamed(&preview);
    preview.hide();
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1String(", "))));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
