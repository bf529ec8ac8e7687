#include "forms/processes/processos.h"

#include "core/activity.h"
#include "core/clock.h"

#include "core/appvalues.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/handoff.h"
#include "core/menucommands.h"
#include "core/processnumbering.h"
#include "core/processpapers.h"
#include "core/publiclookup.h"
#include "core/session.h"
#include "forms/common/formwindow.h"
#include "forms/registers/interessados.h"
#include "forms/registers/lookups.h"
#include "forms/registers/pesqtitularrequerente.h"
#include "forms/registers/tiposprocessos.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QTime>
#include <QVBoxLayout>

namespace processes {

using namespace forms;

QPointer<TFrm_Processos> Frm_Processos;

namespace {

// The columns both record sets read, and the joins that give the four names. A process leaves
// the form with its first movement; the movement is looked up on the key columns through the
// index TRAMITACAO_PROCESSO, so the list costs the same on a database of a million movements.
// The year after the number keeps one number of two years in a fixed order.
QString processosQuery(const QString& blobs, const QString& processCondition) {
    return QStringLiteral(
               "SELECT A.IDPROCESSO, A.ANO, A.DATA, A.HORA, A.IDREQUERENTE, A.IDTITULAR, A.IDTIPOPROCESSO, "
               "A.ASSUNTO, %1A.RG, A.CPF, A.COMPROVANTE_RESIDENCIA, A.CARTEIRA_PROFISSIONAL, A.COD_USUARIO, "
               "B.INTERESSADO AS TITULAR, C.INTERESSADO AS REQUERENTE, D.TIPO AS TIPO_PROCESSO, E.USUARIO "
               "FROM PROCESSOS A "
               "LEFT JOIN INTERESSADOS B ON A.IDTITULAR = B.IDINTERESSADO "
               "LEFT JOIN INTERESSADOS C ON A.IDREQUERENTE = C.IDINTERESSADO "
               "LEFT JOIN TIPOPROCESSO D ON A.IDTIPOPROCESSO = D.IDTIPO "
               "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO "
               "WHERE A.COD_USUARIO = :UM "
               "AND NOT EXISTS (SELECT 1 FROM TRAMITACAO T WHERE T.IDPROCESSO = A.IDPROCESSO AND T.ANO = "
               "A.ANO) "
               "AND (:P_ANO = '0000' OR A.ANO = :P_ANO)%2 "
               "ORDER BY A.IDPROCESSO, A.ANO")
        .arg(blobs, processCondition);
}

const QString kAllYears = QStringLiteral("0000");
const QString kAllProcesses = QStringLiteral("00000000");

EditSpec shownOnly(const QString& name, const QString& field, const QString& caption, int chars, bool sameRow,
                   const QString& mask = QString()) {
    EditSpec e = lineEdit(name, field, caption, chars);
    e.stateDriven = false;
    e.sameRow = sameRow;
    e.mask = mask;
    return e;
}

EditSpec codeEdit(const QString& name, const QString& field, int chars) {
    EditSpec e = lineEdit(name, field, QStringLiteral("Código"), chars);
    e.sameRow = true;
    return e;
}

EditSpec checkBox(const QString& name, const QString& field, const QString& caption, bool sameRow) {
    EditSpec e;
    e.kind = EditSpec::Check;
    e.objectName = name;
    e.field = field;
    e.caption = caption;
    e.items = {QStringLiteral("X"), QStringLiteral("N")};
    e.sameRow = sameRow;
    return e;
}

EditSpec memo(const QString& name, const QString& field, const QString& caption, const QString& accessible) {
    EditSpec e;
    e.kind = EditSpec::Memo;
    e.objectName = name;
    e.field = field;
    e.caption = caption;
    e.entry = Entry::AsTyped;
    e.chars = 70;
    e.accessibleName = accessible;
    return e;
}

// The protocol number of a new process, drawn as it is saved.
bool drawNumber(RecordSet& records, QWidget* window) {
    // A connection found lost is opened again first; still gone, the user has been told already.
    if (!core::ensureConnection(records.database())) return false;
    const core::ProcessNumber n = core::nextProcessNumber(
        records.database(), core::numberingSchemeFor(core::appValues().profileNumber),
        records.value(QStringLiteral("DATA")).toDate(), records.text(QStringLiteral("ANO")));
    switch (n.outcome) {
    case core::ProcessNumber::Outcome::Assigned:
        return records.setValue(QStringLiteral("IDPROCESSO"), n.number);
    case core::ProcessNumber::Outcome::Refused:
        core::dialogs().message(window, n.message);
        return false;
    case core::ProcessNumber::Outcome::Failed:
        // A connection that is gone is told once, in Portuguese.
        if (!core::noteConnectionFailure(records.database(), window))
            core::dialogs().error(window, n.message);
        return false;
    }
    return false;
}

// Whether the process has a movement; false with the error text when the reading failed.
bool readRouted(const QSqlDatabase& db, const QString& process, const QString& year, bool* routed,
                QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT FIRST 1 1 FROM TRAMITACAO WHERE IDPROCESSO = ? AND ANO = ?"))) {
        *error = q.lastError().text();
        return false;
    }
    q.addBindValue(process);
    q.addBindValue(year);
    if (!q.exec()) {
        *error = q.lastError().text();
        return false;
    }
    *routed = q.next();
    if (q.lastError().isValid()) {
        *error = q.lastError().text();
        return false;
    }
    return true;
}

} // namespace

