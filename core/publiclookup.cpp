#include "core/publiclookup.h"

#include <QJsonArray>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

namespace core::consulta {

namespace {

// 32 random bytes: the secret is as strong as the HMAC's key can use.
constexpr int kSecretBytes = 32;

QString isoDate(const QDate& date) {
    return date.isValid() ? date.toString(Qt::ISODate) : QString();
}

QByteArray randomSecret() {
    QByteArray bytes(kSecretBytes, Qt::Uninitialized);
    QRandomGenerator::system()->generate(reinterpret_cast<quint32*>(bytes.data()),
                                         reinterpret_cast<quint32*>(bytes.data() + bytes.size()));
    return bytes;
}

} // namespace

QString normaliseNumber(const QString& typed) {
    const QString t = typed.trimmed();
    if (t.isEmpty() || t.size() > 8) return QString();
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return QString();
    return t.rightJustified(8, QLatin1Char('0'));
}

QString normaliseYear(const QString& typed) {
    const QString t = typed.trimmed();
    if (t.size() != 4) return QString();
    for (const QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return QString();
    return t;
}

QString normaliseCode(const QString& typed) {
    QString out;
    for (const QChar c : typed) {
        if (c.isSpace() || c == QLatin1Char('-')) continue;
        out += c.toUpper();
    }
    return out;
}

QString verificationCode(const QByteArray& secret, const QString& number, const QString& year) {
    const QString n = normaliseNumber(number);
    const QString y = normaliseYear(year);
    if (secret.isEmpty() || n.isEmpty() || y.isEmpty()) return QString();
    const QByteArray mac = QMessageAuthenticationCode::hash((n + QLatin1Char('/') + y).toLatin1(), secret,
                                                            QCryptographicHash::Sha256);
    // The first 40 bits, five at a time.
    quint64 bits = 0;
    for (int i = 0; i < 5; ++i)
        bits = (bits << 8) | quint8(mac.at(i));
    QString code(kCodeLength, QLatin1Char(' '));
    for (int i = kCodeLength - 1; i >= 0; --i) {
        code[i] = QLatin1Char(kCodeAlphabet[bits & 31]);
        bits >>= 5;
    }
    return code;
}

bool codeMatches(const QByteArray& secret, const QString& number, const QString& year, const QString& typed) {
    const QString expected = verificationCode(secret, number, year);
    const QString given = normaliseCode(typed);
    // Every character is compared whatever the earlier ones gave; only the length (public) ends
    // it early.
    if (expected.isEmpty() || given.size() != expected.size()) return false;
    ushort diff = 0;
    for (int i = 0; i < expected.size(); ++i)
        diff |= expected.at(i).unicode() ^ given.at(i).unicode();
    return diff == 0;
}

QByteArray readSecret(const QSqlDatabase& db, QString* errorText) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT SEGREDO FROM CONSULTA_SEGREDO WHERE ID = 1"))) {
        if (errorText) *errorText = q.lastError().text();
        return {};
    }
    if (!q.next()) {
        if (errorText) *errorText = QStringLiteral("A tabela CONSULTA_SEGREDO não tem segredo gravado.");
        return {};
    }
    const QByteArray secret = QByteArray::fromHex(q.value(0).toString().toLatin1());
    if (secret.isEmpty() && errorText)
        *errorText = QStringLiteral("O segredo gravado em CONSULTA_SEGREDO está vazio.");
    return secret;
}

bool ensureSecret(QSqlDatabase& db, QString* errorText, bool* created) {
    if (created) *created = false;
    QSqlQuery q(db);
    // Only when there is none: the key on ID refuses a second workstation doing the same at once.
    q.prepare(QStringLiteral("INSERT INTO CONSULTA_SEGREDO (ID, SEGREDO, CRIADO) "
                             "SELECT 1, ?, CURRENT_TIMESTAMP FROM RDB$DATABASE "
                             "WHERE NOT EXISTS (SELECT 1 FROM CONSULTA_SEGREDO WHERE ID = 1)"));
    q.addBindValue(QString::fromLatin1(randomSecret().toHex()));
    const bool ran = q.exec();
    if (ran && created) *created = q.numRowsAffected() > 0;
    QString readError;
    const bool there = !readSecret(db, &readError).isEmpty();
    if (!there && errorText) *errorText = ran ? readError : q.lastError().text();
    return there;
}

