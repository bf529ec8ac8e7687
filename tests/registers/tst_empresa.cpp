#include "core/appvalues.h"
#include "core/menucommands.h"
#include "forms/common/formwindow.h"
#include "forms/registers/empresa.h"
#include "forms/registers/registers.h"
#include "tests/support/formdriving.h"
#include "tests/support/modal.h"
#include "tests/support/scripteddialogs.h"
#include "tests/support/testdatabase.h"
#include "tests/support/typing.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

using forms::RecordSet;
using registers::TFrm_Empresa;
using testsupport::child;
using testsupport::click;
using testsupport::edit;
using testsupport::ScriptedDialogs;
using testsupport::TestDatabase;
using testsupport::typeInto;

namespace {

QByteArray jpegBytes(const QColor& colour, const QSize& size = QSize(60, 80)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 95);
    return bytes;
}

QByteArray pngBytes(const QColor& colour) {
    QImage image(QSize(60, 80), QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// Close enough after JPEG compression.
bool looksLike(const QImage& image, const QColor& colour) {
    if (image.isNull()) return false;
    const QColor c = image.pixelColor(image.width() / 2, image.height() / 2);
    return std::abs(c.red() - colour.red()) < 24 && std::abs(c.green() - colour.green()) < 24 &&
           std::abs(c.blue() - colour.blue()) < 24;
}

bool isBuiltInBlank(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32) ==
           TFrm_Empresa::builtInBlankPicture().convertToFormat(QImage::Format_RGB32);
}

std::unique_ptr<TFrm_Empresa> openForm() {
    std::unique_ptr<TFrm_Empresa> f(new TFrm_Empresa(nullptr));
    QString error;
    if (!f->reload(&error)) qWarning("reload: %s", qPrintable(error));
    f->show();
    QApplication::setActiveWindow(f.get());
    return f;
}

QByteArray storedLogo(TestDatabase& db) {
    return db.scalar("SELECT LOGO FROM EMPRESA WHERE IDEMPRESA = '01'").toByteArray();
}

const QString kOnly01 =
    QStringLiteral("Atenção,\rprocedimento cancelado, Só é permitido o cadastro da Empresa 01!");
const QString kNoName = QStringLiteral("Atenção,\rprocedimento cancelado, Empresa não informada!");

} // namespace

class TestEmpresa : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void openedFromTheMenu();
    void layoutOfTheEditingTab();
    void firstInclusionAndOnly01_data();
    void firstInclusionAndOnly01();
    void areaCodeAndCase();
    void postalCodeSearch();
    void logoLoadedDuringAlteration_data();
    void logoLoadedDuringAlteration();
    void logoWhileBrowsingIsRefused();
    void fileThatIsNoJpegIsRefused_data();
    void fileThatIsNoJpegIsRefused();
    void blankPicture_data();
    void blankPicture();
    void pictureFollowsTheCurrentRecord();
    void screenshots();

private:
    QTemporaryDir m_files;
    QString m_red, m_blue;
};

void TestEmpresa::initTestCase() {
    registers::registerMenuCommands();
    QVERIFY(m_files.isValid());
    m_red = writeFile(m_files, "vermelho.jpg", jpegBytes(Qt::red));
    m_blue = writeFile(m_files, "azul.jpeg", jpegBytes(Qt::blue));
}

void TestEmpresa::cleanup() {
    core::appValues().workingFolder.clear();
}

void TestEmpresa::openedFromTheMenu() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("EMPRESA", {{"IDEMPRESA", "01"}, {"EMPRESA", "PREFEITURA"}});
    QVERIFY(core::menuCommands().contains("Empresa"));
    bool seen = false;
    testsupport::onNextModal([&](QWidget* w) {
        auto closeAnyway = qScopeGuard([w] { forms::closeWindow(static_cast<QDialog*>(w)); });
        seen = true;
        QCOMPARE(w->objectName(), QStringLiteral("Frm_Empresa"));
        QVERIFY(!registers::Frm_Empresa.isNull());
        QCOMPARE(w->windowTitle(), QStringLiteral("Empresa"));
        QCOMPARE(edit(w, "Campo2")->text(), QStringLiteral("PREFEITURA"));
        QTest::mouseClick(child<QPushButton>(w, "Botao_Fechar"), Qt::LeftButton);
    });
    QVERIFY(core::menuCommands().open("Empresa", nullptr));
    QVERIFY(seen);
    QVERIFY(registers::Frm_Empresa.isNull());
}

