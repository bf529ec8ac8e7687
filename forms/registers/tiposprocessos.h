#pragma once

#include "forms/common/registryform.h"

#include <QPointer>

namespace registers {

// Process types (TIPOPROCESSO): the plain registry form, with the type's deadline ("Prazo
// (dias)", PRAZOS_TIPOPROCESSO) as one more field.
forms::RegistrySpec tiposProcessosSpec();

// A deadline is typed as a whole number of days, at most four digits; empty = no deadline.
inline constexpr int kDeadlineDigits = 4;
bool deadlineAccepted(const QString& text);
// Shown when saving a deadline that is not a whole number from 1 to 9999.
QString deadlineMessage();

class TFrm_TiposProcessos : public forms::RegistryForm {
    Q_OBJECT
public:
    explicit TFrm_TiposProcessos(QWidget* owner);
};

// Set while the window is open.
extern QPointer<TFrm_TiposProcessos> Frm_TiposProcessos;

// Menu Cadastros, "Tipos de Processos", and the process form's Cadastra button.
void openTiposProcessos(QWidget* owner);

} // namespace registers
