#include "forms/processes/tramitacao.h"

#include "core/activity.h"
#include "core/appvalues.h"
#include "core/connection.h"
#include "core/dialogs.h"
#include "core/handoff.h"
#include "core/menucommands.h"
#include "core/processpapers.h"
#include "core/readquery.h"
#include "core/routines.h"
#include "core/session.h"
#include "forms/common/formwindow.h"
#include "forms/processes/pesqprocesso.h"
#include "forms/registers/lookups.h"
#include "forms/registers/pesqusuario02.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace processes {

using namespace forms;
namespace routing = core::routing;

QPointer<TFrm_Tramitacao> Frm_Tramitacao;

namespace {

const QString kRegistro = QStringLiteral("REGISTRO");
const QString kProcesso = QStringLiteral("IDPROCESSO");
const QString kAno = QStringLiteral("ANO");
const QString kUnidade = QStringLiteral("IDUNIDADE");
const QString kDestino = QStringLiteral("COD_USUARIO_DESTINO");
const QString kRemetente = QStringLiteral("COD_USUARIO");
const QString kAssunto = QStringLiteral("ASSUNTO");
const QString kInstrucao = QStringLiteral("PROCESSO");
const QString kNomeUnidade = QStringLiteral("UNIDADE");
const QString kNomeDestino = QStringLiteral("USUARIO_DESTINO");
const QString kNomeRemetente = QStringLiteral("USUARIO");

constexpr QSize kWindowSize(1234, 480);

FieldDef joinedMemo(const QString& name) {
    FieldDef f = memoField(name);
    f.joined = true;
    return f;
}

} // namespace

