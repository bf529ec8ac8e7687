#include "forms/registers/pesqtitularrequerente.h"

#include "forms/registers/interessados.h"

namespace registers {

using namespace forms;

QPointer<LookupDialog> Frm_PesqTitularRequerente;

LookupSpec pesqTitularRequerenteSpec() {
    LookupSpec s;
    s.formName = QStringLiteral("Frm_PesqTitularRequerente");
    s.caption = QStringLiteral("Pesquisa Titular / Requerente");
    s.selectQuery = interessadosSelectQuery();
    s.fields = interessadosFields();
    s.columns = interessadosColumns(QStringLiteral("Titular / Requerente"));
    // Here the city is wide: it tells apart applicants of the same name.
    for (GridColumn& c : s.columns)
        if (c.field == QLatin1String("CIDADE")) c.width = kWideColumn;
    s.codeField = QStringLiteral("IDINTERESSADO");
    s.nameField = QStringLiteral("INTERESSADO");
    s.size = QSize(820, 460);
    return s;
}

bool pesquisaTitularRequerente(QWidget* caller, RecordSet* target, const QString& targetField) {
    return pickInto(Frm_PesqTitularRequerente, pesqTitularRequerenteSpec(), caller, target, targetField);
}

} // namespace registers
