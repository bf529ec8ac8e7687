#include "forms/processes/recebimentopendencia.h"

#include "core/activity.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/handoff.h"
#include "core/session.h"
#include "core/waiting.h"
#include "forms/common/formwindow.h"
#include "forms/processes/resumolote.h"
#include "forms/processes/tramitacao.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

namespace processes {

using namespace forms;
namespace routing = core::routing;
using Stamp = routing::Stamp;

QPointer<TFrm_RecebimentoPendencia> Frm_RecebimentoPendencia;

namespace {

// The workstation's hot-track blue.
const QColor kBackground(0, 102, 204);

GridColumn column(const char* title, const char* field, int width = 0) {
    GridColumn c;
    c.title = QString::fromUtf8(title);
    c.field = QString::fromLatin1(field);
    c.width = width;
    return c;
}

// Digits are wider than the font's average character: codes, dates and times get room for theirs.
constexpr int kCodeColumn = 82;
constexpr int kDateColumn = 90;
constexpr int kTimeColumn = 76;

GridColumn computed(const char* title, const char* field, int width,
                    std::function<QString(const RowSource&, int)> text) {
    GridColumn c = column(title, field, width);
    c.text = std::move(text);
    return c;
}

// An overdue movement's row: a light red that leaves the black text readable.
const QColor kOverdue(255, 190, 190);

QVariant valueOf(const RowSource& s, int row, const char* field) {
    return s.valueAt(row, s.fieldIndex(QString::fromLatin1(field)));
}

// Days waited since the sending and the days left of the deadline, counted to the workstation's
// date; archived (and not unarchived) the process waits for nobody.
core::WaitState waitOf(const RowSource& s, int row) {
    const QDate sent = valueOf(s, row, "DATA").toDate();
    const QDate due = valueOf(s, row, "PRAZO").toDate();
    std::optional<int> deadline;
    if (sent.isValid() && due.isValid()) deadline = int(sent.daysTo(due));
    const bool archived = valueOf(s, row, "DATA_ARQUIVAMENTO").toDate().isValid() &&
                          !valueOf(s, row, "DATA_DESARQUIVAMENTO").toDate().isValid();
    return core::waitState(sent, QDate::currentDate(), deadline, archived);
}

WindowedField field(const char* name, const QString& expr, FieldType type, int width = 0) {
    WindowedField f;
    f.name = QString::fromLatin1(name);
    f.expr = expr;
    f.type = type;
    f.width = width;
    return f;
}

WindowedField stored(const char* name, FieldType type, int width = 0) {
    return field(name, QStringLiteral("A.") + QString::fromLatin1(name), type, width);
}

// A name read through the movement's link, written as a subquery so that the list's condition and
// its order stay on TRAMITACAO alone; ordered by the program's rule unless the server's collation
// is that rule.
WindowedField linked(const char* name, const char* subquery, const char* column, int width) {
    WindowedField f = field(name, QString::fromLatin1(subquery), FieldType::Text, width);
    f.collatedColumn = QString::fromLatin1(column);
    return f;
}

} // namespace

WindowedSpec pendingRows() {
    WindowedSpec s;
    s.baseFrom = QStringLiteral("TRAMITACAO A");
    s.blockFrom = s.baseFrom;
    s.condition = routing::pendingCondition();
    s.keyExprs = {QStringLiteral("A.REGISTRO")};
    // Newest receipt first, the movements not yet received after every received one (the
    // database's place for empty values in a descending order), the newest movement first among
    // equals: the order of the destination's descending index TRAMITACAO_PENDENTES, which hands
    // over the first screen after looking at a few hundred of the user's movements.
    s.defaultOrder = {QStringLiteral("A.COD_USUARIO_DESTINO DESC"), QStringLiteral("A.DATA_RECEBIMENTO DESC"),
                      QStringLiteral("A.HORA_RECEBIMENTO DESC"), QStringLiteral("A.REGISTRO DESC")};
    s.fields = {
        stored("REGISTRO", FieldType::Text, 8),
        stored("IDPROCESSO", FieldType::Text, 8),
        stored("ANO", FieldType::Text, 4),
        stored("IDSETOR", FieldType::Text, 6),
        stored("COD_USUARIO_DESTINO", FieldType::Text, 8),
        stored("DATA", FieldType::Date),
        stored("HORA", FieldType::Time),
        stored("DATA_RECEBIMENTO", FieldType::Date),
        stored("HORA_RECEBIMENTO", FieldType::Time),
        stored("ARQUIVADO", FieldType::Text, 3),
        stored("COD_USUARIO", FieldType::Text, 8),
        linked("ASSUNTO",
               "(SELECT B.ASSUNTO FROM PROCESSOS B WHERE B.IDPROCESSO = A.IDPROCESSO AND B.ANO = A.ANO)",
               "PROCESSOS.ASSUNTO", 255),
        linked("SETOR", "(SELECT C.SETOR FROM SETORES C WHERE C.IDSETOR = A.IDSETOR)", "SETORES.SETOR", 100),
        linked("USUARIO_DESTINO",
               "(SELECT D.USUARIO FROM USUARIOS D WHERE D.COD_USUARIO = A.COD_USUARIO_DESTINO)",
               "USUARIOS.USUARIO", 100),
        linked("USUARIO", "(SELECT E.USUARIO FROM USUARIOS E WHERE E.COD_USUARIO = A.COD_USUARIO)",
               "USUARIOS.USUARIO", 100),
        stored("DATA_RECEBIMENTO_FISICO", FieldType::Date),
        stored("HORA_RECEBIMENTO_FISICO", FieldType::Time),
        stored("DATA_ARQUIVAMENTO", FieldType::Date),
        stored("HORA_ARQUIVAMENTO", FieldType::Time),
        stored("DATA_DESARQUIVAMENTO", FieldType::Date),
        stored("HORA_DESARQUIVAMENTO", FieldType::Time),
        // The waiting time orders by the sending day, the deadline by the day it falls due.
        field("ESPERA", QStringLiteral("A.DATA"), FieldType::Date),
        field("PRAZO",
              QStringLiteral("(SELECT DATEADD(P.DIAS DAY TO A.DATA) FROM PROCESSOS B "
                             "JOIN PRAZOS_TIPOPROCESSO P ON P.IDTIPO = B.IDTIPOPROCESSO "
                             "WHERE B.IDPROCESSO = A.IDPROCESSO AND B.ANO = A.ANO)"),
              FieldType::Date),
    };
    return s;
}

TFrm_RecebimentoPendencia::TFrm_RecebimentoPendencia(QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Frm_RecebimentoPendencia"));
    prepareWindow(this, QSize(1015, 354));
    setWindowTitle(QStringLiteral("Recebimento / Pendência"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);

    m_records = new WindowedSource(pendingRows(), this);
    m_records->setObjectName(QStringLiteral("cdsDados"));
    // A failure while the rest of the list or a screen of it is read: the server's text.
    connect(m_records, &WindowedSource::failed, this,
            [this](const QString& text) { core::dialogs().error(this, text); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 10);
    layout->setSpacing(8);
    auto* heading = new QLabel(QStringLiteral("Clique com o botão direito no processo escolhido."), this);
    heading->setObjectName(QStringLiteral("Label1"));
    QFont headingFont(QStringLiteral("Arial"));
    headingFont.setPointSize(15);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    QPalette headingPal = heading->palette();
    headingPal.setColor(QPalette::WindowText, Qt::white);
    heading->setPalette(headingPal);
    // The heading, and at its right how many rows are selected.
    auto* top = new QHBoxLayout;
    top->addWidget(heading);
    top->addStretch(1);
    m_selectionCount = new QLabel(this);
    m_selectionCount->setObjectName(QStringLiteral("LSelecionados"));
    QFont countFont(QStringLiteral("Arial"));
    countFont.setPointSize(11);
    countFont.setBold(true);
    m_selectionCount->setFont(countFont);
    m_selectionCount->setPalette(headingPal);
    // Room for the longest count, so that the text never waits for the layout to grow.
    m_selectionCount->setMinimumWidth(
        QFontMetrics(countFont).horizontalAdvance(QStringLiteral("99999 processos selecionados")) + 4);
    m_selectionCount->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    top->addWidget(m_selectionCount, 0, Qt::AlignBottom);
    layout->addLayout(top);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    layout->addWidget(m_grid, 1);
    m_model = new GridModel(
        m_records,
        {column("Registro", "REGISTRO", kCodeColumn),
         column("Nº Processo", "IDPROCESSO", kCodeColumn + 6),
         column("Cód.Setor", "IDSETOR"),
         column("Cód.Usuário Destino", "COD_USUARIO_DESTINO"),
         column("Data", "DATA", kDateColumn),
         column("Hora", "HORA", kTimeColumn),
         column("Dt.Recebimento", "DATA_RECEBIMENTO"),
         column("Hora Recebimento", "HORA_RECEBIMENTO"),
         column("Dt.Recebimento Físico", "DATA_RECEBIMENTO_FISICO"),
         column("Hora Recebimento Físico", "HORA_RECEBIMENTO_FISICO"),
         column("Arquivado", "ARQUIVADO"),
         column("Cód.Usuário", "COD_USUARIO"),
         column("Assunto", "ASSUNTO", kWideColumn),
         column("Setor", "SETOR", 160),
         column("Usuário Destino", "USUARIO_DESTINO", 220),
         column("Usuário", "USUARIO", 220),
         column("DATA_ARQUIVAMENTO", "DATA_ARQUIVAMENTO"),
         column("HORA_ARQUIVAMENTO", "HORA_ARQUIVAMENTO"),
         column("DATA_DESARQUIVAMENTO", "DATA_DESARQUIVAMENTO"),
         column("HORA_DESARQUIVAMENTO", "HORA_DESARQUIVAMENTO"),
         computed("Dias", "ESPERA", 70,
                  [](const RowSource& s, int row) { return core::waitingText(waitOf(s, row)); }),
         computed("Prazo", "PRAZO", 120,
                  [](const RowSource& s, int row) { return core::deadlineText(waitOf(s, row)); })},
        this);
    m_model->setRowMark([](const RowSource& s, int row) {
        const core::WaitState state = waitOf(s, row);
        if (!state.overdue()) return RowMark{};
        return RowMark{kOverdue, core::deadlineText(state)};
    });
    setupGrid(m_grid, m_model);
    // Several rows can be selected and worked at once.
    m_grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFrm_RecebimentoPendencia::showSelectionCount);
    connect(m_model, &QAbstractItemModel::modelReset, this, &TFrm_RecebimentoPendencia::showSelectionCount);
    // A title click orders the list by that column (there is no search box).
    m_search = new GridSearch(nullptr, nullptr, m_grid, m_model, {}, this);

    m_menu = new QMenu(m_grid);
    m_menu->setObjectName(QStringLiteral("PopupMenu1"));
    const QList<std::tuple<const char*, QString, void (TFrm_RecebimentoPendencia::*)()>> entries{
        {"RecebeProcessoEletronico", QStringLiteral("Recebe Processo Eletrônico"),
         &TFrm_RecebimentoPendencia::RecebeProcessoEletronicoClick},
        {"RecebeProcessoFisico", QStringLiteral("Recebe Processo Físico"),
         &TFrm_RecebimentoPendencia::RecebeProcessoFisicoClick},
        {"Tramitar", QStringLiteral("Tramitar"), &TFrm_RecebimentoPendencia::TramitarClick},
        {"ArquivarProcesso", QStringLiteral("Arquivar Processo"),
         &TFrm_RecebimentoPendencia::ArquivarProcessoClick},
        {"DesarquivarProcesso", QStringLiteral("Desarquivar Processo"),
         &TFrm_RecebimentoPendencia::DesarquivarProcessoClick}};
    for (const auto& [name, text, handler] : entries) {
        QAction* action = m_menu->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
    }
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_grid, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        // The row under the pointer becomes the current one, as a right click selects it.
        const QModelIndex index = m_grid->indexAt(pos);
        // On a row of the selection the selection stays (the entries act on all of it); on any
        // other row that row alone is chosen.
        if (index.isValid() && m_grid->selectionModel()->isRowSelected(index.row(), QModelIndex()))
            m_grid->selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        else if (index.isValid())
            m_records->setCurrentRow(index.row());
        m_menu->popup(m_grid->viewport()->mapToGlobal(pos));
    });

