#include "forms/registers/empresa.h"

#include "core/appvalues.h"
#include "core/dialogs.h"
#include "forms/common/formwindow.h"

#include <QBoxLayout>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

namespace registers {

using namespace forms;

QPointer<TFrm_Empresa> Frm_Empresa;

namespace {

constexpr int kPictureWidth = 97;
constexpr int kPictureHeight = 133;

EditSpec beside(EditSpec e) {
    e.sameRow = true;
    return e;
}

EditSpec masked(EditSpec e, const QString& mask) {
    e.mask = mask;
    return e;
}

} // namespace

RegistrySpec empresaSpec() {
    RegistrySpec s;
    s.formName = QStringLiteral("Frm_Empresa");
    s.title = QStringLiteral("Empresa");
    s.table = QStringLiteral("EMPRESA");
    s.codeField = QStringLiteral("IDEMPRESA");
    s.codeWidth = 2;
    s.nextCodeQuery = QStringLiteral("SELECT COALESCE(MAX(IDEMPRESA),'0') FROM EMPRESA");
    s.selectQuery = QStringLiteral(
        "SELECT A.IDEMPRESA, A.EMPRESA, A.CNPJ, A.ENDERECO, A.NUMERO, A.BAIRRO, A.CEP, A.CIDADE, A.UF, "
        "A.LOGO, A.DDD, A.TELEFONE, A.EMAIL, A.SITE FROM EMPRESA A ORDER BY A.IDEMPRESA");
    s.fields = {keyField(QStringLiteral("IDEMPRESA"), 2), textField(QStringLiteral("EMPRESA"), 100),
                textField(QStringLiteral("CNPJ"), 18),    textField(QStringLiteral("ENDERECO"), 100),
                textField(QStringLiteral("NUMERO"), 10),  textField(QStringLiteral("BAIRRO"), 50),
                textField(QStringLiteral("CEP"), 10),     textField(QStringLiteral("CIDADE"), 50),
                textField(QStringLiteral("UF"), 2),       blobField(QStringLiteral("LOGO")),
                textField(QStringLiteral("DDD"), 3),      textField(QStringLiteral("TELEFONE"), 10),
                textField(QStringLiteral("EMAIL"), 100),  textField(QStringLiteral("SITE"), 100)};
    s.zeroFills = {{QStringLiteral("IDEMPRESA"), 2}, {QStringLiteral("DDD"), 3}};
    s.checks = {
        {QStringLiteral("EMPRESA"),
         attention(QStringLiteral("procedimento cancelado, Empresa não informada!")),
         QStringLiteral("Campo2")},
        // The register holds the one organisation this installation serves.
        {QStringLiteral("IDEMPRESA"),
         attention(QStringLiteral("procedimento cancelado, Só é permitido o cadastro da Empresa 01!")),
         QStringLiteral("Campo2"),
         [](const RecordSet& r) { return r.text(QStringLiteral("IDEMPRESA")) != QLatin1String("01"); }}};
    s.edits = {
        lineEdit(QStringLiteral("Campo1"), QStringLiteral("IDEMPRESA"), QStringLiteral("Código")),
        lineEdit(QStringLiteral("Campo2"), QStringLiteral("EMPRESA"), QStringLiteral("Empresa"), 60),
        masked(lineEdit(QStringLiteral("Campo3"), QStringLiteral("CNPJ"), QStringLiteral("CNPJ")),
               QStringLiteral("##.###.###/####-##")),
        beside(masked(lineEdit(QStringLiteral("Campo4"), QStringLiteral("CEP"), QStringLiteral("CEP")),
                      QStringLiteral("##.###-###"))),
        beside(lineEdit(QStringLiteral("Campo5"), QStringLiteral("CIDADE"), QStringLiteral("Cidade"), 24)),
        beside(lineEdit(QStringLiteral("Campo6"), QStringLiteral("UF"), QStringLiteral("UF"))),
        lineEdit(QStringLiteral("Campo7"), QStringLiteral("ENDERECO"), QStringLiteral("Endereço"), 60),
        lineEdit(QStringLiteral("Campo8"), QStringLiteral("NUMERO"), QStringLiteral("Número")),
        beside(lineEdit(QStringLiteral("Campo9"), QStringLiteral("BAIRRO"), QStringLiteral("Bairro"), 40)),
        lineEdit(QStringLiteral("Campo10"), QStringLiteral("DDD"), QStringLiteral("DDD")),
        beside(lineEdit(QStringLiteral("Campo11"), QStringLiteral("TELEFONE"), QStringLiteral("Telefone"))),
        beside(lineEdit(QStringLiteral("Campo12"), QStringLiteral("EMAIL"), QStringLiteral("E-Mail"), 36,
                        Entry::Lower)),
        lineEdit(QStringLiteral("Campo13"), QStringLiteral("SITE"), QStringLiteral("Site"), 60,
                 Entry::Lower)};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("IDEMPRESA"), 60},
                 {QStringLiteral("Empresa"), QStringLiteral("EMPRESA"), kWideColumn},
                 {QStringLiteral("CNPJ"), QStringLiteral("CNPJ"), 140},
                 {QStringLiteral("Endereço"), QStringLiteral("ENDERECO"), kWideColumn},
                 {QStringLiteral("Número"), QStringLiteral("NUMERO"), 70},
                 {QStringLiteral("Bairro"), QStringLiteral("BAIRRO"), 160},
                 {QStringLiteral("CEP"), QStringLiteral("CEP"), 90},
                 {QStringLiteral("Cidade"), QStringLiteral("CIDADE"), 160},
                 {QStringLiteral("UF"), QStringLiteral("UF"), 40},
                 {QStringLiteral("LOGO"), QStringLiteral("LOGO"), 0, Qt::AlignLeft | Qt::AlignVCenter, true}};
    s.size = QSize(860, 400);
    return s;
}