QString processosRecordQuery() {
    return processosQuery(QStringLiteral("A.PROCESSO, A.DOCUMENTOS_ANEXADOS, "),
                          QStringLiteral(" AND (:P_PROCESSO = '00000000' OR A.IDPROCESSO = :P_PROCESSO)"));
}

QString processosListQuery() {
    return processosQuery(QString(), QString());
}

QStringList exercicios(const QString& exerciseYear, const QString& earliestYear) {
    QStringList years = core::exerciseYears(exerciseYear, earliestYear);
    years << TFrm_Processos::everyYear();
    return years;
}

RegistrySpec processosSpec() {
    RegistrySpec s;
    s.formName = QStringLiteral("Frm_Processos");
    s.title = QStringLiteral("Processos");
    s.editingTabCaption = QStringLiteral("Processos");
    s.table = QStringLiteral("PROCESSOS");
    s.codeField = QStringLiteral("IDPROCESSO");
    s.codeWidth = 8;
    s.selectQuery = processosRecordQuery();
    s.fields = {keyField(QStringLiteral("IDPROCESSO"), 8),
                keyField(QStringLiteral("ANO"), 4),
                dateField(QStringLiteral("DATA")),
                timeField(QStringLiteral("HORA")),
                textField(QStringLiteral("IDREQUERENTE"), 6),
                textField(QStringLiteral("IDTITULAR"), 6),
                textField(QStringLiteral("IDTIPOPROCESSO"), 4),
                textField(QStringLiteral("ASSUNTO"), 255),
                memoField(QStringLiteral("PROCESSO")),
                textField(QStringLiteral("RG"), 1),
                textField(QStringLiteral("CPF"), 1),
                textField(QStringLiteral("COMPROVANTE_RESIDENCIA"), 1),
                textField(QStringLiteral("CARTEIRA_PROFISSIONAL"), 1),
                memoField(QStringLiteral("DOCUMENTOS_ANEXADOS")),
                textField(QStringLiteral("COD_USUARIO"), 8),
                joinedField(QStringLiteral("TITULAR"), 100),
                joinedField(QStringLiteral("REQUERENTE"), 100),
                joinedField(QStringLiteral("TIPO_PROCESSO"), 100),
                joinedField(QStringLiteral("USUARIO"), 100)};
    const QString interessado = QStringLiteral("SELECT INTERESSADO FROM INTERESSADOS WHERE IDINTERESSADO=?");
    s.zeroFills = {
        {QStringLiteral("IDREQUERENTE"), 6, interessado, QStringLiteral("REQUERENTE")},
        {QStringLiteral("IDTITULAR"), 6, interessado, QStringLiteral("TITULAR")},
        {QStringLiteral("IDTIPOPROCESSO"), 4, QStringLiteral("SELECT TIPO FROM TIPOPROCESSO WHERE IDTIPO=?"),
         QStringLiteral("TIPO_PROCESSO")},
        {QStringLiteral("COD_USUARIO"), 8, QStringLiteral("SELECT USUARIO FROM USUARIOS WHERE COD_USUARIO=?"),
         QStringLiteral("USUARIO")}};
    // The names are checked, not the codes: a code of nobody fails like an empty one.
    s.checks = {{QStringLiteral("REQUERENTE"),
                 attention(QStringLiteral("procedimento cancelado, Requerente/Procurador não informado!")),
                 QStringLiteral("Campo6")},
                {QStringLiteral("TITULAR"),
                 attention(QStringLiteral("procedimento cancelado, Titular não informado!")),
                 QStringLiteral("Campo5")},
                {QStringLiteral("TIPO_PROCESSO"),
                 attention(QStringLiteral("procedimento cancelado, Tipo Processo não informado!")),
                 QStringLiteral("Campo7")},
                {QStringLiteral("ASSUNTO"),
                 attention(QStringLiteral("procedimento cancelado, Assunto não informado!")),
                 QStringLiteral("Campo8")}};
    s.edits = {
        shownOnly(QStringLiteral("DFDF"), QStringLiteral("IDPROCESSO"), QStringLiteral("Processo"), 8, false),
        shownOnly(QStringLiteral("Campo2"), QStringLiteral("ANO"), QStringLiteral("Ano"), 4, true),
        shownOnly(QStringLiteral("Campo3"), QStringLiteral("DATA"), QStringLiteral("Data"), 10, true,
                  QStringLiteral("##/##/####")),
        shownOnly(QStringLiteral("Campo4"), QStringLiteral("HORA"), QStringLiteral("Hora"), 8, true,
                  QStringLiteral("##:##:##")),
        captionRow(QStringLiteral("LRequerente"), QStringLiteral("Requerente / Procurador")),
        smallButton(QStringLiteral("SpeedButton1"), QStringLiteral("&1"), QStringLiteral("Pesquisa"), false),
        cadastraButton(QStringLiteral("SpeedButton2"), QStringLiteral("&2"),
                       QStringLiteral("Requerentes/Titulares")),
        codeEdit(QStringLiteral("Campo6"), QStringLiteral("IDREQUERENTE"), 6),
        nameDisplay(QStringLiteral("DBEdit3"), QStringLiteral("REQUERENTE"), 50,
                    QStringLiteral("Nome do Requerente / Procurador")),
        captionRow(QStringLiteral("LTitular"), QStringLiteral("Titular / Órgão")),
        smallButton(QStringLiteral("SpeedButton3"), QStringLiteral("&3"), QStringLiteral("Pesquisa"), false),
        cadastraButton(QStringLiteral("SpeedButton4"), QStringLiteral("&4"),
                       QStringLiteral("Requerentes/Titulares")),
        codeEdit(QStringLiteral("Campo5"), QStringLiteral("IDTITULAR"), 6),
        nameDisplay(QStringLiteral("CampoE1"), QStringLiteral("TITULAR"), 50,
                    QStringLiteral("Nome do Titular / Órgão")),
        captionRow(QStringLiteral("LTipoProcesso"), QStringLiteral("Tipo Processo")),
        smallButton(QStringLiteral("SpeedButton5"), QStringLiteral("&5"), QStringLiteral("Pesquisa"), false),
        cadastraButton(QStringLiteral("SpeedButton6"), QStringLiteral("&6"),
                       QStringLiteral("Tipos de Processos")),
        codeEdit(QStringLiteral("Campo7"), QStringLiteral("IDTIPOPROCESSO"), 4),
        nameDisplay(QStringLiteral("DBEdit6"), QStringLiteral("TIPO_PROCESSO"), 50,
                    QStringLiteral("Nome do Tipo Processo")),
        lineEdit(QStringLiteral("Campo8"), QStringLiteral("ASSUNTO"), QStringLiteral("Assunto"), 70),
        memo(QStringLiteral("Campo9"), QStringLiteral("PROCESSO"), QStringLiteral("Instrução do Processo"),
             {}),
        captionRow(QStringLiteral("LDocumentos"), QStringLiteral("Documentos Anexados")),
        checkBox(QStringLiteral("DBCheckBox1"), QStringLiteral("RG"), QStringLiteral("Cópia RG"), false),
        checkBox(QStringLiteral("DBCheckBox2"), QStringLiteral("CPF"), QStringLiteral("Cópia CPF"), true),
        checkBox(QStringLiteral("DBCheckBox3"), QStringLiteral("COMPROVANTE_RESIDENCIA"),
                 QStringLiteral("Cópia Comp. de Residência"), true),
        checkBox(QStringLiteral("DBCheckBox4"), QStringLiteral("CARTEIRA_PROFISSIONAL"),
                 QStringLiteral("Cópia Carteira Profissional"), true),
        memo(QStringLiteral("Campo10"), QStringLiteral("DOCUMENTOS_ANEXADOS"), QString(),
             QStringLiteral("Outros documentos anexados")),
        shownOnly(QStringLiteral("DBEdit7"), QStringLiteral("COD_USUARIO"), QStringLiteral("Digitador por :"),
                  8, false),
        nameDisplay(QStringLiteral("DBEdit8"), QStringLiteral("USUARIO"), 50,
                    QStringLiteral("Nome do digitador"))};
    s.columns = {{QStringLiteral("Processo"), QStringLiteral("IDPROCESSO"), 75},
                 {QStringLiteral("Ano"), QStringLiteral("ANO"), 45},
                 {QStringLiteral("Data"), QStringLiteral("DATA"), 80},
                 {QStringLiteral("Hora"), QStringLiteral("HORA"), 65},
                 {QStringLiteral("Assunto"), QStringLiteral("ASSUNTO"), kWideColumn},
                 {QStringLiteral("RG"), QStringLiteral("RG"), 35},
                 {QStringLiteral("CPF"), QStringLiteral("CPF"), 35},
                 {QStringLiteral("Tipo Processo"), QStringLiteral("IDTIPOPROCESSO"), 90},
                 {QStringLiteral("Cód.Usuário"), QStringLiteral("COD_USUARIO"), 80},
                 {QStringLiteral("Comprovante Residência"), QStringLiteral("COMPROVANTE_RESIDENCIA"), 150},
                 {QStringLiteral("Carteira Profissional"), QStringLiteral("CARTEIRA_PROFISSIONAL"), 130},
                 {QStringLiteral("Titular"), QStringLiteral("TITULAR"), kWideColumn},
                 {QStringLiteral("Requerente"), QStringLiteral("REQUERENTE"), kWideColumn},
                 {QStringLiteral("Tipo Processo"), QStringLiteral("TIPO_PROCESSO"), kWideColumn},
                 {QStringLiteral("Usuário"), QStringLiteral("USUARIO"), kWideColumn}};
    s.search.paddedField = QStringLiteral("IDPROCESSO");
    s.search.paddedWidth = 8;
    s.size = QSize(900, 680);
    s.firstEditIsCode = false;
    s.codeOnSaving = drawNumber;
    s.applyErrorMessage = QStringLiteral(".Atenção, dados inconsistentes, confirme informações!");
    s.postError = QStringLiteral("..Atenção, dados inconsistentes, registro já existente!");
    return s;
}

