#include "forms/registers/unidades.h"

#include "core/dialogs.h"
#include "core/routines.h"
#include "forms/common/formwindow.h"
#include "forms/registers/lookups.h"
#include "forms/registers/tipounidade.h"

#include <QAbstractButton>
#include <QSqlError>
#include <QSqlQuery>

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
                {QStringLiteral("TIPO"), TFrm_Unidades::missingTypeMessage(), QStringLiteral("Campo3")}};
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

namespace {

// The codes of the types the pending rows point at.
QStringList pendingTypes(RecordSet* records) {
    QStringList types;
    const int field = records->fieldIndex(QStringLiteral("TIPO_UNIDADE"));
    for (int row : records->pendingRows()) {
        const QString type = records->valueAt(row, field).toString();
        if (!type.isEmpty() && !types.contains(type)) types << type;
    }
    return types;
}

bool typeExists(const QSqlDatabase& db, const QString& type) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT 1 FROM TIPOUNIDADE WHERE IDTIPO = ?"));
    q.addBindValue(type);
    return !q.exec() || q.next(); // a failed reading says nothing about the type
}

} // namespace

bool TFrm_Unidades::writeChanges(QString* message) {
    // The type's name was read when the code was typed, maybe long before: the import of the
    // audit court's types may have deleted it since. The type row is locked and read again in
    // the transaction that writes the unit; the import takes the same locks before it checks
    // which types are in use, so one of the two waits for the other and no unit is left pointing
    // at a type that no longer exists.
    const QStringList types = pendingTypes(records());
    if (types.isEmpty()) return RegistryForm::writeChanges(message);
    bool missing = false;
    const int errors = RecordSet::applyUpdates(
        {records()}, nullptr,
        [&](const QSqlDatabase& db, QString* error) {
            QSqlQuery lock(db);
            lock.setForwardOnly(true);
            if (!lock.prepare(QStringLiteral("SELECT IDTIPO FROM TIPOUNIDADE WHERE IDTIPO = ? WITH LOCK"))) {
                *error = lock.lastError().text();
                return false;
            }
            for (const QString& type : types) {
                lock.addBindValue(type);
                if (!lock.exec()) {
                    *error = lock.lastError().text();
                    return false;
                }
                if (!lock.next()) {
                    *error = lock.lastError().text();
                    missing = !lock.lastError().isValid();
                    return false;
                }
            }
            return true;
        },
        {});
    if (errors == 0) return true;
    // A lock lost to an import that deleted the type ends the same way as a type found missing.
    if (!missing && !records()->connectionLost())
        for (const QString& type : types)
            missing = missing || !typeExists(records()->database(), type);
    if (missing) *message = missingTypeMessage();
    return false;
}

void openUnidades(QWidget* owner) {
    openModal<TFrm_Unidades>(Frm_Unidades, owner,
                             [](TFrm_Unidades* f, QString* error) { return f->reload(error); });
}

} // namespace registers
