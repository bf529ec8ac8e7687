#pragma once

#include "forms/common/registryform.h"

#include <QPointer>

namespace registers {

// Process types (TIPOPROCESSO): the plain registry form.
forms::RegistrySpec tiposProcessosSpec();

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