TFrm_Processos::TFrm_Processos(QWidget* owner)
    : RegistryForm(processosSpec(), owner) {
    // No process is ever deleted here.
    control(QStringLiteral("Botao_Excluir"))->hide();

    m_list = new RecordSet(this);
    m_list->setObjectName(QStringLiteral("cdsDadosP"));
    m_list->setQuery(processosListQuery());
    setListSource(m_list);

    // "Exercícios" on the list tab, under the search box.
    auto* listLayout = qobject_cast<QVBoxLayout*>(control(QStringLiteral("TabSheet2"))->layout());
    auto* yearRow = new QHBoxLayout;
    auto* yearLabel = new QLabel(QStringLiteral("Exercícios"));
    yearLabel->setObjectName(QStringLiteral("LExercicios"));
    styleCaption(yearLabel);
    m_exercicios = new QComboBox;
    m_exercicios->setObjectName(QStringLiteral("Exercicios"));
    // The years before the exercise come from the database when the form is prepared.
    m_exercicios->addItems(exercicios(core::appValues().exerciseYear, QString()));
    m_exercicios->setCurrentIndex(0);
    yearLabel->setBuddy(m_exercicios);
    yearRow->addWidget(yearLabel);
    yearRow->addWidget(m_exercicios);
    yearRow->addStretch(1);
    listLayout->insertLayout(2, yearRow);
    connect(m_exercicios, &QComboBox::currentIndexChanged, this, &TFrm_Processos::ExerciciosChange);

    // The memo of other documents comes last, after the buttons.
    QWidget::setTabOrder(control(QStringLiteral("Botao_Fechar")), control(QStringLiteral("Campo10")));

    auto button = [this](const char* name) {
        return qobject_cast<QAbstractButton*>(control(QLatin1String(name)));
    };
    connect(button("SpeedButton1"), &QAbstractButton::clicked, this, [this] {
        registers::pesquisaTitularRequerente(this, records(), QStringLiteral("IDREQUERENTE"));
    });
    connect(button("SpeedButton2"), &QAbstractButton::clicked, this,
            [this] { registers::openInteressados(this); });
    connect(button("SpeedButton3"), &QAbstractButton::clicked, this,
            [this] { registers::pesquisaTitularRequerente(this, records(), QStringLiteral("IDTITULAR")); });
    connect(button("SpeedButton4"), &QAbstractButton::clicked, this,
            [this] { registers::openInteressados(this); });
    connect(button("SpeedButton5"), &QAbstractButton::clicked, this,
            [this] { registers::pesquisaTipoProcesso(this, records(), QStringLiteral("IDTIPOPROCESSO")); });
    connect(button("SpeedButton6"), &QAbstractButton::clicked, this,
            [this] { registers::openTiposProcessos(this); });

    addLookupCode();

    records()->addAfterInsert([this] { cdsDadosAfterInsert(); });
    records()->addFieldChange(QStringLiteral("IDREQUERENTE"), [this] { cdsDadosIDREQUERENTEChange(); });

    auto* grid = qobject_cast<QTableView*>(control(QStringLiteral("DBGrid1")));
    connect(grid, &QTableView::doubleClicked, this, &TFrm_Processos::DBGrid1DblClick);
    // Entering the editing tab shows the buttons of the process now shown.
    connect(pages(), &QTabWidget::currentChanged, this, [this](int index) {
        if (index == 0) refreshState();
    });

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));
    m_protocolo = m_popup->addAction(QStringLiteral("Protocolo"));
    m_protocolo->setObjectName(QStringLiteral("Protocolo"));
    connect(m_protocolo, &QAction::triggered, this, &TFrm_Processos::ProtocoloClick);
    m_capa = m_popup->addAction(QStringLiteral("Capa de Processo"));
    m_capa->setObjectName(QStringLiteral("CapadeProcesso"));
    connect(m_capa, &QAction::triggered, this, &TFrm_Processos::CapadeProcessoClick);
    m_tramitar = m_popup->addAction(QStringLiteral("Tramitar"));
    m_tramitar->setObjectName(QStringLiteral("Tramitar"));
    connect(m_tramitar, &QAction::triggered, this, &TFrm_Processos::TramitarClick);

    connect(this, &RegistryForm::stateRefreshed, this, &TFrm_Processos::applyOwnStates);
}

