#include "forms/registers/pesqusuario02.h"

namespace registers {

using namespace forms;

QPointer<LookupDialog> Frm_PesqUsuario02;

LookupSpec pesqUsuario02Spec() {
    LookupSpec s;
    s.formName = QStringLiteral("Frm_PesqUsuario02");
    s.caption = QStringLiteral("Pesquisa Usuário");
    s.selectQuery = QStringLiteral("SELECT COD_USUARIO, USUARIO, CPF, PROTOCOLISTA FROM USUARIOS WHERE "
                                   "IDUNIDADE=:UM ORDER BY COD_USUARIO");
    s.fields = {keyField(QStringLiteral("COD_USUARIO"), 8), textField(QStringLiteral("USUARIO"), 100),
                textField(QStringLiteral("CPF"), 14), textField(QStringLiteral("PROTOCOLISTA"), 3)};
    s.columns = {{QStringLiteral("Código"), QStringLiteral("COD_USUARIO"), 80},
                 {QStringLiteral("Usuário"), QStringLiteral("USUARIO"), kWideColumn},
                 {QStringLiteral("CPF"), QStringLiteral("CPF"), 120},
                 {QStringLiteral("Protocolista ?"), QStringLiteral("PROTOCOLISTA"), 90}};
    s.codeField = QStringLiteral("COD_USUARIO");
    s.nameField = QStringLiteral("USUARIO");
    // Every column, the code included, is searched with the text as typed.
    s.search.paddedField.clear();
    s.search.postalCodeField.clear();
    s.background = false;
    s.size = QSize(680, 420);
    return s;
}

bool pesquisaUsuarioDaUnidade(QWidget* caller, RecordSet* target, const QString& targetField,
                              const QString& unitField) {
    const QString unit = target ? target->text(unitField) : QString();
    return pickInto(Frm_PesqUsuario02, pesqUsuario02Spec(), caller, target, targetField, QString(), QString(),
                    [unit](RecordSet* rows) { rows->setParameter(QStringLiteral("UM"), unit); });
}

} // namespace registers