TFrm_Tramitacao::TFrm_Tramitacao(QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Frm_Tramitacao"));
    prepareWindow(this, kWindowSize);

    m_records = new RecordSet(this);
    m_records->setObjectName(QStringLiteral("cdsDados"));
    m_records->setQuery(QStringLiteral(
        "SELECT A.REGISTRO, A.IDPROCESSO, A.ANO, A.IDSETOR, A.COD_USUARIO_DESTINO, A.DATA, A.HORA, "
        "A.DESPACHO, A.DATA_RECEBIMENTO, A.HORA_RECEBIMENTO, A.DATA_RECEBIMENTO_FISICO, "
        "A.HORA_RECEBIMENTO_FISICO, A.DATA_ARQUIVAMENTO, A.HORA_ARQUIVAMENTO, A.MOTIVO_ARQUIVAMENTO, "
        "A.DATA_DESARQUIVAMENTO, A.HORA_DESARQUIVAMENTO, A.MOTIVO_DESARQUIVAMENTO, A.ARQUIVADO, "
        "A.COD_USUARIO, A.IDUNIDADE, B.ASSUNTO, B.PROCESSO, C.SETOR, D.USUARIO AS USUARIO_DESTINO, "
        "E.USUARIO AS USUARIO, F.UNIDADE FROM TRAMITACAO A "
        "LEFT JOIN PROCESSOS B ON A.IDPROCESSO = B.IDPROCESSO AND A.ANO = B.ANO "
        "LEFT JOIN SETORES C ON A.IDSETOR = C.IDSETOR "
        "LEFT JOIN USUARIOS D ON A.COD_USUARIO_DESTINO = D.COD_USUARIO "
        "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO "
        "LEFT JOIN UNIDADES F ON A.IDUNIDADE = F.IDUNIDADE "
        "WHERE A.REGISTRO=:UM ORDER BY A.REGISTRO"));
    m_records->setFields({keyField(kRegistro, 8),
                          textField(kProcesso, 8),
                          textField(kAno, 4),
                          textField(QStringLiteral("IDSETOR"), 6),
                          textField(kDestino, 8),
                          dateField(QStringLiteral("DATA")),
                          timeField(QStringLiteral("HORA")),
                          memoField(QStringLiteral("DESPACHO")),
                          dateField(QStringLiteral("DATA_RECEBIMENTO")),
                          timeField(QStringLiteral("HORA_RECEBIMENTO")),
                          dateField(QStringLiteral("DATA_RECEBIMENTO_FISICO")),
                          timeField(QStringLiteral("HORA_RECEBIMENTO_FISICO")),
                          dateField(QStringLiteral("DATA_ARQUIVAMENTO")),
                          timeField(QStringLiteral("HORA_ARQUIVAMENTO")),
                          textField(QStringLiteral("MOTIVO_ARQUIVAMENTO"), routing::kReasonWidth),
                          dateField(QStringLiteral("DATA_DESARQUIVAMENTO")),
                          timeField(QStringLiteral("HORA_DESARQUIVAMENTO")),
                          textField(QStringLiteral("MOTIVO_DESARQUIVAMENTO"), routing::kReasonWidth),
                          textField(QStringLiteral("ARQUIVADO"), 3),
                          textField(kRemetente, 8),
                          textField(kUnidade, 4),
                          joinedField(kAssunto, 255),
                          joinedMemo(kInstrucao),
                          joinedField(QStringLiteral("SETOR"), 100),
                          joinedField(kNomeDestino, 100),
                          joinedField(kNomeRemetente, 100),
                          joinedField(kNomeUnidade, 100)});
    m_records->setUpdateTable(QStringLiteral("TRAMITACAO"));
    m_binder = new FieldBinder(m_records, this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    outer->addWidget(m_pages);

    buildRoutingTab();
    buildListTab();
    buildStampTab(QStringLiteral("Arquivamento"), "TabSheet3",
                  {QStringLiteral("DATA_ARQUIVAMENTO"), QStringLiteral("HORA_ARQUIVAMENTO"),
                   QStringLiteral("MOTIVO_ARQUIVAMENTO")},
                  {QStringLiteral("DBEdit12"), QStringLiteral("DBEdit13"), QStringLiteral("DBMemo1")},
                  QStringLiteral("Motivo Arquivamento"));
    buildStampTab(QStringLiteral("Desarquivamento"), "TabSheet4",
                  {QStringLiteral("DATA_DESARQUIVAMENTO"), QStringLiteral("HORA_DESARQUIVAMENTO"),
                   QStringLiteral("MOTIVO_DESARQUIVAMENTO")},
                  {QStringLiteral("DBEdit14"), QStringLiteral("DBEdit15"), QStringLiteral("DBMemo2")},
                  QStringLiteral("Motivo Desarquivamento"));
    installFieldHandlers();

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* historico = m_popup->addAction(QStringLiteral("Histórico do Processo"));
    historico->setObjectName(QStringLiteral("HistoricodoProcesso"));
    connect(historico, &QAction::triggered, this, &TFrm_Tramitacao::HistoricodoProcessoClick);
    QAction* despacho = m_popup->addAction(QStringLiteral("Despacho"));
    despacho->setObjectName(QStringLiteral("Despacho"));
    connect(despacho, &QAction::triggered, this, &TFrm_Tramitacao::DespachoClick);

    // FormCreate: the tab "Tramitação" first.
    m_pages->setCurrentIndex(0);
    setWindowTitle(m_title->text());
}

TFrm_Tramitacao::~TFrm_Tramitacao() = default;

void TFrm_Tramitacao::buildRoutingTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet1"));
    paintBackground(page);
    m_pages->addTab(page, QStringLiteral("Tramitação"));

    auto* row = new QHBoxLayout(page);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(18);
    row->addLayout(commandColumn(
        page,
        {{&m_incluir, "Botao_Incluir", QStringLiteral("&Incluir"), [this] { Botao_IncluirClick(); }},
         {&m_salvar, "Botao_Salvar", QStringLiteral("&Enviar"), [this] { Botao_SalvarClick(); }},
         {&m_alterar, "Botao_Alterar", QStringLiteral("&Alterar"), [] {}},
         {&m_cancelar, "Botao_Cancelar", QStringLiteral("&Cancelar"), [this] { Botao_CancelarClick(); }},
         {&m_excluir, "Botao_Excluir", QStringLiteral("&Excluir"), [] {}},
         {&m_fechar, "Botao_Fechar", QStringLiteral("&Fechar"), [this] { Botao_FecharClick(); }}}));
    m_incluir->setToolTip(QStringLiteral("Inclui novo registro"));
    // A movement is never altered or deleted: the two buttons exist but are never shown.
    m_alterar->setVisible(false);
    m_excluir->setVisible(false);

    const HiddenStateParts hidden =
        addHiddenStateParts(page, QStringLiteral("Tramitação"), [this] { applyStateTable(); });
    m_stateButton = hidden.stateButton;
    m_title = hidden.title;

    const QFontMetrics fm(font());
    auto widthFor = [&](int chars) { return fm.horizontalAdvance(QString(chars, QLatin1Char('N'))) + 14; };
    // A control under its caption label (the label is its buddy).
    auto cell = [&](QWidget* w, const QString& caption) {
        auto* box = new QVBoxLayout;
        box->setSpacing(2);
        if (!caption.isEmpty()) {
            auto* label = new QLabel(caption, page);
            label->setObjectName(QStringLiteral("L") + w->objectName());
            styleCaption(label);
            label->setBuddy(w);
            box->addWidget(label);
        }
        box->addWidget(w, 0, Qt::AlignLeft);
        return box;
    };
    auto line = [&](QVBoxLayout* column) {
        auto* l = new QHBoxLayout;
        l->setSpacing(8);
        column->addLayout(l);
        return l;
    };
    auto add = [](QHBoxLayout* l, QLayout* c) {
        l->addLayout(c);
        l->setAlignment(c, Qt::AlignBottom);
    };
    // Never editable: silver, skipped by Tab.
    auto display = [&](const char* name, const QString& field, int pixels) {
        auto* e = new QLineEdit(page);
        e->setObjectName(QString::fromLatin1(name));
        m_binder->bind(e, field, Entry::Upper);
        e->setFixedWidth(pixels);
        e->setFocusPolicy(Qt::NoFocus);
        setEditable(e, false);
        return e;
    };
    // Read-only while sending too, yet reached by Tab (the register, the process and its year).
    auto focusableDisplay = [&](QLineEdit*& e, const char* name, const QString& field, int chars) {
        e = new QLineEdit(page);
        e->setObjectName(QString::fromLatin1(name));
        m_binder->bind(e, field, Entry::Upper);
        e->setFixedWidth(widthFor(chars));
        setEditable(e, false);
        return e;
    };
    auto searchButton = [&](const char* name, const QString& text) {
        auto* b = new QToolButton(page);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(QStringLiteral("Pesquisa"));
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(28, fm.height() + 10);
        return b;
    };
    auto sectionLabel = [&](const char* name, const QString& text) {
        auto* label = new QLabel(text, page);
        label->setObjectName(QString::fromLatin1(name));
        styleCaption(label);
        label->setFixedWidth(170);
        return label;
    };

    // Left: the process and the dispatch.
    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    row->addLayout(left, 11);
    QHBoxLayout* l = line(left);
    add(l, cell(focusableDisplay(m_campo1, "Campo1", kRegistro, 9), QStringLiteral("Registro")));
    add(l, cell(focusableDisplay(m_campo2, "Campo2", kProcesso, 9), QStringLiteral("Processo")));
    add(l, cell(focusableDisplay(m_campo6, "CAMPO6", kAno, 5), QStringLiteral("Ano")));
    l->addStretch(1);

    l = line(left);
    add(l, cell(display("DBEdit1", kAssunto, 470), QStringLiteral("Assunto")));
    QToolButton* pesquisaProcesso = searchButton("SpeedButton1", QStringLiteral("&1"));
    l->addWidget(pesquisaProcesso, 0, Qt::AlignBottom);
    l->addStretch(1);

    auto* instrucao = new QPlainTextEdit(page);
    instrucao->setObjectName(QStringLiteral("DBedit333"));
    m_binder->bind(instrucao, kInstrucao);
    instrucao->setFocusPolicy(Qt::NoFocus);
    setEditable(instrucao, false);
    instrucao->setFixedWidth(510);
    left->addLayout(cell(instrucao, QStringLiteral("Instrução do Processo")), 1);

    m_campo3 = new QPlainTextEdit(page);
    m_campo3->setObjectName(QStringLiteral("Campo3"));
    m_campo3->setTabChangesFocus(true);
    m_binder->bind(m_campo3, QStringLiteral("DESPACHO"));
    m_campo3->setFixedWidth(510);
    left->addLayout(cell(m_campo3, QStringLiteral("Despacho")), 1);

    // Right: where it goes, and its stamps.
    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    row->addLayout(right, 10);
    l = line(right);
    QToolButton* pesquisaUnidade = searchButton("SpeedButton3", QStringLiteral("&3"));
    l->addWidget(pesquisaUnidade, 0, Qt::AlignBottom);
    m_campo4 = new QLineEdit(page);
    m_campo4->setObjectName(QStringLiteral("Campo4"));
    m_binder->bind(m_campo4, kUnidade, Entry::Upper);
    m_campo4->setFixedWidth(widthFor(5));
    add(l, cell(m_campo4, QStringLiteral("Unidade")));
    QLineEdit* nomeUnidade = display("DBEdit3", kNomeUnidade, 380);
    nomeUnidade->setAccessibleName(QStringLiteral("Unidade Orçamentária"));
    add(l, cell(nomeUnidade, QStringLiteral("Unidade Orçamentária")));
    l->addStretch(1);

    l = line(right);
    QToolButton* pesquisaUsuario = searchButton("SpeedButton4", QStringLiteral("&4"));
    l->addWidget(pesquisaUsuario, 0, Qt::AlignBottom);
    // The destination is chosen only through "&4".
    add(l, cell(display("dededed", kDestino, widthFor(9)), QStringLiteral("Usuário")));
    add(l, cell(display("DBEdit4", kNomeDestino, 380), QStringLiteral("Usuário Destino")));
    l->addStretch(1);

    right->addSpacing(8);
    const QList<std::tuple<const char*, QString, const char*, const char*, QString, QString>> stamps{
        {"LTransmissao", QStringLiteral("TRANSMISSÃO :"), "DBEdit5", "DBEdit6", QStringLiteral("DATA"),
         QStringLiteral("HORA")},
        {"LRecepcaoEletronica", QStringLiteral("RECEPÇÃO ELETRÔNICA :"), "DBEdit7", "DBEdit8",
         QStringLiteral("DATA_RECEBIMENTO"), QStringLiteral("HORA_RECEBIMENTO")},
        {"LRecepcaoFisica", QStringLiteral("RECEPÇÃO FÍSICA :"), "DBEdit2", "DBEdit11",
         QStringLiteral("DATA_RECEBIMENTO_FISICO"), QStringLiteral("HORA_RECEBIMENTO_FISICO")}};
    for (const auto& [labelName, text, dateName, timeName, dateFieldName, timeFieldName] : stamps) {
        l = line(right);
        QLabel* section = sectionLabel(labelName, text);
        l->addWidget(section, 0, Qt::AlignBottom);
        QLineEdit* date = display(dateName, dateFieldName, widthFor(10));
        QLineEdit* time = display(timeName, timeFieldName, widthFor(8));
        date->setAccessibleName(text + QStringLiteral(" Data"));
        time->setAccessibleName(text + QStringLiteral(" Hora"));
        add(l, cell(date, QStringLiteral("Data")));
        add(l, cell(time, QStringLiteral("Hora")));
        l->addStretch(1);
    }
    l = line(right);
    l->addWidget(sectionLabel("LDigitador", QStringLiteral("Digitador por :")), 0, Qt::AlignBottom);
    QLineEdit* remetente = display("DBEdit9", kRemetente, widthFor(9));
    QLineEdit* nomeRemetente = display("DBEdit10", kNomeRemetente, 380 - widthFor(9) - 8);
    remetente->setAccessibleName(QStringLiteral("Digitador por"));
    nomeRemetente->setAccessibleName(QStringLiteral("Nome do digitador"));
    l->addWidget(remetente, 0, Qt::AlignBottom);
    l->addWidget(nomeRemetente, 0, Qt::AlignBottom);
    l->addStretch(1);
    // Shown only in the batch mode: how many processes the one dispatch goes with.
    l = line(right);
    m_batchLabel = sectionLabel("LLote", QString());
    m_batchLabel->setMinimumWidth(0);
    m_batchLabel->setMaximumWidth(QWIDGETSIZE_MAX);
    m_batchLabel->setVisible(false);
    l->addWidget(m_batchLabel);
    l->addStretch(1);
    right->addStretch(1);

    connect(pesquisaProcesso, &QToolButton::clicked, this, &TFrm_Tramitacao::SpeedButton1Click);
    connect(pesquisaUnidade, &QToolButton::clicked, this, &TFrm_Tramitacao::SpeedButton3Click);
    connect(pesquisaUsuario, &QToolButton::clicked, this, &TFrm_Tramitacao::SpeedButton4Click);
    connect(m_campo4, &QLineEdit::textChanged, this, &TFrm_Tramitacao::Campo4Change);

    const QList<QWidget*> chain{m_campo1, m_campo2,  m_campo6,   m_campo3, m_campo4,
                                m_salvar, m_incluir, m_cancelar, m_fechar};
    for (int i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i), chain.at(i + 1));
}

