#include "forms/processes/searches.h"

#include "core/menucommands.h"
#include "forms/processes/pesqdespacho.h"
#include "forms/processes/pesqprocesso.h"

namespace processes {

void registerSearchCommands() {
    auto& menu = core::menuCommands();
    menu.add(QStringLiteral("Pesquisa Processos"),
             [](QWidget* parent, const QString&) { openPesqProcesso(parent); });
    menu.add(QStringLiteral("Pesquisa Despachos"),
             [](QWidget* parent, const QString&) { openPesqDespacho(parent); });
}

} // namespace processes
