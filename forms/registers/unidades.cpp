#include "forms/registers/unidades.h"

#include "core/dialogs.h"
#include "core/routines.h"
#include "forms/common/formwindow.h"
#include "forms/registers/lookups.h"
#include "forms/registers/tipounidade.h"

#include <QAbstractButton>

namespace registers {

using namespace forms;

QPointer<TFrm_Unidades> Frm_Unidades;

RegistrySpec unidadesSpec() {
    RegistrySpec s;
    s.formName = QStringLiteral("Frm_Unidades");
    s.title = QStringLiteral("Unidades");
    s.table = QStringLiteral("UNIDADES");
    s.codeField = QStringLiteral("IDUNIDADE");
    s.codeWidth = 4;
    s.nextCodeQuery = QStringLiteral("SELECT COALESCE(MAX(IDUNIDADE),'0') FROM UNIDADES");
    s.selectQuery = QStringLiteral(
        "SELECT A.IDUNIDADE, A.UNIDADE, A.TIPO_UNIDADE, A.CNPJ, B.TIPO FROM UNIDADES A LEFT JOIN TIPOUNIDADE "
        "B ON A.TIPO_UNIDADE = B.IDTIPO ORDER BY A.IDUNIDADE");
    s.fields = {keyField(QStringLiteral("IDUNIDADE"), 4), textField(QStringLiteral("UNIDADE"), 100),
                textField(QStringLiteral("TIPO_UNIDADE"), 2), textField(QStringLiteral("CNPJ"), 18),
                joinedField(QStringLiteral("TIPO"), 100)};
    s.zeroFills = {{QStringLiteral("IDUNIDADE"), 4},
                   {QStringLiteral("TIPO_UNIDADE"), 2,
                    QStringLiteral("SELECT TIPO FROM TIPOUNIDADE WHERE IDTIPO=?"), QStringLiteral("TIPO")}};
    // The type is checked through its fetched name: only the code of an existing type saves.
    s.checks = {{QStringLiteral("UNIDADE"),
                 attention(QStringLiteral("procedimento cancelado, Unidade não informada!")),
                 QStringLiteral("Campo2")},
                {QStringLiteral("TIPO"),
                 attention(QStringLiteral("procedimento cancelado, Tipo Unidade não informado!")),
                 QStringLiteral("Campo3")}};
    EditSpec tipo = lineEdit(QStringLiteral("Campo3"), QStringLiteral("TIPO_UNIDADE"), QString(), 2);
    tipo.sameRow = true;
    EditSpec cnpj = lineEdit(QStringLiteral("Campo4"), QStringLiteral("CNPJ"), QStringLiteral("CNPJ"));
    cnpj.mask = QStringLiteral("##.###.###/####-##");
    s.edits = {
        lineEdit(QStringLiteral("Campo1"), QStringLiteral("IDUNIDADE"), QStringLiteral("Código"), 4),
        lineEdit(QStringLiteral("Campo2"), QStringLiteral("UNIDADE"), QStringLiteral("Unidade"), 50),
        captionRow(QStringLiteral("LTipoUnidade"), QStringLiteral("Tipo Unidade - Conforme TCE/AL")),
        smallButton(QStringLiteral("SpeedButton1"), QStringLiteral("&1"), QStringLiteral("Pesquisa"), false),
        cadastraButton(QStringLiteral("SpeedButton2"), QStringLiteral("&2"), QStringLiteral("Tipo/Unidade")),
        tipo,
        nameDisplay(QStringLiteral("CampoE1"), QStringLiteral("TIPO"), 40,
                    QStringLiteral("Nome do Tipo Unidade")),
        cnpj};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("IDUNIDADE"), 60},
                 {QStringLiteral("Unidade"), QStringLiteral("UNIDADE"), 260},
                 {QStringLiteral("CNPJ"), QStringLiteral("CNPJ"), 140},
                 {QStringLiteral("Tipo"), QStringLiteral("TIPO_UNIDADE"), 45},
                 {QStringLiteral("Tipo Unidade"), QStringLiteral("TIPO"), 200}};
    s.search.paddedField = QStringLiteral("IDUNIDADE");
    s.search.paddedWidth = 4;
    s.size = QSize(760, 420);
    s.usageName = QStringLiteral("Unidade Orçamentária");
    s.usages = {{QStringLiteral("SELECT COUNT(*) FROM USUARIOS WHERE IDUNIDADE = ?"),
                 QStringLiteral("usuário"), QStringLiteral("usuários")},
                {QStringLiteral("SELECT COUNT(*) FROM SETORES WHERE IDUNIDADE = ?"), QStringLiteral("setor"),
                 QStringLiteral("setores")},
                {QStringLiteral("SELECT COUNT(*) FROM TRAMITACAO WHERE IDUNIDADE = ?"),
                 QStringLiteral("tramitação"), QStringLiteral("tramitações")}};
    return s;
}

TFrm_Unidades::TFrm_Unidades(QWidget* owner)
    : RegistryForm(unidadesSpec(), owner) {
    if (auto* b = qobject_cast<QAbstractButton*>(control(QStringLiteral("SpeedButton1"))))
        connect(b, &QAbstractButton::clicked, this, &TFrm_Unidades::SpeedButton1Click);
    if (auto* b = qobject_cast<QAbstractButton*>(control(QStringLiteral("SpeedButton2"))))
        connect(b, &QAbstractButton::clicked, this, &TFrm_Unidades::SpeedButton2Click);
    connect(binder(), &FieldBinder::left, this, [this](QWidget* widget, const QString&) {
        if (widget == control(QStringLiteral("Campo4"))) Campo4Exit();
    });
}

void TFrm_Unidades::SpeedButton1Click() {
    pesquisaTipoUnidade(this, records(), QStringLiteral("TIPO_UNIDADE"));
}

void TFrm_Unidades::SpeedButton2Click() {
    openTipoUnidade(this);
}

void TFrm_Unidades::Campo4Exit() {
    if (!records()->isEditing()) return;
    const QString cnpj = records()->text(QStringLiteral("CNPJ"));
    // An empty CNPJ is accepted; one typed only in part (blanks left in the mask) is not valid.
    if (routines::digitsOnly(cnpj).isEmpty() || routines::isValidCnpj(cnpj)) return;
    core::dialogs().message(this, invalidCnpjMessage());
    records()->setValue(QStringLiteral("CNPJ"), QString());
}

void openUnidades(QWidget* owner) {
    openModal<TFrm_Unidades>(Frm_Unidades, owner,
                             [](TFrm_Unidades* f, QString* error) { return f->reload(error); });
}

} // namespace registers