// The verification code of the citizens' look-up, beside the typist: a clerk can read it out on
// the phone to an applicant who lost the receipt. Read-only and outside the tab order.
void TFrm_Processos::addLookupCode() {
    // A column of its own (caption over the box) at the end of the typist's row.
    QWidget* typist = control(QStringLiteral("DBEdit8"));
    const QList<QBoxLayout*> layouts = editingPage()->findChildren<QBoxLayout*>();
    QBoxLayout* column = nullptr;
    for (QBoxLayout* l : layouts)
        if (l->indexOf(typist) >= 0) column = l;
    QBoxLayout* row = nullptr;
    for (QBoxLayout* l : layouts)
        for (int i = 0; i < l->count() && column; ++i)
            if (l->itemAt(i)->layout() == column) row = l;
    auto* label = new QLabel(QStringLiteral("Código de consulta :"));
    label->setObjectName(QStringLiteral("LCodigoConsulta"));
    styleCaption(label);
    m_lookupCode = new QLineEdit;
    m_lookupCode->setObjectName(QStringLiteral("CodigoConsulta"));
    m_lookupCode->setReadOnly(true);
    m_lookupCode->setFocusPolicy(Qt::NoFocus);
    m_lookupCode->setMaxLength(core::consulta::kCodeLength);
    m_lookupCode->setFixedWidth(m_lookupCode->fontMetrics().horizontalAdvance(QStringLiteral("WWWWWWWWWW")));
    m_lookupCode->setStyleSheet(QStringLiteral("background-color: rgb(192, 192, 192);"));
    m_lookupCode->setAccessibleName(QStringLiteral("Código de consulta"));
    label->setBuddy(m_lookupCode);
    if (row) {
        auto* own = new QVBoxLayout;
        own->setSpacing(column->spacing());
        own->addWidget(label);
        own->addWidget(m_lookupCode);
        row->addLayout(own);
    } else if (column) {
        column->addWidget(label);
        column->addWidget(m_lookupCode);
    }
    connect(this, &RegistryForm::stateRefreshed, this, &TFrm_Processos::showLookupCode);
    connect(records(), &RecordSet::recordChanged, this, &TFrm_Processos::showLookupCode);
}

