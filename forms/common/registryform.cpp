#include "forms/common/registryform.h"

#include "core/codes.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/rights.h"
#include "core/routines.h"
#include "forms/common/formwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace forms {

namespace {

constexpr int kMaxEditChars = 60;
// How many codes a record drawn as it is saved takes before a code taken by other desks is told.
constexpr int kCodeAttempts = 5;

} // namespace

RegistryForm::RegistryForm(const RegistrySpec& spec, QWidget* owner)
    : QDialog(owner)
    , m_spec(spec) {
    setObjectName(spec.formName);
    prepareWindow(this, spec.size);
    setWindowTitle(spec.title);

    m_records = new RecordSet(this);
    m_records->setObjectName(QStringLiteral("cdsDados"));
    m_records->setQuery(spec.selectQuery);
    m_records->setFields(spec.fields);
    m_records->setUpdateTable(spec.table);
    m_binder = new FieldBinder(m_records, this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    if (spec.listTab) {
        m_pages = new QTabWidget(this);
        m_pages->setObjectName(QStringLiteral("PageControl1"));
        outer->addWidget(m_pages);
    }

    buildEditingTab();
    if (spec.listTab) buildListTab();
    installNextCode();
    installZeroFills();
    setTabOrder();

    // FormCreate: the editing tab first.
    if (m_pages) m_pages->setCurrentIndex(0);
}

RegistryForm::~RegistryForm() = default;

QWidget* RegistryForm::control(const QString& name) const {
    return findChild<QWidget*>(name);
}

void RegistryForm::buildEditingTab() {
    m_editingTab = new QWidget(this);
    paintBackground(m_editingTab);
    if (m_pages) {
        m_editingTab->setObjectName(QStringLiteral("TabSheet1"));
        m_pages->addTab(m_editingTab, m_spec.editingTabCaption);
    } else {
        layout()->addWidget(m_editingTab);
    }

    auto* row = new QHBoxLayout(m_editingTab);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(18);

    // The six buttons in a column at the left.
    QList<CommandButton> commands{
        {&m_incluir, "Botao_Incluir", QStringLiteral("&Incluir"), [this] { Botao_IncluirClick(); }},
        {&m_salvar, "Botao_Salvar", QStringLiteral("&Salvar"), [this] { Botao_SalvarClick(); }},
        {&m_alterar, "Botao_Alterar", QStringLiteral("&Alterar"), [this] { Botao_AlterarClick(); }},
        {&m_cancelar, "Botao_Cancelar", QStringLiteral("&Cancelar"), [this] { Botao_CancelarClick(); }},
        {&m_excluir, "Botao_Excluir", QStringLiteral("&Excluir"), [this] { Botao_ExcluirClick(); }},
        {&m_fechar, "Botao_Fechar", QStringLiteral("&Fechar"), [this] { Botao_FecharClick(); }}};
    if (m_spec.searchCommand)
        commands.insert(4, {&m_pesquisar, "Botao_Pesquisar", QStringLiteral("&Pesquisar"),
                            [this] { Botao_PesquisarClick(); }});
    row->addLayout(commandColumn(m_editingTab, commands));

    // The hidden state refresh and the hidden title.
    const HiddenStateParts hidden = addHiddenStateParts(
        m_editingTab, m_spec.title, [this] { AtivaDesativaBotoesClick(); }, m_spec.stateButtonCaption);
    m_stateButton = hidden.stateButton;
    m_title = hidden.title;

    // The edits, row by row, each under its caption label.
    auto* fields = new QVBoxLayout;
    fields->setSpacing(8);
    row->addLayout(fields, 1);
    const int available = m_spec.size.width() - kCommandButtonWidth - 70;
    const QFontMetrics fm(font());
    QHBoxLayout* line = nullptr;
    int rowUsed = 0; // width taken by the controls already on the current line
    QLabel* pendingCaption = nullptr;
    // Buttons that open another window, enabled by the user's rights once all are known.
    QList<QPair<QWidget*, QString>> rightButtons;
    for (const EditSpec& e : std::as_const(m_spec.edits)) {
        if (e.kind == EditSpec::Caption) {
            pendingCaption = new QLabel(e.caption, m_editingTab);
            pendingCaption->setObjectName(e.objectName);
            styleCaption(pendingCaption);
            fields->addWidget(pendingCaption);
            line = nullptr;
            continue;
        }
        QWidget* w = nullptr;
        switch (e.kind) {
        case EditSpec::Line: {
            auto* edit = new QLineEdit(m_editingTab);
            m_binder->bind(edit, e.field, e.entry, e.mask);
            w = edit;
            break;
        }
        case EditSpec::Memo: {
            auto* memo = new QPlainTextEdit(m_editingTab);
            memo->setTabChangesFocus(true);
            m_binder->bind(memo, e.field);
            w = memo;
            break;
        }
        case EditSpec::Combo: {
            auto* box = new QComboBox(m_editingTab);
            box->addItems(e.items);
            m_binder->bind(box, e.field);
            w = box;
            break;
        }
        case EditSpec::Check: {
            auto* box = new QCheckBox(e.caption, m_editingTab);
            QPalette pal = box->palette();
            pal.setColor(QPalette::WindowText, Qt::white);
            box->setPalette(pal);
            QFont bold = box->font();
            bold.setBold(true);
            box->setFont(bold);
            m_binder->bind(box, e.field, e.items.value(0, QStringLiteral("SIM")),
                           e.items.value(1, QStringLiteral("NAO")));
            w = box;
            break;
        }
        case EditSpec::Button: {
            auto* b = new QToolButton(m_editingTab);
            b->setText(e.caption);
            b->setToolTip(e.hint);
            b->setFocusPolicy(Qt::NoFocus);
            b->setFixedSize(28, fm.height() + 10);
            if (!e.rightTitle.isEmpty()) rightButtons.append({b, e.rightTitle});
            w = b;
            break;
        }
        case EditSpec::Custom:
            w = e.create ? e.create(m_editingTab) : new QWidget(m_editingTab);
            break;
        case EditSpec::Caption:
            break;
        }
        w->setObjectName(e.objectName);
        const bool startsRow = !e.sameRow || !line;
        if (startsRow) rowUsed = 0;

        // Width from the field's width, as far as the line still has room.
        // A memo is as wide as it is told to be, or as its contents make it.
        if (e.kind == EditSpec::Line || e.kind == EditSpec::Combo ||
            (e.kind == EditSpec::Memo && e.chars > 0)) {
            int chars = e.chars;
            if (chars <= 0) {
                const FieldDef* f = m_records->field(e.field);
                chars = f && f->width > 0 ? f->width : 20;
            }
            chars = std::min(chars, kMaxEditChars);
            const QString sample =
                e.mask.isEmpty() ? QString(chars, QLatin1Char('N')) : QString(e.mask).replace('#', 'N');
            w->setFixedWidth(std::max(40, std::min(fm.horizontalAdvance(sample) + 14, available - rowUsed)));
        }
        rowUsed += (w->minimumWidth() == w->maximumWidth() ? w->maximumWidth() : w->sizeHint().width()) + 6;
        if (e.kind == EditSpec::Memo) w->setMinimumHeight(fm.height() * 4);

        const bool focusable = e.kind == EditSpec::Line || e.kind == EditSpec::Memo ||
                               e.kind == EditSpec::Combo || e.kind == EditSpec::Check;
        if (focusable && e.stateDriven) {
            m_stateDriven << w;
            m_focusOrder << w;
        } else if (focusable) {
            w->setFocusPolicy(Qt::NoFocus);
            setEditable(w, false);
        }

        // A cell: the caption label above the control (its buddy).
        auto* cell = new QVBoxLayout;
        cell->setSpacing(2);
        if (!e.caption.isEmpty() && e.kind != EditSpec::Button && e.kind != EditSpec::Check) {
            auto* label = new QLabel(e.caption, m_editingTab);
            label->setObjectName(QStringLiteral("L") + e.objectName);
            styleCaption(label);
            label->setBuddy(w);
            cell->addWidget(label);
        } else if (pendingCaption && focusable) {
            pendingCaption->setBuddy(w);
            pendingCaption = nullptr;
        }
        if (!e.accessibleName.isEmpty()) w->setAccessibleName(e.accessibleName);
        cell->addWidget(w, 0, Qt::AlignLeft);
        if (startsRow) {
            line = new QHBoxLayout;
            line->setSpacing(6);
            line->addStretch(1);
            fields->addLayout(line);
        }
        line->insertLayout(line->count() - 1, cell);
        line->setAlignment(cell, Qt::AlignBottom);
    }
    if (!rightButtons.isEmpty()) {
        QStringList titles;
        for (const auto& [button, title] : std::as_const(rightButtons))
            titles << title;
        const QSet<QString> held = core::userRightsAmong(titles);
        for (const auto& [button, title] : std::as_const(rightButtons))
            button->setEnabled(held.contains(title));
    }
    fields->addStretch(1);
    m_fieldsColumn = fields;
}

void RegistryForm::setLowerPart(QWidget* part) {
    // In place of the stretch that keeps the edits at the top.
    delete m_fieldsColumn->takeAt(m_fieldsColumn->count() - 1);
    m_fieldsColumn->addSpacing(4);
    m_fieldsColumn->addWidget(part, 1);
}

void RegistryForm::buildListTab() {
    m_listTab = new QWidget;
    m_listTab->setObjectName(QStringLiteral("TabSheet2"));
    paintBackground(m_listTab);
    m_pages->addTab(m_listTab, QStringLiteral("Pesquisa"));

    auto* layout = new QVBoxLayout(m_listTab);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(4);
    m_procuraLabel = new QLabel(QStringLiteral("Informe"), m_listTab);
    m_procuraLabel->setObjectName(QStringLiteral("LProcura"));
    styleCaption(m_procuraLabel);
    m_procura = new QLineEdit(m_listTab);
    m_procura->setObjectName(QStringLiteral("PROCURA"));
    m_procura->setFixedWidth(280);
    setEntry(m_procura, Entry::Upper);
    paintEditable(m_procura, false);
    m_procuraLabel->setBuddy(m_procura);
    layout->addWidget(m_procuraLabel);
    layout->addWidget(m_procura);

    m_grid = new QTableView(m_listTab);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    layout->addWidget(m_grid, 1);
    m_model = new GridModel(m_records, m_spec.columns, this);
    setupGrid(m_grid, m_model);
    m_search = new GridSearch(m_procuraLabel, m_procura, m_grid, m_model, m_spec.search, this);
    // DBGrid1DblClick: the editing tab shows the record under the cursor.
    connect(m_grid, &QTableView::doubleClicked, this, [this] { m_pages->setCurrentIndex(0); });
}

void RegistryForm::setListSource(RowSource* source) {
    if (!m_grid) return;
    GridModel* oldModel = m_model;
    GridSearch* oldSearch = m_search;
    m_model = new GridModel(source, m_spec.columns, this);
    setupGrid(m_grid, m_model);
    m_search = new GridSearch(m_procuraLabel, m_procura, m_grid, m_model, m_spec.search, this);
    delete oldSearch;
    delete oldModel;
    m_procuraLabel->setText(QStringLiteral("Informe"));
}

void RegistryForm::setTabOrder() {
    QList<QWidget*> chain = m_focusOrder;
    chain << m_salvar << m_incluir << m_alterar << m_cancelar;
    if (m_pesquisar) chain << m_pesquisar;
    chain << m_excluir << m_fechar;
    for (int i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i), chain.at(i + 1));
}

