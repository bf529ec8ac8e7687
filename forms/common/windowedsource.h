#pragma once

#include "forms/common/rowsource.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QPair>
#include <QStringList>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

class QTimer;

namespace core {
class ReadQuery;
}

namespace forms {

// One column of a windowed list.
struct WindowedField {
    QString name; // as the grid and the search box know it
    QString expr; // its SQL expression in the block query ("A.DATA", "B.INTERESSADO")
    FieldType type = FieldType::Text;
    int width = 0;
    // A column of the listed table orders through its (column, key) index, the server handing the
    // rows over in the program's order. A name read through a join orders by the names of its own
    // table instead (`namesTable`, its key columns `namesKeys` and the name `namesColumn`): the
    // names are ranked first, then each name's rows are read through the listed table's index on
    // (`linkExprs`, record key), the columns that point at the names' keys.
    QString namesTable;
    QStringList namesKeys;
    QString namesColumn;
    QStringList linkExprs;
    // A stored text column whose words the server orders through its Brazilian collation
    // ("PROCESSOS.ASSUNTO"): in a database whose column has another collation it is scanned as it
    // lies and ordered here instead, so the order is the program's either way. On a joined name it
    // is the names' own column: with the collation, the server hands the names over in order
    // through their (name, key) index, and their rows are read as the names arrive, without
    // ranking the whole names table first.
    QString collatedColumn;
    // A joined name whose column has another collation, ordered in the program's order by the
    // server all the same through an index on an expression ("INTERESSADO COLLATE WIN_PTBR",
    // INTERESSADOS_O_NOME): its names are handed over in order like a collated column's.
    QString namesOrder;
    // A text blob the grid never shows (the dispatch): never read, shown empty.
    bool neverRead = false;
};

// What a windowed list reads: the listed table with its joins, the condition on the listed table
// (named parameters allowed), and its record key (text columns), the tie-breaker of every order.
struct WindowedSpec {
    QString blockFrom; // "PROCESSOS A LEFT JOIN INTERESSADOS B ON ..."
    QString baseFrom;  // "PROCESSOS A"
    QString condition; // "(:P_ANO = '0000' OR A.ANO = :P_ANO)"; empty: every row
    QStringList keyExprs;
    QList<WindowedField> fields;
    // The order before a column is chosen, as SQL terms ending with the key ("A.DATA_RECEBIMENTO
    // DESC", ..., "A.REGISTRO DESC"); an index in that order hands the first screen over without
    // reading the rest. Empty: the key's order.
    QStringList defaultOrder;
};

// Record keys of an order, row by row, each in a slot of one width (the key columns' widths): a
// few bytes a row, where a string object per row would cost 32.
class KeyList {
public:
    size_t size() const { return m_size; }
    void clear();
    void reserve(size_t rows);
    void push_back(std::string_view key);
    std::string_view at(size_t row) const;
    // Puts rows [begin, end) in key order.
    void sort(size_t begin, size_t end);

private:
    void widen(size_t width);
    std::vector<char> m_bytes;
    size_t m_width = 8;
    size_t m_size = 0;
};

// A list of hundreds of thousands of rows read from the server in windows, behind the same grid
// model and search box as the in-memory record set, and ordered by the same rule.
//
// Choosing an order reads only the record keys in that order, in slices from the event loop, so the
// window stays alive while a long list is read, and the rows read so far are shown at once: a
// stored column comes in order through its (column, key) index; a joined name is read in two steps,
// the names of its own table ranked first (equal names one place, blanks and rows whose link finds
// no name the first) or handed over in order by the server as they are needed, then the rows of
// each place through the listed table's (link, key) index, place after place. The list keeps the
// record keys in order (a few bytes a row) and a sample of the order values; the shown columns are
// read on demand in blocks of rows by their keys, so the grid never reads what it does not show,
// and the hidden blobs never. A nearest-key search finds its block among the samples (or its name
// among the places) and reads that block only; a key whose rows are not read yet leaves the search
// pending, the current row following the rows read until the answer arrives (the user's own move
// ends it). A failure of the server is kept in lastError() and announced by failed(), never
// swallowed.
class WindowedSource : public RowSource {
    Q_OBJECT
public:
    static constexpr int kBlockRows = 64;

    explicit WindowedSource(const WindowedSpec& spec, QObject* parent = nullptr);
    ~WindowedSource() override;

    void setConnectionName(const QString& name) { m_connectionName = name; }
    void setParameter(const QString& name, const QVariant& value);
    // Starts reading in the record key's order (or the chosen column's); false with lastError when
    // the server refuses the query. The rows arrive through the event loop.
    bool open();
    void close();
    bool isOpen() const { return m_open; }
    // Every row of the current order read (the row count is final).
    bool isComplete() const { return m_complete; }
    // Reads the rest of the order now; false on a failure. A pending search is answered.
    bool waitForComplete();
    // A nearest-key search waits for its rows (LocateResult::Pending).
    bool isSeeking() const { return m_seeking; }
    // How long a nearest-key search reads on for its rows before it leaves them to the background
    // reading.
    void setSeekWait(int ms) { m_seekWaitMs = ms; }
    QString lastError() const { return m_lastError; }
    // Rows read of the current order so far, and the time the reading took.
    int rowsRead() const { return int(m_keys.size() + m_pending.size()); }
    qint64 elapsedMs() const { return m_elapsed.isValid() ? m_elapsed.elapsed() : 0; }
    // The record key of a row, its parts in the order of the WindowedSpec's key columns.
    QStringList keyAt(int row) const;

