#include "forms/registers/pesqtitularrequerente.h"

#include "forms/registers/interessados.h"

namespace registers {

using namespace forms;

QPointer<LookupDialog> Frm_PesqTitularRequerente;

LookupSpec pesqTitularRequerenteSpec() {
    LookupSpec s;
    s.formName = QStringLiteral("Frm_PesqTitularRequerente");
    s.caption = QStringLiteral("Pesquisa Titular / Requerente");
    s.selectQuery = QStringLiteral(
        "SELECT A.IDINTERESSADO, A.INTERESSADO, A.TIPO, A.CPF, A.CNPJ, A.ENDERECO, A.NUMERO, A.BAIRRO, "
        "A.CEP, A.CIDADE, A.UF, A.DDD_TELEFONE, A.TELEFONE, A.DDD_CELULAR, A.CELULAR, A.EMAIL, A.SITE "
        "FROM INTERESSADOS A ORDER BY A.IDINTERESSADO");
    s.fields = interessadosFields();
    s.columns = {{QStringLiteral("Código"), QStringLiteral("IDINTERESSADO"), 70},
                 {QStringLiteral("Titular / Requerente"), QStringLiteral("INTERESSADO"), kWideColumn},
                 {QStringLiteral("Tipo"), QStringLiteral("TIPO"), 130},
                 {QStringLiteral("CPF"), QStringLiteral("CPF"), 110},
                 {QStringLiteral("CNPJ"), QStringLiteral("CNPJ"), 140},
                 {QStringLiteral("Endereço"), QStringLiteral("ENDERECO"), kWideColumn},
                 {QStringLiteral("Número"), QStringLiteral("NUMERO"), 70},
                 {QStringLiteral("Bairro"), QStringLiteral("BAIRRO"), 160},
                 {QStringLiteral("CEP"), QStringLiteral("CEP"), 90},
                 {QStringLiteral("Cidade"), QStringLiteral("CIDADE"), kWideColumn},
                 {QStringLiteral("UF"), QStringLiteral("UF"), 40},
                 {QStringLiteral("DDD_TELEFONE"), QStringLiteral("DDD_TELEFONE"), 100},
                 {QStringLiteral("TELEFONE"), QStringLiteral("TELEFONE"), 100},
                 {QStringLiteral("DDD_CELULAR"), QStringLiteral("DDD_CELULAR"), 100},
                 {QStringLiteral("CELULAR"), QStringLiteral("CELULAR"), 100},
                 {QStringLiteral("EMAIL"), QStringLiteral("EMAIL"), 220},
                 {QStringLiteral("SITE"), QStringLiteral("SITE"), 220}};
    s.codeField = QStringLiteral("IDINTERESSADO");
    s.nameField = QStringLiteral("INTERESSADO");
    s.size = QSize(820, 460);
    return s;
}

bool pesquisaTitularRequerente(QWidget* caller, RecordSet* target, const QString& targetField) {
    return pickInto(Frm_PesqTitularRequerente, pesqTitularRequerenteSpec(), caller, target, targetField);
}

} // namespace registers
