#pragma once

#include <QString>

namespace core {

// The logged-in user, set once by the login and read for the rest of the run.
struct CurrentUser {
    QString code; // eight digits
    QString name;
    QString cpf;
    QString protocolist; // "SIM" / "NAO"
};

CurrentUser& currentUser();

} // namespace core
