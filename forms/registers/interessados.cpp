#include "forms/registers/interessados.h"

#include "core/dialogs.h"
#include "core/routines.h"
#include "forms/common/formwindow.h"

#include <algorithm>

namespace registers {

using namespace forms;

QPointer<TFrm_Interessados> Frm_Interessados;

namespace {

EditSpec comboBox(const QString& name, const QString& field, const QString& caption, const QStringList& items,
                  int chars) {
    EditSpec e;
    e.kind = EditSpec::Combo;
    e.objectName = name;
    e.field = field;
    e.caption = caption;
    e.items = items;
    e.chars = chars;
    return e;
}

EditSpec masked(const QString& name, const QString& field, const QString& caption, const QString& mask,
                bool sameRow) {
    EditSpec e = lineEdit(name, field, caption);
    e.mask = mask;
    e.sameRow = sameRow;
    return e;
}

EditSpec beside(EditSpec e) {
    e.sameRow = true;
    return e;
}

bool hasDigit(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

} // namespace

QList<FieldDef> interessadosFields() {
    return {keyField(QStringLiteral("IDINTERESSADO"), 6), textField(QStringLiteral("INTERESSADO"), 100),
            textField(QStringLiteral("TIPO"), 20),        textField(QStringLiteral("CPF"), 14),
            textField(QStringLiteral("CNPJ"), 18),        textField(QStringLiteral("ENDERECO"), 100),
            textField(QStringLiteral("NUMERO"), 10),      textField(QStringLiteral("BAIRRO"), 50),
            textField(QStringLiteral("CEP"), 10),         textField(QStringLiteral("CIDADE"), 50),
            textField(QStringLiteral("UF"), 2),           textField(QStringLiteral("DDD_TELEFONE"), 3),
            textField(QStringLiteral("TELEFONE"), 10),    textField(QStringLiteral("DDD_CELULAR"), 3),
            textField(QStringLiteral("CELULAR"), 10),     textField(QStringLiteral("EMAIL"), 100),
            textField(QStringLiteral("SITE"), 100)};
}

QString interessadosSelectQuery() {
    return QStringLiteral(
        "SELECT A.IDINTERESSADO, A.INTERESSADO, A.TIPO, A.CPF, A.CNPJ, A.ENDERECO, A.NUMERO, A.BAIRRO, "
        "A.CEP, A.CIDADE, A.UF, A.DDD_TELEFONE, A.TELEFONE, A.DDD_CELULAR, A.CELULAR, A.EMAIL, A.SITE "
        "FROM INTERESSADOS A ORDER BY A.IDINTERESSADO");
}

QList<GridColumn> interessadosColumns(const QString& nameTitle) {
    return {{QStringLiteral("Código"), QStringLiteral("IDINTERESSADO"), 70},
            {nameTitle, QStringLiteral("INTERESSADO"), kWideColumn},
            {QStringLiteral("Tipo"), QStringLiteral("TIPO"), 130},
            {QStringLiteral("CPF"), QStringLiteral("CPF"), 110},
            {QStringLiteral("CNPJ"), QStringLiteral("CNPJ"), 140},
            {QStringLiteral("Endereço"), QStringLiteral("ENDERECO"), kWideColumn},
            {QStringLiteral("Número"), QStringLiteral("NUMERO"), 70},
            {QStringLiteral("Bairro"), QStringLiteral("BAIRRO"), 160},
            {QStringLiteral("CEP"), QStringLiteral("CEP"), 90},
            {QStringLiteral("Cidade"), QStringLiteral("CIDADE"), 160},
            {QStringLiteral("UF"), QStringLiteral("UF"), 40},
            {QStringLiteral("DDD_TELEFONE"), QStringLiteral("DDD_TELEFONE"), 100},
            {QStringLiteral("TELEFONE"), QStringLiteral("TELEFONE"), 100},
            {QStringLiteral("DDD_CELULAR"), QStringLiteral("DDD_CELULAR"), 100},
            {QStringLiteral("CELULAR"), QStringLiteral("CELULAR"), 100},
            {QStringLiteral("EMAIL"), QStringLiteral("EMAIL"), 220},
            {QStringLiteral("SITE"), QStringLiteral("SITE"), 220}};
}

RegistrySpec interessadosSpec() {
    RegistrySpec s;
    s.formName = QStringLiteral("Frm_Interessados");
    s.title = QStringLiteral("Requerentes / Titulares");
    s.table = QStringLiteral("INTERESSADOS");
    s.codeField = QStringLiteral("IDINTERESSADO");
    s.codeWidth = 6;
    s.nextCodeQuery = QStringLiteral("SELECT COALESCE(MAX(IDINTERESSADO),'0') FROM INTERESSADOS");
    s.selectQuery = interessadosSelectQuery();
    s.fields = interessadosFields();
    s.zeroFills = {{QStringLiteral("IDINTERESSADO"), 6},
                   {QStringLiteral("DDD_TELEFONE"), 3},
                   {QStringLiteral("DDD_CELULAR"), 3}};
    s.checks = {{QStringLiteral("INTERESSADO"),
                 attention(QStringLiteral("procedimento cancelado, Requerente/Titular não informado!")),
                 QStringLiteral("Campo2")}};
    s.edits = {
        lineEdit(QStringLiteral("Campo1"), QStringLiteral("IDINTERESSADO"), QStringLiteral("Código")),
        lineEdit(QStringLiteral("Campo2"), QStringLiteral("INTERESSADO"),
                 QStringLiteral("Requerente / Titular"), 64),
        comboBox(QStringLiteral("Campo3"), QStringLiteral("TIPO"), QStringLiteral("Tipo"),
                 {TFrm_Interessados::pessoaFisica(), TFrm_Interessados::pessoaJuridica()}, 20),
        masked(QStringLiteral("Campo4"), QStringLiteral("CPF"), QStringLiteral("CPF"),
               QStringLiteral("###.###.###-##"), true),
        masked(QStringLiteral("Campo5"), QStringLiteral("CNPJ"), QStringLiteral("CNPJ"),
               QStringLiteral("##.###.###/####-##"), true),
        lineEdit(QStringLiteral("Campo6"), QStringLiteral("ENDERECO"), QStringLiteral("Endereço"), 52),
        beside(lineEdit(QStringLiteral("Campo7"), QStringLiteral("NUMERO"), QStringLiteral("Número"))),
        lineEdit(QStringLiteral("Campo8"), QStringLiteral("BAIRRO"), QStringLiteral("Bairro"), 24),
        masked(QStringLiteral("Campo9"), QStringLiteral("CEP"), QStringLiteral("CEP"),
               QStringLiteral("##.###-###"), true),
        beside(lineEdit(QStringLiteral("Campo10"), QStringLiteral("CIDADE"), QStringLiteral("Cidade"), 20)),
        beside(lineEdit(QStringLiteral("Campo11"), QStringLiteral("UF"), QStringLiteral("UF"))),
        lineEdit(QStringLiteral("Campo12"), QStringLiteral("DDD_TELEFONE"), QStringLiteral("DDD")),
        beside(lineEdit(QStringLiteral("Campo13"), QStringLiteral("TELEFONE"), QStringLiteral("Telefone"))),
        beside(lineEdit(QStringLiteral("Campo14"), QStringLiteral("DDD_CELULAR"), QStringLiteral("DDD"))),
        beside(lineEdit(QStringLiteral("Campo15"), QStringLiteral("CELULAR"), QStringLiteral("Celular"))),
        lineEdit(QStringLiteral("Campo16"), QStringLiteral("EMAIL"), QStringLiteral("E-Mail"), 52,
                 Entry::Lower),
        lineEdit(QStringLiteral("Campo17"), QStringLiteral("SITE"), QStringLiteral("Site"), 52,
                 Entry::Lower)};
    s.columns = interessadosColumns(QStringLiteral("Interessado"));
    s.size = QSize(760, 480);
    s.usageName = QStringLiteral("Requerente/Titular");
    // A process names the person twice (holder and applicant) and counts once; a user may be
    // linked to a holder.
    s.usages = {{QStringLiteral("SELECT COUNT(*) FROM PROCESSOS WHERE IDTITULAR = ? OR IDREQUERENTE = ?"),
                 QStringLiteral("processo"), QStringLiteral("processos")},
                {QStringLiteral("SELECT COUNT(*) FROM USUARIOS WHERE IDTITULAR = ?"),
                 QStringLiteral("usuário"), QStringLiteral("usuários")}};
    return s;
}

TFrm_Interessados::TFrm_Interessados(QWidget* owner)
    : RegistryForm(interessadosSpec(), owner) {
    // Every new party starts as a natural person.
    records()->addAfterInsert([this] { records()->setValue(QStringLiteral("TIPO"), pessoaFisica()); });
    records()->addFieldChange(QStringLiteral("TIPO"), [this] { applyKind(); });
    connect(this, &RegistryForm::stateRefreshed, this, &TFrm_Interessados::applyKind);
    connect(binder(), &FieldBinder::left, this, [this](QWidget*, const QString& field) {
        if (field == QLatin1String("CPF") || field == QLatin1String("CNPJ")) checkTaxNumber(field);
    });
}

void TFrm_Interessados::applyKind() {
    QWidget* cpf = control(QStringLiteral("Campo4"));
    QWidget* cnpj = control(QStringLiteral("Campo5"));
    if (!cpf || !cnpj) return;
    if (!records()->isEditing()) {
        // Browsing: the state refresh has made both read-only; both show their numbers.
        cpf->setEnabled(true);
        cnpj->setEnabled(true);
        return;
    }
    // A number typed before the kind changed is kept: only the box is closed.
    const bool natural = records()->text(QStringLiteral("TIPO")) == pessoaFisica();
    setEditable(cpf, natural);
    cpf->setEnabled(natural);
    setEditable(cnpj, !natural);
    cnpj->setEnabled(!natural);
}

void TFrm_Interessados::checkTaxNumber(const QString& field) {
    if (!records()->isEditing()) return;
    const QString value = records()->text(field);
    if (!hasDigit(value)) return;
    // A number left unfinished keeps blanks in the mask, which the checks answer as not valid.
    const bool cpf = field == QLatin1String("CPF");
    if (cpf ? routines::isValidCpf(value) : routines::isValidCnpj(value)) return;
    core::dialogs().message(this, cpf ? invalidCpfMessage() : invalidCnpjMessage());
    records()->setValue(field, QString());
}

void openInteressados(QWidget* owner) {
    openModal<TFrm_Interessados>(Frm_Interessados, owner,
                                 [](TFrm_Interessados* f, QString* error) { return f->reload(error); });
}

} // namespace registers
