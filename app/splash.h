#pragma once

#include <QPixmap>
#include <QWidget>

namespace app {

// The window shown while the program starts: borderless, 493 by 370, centred, filled with a
// stretched picture. The picture is drawn by the program unless the folder it is given holds a
// readable "TELA_PRINCIPAL.JPG", which then replaces it.
class TFrm_Splash : public QWidget {
    Q_OBJECT
public:
    explicit TFrm_Splash(const QString& pictureFolder, QWidget* parent = nullptr);
    ~TFrm_Splash() override;

    static constexpr int kWidth = 493;
    static constexpr int kHeight = 370;
    static QString pictureFileName() { return QStringLiteral("TELA_PRINCIPAL.JPG"); }

    // The picture drawn when no replacement is found.
    static QPixmap builtInPicture();
    bool usesReplacementPicture() const { return m_replaced; }
    const QPixmap& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
    bool m_replaced = false;
};

inline TFrm_Splash* Frm_Splash = nullptr;

} // namespace app
