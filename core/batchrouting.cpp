#include "core/batchrouting.h"

#include "core/connection.h"

namespace core::batch {

namespace {

routing::Stamp stampOf(Action action) {
    switch (action) {
    case Action::PhysicalReceipt:
        return routing::Stamp::PhysicalReceipt;
    case Action::Archiving:
        return routing::Stamp::Archiving;
    case Action::Unarchiving:
        return routing::Stamp::Unarchiving;
    default:
        return routing::Stamp::ElectronicReceipt;
    }
}

// Sends one movement on to the batch's destination, from the movement the list showed: checked as
// the single "Tramitar" checks it (received, not archived), then written by the one sending
// function, which checks under the process's lock that it still stands there.
routing::Outcome sendOne(const QSqlDatabase& db, const routing::Sending& common, const Item& item) {
    // The single "Tramitar" offers the receipt first; a batch cannot ask for each one.
    if (!item.stamps.received.isValid()) return {routing::Outcome::Refused, routing::receiveFirstMessage()};
    const QString start = routing::sendingStartRefusal(item.stamps);
    if (!start.isEmpty()) return {routing::Outcome::Refused, start};
    routing::Sending s = common;
    s.process = item.process;
    s.year = item.year;
    s.subject = item.subject;
    s.expectedLatest = item.stamps.registro;
    s.registro.clear();
    routing::Outcome outcome = routing::sendDrawingRegister(db, s);
    if (outcome.done()) outcome.text = s.registro;
    return outcome;
}

QString oneLine(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text.simplified();
}

QString processes(int n) {
    return n == 1 ? QStringLiteral("1 processo") : QStringLiteral("%1 processos").arg(n);
}

} // namespace

int Summary::count(Result::Kind kind) const {
    int n = 0;
    for (const Result& r : results)
        if (r.kind == kind) ++n;
    return n;
}

Summary run(const QSqlDatabase& db, const Request& request, const QList<Item>& items,
            const Progress& progress) {
    Summary summary;
    summary.action = request.action;
    summary.sending = request.sending;
    for (const Item& item : items) {
        Result r;
        r.item = item;
        summary.results << r;
    }
    const int total = int(items.size());
    for (int i = 0; i < total; ++i) {
        Result& r = summary.results[i];
        const routing::Outcome outcome = request.action == Action::SendingOn
                                             ? sendOne(db, request.sending, r.item)
                                             : routing::stamp(db, stampOf(request.action), r.item.stamps,
                                                              request.reason, routing::workstationNow());
        switch (outcome.kind) {
        case routing::Outcome::Done:
            r.kind = Result::Done;
            if (request.action == Action::SendingOn) r.newRegister = outcome.text;
            break;
        case routing::Outcome::Refused:
            r.kind = Result::Refused;
            r.text = outcome.text;
            break;
        case routing::Outcome::Failed:
            r.kind = Result::Failed;
            r.text = outcome.text;
            break;
        }
        // Without a connection every further movement would fail the same way: the rest waits
        // for the user's next action, which opens it again.
        if (outcome.connectionLost) {
            summary.connectionLost = true;
            break;
        }
        if (progress && !progress(i + 1, total) && i + 1 < total) {
            summary.cancelled = true;
            break;
        }
    }
    return summary;
}

QString question(Action action, int count) {
    QString verb;
    switch (action) {
    case Action::ElectronicReceipt:
        verb = QStringLiteral("Receber Eletronicamente");
        break;
    case Action::PhysicalReceipt:
        verb = QStringLiteral("Receber Fisicamente");
        break;
    case Action::Archiving:
        verb = QStringLiteral("Arquivar");
        break;
    case Action::Unarchiving:
        verb = QStringLiteral("Desarquivar");
        break;
    case Action::SendingOn:
        verb = QStringLiteral("Tramitar");
        break;
    }
    return QStringLiteral("Deseja %1 os %2 Processos selecionados ?").arg(verb).arg(count);
}

QString actionName(Action action) {
    switch (action) {
    case Action::ElectronicReceipt:
        return QStringLiteral("Recebimento Eletrônico");
    case Action::PhysicalReceipt:
        return QStringLiteral("Recebimento Físico");
    case Action::Archiving:
        return QStringLiteral("Arquivamento");
    case Action::Unarchiving:
        return QStringLiteral("Desarquivamento");
    case Action::SendingOn:
        return QStringLiteral("Tramitação");
    }
    return {};
}

QString progressText(Action action, int done, int total) {
    QString verb;
    switch (action) {
    case Action::ElectronicReceipt:
        verb = QStringLiteral("Recebendo eletronicamente");
        break;
    case Action::PhysicalReceipt:
        verb = QStringLiteral("Recebendo fisicamente");
        break;
    case Action::Archiving:
        verb = QStringLiteral("Arquivando");
        break;
    case Action::Unarchiving:
        verb = QStringLiteral("Desarquivando");
        break;
    case Action::SendingOn:
        verb = QStringLiteral("Tramitando");
        break;
    }
    return QStringLiteral("%1: %2 de %3").arg(verb).arg(done).arg(processes(total));
}

QString itemText(const Item& item) {
    return QStringLiteral("Processo %1/%2 - Registro %3").arg(item.process, item.year, item.stamps.registro);
}

QString summaryText(const Summary& s) {
    QStringList lines;
    const int selected = int(s.results.size());
    lines << QStringLiteral("%1 em lote: %2 %3.")
                 .arg(actionName(s.action), processes(selected),
                      selected == 1 ? QStringLiteral("selecionado") : QStringLiteral("selecionados"));
    if (s.action == Action::SendingOn)
        lines << QStringLiteral("Destino: Unidade %1, Usuário %2 - %3")
                     .arg(s.sending.unit, s.sending.destination, s.sending.destinationName);
    lines << QString();
    lines << QStringLiteral("Realizados: %1").arg(s.count(Result::Done));
    for (const Result& r : s.results) {
        if (r.kind != Result::Done) continue;
        QString line = QStringLiteral("  ") + itemText(r.item);
        if (!r.newRegister.isEmpty()) line += QStringLiteral(" -> novo Registro %1").arg(r.newRegister);
        lines << line;
    }
    lines << QStringLiteral("Recusados: %1").arg(s.count(Result::Refused));
    for (const Result& r : s.results)
        if (r.kind == Result::Refused)
            lines << QStringLiteral("  %1: %2").arg(itemText(r.item), oneLine(r.text));
    if (const int failed = s.count(Result::Failed)) {
        lines << QStringLiteral("Falhas: %1").arg(failed);
        for (const Result& r : s.results)
            if (r.kind == Result::Failed)
                lines << QStringLiteral("  %1: %2").arg(itemText(r.item), oneLine(r.text));
    }
    if (const int left = s.count(Result::NotStarted)) {
        const QString why = s.connectionLost ? QStringLiteral("conexão perdida")
                                             : QStringLiteral("lote cancelado pelo usuário");
        lines << QStringLiteral("Não realizados (%1): %2").arg(why).arg(left);
        for (const Result& r : s.results)
            if (r.kind == Result::NotStarted) lines << QStringLiteral("  ") + itemText(r.item);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace core::batch