void RegistryForm::installNextCode() {
    if (m_spec.nextCodeQuery.isEmpty()) return;
    // cdsDadosAfterInsert: the greatest stored code plus one, padded to the code width.
    m_records->addAfterInsert([this] {
        const core::NextCode next =
            core::nextCode(m_records->database(), m_spec.nextCodeQuery, m_spec.codeWidth);
        switch (next.outcome) {
        case core::NextCode::Outcome::Ready:
            m_records->setValue(m_spec.codeField, next.code);
            return;
        case core::NextCode::Outcome::Failed:
            m_records->cancel();
            if (!core::noteConnectionFailure(m_records->database(), this))
                core::dialogs().error(this, next.detail);
            return;
        case core::NextCode::Outcome::NotNumeric:
            m_records->cancel();
            core::dialogs().message(
                this, attention(QStringLiteral(
                                    "procedimento cancelado, o maior código gravado (%1) não é numérico!")
                                    .arg(next.detail)));
            return;
        case core::NextCode::Outcome::TooWide:
            m_records->cancel();
            core::dialogs().message(
                this, attention(QStringLiteral(
                                    "procedimento cancelado, o próximo código (%1) excede os %2 dígitos do "
                                    "código deste cadastro!")
                                    .arg(next.detail)
                                    .arg(m_spec.codeWidth)));
            return;
        }
    });
}