    // --- RowSource --------------------------------------------------------------------------
    int rowCount() const override { return m_shown; }
    int fieldCount() const override { return int(m_spec.fields.size()); }
    QString fieldName(int field) const override;
    int fieldIndex(const QString& name) const override;
    FieldType fieldType(int field) const override;
    int fieldWidth(int field) const override;
    QVariant valueAt(int row, int field) const override;
    int currentRow() const override { return m_current; }
    void setCurrentRow(int row) override;
    bool sortBy(const QString& field) override;
    QString sortField() const override { return m_sortField; }
    LocateResult locateNearest(const QString& key) override;

signals:
    // Some rows more were read (the reading goes on).
    void progress(int rowsRead);
    // The current order has been read whole.
    void completed();
    // The server failed while reading; the text is the server's.
    void failed(const QString& text);

private:
    struct Block {
        std::vector<QVariantList> rows;
        quint64 used = 0;
    };
    // A row of an order built here: the place of its name among the names (a joined name) or the
    // index of its value (a stored column), and its key.
    struct Pending {
        int rank = 0;
        std::string key;
    };

    // The places of a joined name's order: place 0 the blank names (and the rows whose link finds
    // no name), then one place per distinct name in the program's order.
    struct Ranks {
        Ranks();
        std::string names;              // the names of places 1.., one after another (UTF-8)
        std::vector<quint32> nameEnd;   // place r's name ends at nameEnd[r] (nameEnd[0] = 0)
        std::vector<std::string> links; // the links of places 1.., place after place
        std::vector<quint32> firstLink; // place r's links: [firstLink[r], firstLink[r + 1])
        std::vector<int> firstRow;      // place r's first row in the order, once read
        int next = 1;                   // the first place whose rows are not read yet
        bool open = false;              // names still arriving: the last place may grow
        int count() const { return int(nameEnd.size()); }
        // Places whose links are all known.
        int ready() const { return open ? count() - 1 : count(); }
        QString name(int r) const;
        // The link of a name after the last one: a new place, or the last place's again.
        void add(const QString& name, std::string link, bool samePlace);
    };
    enum class NamesRead { Read, Failed, Restarted };

    bool startScan();
    bool startJoined(const WindowedField& field);
    bool readPlaces(int maxMs);
    NamesRead readNames(int maxRows, std::vector<std::string>* frontBlanks,
                        const QElapsedTimer* clock = nullptr, int maxMs = 0);
    void rankHere();
    bool readLostRows(int maxMs);
    void mergeLostRows();
    LocateResult settleSeek();
    void moveTo(int row);
    void resetOrder();
    bool readLinkRows(const std::vector<std::string>& links, size_t begin, size_t end,
                      const std::unordered_map<std::string, int>& placeOf,
                      std::vector<std::pair<int, std::string>>& rows);
    bool advance(int maxRows, int maxMs);
    void bindParameters(core::ReadQuery& q, const QString& sql) const;
    bool bindAndExec(core::ReadQuery& q, const QString& sql) const;
    bool prepareAndExec(core::ReadQuery& q, const QString& sql) const;
    bool scanSlice(int maxRows, int maxMs);
    void finishScan();
    void fail(const QString& text) const;
    void publish(bool force);
    void putBlanksInKeyOrder();
    bool serverOrders(const QString& collatedColumn) const;
    std::string keyOf(const core::ReadQuery& q, int firstKeyColumn) const;
    const Block* block(int index) const;
    void dropBlocks();
    int sortFieldIndex() const;

    WindowedSpec m_spec;
    QString m_connectionName;
    QList<QPair<QString, QVariant>> m_params;
    bool m_open = false;
    bool m_complete = false;
    QString m_sortField;
    int m_current = -1;
    int m_shown = 0;
    mutable QString m_lastError;
    mutable bool m_failAnnounced = false;

    // The current order: record keys row by row, and every kBlockRows-th order value.
    KeyList m_keys;
    std::vector<QVariant> m_samples;
    // The scan under way.
    std::unique_ptr<core::ReadQuery> m_scan;
    bool m_orderHere = false;
    int m_blankEnd = -1;                   // rows of the leading blank values (nulls, empty texts) once known
    bool m_blankMixed = false;             // empty texts among them: the server put them after the nulls
    QVariant m_lastValue;                  // last order value read by an ordered scan
    std::vector<Pending> m_pending;        // rows of an order built here
    std::vector<QVariant> m_pendingValues; // a stored column's values, by the rows' rank field
    bool m_joined = false;                 // the current order is a joined name's
    Ranks m_ranks;
    std::unique_ptr<core::ReadQuery> m_placeQuery; // a joined order's rows of a batch of links
    std::unique_ptr<core::ReadQuery> m_namesQuery; // the names, in order, as the server hands them over
    QString m_lastName;                            // the last name it handed over
    QStringList m_rankedHere;                      // joined names the server did not order as the program
    bool m_lostChecked = false;                    // rows whose link finds no name looked for
    std::unique_ptr<core::ReadQuery> m_lostQuery;  // ... and being read
    std::vector<std::string> m_lostKeys;
    // A nearest-key search waiting for its rows.
    bool m_seeking = false;
    bool m_answered = false; // ... or answered, the user not having moved since
    QVariant m_seekKey;
    int m_seekWaitMs;
    QTimer* m_slice = nullptr;
    QElapsedTimer m_elapsed;
    QElapsedTimer m_sincePublish;

    mutable QHash<int, Block> m_blocks;
    mutable std::unique_ptr<core::ReadQuery> m_blockQuery; // the rows of a block by their keys
    mutable quint64 m_use = 0;
};

} // namespace forms
