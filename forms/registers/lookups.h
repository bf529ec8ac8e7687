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

} // namespace registers
