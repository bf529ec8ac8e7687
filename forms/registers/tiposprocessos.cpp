#include "forms/registers/tiposprocessos.h"

#include "forms/common/formwindow.h"

namespace registers {

using namespace forms;

QPointer<TFrm_TiposProcessos> Frm_TiposProcessos;

RegistrySpec tiposProcessosSpec() {
    RegistrySpec s;
    s.formName = QStringLiteral("Frm_TiposProcessos");
    s.title = QStringLiteral("Tipos de Processos");
    s.table = QStringLiteral("TIPOPROCESSO");
    s.codeField = QStringLiteral("IDTIPO");
    s.codeWidth = 4;
    s.nextCodeQuery = QStringLiteral("SELECT COALESCE(MAX(IDTIPO),'0') FROM TIPOPROCESSO");
    s.selectQuery = QStringLiteral("SELECT A.IDTIPO, A.TIPO FROM TIPOPROCESSO A ORDER BY A.IDTIPO");
    s.fields = {keyField(QStringLiteral("IDTIPO"), 4), textField(QStringLiteral("TIPO"), 100)};
    s.checks = {{QStringLiteral("TIPO"),
                 attention(QStringLiteral("procedimento cancelado, Tipo Processo não informado!")),
                 QStringLiteral("Campo2")}};
    s.edits = {
        lineEdit(QStringLiteral("Campo1"), QStringLiteral("IDTIPO"), QStringLiteral("Código")),
        lineEdit(QStringLiteral("Campo2"), QStringLiteral("TIPO"), QStringLiteral("Tipo Processo"), 50)};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("IDTIPO"), 70},
                 {QStringLiteral("Tipo Processo"), QStringLiteral("TIPO"), kWideColumn + 150}};
    s.usageName = QStringLiteral("Tipo de Processo");
    s.usages = {{QStringLiteral("SELECT COUNT(*) FROM PROCESSOS WHERE IDTIPOPROCESSO = ?"),
                 QStringLiteral("processo"), QStringLiteral("processos")}};
    return s;
}

TFrm_TiposProcessos::TFrm_TiposProcessos(QWidget* owner)
    : RegistryForm(tiposProcessosSpec(), owner) {}

void openTiposProcessos(QWidget* owner) {
    openModal<TFrm_TiposProcessos>(Frm_TiposProcessos, owner,
                                   [](TFrm_TiposProcessos* f, QString* error) { return f->reload(error); });
}

} // namespace registers