void TFrm_Tramitacao::buildListTab() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("TabSheet2"));
    paintBackground(page);
    m_pages->addTab(page, QStringLiteral("Pesquisa"));

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(4);
    m_procuraLabel = new QLabel(QStringLiteral("Informe"), page);
    m_procuraLabel->setObjectName(QStringLiteral("LProcura"));
    styleCaption(m_procuraLabel);
    m_procura = new QLineEdit(page);
    m_procura->setObjectName(QStringLiteral("PROCURA"));
    m_procura->setFixedWidth(280);
    setEntry(m_procura, Entry::Upper);
    paintEditable(m_procura, true);
    m_procuraLabel->setBuddy(m_procura);
    layout->addWidget(m_procuraLabel);
    layout->addWidget(m_procura);

    m_grid = new QTableView(page);
    m_grid->setObjectName(QStringLiteral("DBGrid1"));
    layout->addWidget(m_grid, 1);
    auto column = [](const char* title, const char* field, int width = 0, bool hidden = false) {
        GridColumn c;
        c.title = QString::fromUtf8(title);
        c.field = QString::fromLatin1(field);
        c.width = width;
        c.hidden = hidden;
        return c;
    };
    m_model = new GridModel(m_records,
                            {column("Registro", "REGISTRO", 82),
                             column("Nº Processo", "IDPROCESSO", 88),
                             column("Assunto", "ASSUNTO", kWideColumn),
                             column("Cód.Setor", "IDSETOR"),
                             column("Setor", "SETOR", kWideColumn),
                             column("Cód.Usuário Destino", "COD_USUARIO_DESTINO"),
                             column("Usuário Destino", "USUARIO_DESTINO", kWideColumn),
                             column("Data", "DATA", 90),
                             column("Hora", "HORA", 76),
                             column("Despacho", "DESPACHO", 0, true),
                             column("Dt.Recebimento", "DATA_RECEBIMENTO"),
                             column("Hora Recebimento", "HORA_RECEBIMENTO"),
                             column("Dt.Recebimento Físico", "DATA_RECEBIMENTO_FISICO"),
                             column("Hora Recebimento Físico", "HORA_RECEBIMENTO_FISICO"),
                             column("Arquivado", "ARQUIVADO", 0, true),
                             column("Cód.Usuário", "COD_USUARIO"),
                             column("Usuário", "USUARIO", kWideColumn),
                             column("Instrução do Processo", "PROCESSO", 0, true),
                             column("Dt.Arquivamento", "DATA_ARQUIVAMENTO"),
                             column("Hora Arquivamento", "HORA_ARQUIVAMENTO"),
                             column("Motivo Arquivamento", "MOTIVO_ARQUIVAMENTO", kWideColumn),
                             column("Dt.Desarquivamento", "DATA_DESARQUIVAMENTO"),
                             column("Hora Desarquivamento", "HORA_DESARQUIVAMENTO"),
                             column("Motivo Desarquivamento", "MOTIVO_DESARQUIVAMENTO", kWideColumn)},
                            this);
    setupGrid(m_grid, m_model);
    // The typed text is searched as typed, in every column.
    SearchRules rules;
    rules.postalCodeField.clear();
    m_search = new GridSearch(m_procuraLabel, m_procura, m_grid, m_model, rules, this);
    connect(m_grid, &QTableView::doubleClicked, this, &TFrm_Tramitacao::DBGrid1DblClick);
}

