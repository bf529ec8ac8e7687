#include "forms/processes/pesqprocesso.h"

#include "core/appvalues.h"
#include "core/connection.h"
#include "core/processnumbering.h"

#include "forms/common/formwindow.h"
#include "forms/common/lookupresult.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace processes {

using namespace forms;

QPointer<TFrm_PesqProcesso> Frm_PesqProcesso;

namespace {

// Windows' "hot light" system colour, the window's background.
const QColor kHotLight(0, 102, 204);

// Ticks of the blink, counted for the whole run.
int blinkCount = 0;

WindowedField stored(const char* name, FieldType type, int width) {
    WindowedField f;
    f.name = QString::fromLatin1(name);
    f.expr = QStringLiteral("A.") + f.name;
    f.type = type;
    f.width = width;
    return f;
}

// A name read through a join: its table, that table's key and name columns, and the column of
// PROCESSOS that points at it.
WindowedField joinedName(const char* name, const char* expr, const char* table, const char* key,
                         const char* column, const char* link) {
    WindowedField f;
    f.name = QString::fromLatin1(name);
    f.expr = QString::fromLatin1(expr);
    f.width = 100;
    f.namesTable = QString::fromLatin1(table);
    f.namesKeys = {QString::fromLatin1(key)};
    f.namesColumn = QString::fromLatin1(column);
    f.linkExprs = {QString::fromLatin1(link)};
    return f;
}

// An applicant's name: 100,000 of them come in order through INTERESSADOS_O_NOME, so the first
// screens need only the first names.
WindowedField applicant(const char* name, const char* expr, const char* link) {
    WindowedField f = joinedName(name, expr, "INTERESSADOS", "IDINTERESSADO", "INTERESSADO", link);
    f.namesOrder = QStringLiteral("INTERESSADO COLLATE WIN_PTBR");
    return f;
}

} // namespace

WindowedSpec processSearchRows() {
    WindowedSpec s;
    s.baseFrom = QStringLiteral("PROCESSOS A");
    s.blockFrom = QStringLiteral("PROCESSOS A "
                                 "LEFT JOIN INTERESSADOS B ON A.IDTITULAR = B.IDINTERESSADO "
                                 "LEFT JOIN INTERESSADOS C ON A.IDREQUERENTE = C.IDINTERESSADO "
                                 "LEFT JOIN TIPOPROCESSO D ON A.IDTIPOPROCESSO = D.IDTIPO "
                                 "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO");
    s.condition = QStringLiteral("(:P_ANO = '0000' OR A.ANO = :P_ANO)");
    s.keyExprs = {QStringLiteral("A.IDPROCESSO"), QStringLiteral("A.ANO")};
    WindowedField assunto = stored("ASSUNTO", FieldType::Text, 255);
    assunto.collatedColumn = QStringLiteral("PROCESSOS.ASSUNTO");
    s.fields = {
        stored("IDPROCESSO", FieldType::Text, 8),
        stored("ANO", FieldType::Text, 4),
        stored("DATA", FieldType::Date, 0),
        stored("HORA", FieldType::Time, 0),
        stored("IDTITULAR", FieldType::Text, 6),
        stored("IDREQUERENTE", FieldType::Text, 6),
        assunto,
        stored("RG", FieldType::Text, 1),
        stored("CPF", FieldType::Text, 1),
        stored("IDTIPOPROCESSO", FieldType::Text, 4),
        stored("COD_USUARIO", FieldType::Text, 8),
        stored("COMPROVANTE_RESIDENCIA", FieldType::Text, 1),
        stored("CARTEIRA_PROFISSIONAL", FieldType::Text, 1),
        applicant("TITULAR", "B.INTERESSADO", "A.IDTITULAR"),
        applicant("REQUERENTE", "C.INTERESSADO", "A.IDREQUERENTE"),
        joinedName("TIPO_PROCESSO", "D.TIPO", "TIPOPROCESSO", "IDTIPO", "TIPO", "A.IDTIPOPROCESSO"),
        joinedName("USUARIO", "E.USUARIO", "USUARIOS", "COD_USUARIO", "USUARIO", "A.COD_USUARIO"),
    };
    return s;
}

QList<GridColumn> processSearchColumns() {
    return {
        {QStringLiteral("Processo Nº"), QStringLiteral("IDPROCESSO"), 70},
        {QStringLiteral("Ano"), QStringLiteral("ANO"), 35},
        {QStringLiteral("Data"), QStringLiteral("DATA"), 70},
        {QStringLiteral("Hora"), QStringLiteral("HORA"), 70},
        {QStringLiteral("Cód.Titular"), QStringLiteral("IDTITULAR"), 70},
        {QStringLiteral("Titular"), QStringLiteral("TITULAR"), 250},
        {QStringLiteral("Cód.Requerente"), QStringLiteral("IDREQUERENTE"), 90},
        {QStringLiteral("Requerente"), QStringLiteral("REQUERENTE"), 250},
        {QStringLiteral("Assunto"), QStringLiteral("ASSUNTO"), 300},
        {QStringLiteral("RG"), QStringLiteral("RG"), 30},
        {QStringLiteral("CPF"), QStringLiteral("CPF"), 40},
        {QStringLiteral("Cód.Tipo"), QStringLiteral("IDTIPOPROCESSO"), 60},
        {QStringLiteral("Tipo Processo"), QStringLiteral("TIPO_PROCESSO"), 150},
        {QStringLiteral("Cód.Usuário"), QStringLiteral("COD_USUARIO"), 70},
        {QStringLiteral("Usuário"), QStringLiteral("USUARIO"), 200},
        {QStringLiteral("Comprovante Residência ?"), QStringLiteral("COMPROVANTE_RESIDENCIA"), 140},
        {QStringLiteral("Carteira Profissional ?"), QStringLiteral("CARTEIRA_PROFISSIONAL"), 140},
    };
}

