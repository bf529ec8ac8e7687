#include "forms/registers/registers.h"

#include "core/menucommands.h"
#include "forms/registers/empresa.h"
#include "forms/registers/interessados.h"
#include "forms/registers/setores.h"
#include "forms/registers/tiposprocessos.h"
#include "forms/registers/tipounidade.h"
#include "forms/registers/unidades.h"

namespace registers {

void registerMenuCommands() {
    auto& menu = core::menuCommands();
    menu.add(QStringLiteral("Tipos de Processos"),
             [](QWidget* parent, const QString&) { openTiposProcessos(parent); });
    menu.add(QStringLiteral("Tipo/Unidade"),
             [](QWidget* parent, const QString&) { openTipoUnidade(parent); });
    menu.add(QStringLiteral("Unidades Orçamentárias"),
             [](QWidget* parent, const QString&) { openUnidades(parent); });
    menu.add(QStringLiteral("Setores"), [](QWidget* parent, const QString&) { openSetores(parent); });
    menu.add(QStringLiteral("Requerentes/Titulares"),
             [](QWidget* parent, const QString&) { openInteressados(parent); });
    menu.add(QStringLiteral("Empresa"), [](QWidget* parent, const QString&) { openEmpresa(parent); });
}

} // namespace registers