    m_fechar = new QPushButton(QStringLiteral("&Fechar"), this);
    m_fechar->setObjectName(QStringLiteral("Botao_Fechar"));
    m_fechar->setAutoDefault(true);
    m_fechar->setMinimumHeight(32);
    connect(m_fechar, &QPushButton::clicked, this, &TFrm_RecebimentoPendencia::Botao_FecharClick);
    layout->addWidget(m_fechar);
}

TFrm_RecebimentoPendencia::~TFrm_RecebimentoPendencia() = default;

bool TFrm_RecebimentoPendencia::reload(const QString& user, QString* error) {
    m_user = user;
    // The order a title click chose stays: the source reads the list again in it, the cursor on
    // its first row.
    m_records->close();
    m_records->setParameter(QStringLiteral("UM"), user);
    if (!m_records->open()) {
        if (error) *error = m_records->lastError();
        return false;
    }
    m_records->setCurrentRow(0);
    return true;
}

bool TFrm_RecebimentoPendencia::reread() {
    // A failure is told by the source's failed() from the event loop.
    return reload(m_user);
}

QVariant TFrm_RecebimentoPendencia::current(const char* field) const {
    return m_records->valueAt(m_records->currentRow(), m_records->fieldIndex(QString::fromLatin1(field)));
}

