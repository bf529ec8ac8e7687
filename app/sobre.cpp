#include "app/sobre.h"

#include "core/appvalues.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace app {

static QLabel* centredLabel(QWidget* parent, const char* name, int pointSize, bool bold) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignCenter);
    QFont f = label->font();
    f.setPointSize(pointSize);
    f.setBold(bold);
    label->setFont(f);
    return label;
}

TFrm_Sobre::TFrm_Sobre(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("Frm_Sobre"));
    setWindowTitle(QStringLiteral("Sobre"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 24, 30, 18);
    layout->setSpacing(8);
    m_sistema = centredLabel(this, "Sistema", 13, true);
    m_versao = centredLabel(this, "Versao", 9, false);
    m_desenvolvedor = centredLabel(this, "Desenvolvedor", 14, true);
    m_telefone = centredLabel(this, "Telefone", 10, false);
    m_email = centredLabel(this, "Email", 10, false);
    m_site = centredLabel(this, "Site", 10, false);
    layout->addWidget(m_sistema);
    layout->addWidget(m_versao);
    layout->addSpacing(12);
    layout->addWidget(m_desenvolvedor);
    layout->addWidget(m_telefone);
    layout->addWidget(m_email);
    layout->addWidget(m_site);
    layout->addSpacing(12);
    auto* fechar = new QPushButton(QStringLiteral("&Fechar"), this);
    fechar->setObjectName(QStringLiteral("Botao_Fechar"));
    fechar->setDefault(true);
    connect(fechar, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(fechar, 0, Qt::AlignHCenter);
    setFixedSize(420, 300);
    Frm_Sobre = this;
}

TFrm_Sobre::~TFrm_Sobre() {
    if (Frm_Sobre == this) Frm_Sobre = nullptr;
}

void TFrm_Sobre::fill() {
    const core::AppValues& v = core::appValues();
    m_sistema->setText(v.systemName + QStringLiteral("  |  ") + v.versionText);
    m_versao->setText(v.updateStamp);
    m_desenvolvedor->setText(v.developerText);
    m_telefone->setText(v.makerPhone);
    m_email->setText(v.makerEmail);
    m_site->setText(v.makerSite);
}

void showAboutBox(QWidget* parent) {
    TFrm_Sobre box(parent);
    box.fill();
    const QRect area =
        QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect();
    if (area.isValid()) box.move(area.center() - box.rect().center());
    box.exec();
}

} // namespace app
