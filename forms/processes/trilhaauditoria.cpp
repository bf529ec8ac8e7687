#include "forms/processes/trilhaauditoria.h"

#include "core/audit.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "forms/common/formwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace processes {

using namespace forms;

QPointer<TFrm_TrilhaAuditoria> Frm_TrilhaAuditoria;

namespace {

TrailReportOpener& reportOpener() {
    static TrailReportOpener opener;
    return opener;
}

const QStringList kTables{
    QStringLiteral("EMPRESA"),      QStringLiteral("TIPOUNIDADE"),  QStringLiteral("UNIDADES"),
    QStringLiteral("SETORES"),      QStringLiteral("TIPOPROCESSO"), QStringLiteral("PRAZOS_TIPOPROCESSO"),
    QStringLiteral("INTERESSADOS"), QStringLiteral("USUARIOS"),     QStringLiteral("USUARIOS_ACESSOS"),
    QStringLiteral("PROCESSOS"),    QStringLiteral("TRAMITACAO"),   QStringLiteral("CONSULTA_SEGREDO")};
const QString kAll = QStringLiteral("(todas)");
// The date edits' lowest value, shown as "(sem limite)".
const QDate kNoDate(2000, 1, 1);

// The conditions in use, with their values by name.
QStringList conditions(const TrailFilter& f, QVariantMap* params) {
    QStringList where;
    if (!f.process.isEmpty()) {
        // A process's history is all of it, whatever the period.
        where << QStringLiteral("A.PROCESSO = :P_PROCESSO");
        params->insert(QStringLiteral("P_PROCESSO"), f.process);
        return where;
    }
    // The period filters the rows as they come in the number's order ("+ 0" keeps it off the
    // moment's index): the newest rows of millions show at once, where the server would otherwise
    // collect every row of the period before the first one.
    if (f.from.isValid()) {
        where << QStringLiteral("A.MOMENTO + 0 >= :P_INICIO");
        params->insert(QStringLiteral("P_INICIO"), QDateTime(f.from, QTime(0, 0)));
    }
    if (f.to.isValid()) {
        where << QStringLiteral("A.MOMENTO + 0 < :P_FIM");
        params->insert(QStringLiteral("P_FIM"), QDateTime(f.to.addDays(1), QTime(0, 0)));
    }
    if (!f.user.isEmpty()) {
        where << QStringLiteral("A.USUARIO = :P_USUARIO");
        params->insert(QStringLiteral("P_USUARIO"), f.user);
    }
    if (!f.table.isEmpty()) {
        where << QStringLiteral("A.TABELA = :P_TABELA");
        params->insert(QStringLiteral("P_TABELA"), f.table);
    }
    if (!f.key.isEmpty()) {
        where << QStringLiteral("A.CHAVE = :P_CHAVE");
        params->insert(QStringLiteral("P_CHAVE"), f.key);
    }
    if (!f.action.isEmpty()) {
        where << QStringLiteral("A.ACAO = :P_ACAO");
        params->insert(QStringLiteral("P_ACAO"), f.action);
    }
    return where;
}

WindowedField field(const char* name, const QString& expr, FieldType type, int width) {
    WindowedField f;
    f.name = QString::fromLatin1(name);
    f.expr = expr;
    f.type = type;
    f.width = width;
    return f;
}

QString changesOf(const QVariant& v) {
    return v.typeId() == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray()) : v.toString();
}

} // namespace