QString TFrm_RecebimentoPendencia::currentText(const char* field) const {
    return current(field).toString();
}

void TFrm_RecebimentoPendencia::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_fechar->setFocus();
}

routing::MovementStamps TFrm_RecebimentoPendencia::currentStamps() const {
    routing::MovementStamps m;
    m.registro = currentText("REGISTRO");
    m.received = current("DATA_RECEBIMENTO").toDate();
    m.physicallyReceived = current("DATA_RECEBIMENTO_FISICO").toDate();
    m.archived = current("DATA_ARQUIVAMENTO").toDate();
    m.unarchived = current("DATA_DESARQUIVAMENTO").toDate();
    return m;
}

namespace {

// What the status bar says after a stamp, behind the process's name.
QString finishedWords(routing::Stamp stamp) {
    switch (stamp) {
    case routing::Stamp::ElectronicReceipt:
        return QStringLiteral(" recebido");
    case routing::Stamp::PhysicalReceipt:
        return QStringLiteral(" recebido fisicamente");
    case routing::Stamp::Archiving:
        return QStringLiteral(" arquivado");
    case routing::Stamp::Unarchiving:
        return QStringLiteral(" desarquivado");
    }
    return {};
}

} // namespace

bool TFrm_RecebimentoPendencia::readyAfterOutage() {
    if (!core::mainConnectionLost()) return true;
    // The list's statements went with the lost connection: it is opened again and the list read
    // anew, the cursor back on the movement chosen. Still gone, the user has been told already.
    const QStringList key = m_records->keyAt(m_records->currentRow());
    if (!core::ensureConnection(core::mainConnection()) || !reread()) return false;
    if (key.isEmpty()) return true;
    for (int r = 0; r < m_records->rowCount(); ++r) {
        if (m_records->keyAt(r) != key) continue;
        m_records->setCurrentRow(r);
        return true;
    }
    // No longer waiting here: sent on from another desk meanwhile.
    core::dialogs().message(this, routing::alreadyForwardedMessage());
    return false;
}

