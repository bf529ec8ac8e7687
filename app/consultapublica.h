#pragma once

class QWidget;

namespace app {

// "Apoio" > "Renova Código de Consulta Pública": replaces the installation's secret of the
// citizens' look-up after a confirmation that says what it costs (every code printed so far stops
// working). A utility entry: only a user granted it (an administrator) sees it enabled.
void renewPublicLookupCode(QWidget* parent);
void registerPublicLookupCommand();

} // namespace app