WindowedSpec trailRows(const TrailFilter& filter) {
    WindowedSpec s;
    s.baseFrom = QStringLiteral("TRILHA A");
    s.blockFrom = QStringLiteral("TRILHA A");
    QVariantMap params;
    s.condition = conditions(filter, &params).join(QStringLiteral(" AND "));
    s.keyExprs = {QStringLiteral("A.ID")};
    // Newest first straight from the descending index; a history oldest first from the key's.
    s.defaultOrder = {filter.oldestFirst ? QStringLiteral("A.ID") : QStringLiteral("A.ID DESC")};
    s.fields = {
        field("ID", QStringLiteral("A.ID"), FieldType::Integer, 12),
        field("MOMENTO", QStringLiteral("A.MOMENTO"), FieldType::Text, 24),
        field("USUARIO", QStringLiteral("A.USUARIO"), FieldType::Text, 40),
        field("ENDERECO", QStringLiteral("A.ENDERECO"), FieldType::Text, 60),
        field("PROGRAMA", QStringLiteral("A.PROGRAMA"), FieldType::Text, 60),
        field("TABELA", QStringLiteral("A.TABELA"), FieldType::Text, 31),
        field("CHAVE", QStringLiteral("A.CHAVE"), FieldType::Text, 30),
        field("PROCESSO", QStringLiteral("A.PROCESSO"), FieldType::Text, 13),
        field("ACAO", QStringLiteral("A.ACAO"), FieldType::Text, 10),
        field("ALTERACOES", QStringLiteral("A.ALTERACOES"), FieldType::Memo, 300),
    };
    return s;
}

QList<GridColumn> trailColumns() {
    GridColumn moment{QStringLiteral("Data/Hora"), QStringLiteral("MOMENTO"), 140};
    moment.text = [](const RowSource& source, int row) {
        return source.valueAt(row, source.fieldIndex(QStringLiteral("MOMENTO")))
            .toDateTime()
            .toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    };
    GridColumn action{QStringLiteral("Ação"), QStringLiteral("ACAO"), 80};
    action.text = [](const RowSource& source, int row) {
        return core::audit::actionName(
            source.valueAt(row, source.fieldIndex(QStringLiteral("ACAO"))).toString().trimmed());
    };
    GridColumn changes{QStringLiteral("Alterações"), QStringLiteral("ALTERACOES"), 520};
    changes.text = [](const RowSource& source, int row) {
        return core::audit::changesSummary(
            changesOf(source.valueAt(row, source.fieldIndex(QStringLiteral("ALTERACOES")))));
    };
    return {
        {QStringLiteral("Nº"), QStringLiteral("ID"), 70},
        moment,
        {QStringLiteral("Usuário"), QStringLiteral("USUARIO"), 90},
        {QStringLiteral("Estação"), QStringLiteral("ENDERECO"), 130},
        {QStringLiteral("Tabela"), QStringLiteral("TABELA"), 120},
        {QStringLiteral("Chave"), QStringLiteral("CHAVE"), 110},
        action,
        changes,
    };
}

QString trailReportQuery(const TrailFilter& filter, QVariantMap* params) {
    const QStringList where = conditions(filter, params);
    return QStringLiteral("SELECT A.ID, A.MOMENTO, A.USUARIO, A.ENDERECO, A.TABELA, A.CHAVE, A.ACAO, "
                          "A.ALTERACOES FROM TRILHA A%1 ORDER BY A.ID%2")
        .arg(where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")),
             filter.oldestFirst ? QString() : QStringLiteral(" DESC"));
}

void registerTrailReport(TrailReportOpener opener) {
    reportOpener() = std::move(opener);
}