void TFrm_RecebimentoPendencia::runStamp(Stamp stamp, const QString& question) {
    core::DialogService& dialogs = core::dialogs();
    if (!readyAfterOutage()) return;
    if (m_records->rowCount() == 0 || m_records->currentRow() < 0) {
        dialogs.message(this, routing::noProcessMessage());
        return;
    }
    // The checks use the values as the list last read them.
    const routing::MovementStamps movement = currentStamps();
    const QString refusal = routing::stampRefusal(stamp, movement);
    if (!refusal.isEmpty()) {
        dialogs.message(this, refusal);
        return;
    }
    if (!dialogs.question(this, question, core::DialogService::DefaultButton::Yes)) return;
    QString reason;
    if (stamp == Stamp::Archiving || stamp == Stamp::Unarchiving) {
        const std::optional<QString> typed =
            dialogs.input(this, QStringLiteral("Atenção"),
                          stamp == Stamp::Archiving ? archiveReasonPrompt() : unarchiveReasonPrompt());
        if (!typed) {
            dialogs.message(this, routing::cancelledMessage());
            return;
        }
        reason = *typed;
        // Refused before anything is written: empty, longer than the column, or not storable.
        const QString problem = routing::reasonRefusal(stamp, reason);
        if (!problem.isEmpty()) {
            dialogs.message(this, problem);
            return;
        }
    }
    const QString process = core::processName(currentText("IDPROCESSO"), currentText("ANO"));
    const routing::Outcome outcome = routing::stamp(core::mainConnection(), stamp, movement, reason);
    switch (outcome.kind) {
    case routing::Outcome::Done:
        core::announceFinished(process + finishedWords(stamp));
        reread();
        break;
    case routing::Outcome::Refused:
        // Another workstation got there first: the same refusal, and the list shows its stamp.
        dialogs.message(this, outcome.text);
        reread();
        break;
    case routing::Outcome::Failed:
        // A lost connection has been told once; the next action opens it again.
        if (!outcome.connectionLost) dialogs.error(this, outcome.text);
        break;
    }
}