void TFrm_Processos::showLookupCode() {
    RecordSet* r = records();
    const QString number = r->value(QStringLiteral("IDPROCESSO")).toString();
    // Only a saved process has its number (a new one holds the placeholder until it is saved).
    const bool saved = r->isOpen() && r->state() == RecordSet::State::Browse && r->rowCount() > 0 &&
                       !number.isEmpty() && number != QLatin1String("77777777");
    if (saved && m_lookupSecret.isEmpty()) m_lookupSecret = core::consulta::readSecret(r->database());
    m_lookupCode->setText(saved ? core::consulta::verificationCode(m_lookupSecret, number,
                                                                   r->value(QStringLiteral("ANO")).toString())
                                : QString());
}

void TFrm_Processos::setConnectionName(const QString& name) {
    records()->setConnectionName(name);
    m_list->setConnectionName(name);
}

bool TFrm_Processos::readRecordPart(const QString& year, const QVariant& process, QString* error) {
    RecordSet* r = records();
    r->close();
    r->setParameter(QStringLiteral("UM"), core::currentUser().code);
    r->setParameter(QStringLiteral("P_ANO"), year);
    r->setParameter(QStringLiteral("P_PROCESSO"), process);
    if (!r->open()) {
        if (error) *error = r->lastError();
        return false;
    }
    return true;
}