QList<SearchMenuEntry>& processSearchMenu() {
    static QList<SearchMenuEntry> entries;
    return entries;
}

static SearchWindowSpec pesqProcessoSpec() {
    SearchWindowSpec s;
    s.formName = QStringLiteral("Frm_PesqProcesso");
    s.caption = QStringLiteral("Pesquisa Processo");
    s.size = QSize(980, 540);
    s.rows = processSearchRows();
    s.columns = processSearchColumns();
    s.search.paddedField = QStringLiteral("IDPROCESSO");
    s.search.paddedWidth = 8;
    s.rowHint = QStringLiteral("Clique com o botão direito no Processo escolhido");
    s.codeField = QStringLiteral("IDPROCESSO");
    s.nameField = QStringLiteral("ANO");
    s.thirdField = QStringLiteral("ASSUNTO");
    s.menu = &processSearchMenu();
    return s;
}

TFrm_PesqProcesso::TFrm_PesqProcesso(QWidget* owner)
    : SearchWindow(pesqProcessoSpec(), owner) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kHotLight);
    setPalette(pal);
    for (QLabel* l : {searchLabel(), hint(0), hint(1)})
        styleCaption(l);

    auto* row = new QHBoxLayout;
    m_processando = new QLabel(QStringLiteral("Buscando dados : "), this);
    m_processando->setObjectName(QStringLiteral("LProcessando"));
    m_processando->setMinimumWidth(260);
    styleCaption(m_processando);
    row->addWidget(m_processando);
    row->addStretch(1);
    m_escolha = new QLabel(QStringLiteral("Escolha Exercício ----------->"), this);
    m_escolha->setObjectName(QStringLiteral("Label3"));
    QFont bold = m_escolha->font();
    bold.setBold(true);
    m_escolha->setFont(bold);
    row->addWidget(m_escolha, 0, Qt::AlignBottom);
    auto* years = new QVBoxLayout;
    years->setSpacing(2);
    auto* yearsLabel = new QLabel(QStringLiteral("Exercícios"), this);
    yearsLabel->setObjectName(QStringLiteral("Label4"));
    styleCaption(yearsLabel);
    m_exercicios = new QComboBox(this);
    m_exercicios->setObjectName(QStringLiteral("Exercicios"));
    // "0000", the exercise year down to the earliest year that has processes, "Selecionar tudo".
    m_exercicios->addItem(QStringLiteral("0000"));
    m_exercicios->addItems(core::exerciseYears(core::appValues().exerciseYear,
                                               core::earliestProcessYear(core::mainConnection())));
    m_exercicios->addItem(QStringLiteral("Selecionar tudo"));
    m_exercicios->setCurrentIndex(0);
    yearsLabel->setBuddy(m_exercicios);
    years->addWidget(yearsLabel);
    years->addWidget(m_exercicios);
    row->addLayout(years);
    pageLayout()->insertLayout(1, row);
    connect(m_exercicios, &QComboBox::activated, this, &TFrm_PesqProcesso::ExerciciosChange);

    // The reading goes on between turns of the event loop: the label shows how long it has been
    // reading, and once the last rows are in the cursor goes to the last one.
    connect(records(), &WindowedSource::progress, this, [this] {
        if (m_reading) showReadingTime();
    });
    connect(records(), &WindowedSource::completed, this, [this] {
        if (!m_reading) return;
        m_reading = false;
        // A search still waiting for its rows lands on its answer instead.
        if (!records()->isSeeking()) records()->setCurrentRow(records()->rowCount() - 1);
        showReadingTime();
    });

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &TFrm_PesqProcesso::Timer1Timer);
    m_timer->start();
    Timer1Timer();
}

void TFrm_PesqProcesso::showReadingTime() {
    const QTime elapsed = QTime(0, 0).addMSecs(int(records()->elapsedMs()));
    m_processando->setText(QStringLiteral("Buscando dados : ") +
                           elapsed.toString(QStringLiteral("hh:mm:ss")));
    m_processando->repaint();
}

void TFrm_PesqProcesso::ExerciciosChange() {
    m_processando->repaint();
    const QString entry = m_exercicios->currentText();
    const QString year = entry == QLatin1String("Selecionar tudo") ? QStringLiteral("0000") : entry;
    records()->setParameter(QStringLiteral("P_ANO"), year);
    m_reading = true;
    if (!records()->open()) {
        m_reading = false;
        return;
    }
    if (records()->isComplete() && m_reading) {
        m_reading = false;
        records()->setCurrentRow(records()->rowCount() - 1);
        showReadingTime();
    }
}

void TFrm_PesqProcesso::Timer1Timer() {
    ++blinkCount;
    QPalette pal = m_escolha->palette();
    pal.setColor(QPalette::WindowText, blinkCount % 2 == 1 ? QColor(Qt::white) : kHotLight);
    m_escolha->setPalette(pal);
}

void openPesqProcesso(QWidget* owner) {
    lookupResult().reset();
    openModal<TFrm_PesqProcesso>(Frm_PesqProcesso, owner, {});
}

bool pesquisaProcesso(QWidget* caller, QString* numero, QString* ano, QString* assunto) {
    if (!Frm_PesqProcesso) Frm_PesqProcesso = new TFrm_PesqProcesso(caller);
    lookupResult().reset();
    Frm_PesqProcesso->exec();
    const LookupResult result = lookupResult();
    delete Frm_PesqProcesso.data();
    Frm_PesqProcesso = nullptr;
    if (!result.selected) return false;
    if (numero) *numero = result.code;
    if (ano) *ano = result.name;
    if (assunto) *assunto = result.third;
    return true;
}

} // namespace processes
