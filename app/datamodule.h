#pragma once

#include <QObject>
#include <QSqlDatabase>

namespace app {

// The data module: owns the program's one connection (sqlConnectionPrincipal) for the whole run.
// It is created with the connection closed; the start-up sequence opens it once.
class TDM_Orvel_Principal : public QObject {
    Q_OBJECT
public:
    explicit TDM_Orvel_Principal(QObject* parent = nullptr);
    ~TDM_Orvel_Principal() override;

    QSqlDatabase sqlConnectionPrincipal() const;
};

// The run's data module; empty until the start-up creates it.
inline TDM_Orvel_Principal* DM_Orvel_Principal = nullptr;

// Creates the data module when the run has none yet (it then lives as long as the application).
TDM_Orvel_Principal* ensureDataModule();

} // namespace app