void TFrm_Tramitacao::buildStampTab(const QString& caption, const char* pageName, const QStringList& fields,
                                    const QStringList& names, const QString& reasonCaption) {
    auto* page = new QWidget;
    page->setObjectName(QString::fromLatin1(pageName));
    paintBackground(page);
    m_pages->addTab(page, caption);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(6);
    const QFontMetrics fm(font());
    auto* line = new QHBoxLayout;
    line->setSpacing(10);
    layout->addLayout(line);
    const QStringList captions{QStringLiteral("Data"), QStringLiteral("Hora")};
    for (int i = 0; i < 2; ++i) {
        auto* e = new QLineEdit(page);
        e->setObjectName(names.at(i));
        m_binder->bind(e, fields.at(i), Entry::Upper);
        e->setFixedWidth(fm.horizontalAdvance(QString(10, QLatin1Char('N'))) + 14);
        e->setFocusPolicy(Qt::NoFocus);
        e->setAccessibleName(caption + QStringLiteral(" ") + captions.at(i));
        setEditable(e, false);
        auto* cell = new QVBoxLayout;
        cell->setSpacing(2);
        auto* label = new QLabel(captions.at(i), page);
        label->setObjectName(QStringLiteral("L") + names.at(i));
        styleCaption(label);
        label->setBuddy(e);
        cell->addWidget(label);
        cell->addWidget(e);
        line->addLayout(cell);
    }
    line->addStretch(1);
    auto* label = new QLabel(reasonCaption, page);
    label->setObjectName(QStringLiteral("L") + names.at(2));
    styleCaption(label);
    auto* reason = new QPlainTextEdit(page);
    reason->setObjectName(names.at(2));
    m_binder->bind(reason, fields.at(2));
    reason->setFocusPolicy(Qt::NoFocus);
    setEditable(reason, false);
    reason->setFixedSize(700, fm.height() * 6);
    label->setBuddy(reason);
    layout->addWidget(label);
    layout->addWidget(reason);
    layout->addStretch(1);
}

