#include "forms/registers/lookups.h"

namespace registers {

using namespace forms;

QPointer<LookupDialog> Frm_PesqTipoUnidade;
QPointer<LookupDialog> Frm_PesqTipoProcesso;

LookupSpec pesqTipoUnidadeSpec() {
    LookupSpec s;
    s.formName = QStringLiteral("Frm_PesqTipoUnidade");
    s.caption = QStringLiteral("Pesquisa Tipo Unidade");
    s.selectQuery = QStringLiteral("SELECT A.IDTIPO, A.TIPO FROM TIPOUNIDADE A ORDER BY A.IDTIPO");
    s.fields = {keyField(QStringLiteral("IDTIPO"), 2), textField(QStringLiteral("TIPO"), 100)};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("IDTIPO"), 70},
                 {QStringLiteral("Tipo Unidade"), QStringLiteral("TIPO"), kWideColumn + 200}};
    s.codeField = QStringLiteral("IDTIPO");
    s.nameField = QStringLiteral("TIPO");
    return s;
}

LookupSpec pesqTipoProcessoSpec() {
    LookupSpec s;
    s.formName = QStringLiteral("Frm_PesqTipoProcesso");
    s.caption = QStringLiteral("Pesquisa Tipo Processo");
    s.selectQuery = QStringLiteral("SELECT A.IDTIPO, A.TIPO FROM TIPOPROCESSO A ORDER BY A.IDTIPO");
    s.fields = {keyField(QStringLiteral("IDTIPO"), 4), textField(QStringLiteral("TIPO"), 100)};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("IDTIPO"), 70},
                 {QStringLiteral("Tipo Processo"), QStringLiteral("TIPO"), kWideColumn + 200}};
    s.codeField = QStringLiteral("IDTIPO");
    s.nameField = QStringLiteral("TIPO");
    return s;
}

bool pesquisaTipoUnidade(QWidget* caller, RecordSet* target, const QString& targetField) {
    return pickInto(Frm_PesqTipoUnidade, pesqTipoUnidadeSpec(), caller, target, targetField);
}

bool pesquisaTipoProcesso(QWidget* caller, RecordSet* target, const QString& targetField) {
    return pickInto(Frm_PesqTipoProcesso, pesqTipoProcessoSpec(), caller, target, targetField);
}

} // namespace registers