TFrm_Empresa::TFrm_Empresa(QWidget* owner)
    : RegistryForm(empresaSpec(), owner) {
    // The logo at the right of the fields, with the button that loads it below.
    QWidget* tab = pages()->widget(0);
    auto* column = new QVBoxLayout;
    column->setSpacing(6);
    m_image = new QLabel(tab);
    m_image->setObjectName(QStringLiteral("Image1"));
    m_image->setFixedSize(kPictureWidth, kPictureHeight);
    m_image->setScaledContents(true);
    m_image->setFrameShape(QFrame::Box);
    column->addWidget(m_image);
    auto* arquivo = new QToolButton(tab);
    arquivo->setObjectName(QStringLiteral("SpeedButton1"));
    arquivo->setText(QStringLiteral("Arquivo"));
    arquivo->setFocusPolicy(Qt::NoFocus);
    arquivo->setFixedWidth(kPictureWidth);
    column->addWidget(arquivo);
    column->addStretch(1);
    if (auto* row = qobject_cast<QBoxLayout*>(tab->layout())) row->addLayout(column);
    connect(arquivo, &QToolButton::clicked, this, &TFrm_Empresa::SpeedButton1Click);

    m_verFoto = new QPushButton(QStringLiteral("Ver Foto"), tab);
    m_verFoto->setObjectName(QStringLiteral("Botao_Ver_FOTO"));
    m_verFoto->setVisible(false);
    m_verFoto->setAutoDefault(false);
    connect(m_verFoto, &QPushButton::clicked, this, &TFrm_Empresa::Botao_Ver_FOTOClick);

    // Campo1Change: another record, or the code of an inclusion, shows its own logo.
    if (auto* code = qobject_cast<QLineEdit*>(control(QStringLiteral("Campo1"))))
        connect(code, &QLineEdit::textChanged, m_verFoto, &QPushButton::click);
    // Also when the record gets its values back (a cancelled alteration drops a loaded logo) and
    // when an empty register is opened: the picture always belongs to the record shown.
    connect(records(), &RecordSet::recordChanged, m_verFoto, &QPushButton::click);
    Botao_Ver_FOTOClick();
}

QImage TFrm_Empresa::builtInBlankPicture() {
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QColor(192, 192, 192));
    p.drawRect(image.rect().adjusted(0, 0, -1, -1));
    return image;
}

QImage TFrm_Empresa::jpegImage(const QByteArray& bytes) {
    // Only a JPEG is accepted: its start marker, and a JPEG decoder that can read it all.
    if (!bytes.startsWith(QByteArray("\xFF\xD8\xFF", 3))) return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

QImage TFrm_Empresa::blankPicture() {
    // Without a working folder (remote mode) no file is looked for at the root of the drive.
    const QString folder = core::appValues().workingFolder;
    if (!folder.isEmpty()) {
        QFile file(QDir(folder).filePath(blankPictureFileName()));
        if (file.open(QIODevice::ReadOnly)) {
            const QImage image = jpegImage(file.readAll());
            if (!image.isNull()) return image;
        }
    }
    return builtInBlankPicture();
}

QImage TFrm_Empresa::shownPicture() const {
    return m_image->pixmap().toImage();
}

void TFrm_Empresa::Botao_Ver_FOTOClick() {
    QImage picture;
    if (records()->isOpen()) picture = jpegImage(records()->value(QStringLiteral("LOGO")).toByteArray());
    // A record without a logo, or one whose stored bytes are no picture, shows the blank.
    if (picture.isNull()) picture = blankPicture();
    m_image->setPixmap(QPixmap::fromImage(picture));
}

QString TFrm_Empresa::notJpegMessage(const QString& fileName) {
    return attention(QStringLiteral("o arquivo %1 não é uma imagem JPEG válida, o logotipo não foi alterado!")
                         .arg(fileName));
}

QString TFrm_Empresa::unreadableFileMessage(const QString& fileName) {
    return attention(
        QStringLiteral("não foi possível ler o arquivo %1, o logotipo não foi alterado!").arg(fileName));
}

void TFrm_Empresa::SpeedButton1Click() {
    if (!records()->isEditing()) {
        core::dialogs().message(this, editFirstMessage());
    } else {
        const QString path = core::dialogs().openFileName(this, QStringLiteral("Abrir"), jpegFilter());
        if (!path.isEmpty()) {
            const QString name = QFileInfo(path).fileName();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly)) {
                core::dialogs().message(this, unreadableFileMessage(name));
            } else {
                const QByteArray bytes = file.readAll();
                // The bytes are stored unchanged, but only when they are a picture the window
                // and the reports can show.
                if (jpegImage(bytes).isNull())
                    core::dialogs().message(this, notJpegMessage(name));
                else
                    records()->setValue(QStringLiteral("LOGO"), bytes);
            }
        }
    }
    m_verFoto->click();
}

void openEmpresa(QWidget* owner) {
    openModal<TFrm_Empresa>(Frm_Empresa, owner,
                            [](TFrm_Empresa* f, QString* error) { return f->reload(error); });
}

} // namespace registers
