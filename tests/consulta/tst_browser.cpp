// The page in a real browser: headless Chromium (Debian's) opens it at a phone's size, the test
// types number, year and code with the keyboard as a citizen would, presses Enter and reads the
// answer from the page. The browser is driven over its DevTools pipe (file descriptors 3 and 4,
// one JSON message per NUL), so no driver program is needed. Skipped where Chromium is absent.
#include "consulta/server.h"
#include "core/publiclookup.h"
#include "tests/support/lookupoffice.h"
#include "tests/support/testdatabase.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A Chromium child process and its DevTools pipe.
class Browser {
public:
    ~Browser() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_in >= 0) ::close(m_in);
        if (m_out >= 0) ::close(m_out);
    }

    bool start(const QString& program, const QString& profileDir) {
        int toBrowser[2], fromBrowser[2];
        if (::pipe(toBrowser) || ::pipe(fromBrowser)) return false;
        const QList<QByteArray> args{program.toLocal8Bit(),
                                     "--headless=new",
                                     "--no-sandbox",
                                     "--disable-gpu",
                                     "--no-first-run",
                                     "--remote-debugging-pipe",
                                     "--user-data-dir=" + profileDir.toLocal8Bit(),
                                     "about:blank"};
        m_pid = ::fork();
        if (m_pid == 0) {
            // The browser reads commands on fd 3 and writes answers on fd 4.
            ::dup2(toBrowser[0], 3);
            ::dup2(fromBrowser[1], 4);
            const int devnull = ::open("/dev/null", O_WRONLY);
            ::dup2(devnull, 1);
            ::dup2(devnull, 2);
            for (int fd = 5; fd < 256; ++fd)
                ::close(fd);
            std::vector<char*> argv;
            for (const QByteArray& a : args)
                argv.push_back(const_cast<char*>(a.constData()));
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(toBrowser[0]);
        ::close(fromBrowser[1]);
        m_out = toBrowser[1];
        m_in = fromBrowser[0];
        return m_pid > 0;
    }

    // Sends a command (to the page's session when one is attached) and waits for its answer.
    QJsonObject call(const QString& method, const QJsonObject& params = {}, bool toPage = true) {
        QJsonObject message{{"id", ++m_id}, {"method", method}, {"params", params}};
        if (toPage && !m_session.isEmpty()) message.insert("sessionId", m_session);
        const QByteArray bytes = QJsonDocument(message).toJson(QJsonDocument::Compact) + '\0';
        if (::write(m_out, bytes.constData(), size_t(bytes.size())) != bytes.size()) return {};
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 30000) {
            const QJsonObject reply = next(30000 - int(t.elapsed()));
            if (reply.value("id").toInt() == m_id) return reply;
        }
        return {};
    }

    bool openPage(const QString& url) {
        const QJsonObject created =
            call("Target.createTarget", {{"url", "about:blank"}}, false).value("result").toObject();
        const QJsonObject attached =
            call("Target.attachToTarget", {{"targetId", created.value("targetId")}, {"flatten", true}}, false)
                .value("result")
                .toObject();
        m_session = attached.value("sessionId").toString();
        if (m_session.isEmpty()) return false;
        // A phone: 390 x 844 CSS pixels.
        call("Emulation.setDeviceMetricsOverride",
             {{"width", 390}, {"height", 844}, {"deviceScaleFactor", 2}, {"mobile", true}});
        call("Page.navigate", {{"url", url}});
        return waitFor(
            QStringLiteral("document.readyState === 'complete' && !!document.getElementById('numero')"));
    }

    QJsonValue evaluate(const QString& expression) {
        return call("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}})
            .value("result")
            .toObject()
            .value("result")
            .toObject()
            .value("value");
    }

    bool waitFor(const QString& condition, int timeoutMs = 15000) {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < timeoutMs) {
            if (evaluate(condition).toBool()) return true;
            QTest::qWait(100);
        }
        return false;
    }

    void type(const QString& text) { call("Input.insertText", {{"text", text}}); }

    void key(const QString& name, int code, const QString& text = QString()) {
        for (const char* type : {"keyDown", "keyUp"}) {
            QJsonObject e{{"type", type}, {"key", name}, {"code", name}, {"windowsVirtualKeyCode", code}};
            if (!text.isEmpty() && QLatin1String(type) == QLatin1String("keyDown")) e.insert("text", text);
            call("Input.dispatchKeyEvent", e);
        }
    }

    QByteArray screenshot() {
        const QString data = call("Page.captureScreenshot", {{"format", "png"}})
                                 .value("result")
                                 .toObject()
                                 .value("data")
                                 .toString();
        return QByteArray::fromBase64(data.toLatin1());
    }

private:
    QJsonObject next(int timeoutMs) {
        while (true) {
            const int nul = m_buffer.indexOf('\0');
            if (nul >= 0) {
                const QByteArray one = m_buffer.left(nul);
                m_buffer.remove(0, nul + 1);
                return QJsonDocument::fromJson(one).object();
            }
            pollfd p{m_in, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0) return {};
            char chunk[65536];
            const ssize_t n = ::read(m_in, chunk, sizeof chunk);
            if (n <= 0) return {};
            m_buffer.append(chunk, int(n));
        }
    }

    pid_t m_pid = -1;
    int m_in = -1, m_out = -1, m_id = 0;
    QString m_session;
    QByteArray m_buffer;
};

} // namespace

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void citizenLooksUpWithTheKeyboard();

