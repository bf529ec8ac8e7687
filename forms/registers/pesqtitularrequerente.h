#pragma once

#include "forms/common/lookupdialog.h"

#include <QPointer>

namespace registers {

// "Pesquisa Titular / Requerente": the pick list of applicants and holders.
forms::LookupSpec pesqTitularRequerenteSpec();
extern QPointer<forms::LookupDialog> Frm_PesqTitularRequerente;

// Handler of the process form's Pesquisa buttons: "&1" fills IDREQUERENTE, "&3" IDTITULAR.
// The picked code is written only while the target inserts or edits; true when it was.
bool pesquisaTitularRequerente(QWidget* caller, forms::RecordSet* target, const QString& targetField);

} // namespace registers
