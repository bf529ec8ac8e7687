#include "forms/processes/pesqdespacho.h"

#include "forms/common/formwindow.h"
#include "forms/common/lookupresult.h"

#include <QFont>
#include <QLabel>

namespace processes {

using namespace forms;

QPointer<TFrm_PesqDespacho> Frm_PesqDespacho;

namespace {

WindowedField column(const char* name, const char* expr, FieldType type, int width) {
    WindowedField f;
    f.name = QString::fromLatin1(name);
    f.expr = QString::fromLatin1(expr);
    f.type = type;
    f.width = width;
    return f;
}

// A name read through a join: its table, that table's key and name columns, and the columns of
// TRAMITACAO that point at it.
WindowedField joinedName(const char* name, const char* expr, int width, const char* table,
                         const QStringList& keys, const char* nameColumn, const QStringList& link) {
    WindowedField f = column(name, expr, FieldType::Text, width);
    f.namesTable = QString::fromLatin1(table);
    f.namesKeys = keys;
    f.namesColumn = QString::fromLatin1(nameColumn);
    f.linkExprs = link;
    return f;
}

} // namespace

WindowedSpec dispatchSearchRows() {
    WindowedSpec s;
    s.baseFrom = QStringLiteral("TRAMITACAO A");
    s.blockFrom = QStringLiteral("TRAMITACAO A "
                                 "LEFT JOIN PROCESSOS B ON A.IDPROCESSO = B.IDPROCESSO AND A.ANO = B.ANO "
                                 "LEFT JOIN SETORES C ON A.IDSETOR = C.IDSETOR "
                                 "LEFT JOIN USUARIOS D ON A.COD_USUARIO_DESTINO = D.COD_USUARIO "
                                 "LEFT JOIN USUARIOS E ON A.COD_USUARIO = E.COD_USUARIO");
    s.keyExprs = {QStringLiteral("A.REGISTRO")};
    WindowedField despacho = column("DESPACHO", "A.DESPACHO", FieldType::Memo, 0);
    // The dispatch text is never shown in the grid; the dispatch sheet reads it for itself.
    despacho.neverRead = true;
    WindowedField motivoArq = column("MOTIVO_ARQUIVAMENTO", "A.MOTIVO_ARQUIVAMENTO", FieldType::Text, 300);
    motivoArq.collatedColumn = QStringLiteral("TRAMITACAO.MOTIVO_ARQUIVAMENTO");
    WindowedField motivoDesarq =
        column("MOTIVO_DESARQUIVAMENTO", "A.MOTIVO_DESARQUIVAMENTO", FieldType::Text, 300);
    motivoDesarq.collatedColumn = QStringLiteral("TRAMITACAO.MOTIVO_DESARQUIVAMENTO");
    // The subjects come in order through PROCESSOS_O_ASSUNTO where the column has the collation:
    // the first screens need only the first of 200,000 subjects.
    WindowedField assunto = joinedName("ASSUNTO", "B.ASSUNTO", 255, "PROCESSOS",
                                       {QStringLiteral("IDPROCESSO"), QStringLiteral("ANO")}, "ASSUNTO",
                                       {QStringLiteral("A.IDPROCESSO"), QStringLiteral("A.ANO")});
    assunto.collatedColumn = QStringLiteral("PROCESSOS.ASSUNTO");
    s.fields = {
        column("REGISTRO", "A.REGISTRO", FieldType::Text, 8),
        column("IDPROCESSO", "A.IDPROCESSO", FieldType::Text, 8),
        column("ANO", "A.ANO", FieldType::Text, 4),
        column("IDSETOR", "A.IDSETOR", FieldType::Text, 6),
        column("COD_USUARIO_DESTINO", "A.COD_USUARIO_DESTINO", FieldType::Text, 8),
        column("DATA", "A.DATA", FieldType::Date, 0),
        column("HORA", "A.HORA", FieldType::Time, 0),
        despacho,
        column("DATA_RECEBIMENTO", "A.DATA_RECEBIMENTO", FieldType::Date, 0),
        column("HORA_RECEBIMENTO", "A.HORA_RECEBIMENTO", FieldType::Time, 0),
        column("DATA_RECEBIMENTO_FISICO", "A.DATA_RECEBIMENTO_FISICO", FieldType::Date, 0),
        column("HORA_RECEBIMENTO_FISICO", "A.HORA_RECEBIMENTO_FISICO", FieldType::Time, 0),
        column("DATA_ARQUIVAMENTO", "A.DATA_ARQUIVAMENTO", FieldType::Date, 0),
        column("HORA_ARQUIVAMENTO", "A.HORA_ARQUIVAMENTO", FieldType::Time, 0),
        motivoArq,
        column("DATA_DESARQUIVAMENTO", "A.DATA_DESARQUIVAMENTO", FieldType::Date, 0),
        column("HORA_DESARQUIVAMENTO", "A.HORA_DESARQUIVAMENTO", FieldType::Time, 0),
        motivoDesarq,
        column("ARQUIVADO", "A.ARQUIVADO", FieldType::Text, 3),
        column("COD_USUARIO", "A.COD_USUARIO", FieldType::Text, 8),
        assunto,
        joinedName("SETOR", "C.SETOR", 100, "SETORES", {QStringLiteral("IDSETOR")}, "SETOR",
                   {QStringLiteral("A.IDSETOR")}),
        joinedName("USUARIO_DESTINO", "D.USUARIO", 100, "USUARIOS", {QStringLiteral("COD_USUARIO")},
                   "USUARIO", {QStringLiteral("A.COD_USUARIO_DESTINO")}),
        joinedName("USUARIO", "E.USUARIO", 100, "USUARIOS", {QStringLiteral("COD_USUARIO")}, "USUARIO",
                   {QStringLiteral("A.COD_USUARIO")}),
    };
    return s;
}

QList<GridColumn> dispatchSearchColumns() {
    // Widths that show a whole code, date, time or name in the grid's font.
    auto c = [](const char* title, const char* field, int width, bool hidden = false) {
        GridColumn g{QString::fromUtf8(title), QString::fromLatin1(field), width};
        g.hidden = hidden;
        return g;
    };
    constexpr int code = 80, date = 85, time = 75, text = 250;
    return {
        c("Registro", "REGISTRO", code),
        c("Cód.Processo", "IDPROCESSO", 95),
        c("Cód.Setor", "IDSETOR", code),
        c("Cód.Usuário Destino", "COD_USUARIO_DESTINO", 140),
        c("Data", "DATA", date),
        c("Hora", "HORA", time),
        c("Despacho", "DESPACHO", text, true),
        c("Dt.Recebimento", "DATA_RECEBIMENTO", 110),
        c("Hora Recebimento", "HORA_RECEBIMENTO", 125),
        c("Dt.Recebimento Físico", "DATA_RECEBIMENTO_FISICO", 150),
        c("Hora Recebimento Físico", "HORA_RECEBIMENTO_FISICO", 165),
        c("Dt.Arquivamento", "DATA_ARQUIVAMENTO", 115),
        c("Hora Arquivamento", "HORA_ARQUIVAMENTO", 130),
        c("Motivo Arquivamento", "MOTIVO_ARQUIVAMENTO", text),
        c("Data Desarquivamento", "DATA_DESARQUIVAMENTO", 150),
        c("Hora Desarquivamento", "HORA_DESARQUIVAMENTO", 150),
        c("Motivo Desarquivamento", "MOTIVO_DESARQUIVAMENTO", text),
        c("Arquivado", "ARQUIVADO", code, true),
        c("Cód.Usuário", "COD_USUARIO", 95),
        c("Assunto", "ASSUNTO", 300),
        c("Setor", "SETOR", 200),
        c("Usuário Destino", "USUARIO_DESTINO", 200),
        c("Usuário", "USUARIO", 200),
    };
}

QList<SearchMenuEntry>& dispatchSearchMenu() {
    static QList<SearchMenuEntry> entries;
    return entries;
}

static SearchWindowSpec pesqDespachoSpec() {
    SearchWindowSpec s;
    s.formName = QStringLiteral("Frm_PesqDespacho");
    s.caption = QStringLiteral("Pesquisa Despacho");
    s.size = QSize(963, 354);
    s.rows = dispatchSearchRows();
    s.columns = dispatchSearchColumns();
    s.search.paddedField = QStringLiteral("IDPROCESSO");
    s.search.paddedWidth = 8;
    s.rowHint = QStringLiteral("Clique com o botão direito no Despacho escolhido");
    s.codeField = QStringLiteral("IDPROCESSO");
    s.nameField = QStringLiteral("ASSUNTO");
    s.menu = &dispatchSearchMenu();
    return s;
}

TFrm_PesqDespacho::TFrm_PesqDespacho(QWidget* owner)
    : SearchWindow(pesqDespachoSpec(), owner) {
    paintBackground(this);
    styleCaption(searchLabel());
    for (QLabel* l : {hint(0), hint(1)}) {
        styleCaption(l);
        QFont f = l->font();
        f.setPointSize(f.pointSize() + 4);
        l->setFont(f);
    }
}

bool TFrm_PesqDespacho::reload(QString* errorText) {
    // Sorted by its first field on showing; no column is painted yet.
    records()->sortBy(QStringLiteral("REGISTRO"));
    if (records()->open()) return true;
    if (errorText) *errorText = records()->lastError();
    return false;
}

void openPesqDespacho(QWidget* owner) {
    openModal<TFrm_PesqDespacho>(Frm_PesqDespacho, owner,
                                 [](TFrm_PesqDespacho* f, QString* e) { return f->reload(e); });
}

} // namespace processes
