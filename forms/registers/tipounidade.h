#pragma once

#include "forms/common/registryform.h"

#include <QPointer>

namespace registers {

// Unit types as published by the state audit court (TIPOUNIDADE): the plain registry form.
forms::RegistrySpec tipoUnidadeSpec();

class TFrm_TipoUnidade : public forms::RegistryForm {
    Q_OBJECT
public:
    explicit TFrm_TipoUnidade(QWidget* owner);
};

// Set while the window is open.
extern QPointer<TFrm_TipoUnidade> Frm_TipoUnidade;

// Menu TCE/AL, "Tipo/Unidade", and the budget-unit form's Cadastra button.
void openTipoUnidade(QWidget* owner);

} // namespace registers
