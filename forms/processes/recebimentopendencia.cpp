#include "forms/processes/recebimentopendencia.h"

#include "core/dialogs.h"
#include "core/handoff.h"
#include "core/session.h"
#include "forms/common/formwindow.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
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

} // namespace

TFrm_RecebimentoPendencia::TFrm_RecebimentoPendencia(QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Frm_RecebimentoPendencia"));
    prepareWindow(this, QSize(1015, 354));
    setWindowTitle(QStringLiteral("Recebimento / Pendência"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBackground);
    setPalette(pal);
    setAutoFillBackground(true);

    m_records = new RecordSet(this);
    m_records->setObjectName(QStringLiteral("cdsDados"));
    m_records->setQuery(routing::pendingQuery());
    m_records->setFields({keyField(QStringLiteral("REGISTRO"), 8),
                          textField(QStringLiteral("IDPROCESSO"), 8),
                          textField(QStringLiteral("ANO"), 4),
                          textField(QStringLiteral("IDSETOR"), 6),
                          textField(QStringLiteral("COD_USUARIO_DESTINO"), 8),
                          dateField(QStringLiteral("DATA")),
                          timeField(QStringLiteral("HORA")),
                          dateField(QStringLiteral("DATA_RECEBIMENTO")),
                          timeField(QStringLiteral("HORA_RECEBIMENTO")),
                          textField(QStringLiteral("ARQUIVADO"), 3),
                          textField(QStringLiteral("COD_USUARIO"), 8),
                          joinedField(QStringLiteral("ASSUNTO"), 255),
                          joinedField(QStringLiteral("SETOR"), 100),
                          joinedField(QStringLiteral("USUARIO_DESTINO"), 100),
                          joinedField(QStringLiteral("USUARIO"), 100),
                          dateField(QStringLiteral("DATA_RECEBIMENTO_FISICO")),
                          timeField(QStringLiteral("HORA_RECEBIMENTO_FISICO")),
                          dateField(QStringLiteral("DATA_ARQUIVAMENTO")),
                          timeField(QStringLiteral("HORA_ARQUIVAMENTO")),
                          dateField(QStringLiteral("DATA_DESARQUIVAMENTO")),
                          timeField(QStringLiteral("HORA_DESARQUIVAMENTO"))});

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
    layout->addWidget(heading);

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    layout->addWidget(m_grid, 1);
    m_model = new GridModel(m_records,
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
                             column("HORA_DESARQUIVAMENTO", "HORA_DESARQUIVAMENTO")},
                            this);
    setupGrid(m_grid, m_model);
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
        if (index.isValid()) m_records->setCurrentRow(index.row());
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
    const QString order = m_records->sortField();
    m_records->close();
    m_records->setParameter(QStringLiteral("UM"), user);
    if (!m_records->open()) {
        if (error) *error = m_records->lastError();
        return false;
    }
    if (!order.isEmpty()) m_records->sortBy(order);
    m_records->first();
    return true;
}

bool TFrm_RecebimentoPendencia::reread() {
    QString error;
    if (reload(m_user, &error)) return true;
    core::dialogs().error(this, error);
    return false;
}

void TFrm_RecebimentoPendencia::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_fechar->setFocus();
}

routing::MovementStamps TFrm_RecebimentoPendencia::currentStamps() const {
    routing::MovementStamps m;
    m.registro = m_records->text(QStringLiteral("REGISTRO"));
    m.received = m_records->value(QStringLiteral("DATA_RECEBIMENTO")).toDate();
    m.physicallyReceived = m_records->value(QStringLiteral("DATA_RECEBIMENTO_FISICO")).toDate();
    m.archived = m_records->value(QStringLiteral("DATA_ARQUIVAMENTO")).toDate();
    m.unarchived = m_records->value(QStringLiteral("DATA_DESARQUIVAMENTO")).toDate();
    return m;
}

void TFrm_RecebimentoPendencia::runStamp(Stamp stamp, const QString& question) {
    core::DialogService& dialogs = core::dialogs();
    if (m_records->isEmpty() || m_records->currentRow() < 0) {
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
    const routing::Outcome outcome = routing::stamp(m_records->database(), stamp, movement, reason);
    switch (outcome.kind) {
    case routing::Outcome::Done:
        reread();
        break;
    case routing::Outcome::Refused:
        // Another workstation got there first: the same refusal, and the list shows its stamp.
        dialogs.message(this, outcome.text);
        reread();
        break;
    case routing::Outcome::Failed:
        dialogs.error(this, outcome.text);
        break;
    }
}

void TFrm_RecebimentoPendencia::RecebeProcessoEletronicoClick() {
    runStamp(Stamp::ElectronicReceipt, receiveQuestion());
}

void TFrm_RecebimentoPendencia::RecebeProcessoFisicoClick() {
    // The physical receipt asks with the same words as the electronic one.
    runStamp(Stamp::PhysicalReceipt, receiveQuestion());
}

void TFrm_RecebimentoPendencia::ArquivarProcessoClick() {
    runStamp(Stamp::Archiving, archiveQuestion());
}

void TFrm_RecebimentoPendencia::DesarquivarProcessoClick() {
    runStamp(Stamp::Unarchiving, unarchiveQuestion());
}

void TFrm_RecebimentoPendencia::TramitarClick() {
    if (m_records->isEmpty() || m_records->currentRow() < 0) {
        core::dialogs().message(this, routing::noProcessMessage());
        return;
    }
    if (!m_records->value(QStringLiteral("DATA_RECEBIMENTO")).toDate().isValid()) {
        // A process is sent on only once received: the receipt is offered instead, and the user
        // chooses "Tramitar" again to send it.
        runStamp(Stamp::ElectronicReceipt, receiveBeforeSendingQuestion());
        return;
    }
    core::openRouting(this, m_records->text(QStringLiteral("IDPROCESSO")),
                      m_records->text(QStringLiteral("ANO")), m_records->text(QStringLiteral("REGISTRO")));
    // Also after a routing form closed with nothing sent, or ended by an error.
    reread();
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