private:
    QString m_chromium;
    std::unique_ptr<testsupport::TestDatabase> m_db;
    std::unique_ptr<consulta::Service> m_service;
    QByteArray m_secret;
};

void TestBrowser::initTestCase() {
    for (const char* name : {"chromium", "chromium-browser"})
        if (m_chromium.isEmpty()) m_chromium = QStandardPaths::findExecutable(QLatin1String(name));
    if (m_chromium.isEmpty()) QSKIP("Chromium is not installed (apt-get install chromium)");
    m_db = std::make_unique<testsupport::TestDatabase>();
    QVERIFY_DB(*m_db);
    testsupport::addLookupOffice(m_db->connection());
    m_secret = core::consulta::readSecret(m_db->connection());
    // The service reads as its read-only user.
    for (const char* table : {"PROCESSOS", "TRAMITACAO", "ULTIMA_TRAMITACAO", "UNIDADES", "CONSULTA_SEGREDO"})
        QVERIFY(m_db->exec(QStringLiteral("GRANT SELECT ON %1 TO USER CONSULTA").arg(QLatin1String(table))));
    consulta::Settings settings;
    settings.database = m_db->path();
    settings.user = QStringLiteral("CONSULTA");
    settings.port = 0;
    m_service = std::make_unique<consulta::Service>(settings);
    QString error;
    QVERIFY2(m_service->start(&error), qPrintable(error));
}

void TestBrowser::citizenLooksUpWithTheKeyboard() {
    QTemporaryDir profile;
    Browser browser;
    QVERIFY(browser.start(m_chromium, profile.path()));
    QVERIFY(browser.openPage(QStringLiteral("http://127.0.0.1:%1/").arg(m_service->port())));
    QCOMPARE(browser.evaluate("document.documentElement.lang").toString(), QStringLiteral("pt-BR"));
    // The style sheet arrived (the policy allows it from the service itself).
    QVERIFY(
        browser.waitFor("getComputedStyle(document.querySelector('button')).backgroundColor === 'rgb(11, 61, "
                        "110)'"));

    // Keyboard only: the number box first, Tab to the next, Enter sends.
    browser.evaluate("document.getElementById('numero').focus()");
    browser.type(QStringLiteral("2"));
    browser.key(QStringLiteral("Tab"), 9);
    QCOMPARE(browser.evaluate("document.activeElement.id").toString(), QStringLiteral("ano"));
    browser.type(QStringLiteral("2026"));
    browser.key(QStringLiteral("Tab"), 9);
    QCOMPARE(browser.evaluate("document.activeElement.id").toString(), QStringLiteral("codigo"));
    const QString code =
        core::consulta::verificationCode(m_secret, QStringLiteral("2"), QStringLiteral("2026"));
    browser.type(code.toLower()); // as typed from paper, in lower case
    browser.key(QStringLiteral("Enter"), 13, QStringLiteral("\r"));
    QVERIFY(
        browser.waitFor("location.search.indexOf('codigo=') >= 0 && document.readyState === 'complete' && "
                        "!!document.getElementById('situacao')"));

    QCOMPARE(browser.evaluate("document.getElementById('situacao').textContent").toString(),
             QStringLiteral("Recebido pela unidade"));
    QCOMPARE(browser.evaluate("document.getElementById('unidade').textContent").toString(),
             QStringLiteral("GABINETE"));
    QCOMPARE(browser.evaluate("document.getElementById('recebido').textContent").toString(),
             QStringLiteral("Sim, em 05/03/2026"));
    QCOMPARE(browser.evaluate("document.querySelectorAll('tbody tr').length").toInt(), 3);
    const QString page = browser.evaluate("document.body.innerText").toString();
    for (const char* personal : testsupport::kLookupPersonalData)
        QVERIFY(!page.contains(QLatin1String(personal)));
    // Fits a phone: nothing wider than the screen.
    QVERIFY(browser.evaluate("document.documentElement.scrollWidth <= window.innerWidth").toBool());

    const QByteArray png = browser.screenshot();
    QVERIFY(png.startsWith("\x89PNG"));
    // To look at it: PROTOCOLO_KEEP_PAPERS=/some/folder.
    if (qEnvironmentVariableIsSet("PROTOCOLO_KEEP_PAPERS")) {
        QFile f(qEnvironmentVariable("PROTOCOLO_KEEP_PAPERS") + QStringLiteral("/consulta-celular.png"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(png);
    }

    // A wrong code: the polite message, announced to screen readers.
    browser.call(
        "Page.navigate",
        {{"url",
          QStringLiteral("http://127.0.0.1:%1/?numero=2&ano=2026&codigo=ABCDEFGH").arg(m_service->port())}});
    QVERIFY(browser.waitFor("document.readyState === 'complete' && !!document.getElementById('aviso')"));
    QVERIFY(browser.evaluate("document.getElementById('aviso').getAttribute('role')").toString() == "alert");
    QVERIFY(browser.evaluate("document.getElementById('aviso').textContent")
                .toString()
                .startsWith(QStringLiteral("Processo não encontrado.")));
}

QTEST_GUILESS_MAIN(TestBrowser)
#include "tst_browser.moc"
