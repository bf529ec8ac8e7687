#pragma once

#include "forms/common/registryform.h"

#include <QPointer>

namespace registers {

// Sectors (SETORES), each belonging to one budget unit; the sector name keeps its case.
forms::RegistrySpec setoresSpec();

class TFrm_Setores : public forms::RegistryForm {
    Q_OBJECT
public:
    explicit TFrm_Setores(QWidget* owner);

    // "&1": the budget-unit lookup into IDUNIDADE.
    void SpeedButton1Click();
    // "&2": the budget-unit register.
    void SpeedButton2Click();
};

// Set while the window is open.
extern QPointer<TFrm_Setores> Frm_Setores;

// Menu Cadastros, "Setores".
void openSetores(QWidget* owner);

} // namespace registers
