#include "forms/registers/tiposprocessos.h"

#include "forms/common/formwindow.h"

namespace registers {

using namespace forms;

QPointer<TFrm_TiposProcessos> Frm_TiposProcessos;

QString deadlineMessage() {
    return attention(QStringLiteral("procedimento cancelado, Prazo (dias) deve ser um número inteiro de 1 a "
                                    "9999, ou vazio para tipo sem prazo!"));
}

bool deadlineAccepted(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty()) return true;
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    bool ok = false;
    const int days = t.toInt(&ok);
    return ok && days >= 1 && days <= 9999;
}

RegistrySpec tiposProcessosSpec() {
    RegistrySpec s;
    s.formName = QStringLiteral("Frm_TiposProcessos");
    s.title = QStringLiteral("Tipos de Processos");
    s.table = QStringLiteral("TIPOPROCESSO");
    s.codeField = QStringLiteral("IDTIPO");
    s.codeWidth = 4;
    s.nextCodeQuery = QStringLiteral("SELECT COALESCE(MAX(IDTIPO),'0') FROM TIPOPROCESSO");
    // The deadline lives in a table of its own (PRAZOS_TIPOPROCESSO), read beside the type.
    s.selectQuery =
        QStringLiteral("SELECT A.IDTIPO, A.TIPO, P.DIAS FROM TIPOPROCESSO A "
                       "LEFT JOIN PRAZOS_TIPOPROCESSO P ON P.IDTIPO = A.IDTIPO ORDER BY A.IDTIPO");
    s.fields = {keyField(QStringLiteral("IDTIPO"), 4), textField(QStringLiteral("TIPO"), 100),
                sideField(QStringLiteral("DIAS"), kDeadlineDigits)};
    s.sideTables = {
        {QStringLiteral("PRAZOS_TIPOPROCESSO"), QStringLiteral("IDTIPO"), {QStringLiteral("DIAS")}}};
    s.checks = {{QStringLiteral("TIPO"),
                 attention(QStringLiteral("procedimento cancelado, Tipo Processo não informado!")),
                 QStringLiteral("Campo2")},
                {QStringLiteral("DIAS"), deadlineMessage(), QStringLiteral("Campo3"),
                 [](const RecordSet& r) { return !deadlineAccepted(r.text(QStringLiteral("DIAS"))); }}};
    s.edits = {
        lineEdit(QStringLiteral("Campo1"), QStringLiteral("IDTIPO"), QStringLiteral("Código")),
        lineEdit(QStringLiteral("Campo2"), QStringLiteral("TIPO"), QStringLiteral("Tipo Processo"), 50),
        lineEdit(QStringLiteral("Campo3"), QStringLiteral("DIAS"), QStringLiteral("Prazo (dias)"),
                 kDeadlineDigits)};
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