void TestEmpresa::layoutOfTheEditingTab() {
    TestDatabase db;
    QVERIFY_DB(db);
    auto f = openForm();
    QCOMPARE(f->pages()->tabText(0), QStringLiteral("Unidades"));
    // Rows: Código; Empresa; CNPJ CEP Cidade UF; Endereço; Número Bairro; DDD Telefone E-Mail; Site.
    const QList<QStringList> rows{{"Campo1"}, {"Campo2"},           {"Campo3", "Campo4", "Campo5", "Campo6"},
                                  {"Campo7"}, {"Campo8", "Campo9"}, {"Campo10", "Campo11", "Campo12"},
                                  {"Campo13"}};
    int lastY = -1;
    for (const QStringList& row : rows) {
        const int y = edit(f.get(), qPrintable(row.first()))->y();
        QVERIFY2(y > lastY, qPrintable(row.first()));
        int lastX = -1;
        for (const QString& name : row) {
            QLineEdit* e = edit(f.get(), qPrintable(name));
            QCOMPARE(e->y(), y);
            QVERIFY2(e->x() > lastX, qPrintable(name));
            lastX = e->geometry().right();
        }
        lastY = y;
    }
    // Tab order follows the numbers.
    QWidget* w = edit(f.get(), "Campo1");
    for (int i = 2; i <= 13; ++i) {
        w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        QCOMPARE(w->objectName(), QStringLiteral("Campo%1").arg(i));
    }
    QCOMPARE(edit(f.get(), "Campo3")->inputMask(), QStringLiteral("##.###.###/####-##;_"));
    QCOMPARE(edit(f.get(), "Campo4")->inputMask(), QStringLiteral("##.###-###;_"));
    // The logo at the right of every field, the Arquivo button below it.
    auto* image = child<QLabel>(f.get(), "Image1");
    QCOMPARE(image->size(), QSize(97, 133));
    QVERIFY(image->hasScaledContents());
    for (int i = 1; i <= 13; ++i) {
        QLineEdit* e = edit(f.get(), qPrintable(QStringLiteral("Campo%1").arg(i)));
        QVERIFY(e->mapTo(f.get(), QPoint(e->width(), 0)).x() < image->mapTo(f.get(), QPoint(0, 0)).x());
    }
    auto* arquivo = child<QToolButton>(f.get(), "SpeedButton1");
    QCOMPARE(arquivo->text(), QStringLiteral("Arquivo"));
    QVERIFY(arquivo->y() > image->geometry().bottom());
    QVERIFY(!child<QPushButton>(f.get(), "Botao_Ver_FOTO")->isVisible());
    QVERIFY(image->geometry().right() < f->pages()->width());
    // The list keeps the logo's column hidden.
    auto* grid = child<QTableView>(f.get(), "DBGrid1");
    const int logo = f->gridModel()->columnOfField("LOGO");
    QVERIFY(logo >= 0);
    QVERIFY(grid->isColumnHidden(logo));
}

void TestEmpresa::firstInclusionAndOnly01_data() {
    QTest::addColumn<QString>("typedCode"); // empty: the proposal is kept
    QTest::newRow("proposed 01") << "";
    QTest::newRow("typed 1 becomes 01") << "1";
}

void TestEmpresa::firstInclusionAndOnly01() {
    QFETCH(QString, typedCode);
    TestDatabase db;
    QVERIFY_DB(db);
    ScriptedDialogs dialogs;
    auto f = openForm();
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("01"));
    if (!typedCode.isEmpty()) typeInto(f.get(), "Campo1", typedCode);
    // The name is checked first.
    dialogs.expectMessage(kNoName);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    typeInto(f.get(), "Campo2", "Prefeitura Municipal");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(db.scalar("SELECT EMPRESA FROM EMPRESA WHERE IDEMPRESA = '01'").toString(),
             QStringLiteral("PREFEITURA MUNICIPAL"));

    // A second organisation is proposed 02 and refused.
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("02"));
    typeInto(f.get(), "Campo2", "OUTRA");
    dialogs.expectMessage(kOnly01);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Insert);
    QVERIFY(edit(f.get(), "Campo2")->hasFocus());
    QCOMPARE(db.scalar("SELECT COUNT(*) FROM EMPRESA").toInt(), 1);
    // Typing 01 over it still cannot store a second record 01.
    typeInto(f.get(), "Campo1", "01");
    dialogs.expectMessage("Atenção, dados inconsistentes, confirme informações!");
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    click(f.get(), "Botao_Cancelar");
    QCOMPARE(db.scalar("SELECT EMPRESA FROM EMPRESA WHERE IDEMPRESA = '01'").toString(),
             QStringLiteral("PREFEITURA MUNICIPAL"));
}