void TFrm_Tramitacao::lookUp(const QString& sql, const QVariantList& values, const QStringList& into) {
    // The scratch query `sqlBusca`: no row gives empty names.
    if (!core::ensureConnection(m_records->database())) return;
    core::ReadQuery busca(m_records->database());
    bool ok = busca.prepare(sql);
    for (const QVariant& v : values)
        busca.addBindValue(v);
    if (!ok || !busca.exec()) {
        // A lost connection has been told once; the next action opens it again.
        if (!core::noteConnectionFailure(m_records->database(), this))
            core::dialogs().error(this, busca.lastError().text());
        return;
    }
    const bool found = busca.next();
    for (int i = 0; i < into.size(); ++i)
        m_records->setValue(into.at(i), found ? busca.value(i) : QVariant());
}

void TFrm_Tramitacao::installFieldHandlers() {
    // Each code is padded with "0" to its width as it changes, then its name is read.
    auto pad = [this](const QString& field, int width) {
        const QString text = m_records->text(field);
        if (text.size() < width) m_records->setValue(field, routines::zeroFill(text, width));
        return m_records->text(field);
    };
    auto readProcess = [this] {
        lookUp(QStringLiteral("SELECT ASSUNTO, PROCESSO FROM PROCESSOS WHERE IDPROCESSO=? AND ANO=?"),
               {m_records->text(kProcesso), m_records->text(kAno)}, {kAssunto, kInstrucao});
    };
    m_records->addFieldChange(kProcesso, [this, pad, readProcess] {
        pad(kProcesso, 8);
        if (!m_records->text(kAno).isEmpty()) readProcess();
    });
    m_records->addFieldChange(kAno, [this, pad, readProcess] {
        pad(kAno, 4);
        if (!m_records->text(kProcesso).isEmpty()) readProcess();
    });
    m_records->addFieldChange(kUnidade, [this, pad] {
        lookUp(QStringLiteral("SELECT UNIDADE FROM UNIDADES WHERE IDUNIDADE=?"), {pad(kUnidade, 4)},
               {kNomeUnidade});
    });
    m_records->addFieldChange(kDestino, [this, pad] {
        lookUp(QStringLiteral("SELECT USUARIO FROM USUARIOS WHERE COD_USUARIO=?"), {pad(kDestino, 8)},
               {kNomeDestino});
    });
    m_records->addFieldChange(kRemetente, [this, pad] {
        lookUp(QStringLiteral("SELECT USUARIO FROM USUARIOS WHERE COD_USUARIO=?"), {pad(kRemetente, 8)},
               {kNomeRemetente});
    });
}