bool TFrm_Processos::readList(const QString& year, QString* error) {
    m_list->close();
    m_list->setParameter(QStringLiteral("UM"), core::currentUser().code);
    m_list->setParameter(QStringLiteral("P_ANO"), year);
    if (!m_list->open()) {
        if (error) *error = m_list->lastError();
        return false;
    }
    m_list->last();
    return true;
}

bool TFrm_Processos::prepare(QString* error) {
    const QString year = core::appValues().exerciseYear;
    {
        // The opening's reads share one transaction, and the list is read once, below, not again
        // by each change of the years box while it is filled.
        core::SharedRead reads(m_list->database());
        const QSignalBlocker quiet(m_exercicios);
        m_exercicios->clear();
        m_exercicios->addItems(exercicios(year, core::earliestProcessYear(m_list->database())));
        m_exercicios->setCurrentIndex(0);
        // No process number yet: the record part opens empty.
        if (!readRecordPart(year, QVariant(QMetaType::fromType<QString>()), error)) return false;
        if (!readList(year, error)) return false;
    }
    refreshState();
    return true;
}

void TFrm_Processos::cdsDadosAfterInsert() {
    RecordSet* r = records();
    const QDate today = core::today();
    r->setValue(QStringLiteral("ANO"), today.toString(QStringLiteral("dd/MM/yyyy")).mid(6, 4));
    r->setValue(QStringLiteral("DATA"), today);
    r->setValue(QStringLiteral("HORA"), core::now().time());
    for (const char* copy : {"RG", "CPF", "COMPROVANTE_RESIDENCIA", "CARTEIRA_PROFISSIONAL"})
        r->setValue(QLatin1String(copy), QStringLiteral("N"));
    r->setValue(QStringLiteral("COD_USUARIO"), core::currentUser().code);
    // Satisfies the required number until saving draws the real one; the number box does not
    // show it (applyOwnStates).
    r->setValue(QStringLiteral("IDPROCESSO"), placeholderNumber());
}