void TFrm_RecebimentoPendencia::RecebeProcessoEletronicoClick() {
    if (const QList<int> rows = selectedRows(); rows.size() > 1) {
        runBatch(core::batch::Action::ElectronicReceipt, rows);
        return;
    }
    runStamp(Stamp::ElectronicReceipt, receiveQuestion());
}

void TFrm_RecebimentoPendencia::RecebeProcessoFisicoClick() {
    if (const QList<int> rows = selectedRows(); rows.size() > 1) {
        runBatch(core::batch::Action::PhysicalReceipt, rows);
        return;
    }
    // The physical receipt asks with the same words as the electronic one.
    runStamp(Stamp::PhysicalReceipt, receiveQuestion());
}

void TFrm_RecebimentoPendencia::ArquivarProcessoClick() {
    if (const QList<int> rows = selectedRows(); rows.size() > 1) {
        runBatch(core::batch::Action::Archiving, rows);
        return;
    }
    runStamp(Stamp::Archiving, archiveQuestion());
}

void TFrm_RecebimentoPendencia::DesarquivarProcessoClick() {
    if (const QList<int> rows = selectedRows(); rows.size() > 1) {
        runBatch(core::batch::Action::Unarchiving, rows);
        return;
    }
    runStamp(Stamp::Unarchiving, unarchiveQuestion());
}

void TFrm_RecebimentoPendencia::TramitarClick() {
    if (const QList<int> rows = selectedRows(); rows.size() > 1) {
        runBatch(core::batch::Action::SendingOn, rows);
        return;
    }
    if (!readyAfterOutage()) return;
    if (m_records->rowCount() == 0 || m_records->currentRow() < 0) {
        core::dialogs().message(this, routing::noProcessMessage());
        return;
    }
    if (!current("DATA_RECEBIMENTO").toDate().isValid()) {
        // A process is sent on only once received: the receipt is offered instead, and the user
        // chooses "Tramitar" again to send it.
        runStamp(Stamp::ElectronicReceipt, receiveBeforeSendingQuestion());
        return;
    }
    // A list read a while ago may show a process another desk has sent on since: told before a
    // dispatch is typed for it (the sending checks it again when it writes).
    routing::LatestMovement latest;
    QString error;
    if (routing::readLatest(core::mainConnection(), currentText("IDPROCESSO"), currentText("ANO"), &latest,
                            &error) &&
        latest.registro != currentText("REGISTRO")) {
        core::dialogs().message(this, routing::alreadyForwardedMessage());
        reread();
        return;
    }
    core::openRouting(this, currentText("IDPROCESSO"), currentText("ANO"), currentText("REGISTRO"));
    // Also after a routing form closed with nothing sent, or ended by an error.
    reread();
}

QList<int> TFrm_RecebimentoPendencia::selectedRows() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : m_grid->selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            if (!rows.contains(r)) rows << r;
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFrm_RecebimentoPendencia::showSelectionCount() {
    const int n = int(selectedRows().size());
    m_selectionCount->setText(n == 0   ? QString()
                              : n == 1 ? QStringLiteral("1 processo selecionado")
                                       : QStringLiteral("%1 processos selecionados").arg(n));
}

