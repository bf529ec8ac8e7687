#pragma once

#include "forms/common/lookupdialog.h"

#include <QPointer>

namespace registers {

// The lookup dialogs of the registers. Each caller function is the handler of a Pesquisa button:
// it writes the picked code into the target field when the target is inserting or editing.

forms::LookupSpec pesqTipoUnidadeSpec();
extern QPointer<forms::LookupDialog> Frm_PesqTipoUnidade;
// Budget-unit form "&1": TIPO_UNIDADE.
bool pesquisaTipoUnidade(QWidget* caller, forms::RecordSet* target,
                         const QString& targetField = QStringLiteral("TIPO_UNIDADE"));

forms::LookupSpec pesqTipoProcessoSpec();
extern QPointer<forms::LookupDialog> Frm_PesqTipoProcesso;
// Process form "&5": IDTIPOPROCESSO.
bool pesquisaTipoProcesso(QWidget* caller, forms::RecordSet* target,
                          const QString& targetField = QStringLiteral("IDTIPOPROCESSO"));

forms::LookupSpec pesqUnidadesSpec();
extern QPointer<forms::LookupDialog> Frm_PesqUnidades;
// Budget units: the sector form's and the users form's "&1" and the routing form's "&3", each
// into its own record set's field (IDUNIDADE in all three).
bool pesquisaUnidades(QWidget* caller, forms::RecordSet* target,
                      const QString& targetField = QStringLiteral("IDUNIDADE"));

} // namespace registers