routing::MovementStamps TFrm_Tramitacao::shownStamps() const {
    routing::MovementStamps m;
    if (m_records->currentRow() < 0) return m;
    m.registro = m_records->text(kRegistro);
    m.received = m_records->value(QStringLiteral("DATA_RECEBIMENTO")).toDate();
    m.physicallyReceived = m_records->value(QStringLiteral("DATA_RECEBIMENTO_FISICO")).toDate();
    m.archived = m_records->value(QStringLiteral("DATA_ARQUIVAMENTO")).toDate();
    m.unarchived = m_records->value(QStringLiteral("DATA_DESARQUIVAMENTO")).toDate();
    return m;
}

bool TFrm_Tramitacao::reload(const QString& registro, QString* error) {
    m_records->close();
    m_records->setParameter(QStringLiteral("UM"), registro);
    if (!m_records->open()) {
        if (error) *error = m_records->lastError();
        return false;
    }
    m_shown = shownStamps();
    // Opened from the process form nothing is shown: the process was seen without movements.
    m_shownProcess = m_shown.registro.isEmpty() ? core::routingHandOff().process : m_records->text(kProcesso);
    m_shownYear = m_shown.registro.isEmpty() ? core::routingHandOff().year : m_records->text(kAno);
    m_saveFailed = false;
    refreshState();
    return true;
}

void TFrm_Tramitacao::refreshState() {
    m_stateButton->click();
}