bool renewSecret(QSqlDatabase& db, QString* errorText) {
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE OR INSERT INTO CONSULTA_SEGREDO (ID, SEGREDO, CRIADO) "
                             "VALUES (1, ?, CURRENT_TIMESTAMP) MATCHING (ID)"));
    q.addBindValue(QString::fromLatin1(randomSecret().toHex()));
    if (!q.exec()) {
        if (errorText) *errorText = q.lastError().text();
        return false;
    }
    return true;
}

QString renewConfirmationText() {
    return QStringLiteral("Atenção,\nrenovar o código de consulta pública?\n"
                          "Os códigos de verificação já impressos nos protocolos deixarão de funcionar "
                          "e os cidadãos não poderão mais consultar esses processos pela internet.");
}

QString renewedText() {
    return QStringLiteral("Código de consulta pública renovado com sucesso!");
}

namespace {

const QString kProcessSql =
    QStringLiteral("SELECT P.DATA, U.REGISTRO, U.DATA, U.ARQUIVADO, N.UNIDADE FROM PROCESSOS P "
                   "LEFT JOIN ULTIMA_TRAMITACAO U ON U.IDPROCESSO = P.IDPROCESSO AND U.ANO = P.ANO "
                   "LEFT JOIN UNIDADES N ON N.IDUNIDADE = U.IDUNIDADE "
                   "WHERE P.IDPROCESSO = ? AND P.ANO = ?");
const QString kMovementsSql =
    QStringLiteral("SELECT T.REGISTRO, T.DATA, T.DATA_RECEBIMENTO, T.DATA_ARQUIVAMENTO, N.UNIDADE "
                   "FROM TRAMITACAO T LEFT JOIN UNIDADES N ON N.IDUNIDADE = T.IDUNIDADE "
                   "WHERE T.IDPROCESSO = ? AND T.ANO = ? ORDER BY T.DATA, T.HORA, T.REGISTRO");

} // namespace

struct Reader::Statements {
    explicit Statements(const QSqlDatabase& db)
        : process(db)
        , movements(db) {
        process.setForwardOnly(true);
        movements.setForwardOnly(true);
    }
    QSqlQuery process;
    QSqlQuery movements;
    bool prepared = false;
};

Reader::Reader(const QSqlDatabase& db)
    : m_db(db)
    , m_statements(std::make_unique<Statements>(db)) {}

Reader::~Reader() = default;

LookupResult Reader::lookup(const QByteArray& secret, const QString& number, const QString& year,
                            const QString& code, PublicStatus* status, QString* errorText) {
    const QString n = normaliseNumber(number);
    const QString y = normaliseYear(year);
    if (n.isEmpty() || y.isEmpty() || normaliseCode(code).size() != kCodeLength) return LookupResult::Invalid;
    if (!codeMatches(secret, n, y, code)) return LookupResult::NotFound;

    Statements& st = *m_statements;
    bool own = false; // a transaction of the caller's is left to the caller
    const auto failed = [&](const QSqlQuery& q) {
        if (errorText) *errorText = q.lastError().text();
        if (own) m_db.rollback();
        st.prepared = false; // a lost connection takes its statements with it
        return LookupResult::Failed;
    };
    if (!st.prepared) {
        if (!st.process.prepare(kProcessSql)) return failed(st.process);
        if (!st.movements.prepare(kMovementsSql)) return failed(st.movements);
        st.prepared = true;
    }
    own = m_db.transaction();
    PublicStatus s;
    s.number = n;
    s.year = y;
    QSqlQuery& q = st.process;
    q.addBindValue(n);
    q.addBindValue(y);
    if (!q.exec()) return failed(q);
    if (!q.next()) {
        q.finish();
        if (own) m_db.commit();
        return LookupResult::NotFound;
    }
    s.registered = q.value(0).toDate();
    const QString latest = q.value(1).toString();
    s.sent = !latest.isEmpty();
    s.since = q.value(2).toDate();
    s.archived = q.value(3).toInt() == 1;
    s.unit = q.value(4).toString().trimmed();
    q.finish();

    if (s.sent) {
        QSqlQuery& m = st.movements;
        m.addBindValue(n);
        m.addBindValue(y);
        if (!m.exec()) return failed(m);
        while (m.next()) {
            PublicMovement pm;
            pm.unit = m.value(4).toString().trimmed();
            pm.sent = m.value(1).toDate();
            pm.received = m.value(2).toDate();
            s.movements << pm;
            if (m.value(0).toString() == latest) {
                s.received = pm.received;
                if (s.archived) s.archivedOn = m.value(3).toDate();
            }
        }
        m.finish();
    }
    if (own) m_db.commit();
    if (status) *status = s;
    return LookupResult::Found;
}