void TFrm_RecebimentoPendencia::runBatch(core::batch::Action action, const QList<int>& rows) {
    namespace batch = core::batch;
    core::DialogService& dialogs = core::dialogs();
    // The movements as the list last read them; every rule is checked again for each one as it is
    // written.
    QList<batch::Item> items;
    QSet<QString> chosen;
    // Read in place: moving the cursor would drop the selection.
    for (int row : rows) {
        auto value = [&](const char* field) {
            return m_records->valueAt(row, m_records->fieldIndex(QString::fromLatin1(field)));
        };
        batch::Item item;
        item.stamps.registro = value("REGISTRO").toString();
        item.stamps.received = value("DATA_RECEBIMENTO").toDate();
        item.stamps.physicallyReceived = value("DATA_RECEBIMENTO_FISICO").toDate();
        item.stamps.archived = value("DATA_ARQUIVAMENTO").toDate();
        item.stamps.unarchived = value("DATA_DESARQUIVAMENTO").toDate();
        item.process = value("IDPROCESSO").toString();
        item.year = value("ANO").toString();
        item.subject = value("ASSUNTO").toString();
        items << item;
        chosen.insert(item.stamps.registro);
    }
    if (!dialogs.question(this, batch::question(action, int(items.size())),
                          core::DialogService::DefaultButton::Yes))
        return;
    batch::Request request;
    request.action = action;
    if (action == batch::Action::Archiving || action == batch::Action::Unarchiving) {
        const routing::Stamp stamp =
            action == batch::Action::Archiving ? routing::Stamp::Archiving : routing::Stamp::Unarchiving;
        const std::optional<QString> typed = dialogs.input(
            this, QStringLiteral("Atenção"),
            stamp == routing::Stamp::Archiving ? archiveReasonPrompt() : unarchiveReasonPrompt());
        if (!typed) {
            dialogs.message(this, routing::cancelledMessage());
            return;
        }
        const QString problem = routing::reasonRefusal(stamp, *typed);
        if (!problem.isEmpty()) {
            dialogs.message(this, problem);
            return;
        }
        request.reason = *typed;
    }
    if (action == batch::Action::SendingOn) {
        // One destination and one dispatch for all, chosen in the routing form's batch mode; closed
        // with nothing chosen, nothing is sent and the list stays as it is.
        Frm_Tramitacao = new TFrm_Tramitacao(this);
        QString error;
        std::optional<routing::Sending> sending;
        if (Frm_Tramitacao->reload(QStringLiteral("00000000"), &error)) {
            Frm_Tramitacao->setBatch(int(items.size()));
            Frm_Tramitacao->exec();
            sending = Frm_Tramitacao->batchSending();
        } else {
            showOpeningError(this, error);
        }
        delete Frm_Tramitacao.data();
        Frm_Tramitacao = nullptr;
        if (!sending) return;
        request.sending = *sending;
    }

    // A batch that takes more than a moment shows its progress; the events are processed between
    // movements, so the window stays alive and "Cancelar" stops before the next one.
    QProgressDialog progress(batch::progressText(action, 0, int(items.size())), QStringLiteral("Cancelar"), 0,
                             int(items.size()), this);
    progress.setObjectName(QStringLiteral("ProgressoLote"));
    progress.setWindowTitle(batch::actionName(action) + QStringLiteral(" em lote"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setValue(0);
    const batch::Summary summary =
        batch::run(core::mainConnection(), request, items, [&progress, action](int done, int total) {
            progress.setValue(done);
            progress.setLabelText(batch::progressText(action, done, total));
            QApplication::processEvents();
            return !progress.wasCanceled();
        });
    progress.close();

    // The list once, keeping selected what is still in it (a process sent on has left it).
    if (!summary.connectionLost && reread()) {
        QItemSelection keep;
        int first = -1;
        auto select = [&] {
            keep.clear();
            first = -1;
            int found = 0;
            for (int r = 0; r < m_records->rowCount(); ++r) {
                const QStringList key = m_records->keyAt(r);
                if (key.isEmpty() || !chosen.contains(key.first())) continue;
                keep.select(m_model->index(r, 0), m_model->index(r, m_model->columnCount() - 1));
                if (first < 0) first = r;
                ++found;
            }
            return found;
        };
        if (select() < chosen.size() && !m_records->isComplete() && m_records->waitForComplete()) select();
        if (first >= 0) {
            m_records->setCurrentRow(first);
            m_grid->selectionModel()->select(keep,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
    }
    showBatchSummary(summary, this);
}

void TFrm_RecebimentoPendencia::Botao_FecharClick() {
    closeWindow(this);
}

void openRecebimentoPendencia(QWidget* owner) {
    openModal<TFrm_RecebimentoPendencia>(Frm_RecebimentoPendencia, owner,
                                         [](TFrm_RecebimentoPendencia* form, QString* error) {
                                             return form->reload(core::currentUser().code, error);
                                         });
}

} // namespace processes
