#include "forms/registers/setores.h"

#include "forms/common/formwindow.h"
#include "forms/registers/lookups.h"
#include "forms/registers/unidades.h"

#include <QAbstractButton>

namespace registers {

using namespace forms;

QPointer<TFrm_Setores> Frm_Setores;

RegistrySpec setoresSpec() {
    RegistrySpec s;
    s.formName = QStringLiteral("Frm_Setores");
    s.title = QStringLiteral("Setores");
    s.table = QStringLiteral("SETORES");
    s.codeField = QStringLiteral("IDSETOR");
    s.codeWidth = 6;
    s.nextCodeQuery = QStringLiteral("SELECT COALESCE(MAX(IDSETOR),'0') FROM SETORES");
    s.selectQuery = QStringLiteral(
        "SELECT A.IDSETOR, A.SETOR, A.IDUNIDADE, B.UNIDADE FROM SETORES A LEFT JOIN UNIDADES B ON "
        "A.IDUNIDADE = B.IDUNIDADE ORDER BY A.IDSETOR");
    s.fields = {keyField(QStringLiteral("IDSETOR"), 6), textField(QStringLiteral("SETOR"), 100),
                textField(QStringLiteral("IDUNIDADE"), 4), joinedField(QStringLiteral("UNIDADE"), 100)};
    s.zeroFills = {{QStringLiteral("IDSETOR"), 6},
                   {QStringLiteral("IDUNIDADE"), 4,
                    QStringLiteral("SELECT UNIDADE FROM UNIDADES WHERE IDUNIDADE=?"),
                    QStringLiteral("UNIDADE")}};
    // The unit first, through its fetched name: only the code of an existing unit saves.
    s.checks = {{QStringLiteral("UNIDADE"),
                 attention(QStringLiteral("procedimento cancelado, Unidade não informada!")),
                 QStringLiteral("Campo3")},
                {QStringLiteral("SETOR"),
                 attention(QStringLiteral("procedimento cancelado, Setor não informado!")),
                 QStringLiteral("Campo2")}};
    EditSpec unidade = lineEdit(QStringLiteral("Campo3"), QStringLiteral("IDUNIDADE"), QString(), 4);
    unidade.sameRow = true;
    s.edits = {
        lineEdit(QStringLiteral("Campo1"), QStringLiteral("IDSETOR"), QStringLiteral("Código"), 6),
        lineEdit(QStringLiteral("Campo2"), QStringLiteral("SETOR"), QStringLiteral("Setor"), 50,
                 Entry::AsTyped),
        captionRow(QStringLiteral("LUnidade"), QStringLiteral("Unidade Orçamentária")),
        smallButton(QStringLiteral("SpeedButton1"), QStringLiteral("&1"), QStringLiteral("Pesquisa"), false),
        cadastraButton(QStringLiteral("SpeedButton2"), QStringLiteral("&2"),
                       QStringLiteral("Unidades Orçamentárias")),
        unidade,
        nameDisplay(QStringLiteral("CampoE1"), QStringLiteral("UNIDADE"), 40,
                    QStringLiteral("Nome da Unidade Orçamentária"))};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("IDSETOR"), 70},
                 {QStringLiteral("Setor"), QStringLiteral("SETOR"), kWideColumn},
                 {QStringLiteral("Cód.Unidade"), QStringLiteral("IDUNIDADE"), 80},
                 {QStringLiteral("Unidade"), QStringLiteral("UNIDADE"), kWideColumn}};
    s.search.paddedField = QStringLiteral("IDUNIDADE");
    s.search.paddedWidth = 4;
    s.size = QSize(700, 400);
    s.usageName = QStringLiteral("Setor");
    s.usages = {{QStringLiteral("SELECT COUNT(*) FROM TRAMITACAO WHERE IDSETOR = ?"),
                 QStringLiteral("tramitação"), QStringLiteral("tramitações")}};
    return s;
}

TFrm_Setores::TFrm_Setores(QWidget* owner)
    : RegistryForm(setoresSpec(), owner) {
    if (auto* b = qobject_cast<QAbstractButton*>(control(QStringLiteral("SpeedButton1"))))
        connect(b, &QAbstractButton::clicked, this, &TFrm_Setores::SpeedButton1Click);
    if (auto* b = qobject_cast<QAbstractButton*>(control(QStringLiteral("SpeedButton2"))))
        connect(b, &QAbstractButton::clicked, this, &TFrm_Setores::SpeedButton2Click);
}

void TFrm_Setores::SpeedButton1Click() {
    pesquisaUnidades(this, records(), QStringLiteral("IDUNIDADE"));
}

void TFrm_Setores::SpeedButton2Click() {
    openUnidades(this);
}

void openSetores(QWidget* owner) {
    openModal<TFrm_Setores>(Frm_Setores, owner,
                            [](TFrm_Setores* f, QString* error) { return f->reload(error); });
}

} // namespace registers