void TFrm_Tramitacao::applyStateTable() {
    const RecordSet::State state = m_records->state();
    if (state == RecordSet::State::Closed) return;
    const bool sending = m_records->isEditing();
    m_incluir->setEnabled(!sending);
    m_salvar->setEnabled(sending);
    m_cancelar->setEnabled(sending);
    m_fechar->setEnabled(!sending);
    m_grid->setEnabled(!sending);
    m_procura->setEnabled(!sending);
    paintEditable(m_procura, !sending);
    setEditable(m_campo3, sending);
    setEditable(m_campo4, sending);
    for (QLineEdit* e : {m_campo1, m_campo2, m_campo6})
        setEditable(e, false);
    QString caption = m_title->text();
    if (sending) caption += QStringLiteral(" - ") + QStringLiteral("Incluindo");
    setWindowTitle(caption);
}

void TFrm_Tramitacao::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_incluir->isEnabled()) m_incluir->setFocus();
}

void TFrm_Tramitacao::setBatch(int count) {
    m_batchCount = count;
    m_batchLabel->setText(
        QStringLiteral("Tramitação em lote: %1 processos, cada um com este destino e este despacho.")
            .arg(count));
    m_batchLabel->setVisible(count > 0);
    // The processes are the ones selected in the list: none is picked here.
    findChild<QToolButton*>(QStringLiteral("SpeedButton1"))->setEnabled(count == 0);
    m_title->setText(count > 0 ? QStringLiteral("Tramitação em lote (%1 processos)").arg(count)
                               : QStringLiteral("Tramitação"));
    refreshState();
}

void TFrm_Tramitacao::Botao_IncluirClick() {
    if (m_records->isEditing()) return;
    if (m_batchCount > 0) {
        // Each movement of the batch is checked and numbered when it is written; here only the
        // destination and the dispatch are chosen.
        if (!m_records->append()) return;
        m_records->setValue(kRemetente, core::currentUser().code);
        refreshState();
        m_campo4->setFocus();
        return;
    }
    const QString refusal = routing::sendingStartRefusal(m_shown);
    if (!refusal.isEmpty()) {
        core::dialogs().message(this, refusal);
        return;
    }
    // The register number is taken when the sending starts, and again for a new attempt after a
    // save the database refused.
    QString error;
    QString registro;
    {
        // The number and the names the new movement shows (sender, process) are read in one
        // transaction rather than one each.
        core::SharedRead reads(m_records->database());
        registro = routing::nextRegister(m_records->database(), &error);
        if (!registro.isEmpty()) {
            if (!m_records->append()) return;
            m_saveFailed = false;
            m_records->setValue(kRegistro, registro);
            m_records->setValue(kRemetente, core::currentUser().code);
            const core::RoutingHandOff& handOff = core::routingHandOff();
            m_records->setValue(kAno, handOff.year);
            m_records->setValue(kProcesso, handOff.process);
        }
    }
    if (registro.isEmpty()) {
        if (error == routing::registersExhaustedMessage())
            core::dialogs().message(this, error);
        else if (error != core::lostConnectionMessage()) // told once already
            core::dialogs().error(this, error);
        return;
    }
    refreshState();
    m_campo1->setFocus();
    refreshState();
}

