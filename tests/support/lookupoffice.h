#pragma once

#include <QSqlDatabase>

#include <QString>

namespace testsupport {

// A small office for the citizens' look-up, with personal data everywhere so that a test can
// tell none of it leaks: applicant "MARIA DA SILVA" (CPF 123.456.789-09), user "JOSE CLERK",
// subject "PEDIDO SIGILOSO", dispatches "DESPACHO INTERNO".
//   00000001/2026  never sent
//   00000002/2026  three movements (SECRETARIA DE OBRAS, then FINANCAS, then GABINETE), the
//                  last one received on 2026-03-05
//   00000003/2026  one movement to FINANCAS, received and archived on 2026-04-01
//   00000004/2026  25 movements back and forth, the last one not received
//   00000002/2025  the same number a year earlier, never sent
void addLookupOffice(const QSqlDatabase& db);

inline const char kLookupPersonalData[][24] = {"MARIA DA SILVA", "123.456.789-09", "JOSE CLERK",
                                               "PEDIDO SIGILOSO", "DESPACHO INTERNO"};

} // namespace testsupport