TFrm_TrilhaAuditoria::TFrm_TrilhaAuditoria(QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Frm_TrilhaAuditoria"));
    prepareWindow(this, QSize(1180, 680));
    setWindowTitle(QStringLiteral("Trilha de Auditoria"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(6);

    auto* filters = new QGridLayout;
    filters->setHorizontalSpacing(8);
    auto label = [&](const QString& text, QWidget* buddy, int column) {
        auto* l = new QLabel(text, this);
        l->setBuddy(buddy);
        filters->addWidget(l, 0, column);
        filters->addWidget(buddy, 1, column);
    };
    m_from = new QDateEdit(this);
    m_from->setObjectName(QStringLiteral("DataInicial"));
    m_from->setCalendarPopup(true);
    m_from->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    m_to = new QDateEdit(this);
    m_to->setObjectName(QStringLiteral("DataFinal"));
    m_to->setCalendarPopup(true);
    m_to->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    // A period left open (a record's or a process's whole history) shows as such, not as a date.
    for (QDateEdit* edit : {m_from, m_to}) {
        edit->setMinimumDate(kNoDate);
        edit->setSpecialValueText(QStringLiteral("(sem limite)"));
        edit->setDate(kNoDate);
    }
    m_user = new QLineEdit(this);
    m_user->setObjectName(QStringLiteral("Usuario"));
    m_user->setMaxLength(8);
    m_table = new QComboBox(this);
    m_table->setObjectName(QStringLiteral("Tabela"));
    m_table->addItem(kAll);
    m_table->addItems(kTables);
    m_key = new QLineEdit(this);
    m_key->setObjectName(QStringLiteral("Chave"));
    m_action = new QComboBox(this);
    m_action->setObjectName(QStringLiteral("Acao"));
    m_action->addItems({kAll, core::audit::actionName(QStringLiteral("I")),
                        core::audit::actionName(QStringLiteral("A")),
                        core::audit::actionName(QStringLiteral("E"))});
    label(QStringLiteral("De"), m_from, 0);
    label(QStringLiteral("Até"), m_to, 1);
    label(QStringLiteral("Usuário"), m_user, 2);
    label(QStringLiteral("Tabela"), m_table, 3);
    label(QStringLiteral("Chave do registro"), m_key, 4);
    label(QStringLiteral("Ação"), m_action, 5);
    auto* filtrar = new QPushButton(QStringLiteral("&Filtrar"), this);
    filtrar->setObjectName(QStringLiteral("Botao_Filtrar"));
    filters->addWidget(filtrar, 1, 6);
    filters->setColumnStretch(7, 1);
    layout->addLayout(filters);

    m_reading = new QLabel(this);
    m_reading->setObjectName(QStringLiteral("LProcessando"));
    layout->addWidget(m_reading);

    m_rows = new WindowedSource(trailRows(m_filter), this);
    m_rows->setObjectName(QStringLiteral("cdsDados"));
    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    m_model = new GridModel(m_rows, trailColumns(), this);
    setupGrid(m_grid, m_model);
    layout->addWidget(m_grid, 3);

    auto* changesLabel = new QLabel(QStringLiteral("Alterações do registro selecionado"), this);
    layout->addWidget(changesLabel);
    m_changes = new QTableWidget(0, 3, this);
    m_changes->setObjectName(QStringLiteral("Alteracoes"));
    m_changes->setAccessibleName(changesLabel->text());
    m_changes->setHorizontalHeaderLabels(
        {QStringLiteral("Campo"), QStringLiteral("Antes"), QStringLiteral("Depois")});
    m_changes->horizontalHeader()->setStretchLastSection(true);
    m_changes->setColumnWidth(0, 200);
    m_changes->setColumnWidth(1, 420);
    m_changes->verticalHeader()->hide();
    m_changes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(m_changes, 2);

    auto* check = new QHBoxLayout;
    auto* anchorLabel = new QLabel(QStringLiteral("Âncora guardada"), this);
    check->addWidget(anchorLabel);
    m_anchor = new QLineEdit(this);
    m_anchor->setObjectName(QStringLiteral("Ancora"));
    anchorLabel->setBuddy(m_anchor);
    m_anchor->setPlaceholderText(QStringLiteral("Selo <número> | <data hora> | <hash> (opcional)"));
    check->addWidget(m_anchor, 1);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setAccessibleName(QStringLiteral("Verificação da integridade"));
    m_progress->setFixedWidth(240);
    m_progress->setValue(0);
    check->addWidget(m_progress);
    layout->addLayout(check);
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("LResultado"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_result);

    auto* buttons = new QHBoxLayout;
    auto button = [&](const QString& text, const char* name) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        buttons->addWidget(b);
        return b;
    };
    QPushButton* historico = button(QStringLiteral("&Histórico do Registro"), "Botao_Historico");
    m_verificar = button(QStringLiteral("&Verificar integridade"), "Botao_Verificar");
    QPushButton* imprimir = button(QStringLiteral("&Imprimir"), "Botao_Imprimir");
    buttons->addStretch(1);
    QPushButton* fechar = button(QStringLiteral("&Fechar"), "Botao_Fechar");
    layout->addLayout(buttons);

    connect(filtrar, &QPushButton::clicked, this, &TFrm_TrilhaAuditoria::Botao_FiltrarClick);
    connect(historico, &QPushButton::clicked, this, &TFrm_TrilhaAuditoria::Botao_HistoricoClick);
    connect(m_verificar, &QPushButton::clicked, this, &TFrm_TrilhaAuditoria::Botao_VerificarClick);
    connect(imprimir, &QPushButton::clicked, this, &TFrm_TrilhaAuditoria::Botao_ImprimirClick);
    connect(fechar, &QPushButton::clicked, this, &QDialog::reject);
    Frm_TrilhaAuditoria = this;
}

TrailFilter TFrm_TrilhaAuditoria::filterFromFields() const {
    TrailFilter f;
    if (m_from->date() != kNoDate) f.from = m_from->date();
    if (m_to->date() != kNoDate) f.to = m_to->date();
    f.user = m_user->text().trimmed();
    if (!f.user.isEmpty() && f.user != QLatin1String("desconhecido"))
        f.user = f.user.rightJustified(8, QLatin1Char('0'));
    f.table = m_table->currentIndex() > 0 ? m_table->currentText() : QString();
    f.key = m_key->text().trimmed();
    static const QStringList actions{QString(), QStringLiteral("I"), QStringLiteral("A"),
                                     QStringLiteral("E")};
    f.action = actions.value(m_action->currentIndex());
    return f;
}

void TFrm_TrilhaAuditoria::applyFilter(const TrailFilter& filter) {
    m_filter = filter;
    m_from->setDate(filter.from.isValid() ? filter.from : kNoDate);
    m_to->setDate(filter.to.isValid() ? filter.to : kNoDate);
    m_user->setText(filter.user);
    m_table->setCurrentIndex(std::max(0, int(kTables.indexOf(filter.table)) + 1));
    m_key->setText(filter.key);
    static const QStringList actions{QString(), QStringLiteral("I"), QStringLiteral("A"),
                                     QStringLiteral("E")};
    m_action->setCurrentIndex(std::max(0, int(actions.indexOf(filter.action))));
    if (!filter.process.isEmpty())
        setWindowTitle(QStringLiteral("Trilha de Auditoria - Processo %1").arg(filter.process));

    // The rows committed since the last seal are sealed before they are shown.
    QSqlDatabase db = core::mainConnection();
    core::audit::sealPending(db);
    // A filter is a list of its own: its condition holds only the filters in use.
    m_model->deleteLater();
    m_rows->deleteLater();
    m_rows = new WindowedSource(trailRows(filter), this);
    m_rows->setObjectName(QStringLiteral("cdsDados"));
    m_rows->setConnectionName(QString::fromLatin1(core::kMainConnection));
    QVariantMap params;
    conditions(filter, &params);
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        m_rows->setParameter(it.key(), it.value());
    connect(m_rows, &WindowedSource::failed, this,
            [this](const QString& text) { core::dialogs().error(this, text); });
    connect(m_rows, &RowSource::currentRowChanged, this, &TFrm_TrilhaAuditoria::showChanges);
    connect(m_rows, &WindowedSource::progress, this,
            [this](int rows) { m_reading->setText(QStringLiteral("Registros lidos: %1").arg(rows)); });
    connect(m_rows, &WindowedSource::completed, this,
            [this] { m_reading->setText(QStringLiteral("Registros: %1").arg(m_rows->rowCount())); });
    m_model = new GridModel(m_rows, trailColumns(), this);
    setupGrid(m_grid, m_model);
    connect(m_grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) m_rows->setCurrentRow(current.row());
            });
    m_rows->open();
    showChanges();
}