LookupResult lookup(const QSqlDatabase& db, const QByteArray& secret, const QString& number,
                    const QString& year, const QString& code, PublicStatus* status, QString* errorText) {
    Reader reader(db);
    return reader.lookup(secret, number, year, code, status, errorText);
}

QString situationText(const PublicStatus& s) {
    if (!s.sent) return QStringLiteral("Registrado no protocolo, ainda não enviado a outra unidade");
    if (s.archived) return QStringLiteral("Arquivado");
    if (s.received.isValid()) return QStringLiteral("Recebido pela unidade");
    return QStringLiteral("Enviado, aguardando recebimento pela unidade");
}

QJsonObject toJson(const PublicStatus& s) {
    QJsonObject o;
    o.insert(QStringLiteral("processo"), s.number);
    o.insert(QStringLiteral("ano"), s.year);
    o.insert(QStringLiteral("registrado_em"), isoDate(s.registered));
    o.insert(QStringLiteral("situacao"), situationText(s));
    o.insert(QStringLiteral("enviado"), s.sent);
    o.insert(QStringLiteral("unidade_atual"), s.sent ? QJsonValue(s.unit) : QJsonValue());
    o.insert(QStringLiteral("desde"), s.sent ? QJsonValue(isoDate(s.since)) : QJsonValue());
    o.insert(QStringLiteral("recebido"), s.received.isValid());
    o.insert(QStringLiteral("recebido_em"),
             s.received.isValid() ? QJsonValue(isoDate(s.received)) : QJsonValue());
    o.insert(QStringLiteral("arquivado"), s.archived);
    o.insert(QStringLiteral("arquivado_em"), s.archived ? QJsonValue(isoDate(s.archivedOn)) : QJsonValue());
    o.insert(QStringLiteral("quantidade_tramitacoes"), s.movements.size());
    QJsonArray list;
    for (const PublicMovement& m : s.movements) {
        QJsonObject mo;
        mo.insert(QStringLiteral("unidade"), m.unit);
        mo.insert(QStringLiteral("enviado_em"), isoDate(m.sent));
        mo.insert(QStringLiteral("recebido_em"),
                  m.received.isValid() ? QJsonValue(isoDate(m.received)) : QJsonValue());
        list.append(mo);
    }
    o.insert(QStringLiteral("tramitacoes"), list);
    return o;
}

QString lookupUrl(const QString& publicAddress, const QString& number, const QString& year,
                  const QString& code) {
    const QString base = publicAddress.trimmed();
    if (base.isEmpty()) return QString();
    QUrl url(base);
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("numero"), normaliseNumber(number));
    query.addQueryItem(QStringLiteral("ano"), normaliseYear(year));
    query.addQueryItem(QStringLiteral("codigo"), normaliseCode(code));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

} // namespace core::consulta
