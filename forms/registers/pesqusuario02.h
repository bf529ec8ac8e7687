#pragma once

#include "forms/common/lookupdialog.h"

#include <QPointer>

namespace registers {

// The user lookup by budget unit: only the users of the unit given as the parameter UM, for the
// routing form's choice of a destination user (and the users form's tests). It lives with the other
// lookups, below the shell, so that the routing form can use it.
forms::LookupSpec pesqUsuario02Spec();
extern QPointer<forms::LookupDialog> Frm_PesqUsuario02;

// The caller side: lists the users of the unit in the target's unitField and, when a row is picked
// while the target inserts or edits, writes its code into targetField.
bool pesquisaUsuarioDaUnidade(QWidget* caller, forms::RecordSet* target,
                              const QString& targetField = QStringLiteral("COD_USUARIO_DESTINO"),
                              const QString& unitField = QStringLiteral("IDUNIDADE"));

} // namespace registers