void TestEmpresa::areaCodeAndCase() {
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("EMPRESA", {{"IDEMPRESA", "01"}, {"EMPRESA", "PREFEITURA"}});
    auto f = openForm();
    click(f.get(), "Botao_Alterar");
    typeInto(f.get(), "Campo10", "82");
    typeInto(f.get(), "Campo12", "Gabinete@Prefeitura.AL.gov.br");
    typeInto(f.get(), "Campo13", "WWW.Prefeitura.AL.gov.br");
    typeInto(f.get(), "Campo9", "centro");
    typeInto(f.get(), "Campo2", "Câmara d'Água");
    QCOMPARE(edit(f.get(), "Campo10")->text(), QStringLiteral("082"));
    click(f.get(), "Botao_Salvar");
    const QList<QVariantList> row = db.rows("SELECT DDD, EMAIL, SITE, BAIRRO, EMPRESA FROM EMPRESA");
    QCOMPARE(row.size(), 1);
    QCOMPARE(row.at(0), (QVariantList{"082", "gabinete@prefeitura.al.gov.br", "www.prefeitura.al.gov.br",
                                      "CENTRO", QStringLiteral("CÂMARA D'ÁGUA")}));
}

void TestEmpresa::postalCodeSearch() {
    TestDatabase db;
    QVERIFY_DB(db);
    // Only 01 can be stored through the window; the list still searches whatever is there.
    const QStringList ceps{"57.400-000", "57.300-000", "57.100-000"};
    for (int i = 0; i < ceps.size(); ++i)
        db.insert("EMPRESA", {{"IDEMPRESA", QStringLiteral("0%1").arg(i + 1)}, {"CEP", ceps.at(i)}});
    auto f = openForm();
    f->pages()->setCurrentIndex(1);
    child<QTableView>(f.get(), "DBGrid1")
        ->horizontalHeader()
        ->sectionClicked(f->gridModel()->columnOfField("CEP"));
    QTest::keyClicks(child<QLineEdit>(f.get(), "PROCURA"), "573");
    QCOMPARE(f->records()->text("CEP"), QStringLiteral("57.300-000"));
}

void TestEmpresa::logoLoadedDuringAlteration_data() {
    QTest::addColumn<bool>("hadLogo");
    QTest::addColumn<bool>("save");
    QTest::newRow("no logo, cancelled") << false << false;
    QTest::newRow("no logo, saved") << false << true;
    QTest::newRow("blue logo, cancelled") << true << false;
    QTest::newRow("blue logo, saved") << true << true;
}

void TestEmpresa::logoLoadedDuringAlteration() {
    QFETCH(bool, hadLogo);
    QFETCH(bool, save);
    TestDatabase db;
    QVERIFY_DB(db);
    const QByteArray blue = jpegBytes(Qt::blue);
    QVariantMap row{{"IDEMPRESA", "01"}, {"EMPRESA", "PREFEITURA"}};
    if (hadLogo) row.insert("LOGO", blue);
    db.insert("EMPRESA", row);
    ScriptedDialogs dialogs;
    auto f = openForm();
    QVERIFY(hadLogo ? looksLike(f->shownPicture(), Qt::blue) : isBuiltInBlank(f->shownPicture()));
    click(f.get(), "Botao_Alterar");
    dialogs.expectOpenFile(m_red);
    click(f.get(), "SpeedButton1");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(dialogs.lastFilter(), QStringLiteral("JPEG Image File (*.jpg);;JPEG Image File (*.jpeg)"));
    // Shown at once, held by the record being edited, not yet in the database.
    QVERIFY(looksLike(f->shownPicture(), Qt::red));
    QFile file(m_red);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray red = file.readAll();
    QCOMPARE(f->records()->value("LOGO").toByteArray(), red);
    QCOMPARE(storedLogo(db), hadLogo ? blue : QByteArray());
    if (save) {
        click(f.get(), "Botao_Salvar");
        VERIFY_DIALOGS(dialogs);
        QCOMPARE(storedLogo(db), red); // the file's bytes, unchanged
        QVERIFY(looksLike(f->shownPicture(), Qt::red));
        auto again = openForm();
        QVERIFY(looksLike(again->shownPicture(), Qt::red));
    } else {
        click(f.get(), "Botao_Cancelar");
        QCOMPARE(storedLogo(db), hadLogo ? blue : QByteArray());
        // The discarded logo does not stay on screen.
        QVERIFY(hadLogo ? looksLike(f->shownPicture(), Qt::blue) : isBuiltInBlank(f->shownPicture()));
        QCOMPARE(f->records()->value("LOGO").toByteArray(), hadLogo ? blue : QByteArray());
    }
}