void TFrm_Processos::cdsDadosIDREQUERENTEChange() {
    RecordSet* r = records();
    if (r->state() != RecordSet::State::Insert) return;
    if (!r->text(QStringLiteral("IDTITULAR")).isEmpty()) return;
    r->setValue(QStringLiteral("IDTITULAR"), r->text(QStringLiteral("IDREQUERENTE")));
}

void TFrm_Processos::applyOwnStates() {
    RecordSet* r = records();
    const bool browse = r->state() == RecordSet::State::Browse;
    const bool shown = browse && !r->isEmpty();
    const core::CurrentUser& user = core::currentUser();
    control(QStringLiteral("Botao_Incluir"))->setEnabled(browse && user.protocolist == QLatin1String("SIM"));
    control(QStringLiteral("Botao_Alterar"))
        ->setEnabled(shown && !user.code.isEmpty() && r->text(QStringLiteral("COD_USUARIO")) == user.code);
    m_exercicios->setEnabled(browse);
    // Only a stored process can be routed, and only it has a receipt and a cover to print.
    for (QAction* a : {m_protocolo, m_capa, m_tramitar})
        a->setEnabled(savedProcessShown());
    // The number of a process being entered is not its number yet: drawn in the box's own colour.
    auto* number = qobject_cast<QLineEdit*>(control(QStringLiteral("DFDF")));
    QPalette pal = number->palette();
    pal.setColor(QPalette::Text, r->currentIsNew() ? pal.color(QPalette::Base) : QColor(Qt::black));
    number->setPalette(pal);
}

void TFrm_Processos::DBGrid1DblClick() {
    const int row = m_list->currentRow();
    if (row < 0) return;
    const QString process = m_list->valueAt(row, m_list->fieldIndex(QStringLiteral("IDPROCESSO"))).toString();
    const QString year = m_list->valueAt(row, m_list->fieldIndex(QStringLiteral("ANO"))).toString();
    QString error;
    if (!readRecordPart(year, process, &error)) core::dialogs().error(this, error);
    pages()->setCurrentIndex(0);
    refreshState();
}

void TFrm_Processos::ExerciciosChange() {
    const QString chosen = m_exercicios->currentText();
    QString error;
    if (!readList(chosen == everyYear() ? kAllYears : chosen, &error)) core::dialogs().error(this, error);
}

bool TFrm_Processos::savedProcessShown() const {
    const RecordSet* r = records();
    return r->state() == RecordSet::State::Browse && !r->isEmpty() && !r->currentIsNew();
}

void TFrm_Processos::printPaper(const QString& entry) {
    // A process still being typed has no number yet (or the placeholder): there is nothing to print.
    if (!savedProcessShown()) return;
    if (!core::openProcessPaper(entry, this, records()->text(QStringLiteral("IDPROCESSO")),
                                records()->text(QStringLiteral("ANO"))))
        core::dialogs().message(this, core::notAvailableMessage(entry));
}

void TFrm_Processos::ProtocoloClick() {
    printPaper(QStringLiteral("Protocolo"));
}

void TFrm_Processos::CapadeProcessoClick() {
    printPaper(QStringLiteral("Capa de Processo"));
}

void TFrm_Processos::TramitarClick() {
    RecordSet* r = records();
    if (!savedProcessShown()) return;
    const QString process = r->text(QStringLiteral("IDPROCESSO"));
    const QString year = r->text(QStringLiteral("ANO"));
    if (!core::openRouting(this, process, year))
        core::dialogs().message(this, core::notAvailableMessage(QStringLiteral("Tramitação")));
    // The process handed over is read again: gone when it now has a movement, still shown when
    // the routing form closed without sending. (The selection of the last reading would lose a
    // process saved since then, read by no selection, even though it was not sent.)
    if (!readRecordPart(year, process, nullptr)) core::dialogs().error(this, r->lastError());
    refreshState();
}

