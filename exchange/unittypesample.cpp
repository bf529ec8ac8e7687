#include "exchange/unittypesample.h"

namespace exchange {

QList<QVariantList> unitTypeSampleRows() {
    const char* types[] = {
        "PREFEITURA MUNICIPAL",     "CÂMARA MUNICIPAL",          "SECRETARIA MUNICIPAL",
        "FUNDO MUNICIPAL",          "AUTARQUIA MUNICIPAL",       "FUNDAÇÃO MUNICIPAL",
        "INSTITUTO DE PREVIDÊNCIA", "EMPRESA PÚBLICA MUNICIPAL", "SOCIEDADE DE ECONOMIA MISTA",
        "CONSÓRCIO PÚBLICO",        "FUNDO MUNICIPAL DE SAÚDE",  "FUNDO MUNICIPAL DE EDUCAÇÃO"};
    QList<QVariantList> rows{{QStringLiteral("Código"), QStringLiteral("Tipo de Unidade")}};
    int code = 0;
    for (const char* type : types)
        rows.append({++code, QString::fromUtf8(type)});
    return rows;
}

QString unitTypeSampleSheetName() {
    return QStringLiteral("Tipos de Unidades");
}

} // namespace exchange
