#pragma once

namespace processes {

// Registers the menu entries "Pesquisa Processos" and "Pesquisa Despachos".
void registerSearchCommands();

} // namespace processes
