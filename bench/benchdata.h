#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QTextStream>

namespace bench {

// How much a large installation holds; the defaults are the volumes the program must carry.
struct Volume {
    int users = 200;         // 00000001 ... 00000200, all protocolists, spread over the units
    int units = 20;          // 0001 ... 0020
    int applicants = 100000; // INTERESSADOS 000001 ...
    int processTypes = 40;   // TIPOPROCESSO 0001 ...
    int processes = 200000;  // years 2013 to 2019, month-day numbers
    int movements = 1000000; // spread over the routed processes, about five each
    // Every n-th process (n, 2n, ...) has no movement: it is still in its typist's process form.
    int unroutedEvery = 50;
};

// A temporary database built from the schema, opened as the program's main connection and
// filled on the server side (a loop per table, a few seconds per million rows) with data shaped
// like a real installation:
// - process i (0-based) is numbered MMDD + sequence (i / 366 + 1), its day-month the i % 366-th
//   day of a leap year, its year 2013 + (i / 366) % 7 (29 February always 2016); it was typed by
//   user (i / unroutedEvery) % users + 1, so every user owns unrouted processes;
// - the routed processes get their movements in turns: movement j (REGISTRO j + 1) goes to the
//   (j % routed)-th routed process as its (j / routed)-th movement, from the user who held it to
//   the next user code (wrapping), three days after the one before; nine in ten are received.
class BenchDatabase {
public:
    // Creates and opens the database in a temporary folder, or at `keptPath` when one is given
    // (kept afterwards, so later runs can skip the filling); a kept file that exists is opened
    // as it is and `existed` is set. False with the reason.
    bool create(QString* error, const QString& keptPath = QString(), bool* existed = nullptr);
    // Fills every table; false with the database's text. Prints the time each table took.
    bool fill(const Volume& volume, QString* error);
    QString path() const { return m_path; }
    // The usual start of a benchmark: creates the database (kept at PROTOCOLO_BENCH_DB when that
    // is set, and then reused as it is) and fills it, telling `out` which it did; false after
    // writing the reason there.
    bool openOrFill(const Volume& volume, QTextStream& out);

    // The code of user n (1-based), as stored.
    static QString userCode(int n);

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace bench