void RegistryForm::installZeroFills() {
    for (const ZeroFill& z : std::as_const(m_spec.zeroFills)) {
        m_records->addFieldChange(z.field, [this, z] {
            const QString text = m_records->text(z.field);
            if (text.size() < z.width) m_records->setValue(z.field, routines::zeroFill(text, z.width));
            if (z.nameQuery.isEmpty()) return;
            QVariant name;
            QString error;
            if (!core::fetchName(m_records->database(), z.nameQuery, m_records->text(z.field), &name,
                                 &error)) {
                if (!core::noteConnectionFailure(m_records->database(), this))
                    core::dialogs().error(this, error);
                return;
            }
            m_records->setValue(z.nameField, name);
        });
    }
}

bool RegistryForm::reload(QString* error) {
    if (!m_records->reopen()) {
        // A lost connection has been told about already: no second box.
        if (error) *error = m_records->connectionLost() ? QString() : m_records->lastError();
        return false;
    }
    refreshState();
    return true;
}

void RegistryForm::refreshState() {
    m_stateButton->click();
}

void RegistryForm::AtivaDesativaBotoesClick() {
    const RecordSet::State state = m_records->state();
    if (state == RecordSet::State::Closed) return;
    const bool browse = state == RecordSet::State::Browse;
    const bool any = !m_records->isEmpty();
    m_incluir->setEnabled(browse);
    m_salvar->setEnabled(!browse);
    m_alterar->setEnabled(browse && any);
    m_cancelar->setEnabled(!browse);
    m_excluir->setEnabled(browse && any);
    m_fechar->setEnabled(browse);
    if (m_pesquisar) m_pesquisar->setEnabled(browse);
    if (m_grid) m_grid->setEnabled(browse);
    if (m_procura) {
        m_procura->setEnabled(browse);
        paintEditable(m_procura, browse);
    }
    for (int i = 0; i < m_stateDriven.size(); ++i) {
        const bool writable = i == 0 && m_spec.firstEditIsCode ? state == RecordSet::State::Insert : !browse;
        setEditable(m_stateDriven.at(i), writable);
    }
    QString caption = m_title->text();
    if (state == RecordSet::State::Insert)
        caption += QStringLiteral(" - ") + QStringLiteral("Incluindo");
    else if (state == RecordSet::State::Edit)
        caption += QStringLiteral(" - ") + QStringLiteral("Alterando");
    setWindowTitle(caption);
    emit stateRefreshed();
}

void RegistryForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_incluir->isEnabled()) m_incluir->setFocus();
}

void RegistryForm::Botao_IncluirClick() {
    // The next code is read from the database: a connection lost earlier is opened again first.
    if (!core::ensureConnection(m_records->database())) return;
    if (!beforeInsert() || !m_records->append()) {
        // The next code was refused: nothing was appended.
        refreshState();
        return;
    }
    refreshState();
    if (QWidget* code = m_stateDriven.value(0)) code->setFocus();
    afterInsert();
    refreshState();
}

void RegistryForm::Botao_AlterarClick() {
    if (!beforeEdit() || !m_records->edit()) return;
    refreshState();
    afterEdit();
    if (QWidget* name = m_stateDriven.value(m_spec.firstEditIsCode ? 1 : 0)) name->setFocus();
    refreshState();
}

namespace {

// The rows of the side tables for every record inserted or altered, written after the records
// themselves (a new record must exist before a row that refers to it).
bool writeSideTables(const RecordSet& records, const QList<SideTable>& tables, const QString& codeField,
                     const QSqlDatabase& db, QString* error) {
    const int codeIndex = records.fieldIndex(codeField);
    for (const int row : records.pendingRows()) {
        const QVariant code = records.valueAt(row, codeIndex);
        for (const SideTable& side : tables) {
            QVariantList values;
            bool any = false;
            for (const QString& field : side.fields) {
                QVariant v = records.valueAt(row, records.fieldIndex(field));
                if (v.typeId() == QMetaType::QString) v = v.toString().trimmed();
                if (v.typeId() == QMetaType::QString && v.toString().isEmpty()) v = QVariant();
                any = any || !v.isNull();
                values << v;
            }
            QSqlQuery q(db);
            bool prepared;
            if (any) {
                // UPDATE OR INSERT: one statement whether the record had a row before or not.
                prepared =
                    q.prepare(QStringLiteral("UPDATE OR INSERT INTO %1 (%2, %3) VALUES (?%4) MATCHING (%2)")
                                  .arg(side.table, side.keyColumn, side.fields.join(QStringLiteral(", ")),
                                       QStringLiteral(", ?").repeated(int(side.fields.size()))));
                q.addBindValue(code);
                for (const QVariant& v : std::as_const(values))
                    q.addBindValue(v);
            } else {
                prepared =
                    q.prepare(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(side.table, side.keyColumn));
                q.addBindValue(code);
            }
            if (!prepared || !q.exec()) {
                *error = q.lastError().text();
                return false;
            }
        }
    }
    return true;
}

} // namespace

