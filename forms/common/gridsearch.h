#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QLineEdit;
class QTableView;

namespace forms {

class GridModel;

// How the typed text becomes the search key.
struct SearchRules {
    // The column whose text is left-padded with "0" to paddedWidth (IDUNIDADE 4, IDPROCESSO 8).
    QString paddedField;
    int paddedWidth = 0;
    // A column of this name gets the postal-code mask "00.000-000" (empty: none).
    QString postalCodeField = QStringLiteral("CEP");
};

inline const QString kIncompatibleSearch =
    QStringLiteral("Tipo de Informação incompatível com campo selecionado");

// Column choice and incremental search of a list: a click on a column title orders the list by
// that column, names it in `LProcura` ("Informe " + title), paints it white and the others silver,
// and clears and focuses `PROCURA`; every change of `PROCURA` moves to the nearest row.
class GridSearch : public QObject {
    Q_OBJECT
public:
    GridSearch(QLabel* label, QLineEdit* box, QTableView* grid, GridModel* model,
               const SearchRules& rules = {}, QObject* parent = nullptr);

    // `DBGrid1TitleClick`.
    void DBGrid1TitleClick(int column);
    // `PROCURAChange`.
    void PROCURAChange(const QString& text);
    int chosenColumn() const { return m_column; }
    const SearchRules& rules() const { return m_rules; }

    // The key for a text typed while the field is chosen.
    static QString searchKey(const QString& text, const QString& field, const SearchRules& rules);
    // Digits laid into "00.000-000" from the left, places left over filled with "0".
    static QString postalCodeKey(const QString& text);

private:
    QPointer<QLabel> m_label;
    QPointer<QLineEdit> m_box;
    QPointer<QTableView> m_grid;
    GridModel* m_model;
    SearchRules m_rules;
    int m_column = -1;
};

} // namespace forms