void TFrm_TrilhaAuditoria::showChanges() {
    m_changes->setRowCount(0);
    const int row = m_rows->currentRow();
    if (row < 0) return;
    const QList<core::audit::Change> changes = core::audit::parseChanges(
        changesOf(m_rows->valueAt(row, m_rows->fieldIndex(QStringLiteral("ALTERACOES")))));
    m_changes->setRowCount(int(changes.size()));
    for (int i = 0; i < changes.size(); ++i) {
        const core::audit::Change& c = changes.at(i);
        m_changes->setItem(i, 0, new QTableWidgetItem(c.column));
        m_changes->setItem(
            i, 1, new QTableWidgetItem(core::audit::valueText(c.beforeNull, c.beforeHidden, c.before)));
        m_changes->setItem(i, 2,
                           new QTableWidgetItem(core::audit::valueText(c.afterNull, c.afterHidden, c.after)));
    }
}

void TFrm_TrilhaAuditoria::Botao_FiltrarClick() {
    applyFilter(filterFromFields());
}

void TFrm_TrilhaAuditoria::Botao_HistoricoClick() {
    const int row = m_rows->currentRow();
    if (row < 0) {
        core::dialogs().message(this, QStringLiteral("Atenção, escolha um registro da lista."));
        return;
    }
    // Everything that ever happened to the record, oldest first, whatever the other filters say.
    TrailFilter f;
    f.table = m_rows->valueAt(row, m_rows->fieldIndex(QStringLiteral("TABELA"))).toString();
    f.key = m_rows->valueAt(row, m_rows->fieldIndex(QStringLiteral("CHAVE"))).toString();
    f.oldestFirst = true;
    applyFilter(f);
}

