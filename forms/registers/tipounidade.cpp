#include "forms/registers/tipounidade.h"

#include "forms/common/formwindow.h"

namespace registers {

using namespace forms;

QPointer<TFrm_TipoUnidade> Frm_TipoUnidade;

RegistrySpec tipoUnidadeSpec() {
    RegistrySpec s;
    s.formName = QStringLiteral("Frm_TipoUnidade");
    s.title = QStringLiteral("Tipo/Unidade");
    s.table = QStringLiteral("TIPOUNIDADE");
    s.codeField = QStringLiteral("IDTIPO");
    s.codeWidth = 2;
    s.nextCodeQuery = QStringLiteral("SELECT COALESCE(MAX(IDTIPO),'0') FROM TIPOUNIDADE");
    s.selectQuery = QStringLiteral("SELECT A.IDTIPO, A.TIPO FROM TIPOUNIDADE A ORDER BY A.IDTIPO");
    s.fields = {keyField(QStringLiteral("IDTIPO"), 2), textField(QStringLiteral("TIPO"), 100)};
    s.checks = {{QStringLiteral("TIPO"),
                 attention(QStringLiteral("procedimento cancelado, Tipo Unidade não informado!")),
                 QStringLiteral("Campo2")}};
    s.edits = {
        lineEdit(QStringLiteral("Campo1"), QStringLiteral("IDTIPO"), QStringLiteral("Código"), 4),
        lineEdit(QStringLiteral("Campo2"), QStringLiteral("TIPO"), QStringLiteral("Tipo Unidade"), 50)};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("IDTIPO"), 70},
                 {QStringLiteral("Tipo Unidade"), QStringLiteral("TIPO"), kWideColumn + 150}};
    s.usageName = QStringLiteral("Tipo Unidade");
    s.usages = {{QStringLiteral("SELECT COUNT(*) FROM UNIDADES WHERE TIPO_UNIDADE = ?"),
                 QStringLiteral("unidade orçamentária"), QStringLiteral("unidades orçamentárias")}};
    return s;
}

TFrm_TipoUnidade::TFrm_TipoUnidade(QWidget* owner)
    : RegistryForm(tipoUnidadeSpec(), owner) {}

void openTipoUnidade(QWidget* owner) {
    openModal<TFrm_TipoUnidade>(Frm_TipoUnidade, owner,
                                [](TFrm_TipoUnidade* f, QString* error) { return f->reload(error); });
}

} // namespace registers
