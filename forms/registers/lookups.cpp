#include "forms/registers/lookups.h"

namespace registers {

using namespace forms;

QPointer<LookupDialog> Frm_PesqTipoUnidade;
QPointer<LookupDialog> Frm_PesqTipoProcesso;
QPointer<LookupDialog> Frm_PesqUnidades;

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

LookupSpec pesqUnidadesSpec() {
    LookupSpec s;
    s.formName = QStringLiteral("Frm_PesqUnidades");
    s.caption = QStringLiteral("Pesquisa Unidades");
    s.selectQuery = QStringLiteral(
        "SELECT A.IDUNIDADE, A.UNIDADE, A.TIPO_UNIDADE, A.CNPJ, B.TIPO FROM UNIDADES A LEFT JOIN TIPOUNIDADE "
        "B ON A.TIPO_UNIDADE = B.IDTIPO ORDER BY A.IDUNIDADE");
    s.fields = {keyField(QStringLiteral("IDUNIDADE"), 4), textField(QStringLiteral("UNIDADE"), 100),
                textField(QStringLiteral("TIPO_UNIDADE"), 2), textField(QStringLiteral("CNPJ"), 18),
                joinedField(QStringLiteral("TIPO"), 100)};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("IDUNIDADE"), 70},
                 {QStringLiteral("Unidade"), QStringLiteral("UNIDADE"), 260},
                 {QStringLiteral("Cód.Tipo"), QStringLiteral("TIPO_UNIDADE"), 60},
                 {QStringLiteral("Tipo Unidade"), QStringLiteral("TIPO"), 220},
                 {QStringLiteral("CNPJ"), QStringLiteral("CNPJ"), 140}};
    s.codeField = QStringLiteral("IDUNIDADE");
    s.nameField = QStringLiteral("UNIDADE");
    s.size = QSize(800, 440);
    return s;
}

bool pesquisaTipoUnidade(QWidget* caller, RecordSet* target, const QString& targetField) {
    return pickInto(Frm_PesqTipoUnidade, pesqTipoUnidadeSpec(), caller, target, targetField);
}

bool pesquisaTipoProcesso(QWidget* caller, RecordSet* target, const QString& targetField) {
    return pickInto(Frm_PesqTipoProcesso, pesqTipoProcessoSpec(), caller, target, targetField);
}

bool pesquisaUnidades(QWidget* caller, RecordSet* target, const QString& targetField) {
    return pickInto(Frm_PesqUnidades, pesqUnidadesSpec(), caller, target, targetField);
}

} // namespace registers