void TFrm_TrilhaAuditoria::Botao_VerificarClick() {
    core::audit::Anchor anchor;
    if (!m_anchor->text().trimmed().isEmpty()) {
        anchor = core::audit::parseAnchor(m_anchor->text());
        if (!anchor.isValid()) {
            core::dialogs().message(
                this, QStringLiteral(
                          "Atenção, a âncora deve ter a forma \"Selo <número> | <data hora> | <hash>\"."));
            return;
        }
    }
    m_verificar->setEnabled(false);
    m_progress->setValue(0);
    m_result->setText(QStringLiteral("Verificando..."));
    QApplication::processEvents();
    QSqlDatabase db = core::mainConnection();
    const core::audit::CheckResult check = core::audit::verifyChain(
        db,
        [this](qint64 done, qint64 total) {
            m_progress->setMaximum(int(std::max<qint64>(1, total / 1000)));
            m_progress->setValue(int(done / 1000));
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            return true;
        },
        anchor.isValid() ? &anchor : nullptr);
    m_progress->setMaximum(100);
    m_progress->setValue(100);
    m_verificar->setEnabled(true);
    const core::audit::Anchor now = core::audit::currentAnchor(db);
    const QString speed = QStringLiteral("%1 linhas verificadas em %2 s (%3 linhas por segundo).")
                              .arg(check.rows)
                              .arg(check.elapsedMs / 1000.0, 0, 'f', 1)
                              .arg(qint64(check.rowsPerSecond));
    if (check.ok) {
        m_result->setText(
            QStringLiteral("Trilha íntegra. %1\nÂncora atual: %2").arg(speed, core::audit::anchorText(now)));
    } else {
        m_result->setText(QStringLiteral("Trilha violada: %1\n%2").arg(check.problem, speed));
        core::dialogs().message(this, QStringLiteral("Atenção,\n%1").arg(check.problem));
    }
}

void TFrm_TrilhaAuditoria::Botao_ImprimirClick() {
    if (!reportOpener()) return;
    QVariantMap params;
    const QString sql = trailReportQuery(m_filter, &params);
    reportOpener()(this, sql, params, windowTitle());
}

void openTrilhaAuditoria(QWidget* owner) {
    TFrm_TrilhaAuditoria window(owner);
    TrailFilter f;
    f.to = QDate::currentDate();
    f.from = f.to.addDays(-30);
    window.applyFilter(f);
    window.exec();
}

void openTrilhaProcesso(QWidget* owner, const QString& process, const QString& year) {
    TFrm_TrilhaAuditoria window(owner);
    TrailFilter f;
    f.process = process + QLatin1Char('/') + year;
    f.oldestFirst = true;
    window.applyFilter(f);
    window.exec();
}

} // namespace processes
