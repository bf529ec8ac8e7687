#pragma once

#include "core/processpapers.h"

#include <QStringList>
#include <QWidget>

namespace testsupport {

// Stands in for the reports while a test runs: every paper a window opens is noted as
// "<entry> <key>/<year>" with the window it was opened over. Afterwards the stand-ins do nothing,
// so a later test never reaches into a recorder that is gone.
struct PaperRecorder {
    QStringList opened;
    QWidget* parent = nullptr;

    static QStringList papers() {
        return {QStringLiteral("Protocolo"), QStringLiteral("Capa de Processo"),
                QStringLiteral("Histórico do Processo"), QStringLiteral("Despacho")};
    }

    PaperRecorder() {
        for (const QString& paper : papers()) {
            core::registerProcessPaper(paper,
                                       [this, paper](QWidget* over, const QString& key, const QString& year) {
                                           parent = over;
                                           opened << paper + QLatin1Char(' ') + key + QLatin1Char('/') + year;
                                       });
        }
    }
    ~PaperRecorder() {
        for (const QString& paper : papers())
            core::registerProcessPaper(paper, [](QWidget*, const QString&, const QString&) {});
    }
    PaperRecorder(const PaperRecorder&) = delete;
    PaperRecorder& operator=(const PaperRecorder&) = delete;
};

} // namespace testsupport