bool TFrm_Processos::beforeEdit() {
    if (!savedProcessShown()) return true;
    bool routed = false;
    QString error;
    // A failed reading does not stop the alteration: the save checks again under the lock.
    if (!readRouted(records()->database(), records()->text(QStringLiteral("IDPROCESSO")),
                    records()->text(QStringLiteral("ANO")), &routed, &error) ||
        !routed)
        return true;
    core::dialogs().message(this, routedMessage());
    dropRoutedProcess();
    return false;
}

bool TFrm_Processos::writeChanges(QString* message) {
    m_routedOnSaving = false;
    RecordSet* r = records();
    // A new process has no movement; only an alteration has to be checked.
    if (r->currentIsNew()) return RegistryForm::writeChanges(message);
    const QString process = r->text(QStringLiteral("IDPROCESSO"));
    const QString year = r->text(QStringLiteral("ANO"));
    bool routed = false;
    bool locked = false;
    // The sending takes the same row lock before it writes a movement, so a sending from
    // another desk and this alteration cannot both pass: whichever locks second waits for the
    // other and then finds the movement, or loses the lock.
    const int errors = RecordSet::applyUpdates(
        {r}, nullptr,
        [&](const QSqlDatabase& db, QString* error) {
            QSqlQuery lock(db);
            lock.setForwardOnly(true);
            if (!lock.prepare(QStringLiteral(
                    "SELECT IDPROCESSO FROM PROCESSOS WHERE IDPROCESSO = ? AND ANO = ? WITH LOCK"))) {
                *error = lock.lastError().text();
                return false;
            }
            lock.addBindValue(process);
            lock.addBindValue(year);
            if (!lock.exec() || !lock.next()) {
                *error = lock.lastError().isValid()
                             ? lock.lastError().text()
                             : QStringLiteral("Registro não encontrado ou alterado por "
                                              "outro usuário.");
                return false;
            }
            locked = true;
            if (!readRouted(db, process, year, &routed, error)) return false;
            if (routed) *error = routedMessage();
            return !routed;
        },
        {});
    if (errors == 0) return true;
    // The lock lost to a sending that has committed meanwhile: the movement is there now.
    if (!routed && !locked && !r->connectionLost()) {
        QString ignored;
        readRouted(r->database(), process, year, &routed, &ignored);
    }
    if (routed) {
        m_routedOnSaving = true;
        *message = routedMessage();
    }
    return false;
}

void TFrm_Processos::beforePost() {
    m_savingNew = records()->state() == RecordSet::State::Insert;
}

void TFrm_Processos::afterSave() {
    RecordSet* r = records();
    core::announceFinished(
        core::processName(r->text(QStringLiteral("IDPROCESSO")), r->text(QStringLiteral("ANO"))) +
        (m_savingNew ? QStringLiteral(" registrado") : QStringLiteral(" alterado")));
}

void TFrm_Processos::afterSaveFailed() {
    if (!m_routedOnSaving) return;
    m_routedOnSaving = false;
    // The alteration cannot be written any more: it is dropped with the process it was made on.
    dropRoutedProcess();
}

void TFrm_Processos::dropRoutedProcess() {
    RecordSet* r = records();
    const QString process = r->text(QStringLiteral("IDPROCESSO"));
    const QString year = r->text(QStringLiteral("ANO"));
    r->cancel();
    if (r->hasPendingChanges()) r->cancelUpdates();
    if (!readRecordPart(year, process, nullptr)) core::dialogs().error(this, r->lastError());
    refreshState();
}

void TFrm_Processos::contextMenuEvent(QContextMenuEvent* event) {
    m_popup->exec(event->globalPos());
}

void openProcessos(QWidget* owner) {
    openModal<TFrm_Processos>(Frm_Processos, owner,
                              [](TFrm_Processos* f, QString* error) { return f->prepare(error); });
}

} // namespace processes