void TestEmpresa::logoWhileBrowsingIsRefused() {
    TestDatabase db;
    QVERIFY_DB(db);
    const QByteArray blue = jpegBytes(Qt::blue);
    db.insert("EMPRESA", {{"IDEMPRESA", "01"}, {"EMPRESA", "PREFEITURA"}, {"LOGO", blue}});
    ScriptedDialogs dialogs; // no file choice may appear
    auto f = openForm();
    dialogs.expectMessage("Primeiro click em Alterar !");
    click(f.get(), "SpeedButton1");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(f->records()->state(), RecordSet::State::Browse);
    QCOMPARE(storedLogo(db), blue);
    QVERIFY(looksLike(f->shownPicture(), Qt::blue));
}

void TestEmpresa::fileThatIsNoJpegIsRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("exists");
    QTest::newRow("PNG named .jpg") << "imagem.jpg" << pngBytes(Qt::green) << true;
    QTest::newRow("text named .jpeg") << "texto.jpeg" << QByteArray("nao sou uma imagem\r\n") << true;
    QTest::newRow("empty file") << "vazio.jpg" << QByteArray() << true;
    QTest::newRow("JPEG start, then nothing") << "cortado.jpg" << QByteArray("\xFF\xD8\xFF\xE0", 4) << true;
    QTest::newRow("file gone") << "sumiu.jpg" << QByteArray() << false;
}

void TestEmpresa::fileThatIsNoJpegIsRefused() {
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, exists);
    QTemporaryDir dir;
    const QString path = exists ? writeFile(dir, name, bytes) : dir.filePath(name);
    TestDatabase db;
    QVERIFY_DB(db);
    const QByteArray blue = jpegBytes(Qt::blue);
    db.insert("EMPRESA", {{"IDEMPRESA", "01"}, {"EMPRESA", "PREFEITURA"}, {"LOGO", blue}});
    ScriptedDialogs dialogs;
    auto f = openForm();
    click(f.get(), "Botao_Alterar");
    dialogs.expectOpenFile(path);
    dialogs.expectMessage(exists ? TFrm_Empresa::notJpegMessage(name)
                                 : TFrm_Empresa::unreadableFileMessage(name));
    click(f.get(), "SpeedButton1");
    VERIFY_DIALOGS(dialogs);
    QVERIFY(TFrm_Empresa::notJpegMessage(name).startsWith(QStringLiteral("Atenção,\r")));
    // The record keeps its logo, on screen and when saved.
    QCOMPARE(f->records()->value("LOGO").toByteArray(), blue);
    QVERIFY(looksLike(f->shownPicture(), Qt::blue));
    QCOMPARE(f->records()->state(), RecordSet::State::Edit);
    click(f.get(), "Botao_Salvar");
    VERIFY_DIALOGS(dialogs);
    QCOMPARE(storedLogo(db), blue);
}

void TestEmpresa::blankPicture_data() {
    QTest::addColumn<QString>("folder");   // "none": no working folder (remote mode)
    QTest::addColumn<QByteArray>("limpa"); // contents of Limpa.JPG; empty: no such file
    QTest::addColumn<bool>("builtIn");
    QTest::newRow("remote mode, no working folder") << "none" << QByteArray() << true;
    QTest::newRow("working folder without Limpa.JPG") << "temp" << QByteArray() << true;
    QTest::newRow("Limpa.JPG that is no picture") << "temp" << QByteArray("lixo") << true;
    QTest::newRow("Limpa.JPG in the working folder") << "temp" << jpegBytes(Qt::green) << false;
}

void TestEmpresa::blankPicture() {
    QFETCH(QString, folder);
    QFETCH(QByteArray, limpa);
    QFETCH(bool, builtIn);
    QTemporaryDir dir;
    if (folder != "none") core::appValues().workingFolder = dir.path();
    if (!limpa.isEmpty()) writeFile(dir, "Limpa.JPG", limpa);
    TestDatabase db;
    QVERIFY_DB(db);
    db.insert("EMPRESA", {{"IDEMPRESA", "01"}, {"EMPRESA", "SEM LOGO"}});
    ScriptedDialogs dialogs; // no error box in any case
    auto f = openForm();
    QVERIFY(builtIn ? isBuiltInBlank(f->shownPicture()) : looksLike(f->shownPicture(), Qt::green));
    // Also on an empty register and during an inclusion.
    db.exec("DELETE FROM EMPRESA");
    auto empty = openForm();
    QVERIFY(builtIn ? isBuiltInBlank(empty->shownPicture()) : looksLike(empty->shownPicture(), Qt::green));
    click(empty.get(), "Botao_Incluir");
    QVERIFY(builtIn ? isBuiltInBlank(empty->shownPicture()) : looksLike(empty->shownPicture(), Qt::green));
    VERIFY_DIALOGS(dialogs);
}

