#pragma once

#include "forms/common/registryform.h"

#include <QPointer>

namespace registers {

// Budget units (UNIDADES), each with its audit-court unit type and its CNPJ.
forms::RegistrySpec unidadesSpec();

class TFrm_Unidades : public forms::RegistryForm {
    Q_OBJECT
public:
    explicit TFrm_Unidades(QWidget* owner);

    // "&1": the unit-type lookup into TIPO_UNIDADE.
    void SpeedButton1Click();
    // "&2": the unit-type register.
    void SpeedButton2Click();
    // `Campo4Exit`: a CNPJ whose check digits fail is reported and emptied.
    void Campo4Exit();

    static QString invalidCnpjMessage() { return forms::attention(QStringLiteral("CNPJ não é válido!")); }
    static QString missingTypeMessage() {
        return forms::attention(QStringLiteral("procedimento cancelado, Tipo Unidade não informado!"));
    }

protected:
    // The unit's type is locked and found again in the saving transaction.
    bool writeChanges(QString* message) override;
};

// Set while the window is open.
extern QPointer<TFrm_Unidades> Frm_Unidades;

// Menu Cadastros, "Unidades Orçamentárias", and the Cadastra buttons of the sector and users forms.
void openUnidades(QWidget* owner);

} // namespace registers