void TFrm_Tramitacao::Botao_SalvarClick() {
    if (!m_records->isEditing()) return;
    // A text the database cannot store has been told and focused: the sending is not tried.
    if (!m_binder->commit()) return;
    routing::Sending s;
    s.process = m_records->text(kProcesso);
    s.year = m_records->text(kAno);
    s.subject = m_records->text(kAssunto);
    s.unit = m_records->text(kUnidade);
    s.destination = m_records->text(kDestino);
    s.destinationName = m_records->text(kNomeDestino);
    s.sender = m_records->text(kRemetente);
    s.dispatch = m_records->text(QStringLiteral("DESPACHO"));
    // In the batch mode every process is checked as it is sent; the checks here are those of the
    // destination and the dispatch, which all of them share.
    if (m_batchCount > 0) s.subject = m_batchLabel->text();
    const routing::SendingRefusal refusal = routing::sendingRefusal(s);
    if (refusal.refused()) {
        core::dialogs().message(this, refusal.message);
        if (refusal.focus == QLatin1String("Campo2")) m_campo2->setFocus();
        if (refusal.focus == QLatin1String("Campo4")) m_campo4->setFocus();
        if (refusal.focus == QLatin1String("Campo3")) m_campo3->setFocus();
        return;
    }
    if (m_batchCount > 0) {
        s.subject.clear();
        m_batchSending = s;
        m_records->cancel();
        closeWindow(this, QDialog::Accepted);
        return;
    }
    // Where the window saw the process: on the movement it shows, or (opened from the process form)
    // without movements. A process picked through the search was seen nowhere; its holder is
    // checked all the same.
    if (s.process == m_shownProcess && s.year == m_shownYear) s.expectedLatest = m_shown.registro;
    // A number another workstation took meanwhile is drawn again by the sending itself; after a
    // save that failed otherwise, the new attempt takes a fresh number all the same.
    s.registro = m_saveFailed ? QString() : m_records->text(kRegistro);
    const routing::Outcome outcome = routing::sendDrawingRegister(m_records->database(), s);
    if (s.registro.isEmpty()) {
        // No number could be drawn: the registers ran out, or the database failed.
        if (outcome.text == routing::registersExhaustedMessage())
            core::dialogs().message(this, outcome.text);
        else if (!outcome.connectionLost) // told once already
            core::dialogs().error(this, outcome.text);
        m_saveFailed = true;
        return;
    }
    m_records->setValue(kRegistro, s.registro);
    m_records->setValue(QStringLiteral("DATA"), s.date);
    m_records->setValue(QStringLiteral("HORA"), s.time);
    if (outcome.kind == routing::Outcome::Refused) {
        core::dialogs().message(this, outcome.text);
        if (outcome.text == routing::alreadyForwardedMessage()) {
            // Another desk has moved the process on: nothing is left to send from here, and the
            // opener reads its list again.
            m_records->cancel();
            closeWindow(this);
        }
        return;
    }
    if (!outcome.done()) {
        // The record stays in the sending layout with what was typed. A lost connection has been
        // told already; a number another desk took is said as such.
        if (!outcome.connectionLost)
            core::dialogs().message(this,
                                    outcome.registerTaken ? takenRegisterMessage() : applyErrorMessage());
        m_saveFailed = true;
        return;
    }
    m_records->setValue(QStringLiteral("DATA"), outcome.sentAt.date());
    m_records->setValue(QStringLiteral("HORA"), outcome.sentAt.time());
    m_sentRegister = s.registro;
    core::announceFinished(core::processName(s.process, s.year) + QStringLiteral(" enviado para ") +
                           m_records->text(kNomeDestino));
    // The window closes on the sending: reading the new movement back to show it would cost the
    // network a statement and its dispatch for nothing anyone sees (every opener reads the window
    // afresh before showing it again).
    m_records->cancel();
    refreshState();
    closeWindow(this, QDialog::Accepted);
}

void TFrm_Tramitacao::Botao_CancelarClick() {
    m_records->cancel();
    m_saveFailed = false;
    refreshState();
}

void TFrm_Tramitacao::Botao_FecharClick() {
    closeWindow(this);
}

void TFrm_Tramitacao::SpeedButton1Click() {
    // The process search as a picker: any registered process of any year can be sent on.
    QString numero, ano, assunto;
    if (!pesquisaProcesso(this, &numero, &ano, &assunto) || !m_records->isEditing()) return;
    m_records->setValue(kProcesso, numero);
    m_records->setValue(kAno, ano);
    m_records->setValue(kAssunto, assunto);
}

void TFrm_Tramitacao::HistoricodoProcessoClick() {
    const QString title = QStringLiteral("Histórico do Processo");
    if (!core::openProcessPaper(title, this, m_records->text(kProcesso), m_records->text(kAno)))
        core::dialogs().message(this, core::notAvailableMessage(title));
}

void TFrm_Tramitacao::DespachoClick() {
    const QString title = QStringLiteral("Despacho");
    if (!core::openProcessPaper(title, this, m_records->text(kRegistro)))
        core::dialogs().message(this, core::notAvailableMessage(title));
}

void TFrm_Tramitacao::contextMenuEvent(QContextMenuEvent* event) {
    m_popup->exec(event->globalPos());
}

void TFrm_Tramitacao::SpeedButton3Click() {
    registers::pesquisaUnidades(this, m_records, kUnidade);
}

void TFrm_Tramitacao::SpeedButton4Click() {
    registers::pesquisaUsuarioDaUnidade(this, m_records, kDestino, kUnidade);
}

void TFrm_Tramitacao::Campo4Change() {
    // Another unit, another set of users: the destination chosen before is dropped.
    if (m_records->state() != RecordSet::State::Insert) return;
    m_records->setValue(kDestino, QString());
}

void TFrm_Tramitacao::DBGrid1DblClick() {
    m_pages->setCurrentIndex(0);
}

void openTramitacao(QWidget* owner) {
    const QString movement = core::routingHandOff().movement;
    openModal<TFrm_Tramitacao>(Frm_Tramitacao, owner, [movement](TFrm_Tramitacao* form, QString* error) {
        return form->reload(movement.isEmpty() ? QStringLiteral("00000000") : movement, error);
    });
}

} // namespace processes
