#pragma once

#include "forms/common/registryform.h"

#include <QPointer>

namespace registers {

// The fields of INTERESSADOS, shared by the register and its lookup.
QList<forms::FieldDef> interessadosFields();
// Every applicant and holder in code order, as the register and its lookup read them.
QString interessadosSelectQuery();
// Their grid columns; only the title of the name column differs between the two.
QList<forms::GridColumn> interessadosColumns(const QString& nameTitle);

// Applicants and holders (INTERESSADOS): one register for every person or organisation that
// asks for a process or on whose behalf it is asked.
forms::RegistrySpec interessadosSpec();

class TFrm_Interessados : public forms::RegistryForm {
    Q_OBJECT
public:
    explicit TFrm_Interessados(QWidget* owner);

    static QString pessoaFisica() { return QStringLiteral("1 - Pessoa Física"); }
    static QString pessoaJuridica() { return QStringLiteral("2 - Pessoa Jurídica"); }
    static QString invalidCpfMessage() { return forms::attention(QStringLiteral("CPF não é válido!")); }
    static QString invalidCnpjMessage() { return forms::attention(QStringLiteral("CNPJ não é válido!")); }

private:
    // cdsDadosTIPOChange and the start of an inclusion or alteration: only the tax number of
    // the chosen kind of party can be typed.
    void applyKind();
    // Campo4Exit / Campo5Exit.
    void checkTaxNumber(const QString& field);
};

// Set while the window is open.
extern QPointer<TFrm_Interessados> Frm_Interessados;

// Menu Cadastros, "Requerentes/Titulares", and the two Cadastra buttons of the process form.
void openInteressados(QWidget* owner);

} // namespace registers
