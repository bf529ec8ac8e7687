#pragma once

#include <QDialog>
#include <QPointer>

class QProgressBar;
class QPushButton;

namespace exchange {

// The unit-type import ("Apoio" > "Recebe dados - TCE/AL" > "Tipos de Unidades"): replaces
// TIPOUNIDADE by the twelve types of the audit court's sheet A/IDUnidades.xls.
class TFrm_Excel4 : public QDialog {
    Q_OBJECT
public:
    // entryTitle: the menu entry's caption; the window's title is four blanks and the caption
    // without its first "&".
    explicit TFrm_Excel4(QWidget* parent = nullptr,
                         const QString& entryTitle = QStringLiteral("Tipos de Unidades"));

    // Reads the sheet, then empties the table and fills it from the sheet in one transaction.
    void Botao_TransfereClick();
    void Botao_FecharClick();

private:
    void setButtonsEnabled(bool enabled);

    QProgressBar* m_progress;
    QPushButton* m_transfere;
    QPushButton* m_fechar;
};

inline QPointer<TFrm_Excel4> Frm_Excel4;

void openExcel4(QWidget* owner, const QString& entryTitle);

// Registers the import under its menu title.
void registerMenuCommands();

} // namespace exchange
