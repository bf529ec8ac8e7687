#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace core {

// The papers of a process that the process windows print from their right-click menus, keyed by
// the entry's text: "Protocolo" and "Capa de Processo" (key = IDPROCESSO, year = ANO),
// "Histórico do Processo" (IDPROCESSO, ANO) and "Despacho" (key = REGISTRO, no year). The reports
// library registers them, so the process windows need not link it.
using ProcessPaperOpener = std::function<void(QWidget* parent, const QString& key, const QString& year)>;

void registerProcessPaper(const QString& entryText, ProcessPaperOpener opener);
// False when nothing is registered under the entry's text ("&" is left out).
bool openProcessPaper(const QString& entryText, QWidget* parent, const QString& key,
                      const QString& year = QString());

} // namespace core