bool RegistryForm::writeChanges(QString* /*message*/) {
    if (m_spec.sideTables.isEmpty()) return m_records->applyUpdates() == 0;
    const QList<SideTable> tables = m_spec.sideTables;
    const QString codeField = m_spec.codeField;
    RecordSet* records = m_records;
    return RecordSet::applyUpdates({m_records}, nullptr, {},
                                   [records, tables, codeField](const QSqlDatabase& db, QString* error) {
                                       return writeSideTables(*records, tables, codeField, db, error);
                                   }) == 0;
}

void RegistryForm::Botao_SalvarClick() {
    if (!m_records->isEditing()) return;
    if (!m_binder->commit()) return;
    for (const SaveCheck& check : std::as_const(m_spec.checks)) {
        const bool failed = check.fails ? check.fails(*m_records) : m_records->text(check.field).isEmpty();
        if (!failed) continue;
        core::dialogs().message(this, check.message);
        if (QWidget* target = check.focus.isEmpty() ? nullptr : control(check.focus)) target->setFocus();
        return;
    }
    for (int attempt = 1;; ++attempt) {
        if (m_spec.codeOnSaving && m_records->currentIsNew() && m_records->isEditing() &&
            !m_spec.codeOnSaving(*m_records, this))
            return;
        beforePost();
        if (!m_records->post()) {
            afterSaveFailed();
            core::dialogs().message(this, m_spec.postError);
            return;
        }
        QString refusal;
        if (writeChanges(&refusal)) break;
        m_records->edit();
        // A code drawn as the record is saved that another workstation took meanwhile (its row
        // committed after this one read the greatest) is drawn again, a few times, before the
        // user is told.
        if (m_spec.codeOnSaving && refusal.isEmpty() && !m_records->connectionLost() &&
            m_records->currentIsNew() && attempt < kCodeAttempts && core::isKeyViolation(m_records->lastError()))
            continue;
        afterSaveFailed();
        // With the connection gone the user has been told so; the record stays on screen, ready
        // to be saved again once the connection is back.
        if (!m_records->connectionLost())
            core::dialogs().message(this, !refusal.isEmpty()                    ? refusal
                                          : !m_spec.applyErrorMessage.isEmpty() ? m_spec.applyErrorMessage
                                                                                : applyErrorMessage());
        return;
    }
    afterSave();
    refreshState();
    if (m_incluir->isEnabled()) m_incluir->setFocus();
}

