#pragma once

namespace processes {

// The menu entries "Pesquisa Processos" and "Pesquisa Despachos", and the searches' paper entries.
void registerSearchCommands();
// The right-click entries of both searches that print a process's papers (core::openProcessPaper).
void registerSearchPapers();

} // namespace processes