void TestEmpresa::pictureFollowsTheCurrentRecord() {
    TestDatabase db;
    QVERIFY_DB(db);
    // Rows stored before the window allowed only 01.
    db.insert("EMPRESA", {{"IDEMPRESA", "01"}, {"EMPRESA", "COM LOGO"}, {"LOGO", jpegBytes(Qt::red)}});
    // Stored bytes that are no picture show the blank, without an error box.
    db.insert("EMPRESA", {{"IDEMPRESA", "02"}, {"EMPRESA", "ESTRAGADO"}, {"LOGO", QByteArray("xyz")}});
    db.insert("EMPRESA", {{"IDEMPRESA", "03"}, {"EMPRESA", "SEM LOGO"}});
    db.insert("EMPRESA", {{"IDEMPRESA", "04"}, {"EMPRESA", "AZUL"}, {"LOGO", jpegBytes(Qt::blue)}});
    ScriptedDialogs dialogs;
    auto f = openForm();
    QVERIFY(looksLike(f->shownPicture(), Qt::red));
    f->records()->setCurrentRow(1);
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("02"));
    QVERIFY(isBuiltInBlank(f->shownPicture()));
    f->records()->setCurrentRow(3);
    QVERIFY(looksLike(f->shownPicture(), Qt::blue));
    f->records()->setCurrentRow(2);
    QVERIFY(isBuiltInBlank(f->shownPicture()));
    f->records()->setCurrentRow(0);
    QVERIFY(looksLike(f->shownPicture(), Qt::red));
    // An inclusion writes its code: the new record has no logo yet.
    click(f.get(), "Botao_Incluir");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("05"));
    QVERIFY(isBuiltInBlank(f->shownPicture()));
    // Cancelling it shows the last record, with its own logo.
    click(f.get(), "Botao_Cancelar");
    QCOMPARE(edit(f.get(), "Campo1")->text(), QStringLiteral("04"));
    QVERIFY(looksLike(f->shownPicture(), Qt::blue));
    VERIFY_DIALOGS(dialogs);
}

void TestEmpresa::screenshots() {
    const QString dir = qEnvironmentVariable("PROTOCOLO_SCREENSHOTS");
    if (dir.isEmpty()) QSKIP("PROTOCOLO_SCREENSHOTS not set");
    QDir().mkpath(dir);
    TestDatabase db;
    QVERIFY_DB(db);
    // A portrait logo: a coat of arms in blue and gold.
    QImage logo(194, 266, QImage::Format_RGB32);
    logo.fill(QColor(20, 60, 140));
    for (int y = 60; y < 200; ++y)
        for (int x = 40; x < 154; ++x)
            logo.setPixelColor(x, y, QColor(230, 190, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    logo.save(&buffer, "JPG", 90);
    db.insert("EMPRESA", {{"IDEMPRESA", "01"},
                          {"EMPRESA", QStringLiteral("PREFEITURA MUNICIPAL DE DEMONSTRAÇÃO")},
                          {"CNPJ", "11.222.333/0001-81"},
                          {"ENDERECO", QStringLiteral("PRAÇA DA MATRIZ")},
                          {"NUMERO", "100"},
                          {"BAIRRO", "CENTRO"},
                          {"CEP", "57.100-000"},
                          {"CIDADE", QStringLiteral("DEMONSTRAÇÃO")},
                          {"UF", "AL"},
                          {"DDD", "082"},
                          {"TELEFONE", "3221-1000"},
                          {"EMAIL", "gabinete@demonstracao.al.gov.br"},
                          {"SITE", "www.demonstracao.al.gov.br"},
                          {"LOGO", bytes}});
    auto f = openForm();
    QVERIFY(f->grab().save(dir + "/Frm_Empresa-browsing.png"));
    click(f.get(), "Botao_Alterar");
    QVERIFY(f->grab().save(dir + "/Frm_Empresa-altering.png"));
    click(f.get(), "Botao_Cancelar");
    f->pages()->setCurrentIndex(1);
    QVERIFY(f->grab().save(dir + "/Frm_Empresa-list.png"));
}

QTEST_MAIN(TestEmpresa)
#include "tst_empresa.moc"