void RegistryForm::Botao_CancelarClick() {
    m_records->cancel();
    // A change whose apply failed is not kept: the list shows again what the database holds,
    // and the next save does not send the refused change once more.
    if (m_records->hasPendingChanges()) m_records->cancelUpdates();
    afterCancel();
    refreshState();
}

QString RegistryForm::inUseMessage(const QString& usageName, const QStringList& uses) {
    QString list = uses.value(0);
    for (int i = 1; i < uses.size(); ++i)
        list += (i + 1 == uses.size() ? QStringLiteral(" e ") : QStringLiteral(", ")) + uses.at(i);
    return QStringLiteral("Atenção, procedimento cancelado! %1 em uso por %2.").arg(usageName, list);
}

bool RegistryForm::currentUses(QStringList* uses, QString* error) const {
    uses->clear();
    const QVariant code = m_records->value(m_spec.codeField);
    for (const UsageCheck& usage : std::as_const(m_spec.usages)) {
        QSqlQuery count(m_records->database());
        count.setForwardOnly(true);
        if (!count.prepare(usage.query)) {
            *error = count.lastError().text();
            return false;
        }
        for (int i = 0, n = int(usage.query.count(QLatin1Char('?'))); i < n; ++i)
            count.addBindValue(code);
        if (!count.exec() || !count.next()) {
            *error = count.lastError().text();
            return false;
        }
        const qlonglong n = count.value(0).toLongLong();
        if (n > 0) *uses << QStringLiteral("%1 %2").arg(n).arg(n == 1 ? usage.singular : usage.plural);
    }
    return true;
}

void RegistryForm::Botao_ExcluirClick() {
    if (m_records->isEmpty()) {
        core::dialogs().message(this, nothingToDeleteMessage());
    } else if (!m_records->isEditing() && beforeDelete() &&
               core::dialogs().question(this, confirmDeleteQuestion(),
                                        core::DialogService::DefaultButton::No)) {
        // Counted after the confirmation, right before the deletion, so that a reference another
        // workstation added while the question was open is seen.
        QStringList uses;
        QString error;
        if (!core::ensureConnection(m_records->database())) {
            refreshState();
            return;
        }
        if (!currentUses(&uses, &error)) {
            if (!core::noteConnectionFailure(m_records->database(), this)) core::dialogs().error(this, error);
            refreshState();
            return;
        }
        if (!uses.isEmpty()) {
            core::dialogs().message(this, inUseMessage(m_spec.usageName, uses));
            refreshState();
            return;
        }
        m_records->deleteCurrent();
        // A deletion the database refuses (the row is still referenced) is undone silently; one
        // the form itself refuses says why.
        QString refusal;
        if (!writeChanges(&refusal)) {
            m_records->cancelUpdates();
            if (!refusal.isEmpty()) core::dialogs().message(this, refusal);
        }
    }
    refreshState();
}

void RegistryForm::Botao_FecharClick() {
    closeWindow(this);
}

} // namespace forms
