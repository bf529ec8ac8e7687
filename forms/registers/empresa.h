#pragma once

#include "forms/common/registryform.h"

#include <QImage>
#include <QPointer>

class QLabel;
class QPushButton;
class QToolButton;

namespace registers {

// The organisation's own data (EMPRESA): one record, 01, with its logo.
forms::RegistrySpec empresaSpec();

class TFrm_Empresa : public forms::RegistryForm {
    Q_OBJECT
public:
    explicit TFrm_Empresa(QWidget* owner);

    // Botao_Ver_FOTOClick: shows the current record's logo, or the blank picture when it has none.
    void Botao_Ver_FOTOClick();
    // SpeedButton1Click ("Arquivo"): copies a chosen JPEG file into the record being edited.
    void SpeedButton1Click();

    // What `Image1` shows now.
    QImage shownPicture() const;

    // The blank picture: "Limpa.JPG" of the working folder when it is there and readable,
    // otherwise the one built into the program.
    static QImage blankPicture();
    static QImage builtInBlankPicture();
    static QString blankPictureFileName() { return QStringLiteral("Limpa.JPG"); }
    // The bytes as a JPEG image; null when they are not one.
    static QImage jpegImage(const QByteArray& bytes);

    static QString editFirstMessage() { return QStringLiteral("Primeiro click em Alterar !"); }
    static QString jpegFilter() {
        return QStringLiteral("JPEG Image File (*.jpg);;JPEG Image File (*.jpeg)");
    }
    static QString notJpegMessage(const QString& fileName);
    static QString unreadableFileMessage(const QString& fileName);

private:
    QLabel* m_image = nullptr;
    QPushButton* m_verFoto = nullptr;
};

// Set while the window is open.
extern QPointer<TFrm_Empresa> Frm_Empresa;

// Menu Empresa, "Empresa".
void openEmpresa(QWidget* owner);

} // namespace registers
