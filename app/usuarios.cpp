#include "app/usuarios.h"

#include "core/appvalues.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "core/menutree.h"
#include "core/routines.h"
#include "app/pesquisausuarios.h"
#include "app/principal.h"
#include "forms/common/formwindow.h"
#include "forms/registers/lookups.h"
#include "forms/registers/unidades.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProxyStyle>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QToolButton>
#include <QVBoxLayout>

namespace app {

using namespace forms;

QPointer<TFrm_Usuarios> Frm_Usuarios;

namespace {

const QString kCode = QStringLiteral("COD_USUARIO");
const QString kName = QStringLiteral("USUARIO");
const QString kPassword = QStringLiteral("SENHA");
const QString kConfirmation = QStringLiteral("CONFIRMACAO");
const QString kCpf = QStringLiteral("CPF");
const QString kProtocolist = QStringLiteral("PROTOCOLISTA");
const QString kHolder = QStringLiteral("IDTITULAR");
const QString kUnit = QStringLiteral("IDUNIDADE");
const QString kUnitName = QStringLiteral("UNIDADE");

// Password edits show every character as "&".
class AmpersandMask : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_LineEdit_PasswordCharacter) return '&';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

QStyle* ampersandMask() {
    // One instance for the run; the application outlives every window that uses it.
    static QPointer<AmpersandMask> style;
    if (!style) {
        style = new AmpersandMask;
        style->setParent(QCoreApplication::instance());
    }
    return style;
}

bool emptyOrBlank(const QString& text) {
    return text.isEmpty() || text == QLatin1String(" ");
}

std::function<void()>& programEnding() {
    static std::function<void()> ending;
    return ending;
}

} // namespace

QString TFrm_Usuarios::passwordTooLongMessage(const QString& what) {
    return QStringLiteral("Atenção, a %1 deve ter no máximo 10 caracteres!").arg(what);
}

QString TFrm_Usuarios::passwordCharactersMessage(const QString& what) {
    return QStringLiteral("Atenção, a %1 contém caracteres que não podem ser gravados!").arg(what);
}

TFrm_Usuarios::TFrm_Usuarios(QWidget* owner)
    : QDialog(owner) {
    setObjectName(QStringLiteral("Frm_Usuarios"));
    prepareWindow(this, QSize(1010, 600));
    paintBackground(this);

    m_records = new RecordSet(this);
    m_records->setObjectName(QStringLiteral("cdsDados"));
    m_records->setQuery(QStringLiteral(
        "SELECT A.COD_USUARIO, A.USUARIO, A.SENHA, A.CONFIRMACAO, A.CPF, A.PROTOCOLISTA, A.IDTITULAR, "
        "B.INTERESSADO AS TITULAR, A.IDUNIDADE, C.UNIDADE FROM USUARIOS A LEFT JOIN INTERESSADOS B ON "
        "A.IDTITULAR = B.IDINTERESSADO LEFT JOIN UNIDADES C ON A.IDUNIDADE = C.IDUNIDADE WHERE COD_USUARIO "
        "=:UM"));
    m_records->setFields({keyField(kCode, 8), textField(kName, 100), textField(kPassword, 10),
                          textField(kConfirmation, 10), textField(kCpf, 14), textField(kProtocolist, 3),
                          textField(kHolder, 6), joinedField(QStringLiteral("TITULAR"), 100),
                          textField(kUnit, 4), joinedField(kUnitName, 100)});
    m_records->setUpdateTable(QStringLiteral("USUARIOS"));

    m_grants = new RecordSet(this);
    m_grants->setObjectName(QStringLiteral("cdsAcessos"));
    m_grants->setQuery(QStringLiteral(
        "SELECT ACESSO, COD_USUARIO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO=:COD_USUARIO"));
    m_grants->setFields({keyField(QStringLiteral("ACESSO"), 100), keyField(kCode, 8),
                         textField(QStringLiteral("TITULO"), 200)});
    m_grants->setUpdateTable(QStringLiteral("USUARIOS_ACESSOS"));

    m_binder = new FieldBinder(m_records, this);
    buildWindow();
    installFieldHandlers();
    setWindowTitle(m_title->text());
}

TFrm_Usuarios::~TFrm_Usuarios() = default;

void TFrm_Usuarios::buildWindow() {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(12, 12, 12, 12);
    row->setSpacing(18);

    row->addLayout(forms::commandColumn(
        this,
        {{&m_incluir, "Botao_Incluir", QStringLiteral("&Incluir"), [this] { Botao_IncluirClick(); }},
         {&m_salvar, "Botao_Salvar", QStringLiteral("&Salvar"), [this] { Botao_SalvarClick(); }},
         {&m_alterar, "Botao_Alterar", QStringLiteral("&Alterar"), [this] { Botao_AlterarClick(); }},
         {&m_cancelar, "Botao_Cancelar", QStringLiteral("&Cancelar"), [this] { Botao_CancelarClick(); }},
         {&m_pesquisar, "Botao_Pesquisar", QStringLiteral("&Pesquisar"), [this] { Botao_PesquisarClick(); }},
         {&m_excluir, "Botao_Excluir", QStringLiteral("&Excluir"), [this] { Botao_ExcluirClick(); }},
         {&m_fechar, "Botao_Fechar", QStringLiteral("&Fechar"), [this] { Botao_FecharClick(); }}}));

    const forms::HiddenStateParts hidden = forms::addHiddenStateParts(
        this, QStringLiteral("Usuários"), [this] { applyStateTable(); }, QStringLiteral("Ativa/Des.Botões"));
    m_stateButton = hidden.stateButton;
    m_title = hidden.title;

    auto* fields = new QVBoxLayout;
    fields->setSpacing(8);
    row->addLayout(fields, 1);
    const QFontMetrics fm(font());
    auto widthFor = [&](int chars) { return fm.horizontalAdvance(QString(chars, QLatin1Char('N'))) + 14; };
    auto newLine = [&] {
        auto* line = new QHBoxLayout;
        line->setSpacing(10);
        fields->addLayout(line);
        return line;
    };
    // A control under its caption label.
    auto addCell = [&](QHBoxLayout* line, QWidget* w, const QString& caption) {
        auto* cell = new QVBoxLayout;
        cell->setSpacing(2);
        if (!caption.isEmpty()) {
            auto* label = new QLabel(caption, this);
            label->setObjectName(QStringLiteral("L") + w->objectName());
            styleCaption(label);
            label->setBuddy(w);
            cell->addWidget(label);
        }
        cell->addWidget(w, 0, Qt::AlignLeft);
        line->addLayout(cell);
        line->setAlignment(cell, Qt::AlignBottom);
    };
    auto newEdit = [&](const char* name, const QString& field, Entry entry, int chars,
                       const QString& mask = QString()) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        m_binder->bind(edit, field, entry, mask);
        edit->setFixedWidth(widthFor(chars));
        return edit;
    };

    QHBoxLayout* line = newLine();
    m_campo1 = newEdit("Campo1", kCode, Entry::Digits, 9);
    addCell(line, m_campo1, QStringLiteral("Código"));
    line->addStretch(1);

    line = newLine();
    m_campo2 = newEdit("Campo2", kName, Entry::Upper, 46);
    addCell(line, m_campo2, QStringLiteral("Usuário"));
    line->addStretch(1);

    line = newLine();
    m_campo3 = newEdit("Campo3", kPassword, Entry::AsTyped, 11);
    m_campo4 = newEdit("Campo4", kConfirmation, Entry::AsTyped, 11);
    for (QLineEdit* secret : {m_campo3, m_campo4}) {
        secret->setEchoMode(QLineEdit::Password);
        secret->setStyle(ampersandMask());
    }
    addCell(line, m_campo3, QStringLiteral("Senha"));
    addCell(line, m_campo4, QStringLiteral("Confirmação"));
    m_campo6 = newEdit("CAMPO6", kCpf, Entry::Digits, 14, QStringLiteral("###.###.###-##"));
    addCell(line, m_campo6, QStringLiteral("CPF"));
    m_protocolista = new QCheckBox(QStringLiteral("Protocolista"), this);
    m_protocolista->setObjectName(QStringLiteral("DBCheckBox1"));
    {
        QPalette pal = m_protocolista->palette();
        pal.setColor(QPalette::WindowText, Qt::white);
        m_protocolista->setPalette(pal);
        QFont f = m_protocolista->font();
        f.setBold(true);
        m_protocolista->setFont(f);
    }
    m_binder->bind(m_protocolista, kProtocolist, QStringLiteral("SIM"), QStringLiteral("NAO"));
    addCell(line, m_protocolista, QString());
    line->addStretch(1);

    auto* unitCaption = new QLabel(QStringLiteral("Unidade Orçamentária"), this);
    unitCaption->setObjectName(QStringLiteral("LUnidade"));
    styleCaption(unitCaption);
    fields->addSpacing(4);
    fields->addWidget(unitCaption);
    line = newLine();
    m_campo5 = newEdit("Campo5", kUnit, Entry::Upper, 5);
    addCell(line, m_campo5, QStringLiteral("Código"));
    auto smallButton = [&](QToolButton*& b, const char* name, const QString& text, const QString& hint) {
        b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(hint);
        b->setFocusPolicy(Qt::NoFocus);
        b->setFixedSize(28, fm.height() + 10);
        line->addWidget(b, 0, Qt::AlignBottom);
    };
    smallButton(m_pesquisaUnidade, "Botao_PesquisaUnidade", QStringLiteral("&1"), QStringLiteral("Pesquisa"));
    smallButton(m_cadastraUnidade, "Botao_CadastraUnidade", QStringLiteral("&2"), QStringLiteral("Cadastra"));
    connect(m_pesquisaUnidade, &QToolButton::clicked, this, &TFrm_Usuarios::pesquisaUnidadeClick);
    connect(m_cadastraUnidade, &QToolButton::clicked, this, &TFrm_Usuarios::cadastraUnidadeClick);
    m_campoE1 = newEdit("CampoE1", kUnitName, Entry::Upper, 46);
    m_campoE1->setFocusPolicy(Qt::NoFocus);
    m_campoE1->setAccessibleName(QStringLiteral("Nome da Unidade Orçamentária"));
    setEditable(m_campoE1, false);
    addCell(line, m_campoE1, QString());
    line->addStretch(1);

    // The three check lists of the access rights.
    fields->addSpacing(8);
    line = newLine();
    auto newList = [&](QListWidget*& list, const char* name, const QString& caption) {
        list = new QListWidget(this);
        list->setObjectName(QString::fromLatin1(name));
        list->setFocusPolicy(Qt::ClickFocus); // skipped by Tab
        list->setMinimumHeight(300);
        list->setContextMenuPolicy(Qt::CustomContextMenu);
        auto* menu = new QMenu(list);
        menu->setObjectName(QStringLiteral("Menu_") + list->objectName());
        QAction* all = menu->addAction(QStringLiteral("Liberar todos"));
        all->setObjectName(QStringLiteral("LiberarTodos"));
        QAction* none = menu->addAction(QStringLiteral("Bloquear todos"));
        none->setObjectName(QStringLiteral("BloquearTodos"));
        auto setAll = [list](Qt::CheckState state) {
            for (int i = 0; i < list->count(); ++i)
                list->item(i)->setCheckState(state);
        };
        connect(all, &QAction::triggered, list, [setAll] { setAll(Qt::Checked); });
        connect(none, &QAction::triggered, list, [setAll] { setAll(Qt::Unchecked); });
        connect(list, &QWidget::customContextMenuRequested, list,
                [list, menu](const QPoint& pos) { menu->popup(list->viewport()->mapToGlobal(pos)); });
        auto* cell = new QVBoxLayout;
        cell->setSpacing(2);
        auto* label = new QLabel(caption, this);
        label->setObjectName(QStringLiteral("L") + list->objectName());
        styleCaption(label);
        cell->addWidget(label);
        cell->addWidget(list, 1);
        line->addLayout(cell, 1);
    };
    newList(m_cadastros, "clbCadastros", QStringLiteral("Cadastros"));
    newList(m_relatorios, "clbRelatorios", QStringLiteral("Relatórios"));
    newList(m_outros, "clbOutros", QStringLiteral("Outros"));
    line->setStretch(0, 4);
    line->setStretch(1, 6);
    line->setStretch(2, 3);
    // The lists take the rest of the window's height.
    fields->setStretchFactor(line, 1);

    // Only digits reach the code and the CPF (the mask alone would let signs into the CPF).
    m_campo1->installEventFilter(this);
    m_campo6->installEventFilter(this);
    m_protocolista->installEventFilter(this);
    connect(m_binder, &FieldBinder::left, this, [this](QWidget* widget) {
        if (widget == m_campo6) cpfLeft();
    });

    const QList<QWidget*> chain{m_campo1,       m_campo2,    m_campo3,  m_campo4,  m_campo6,
                                m_protocolista, m_campo5,    m_salvar,  m_incluir, m_alterar,
                                m_cancelar,     m_pesquisar, m_excluir, m_fechar};
    for (int i = 0; i + 1 < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i), chain.at(i + 1));
}

void TFrm_Usuarios::installFieldHandlers() {
    auto zeroFill = [this](const QString& field, int width) {
        m_records->addFieldChange(field, [this, field, width] {
            const QString text = m_records->text(field);
            if (text.size() < width) m_records->setValue(field, routines::zeroFill(text, width));
        });
    };
    zeroFill(kCode, 8);
    zeroFill(kHolder, 6);
    zeroFill(kUnit, 4);
    // The unit's name for the padded code; empty when no unit has it.
    m_records->addFieldChange(kUnit, [this] {
        QSqlQuery busca(m_records->database());
        busca.setForwardOnly(true);
        if (!busca.prepare(QStringLiteral("SELECT UNIDADE FROM UNIDADES WHERE IDUNIDADE=?"))) {
            core::dialogs().error(this, busca.lastError().text());
            return;
        }
        busca.addBindValue(m_records->text(kUnit));
        if (!busca.exec()) {
            core::dialogs().error(this, busca.lastError().text());
            return;
        }
        m_records->setValue(kUnitName, busca.next() ? busca.value(0) : QVariant());
    });
    // The unchecked box stands for "NAO": a new user stores what the window shows.
    m_records->addAfterInsert([this] { m_records->setValue(kProtocolist, QStringLiteral("NAO")); });
}

bool TFrm_Usuarios::loadGrants(const QString& code, QString* error) {
    m_grants->close();
    m_grants->setParameter(QStringLiteral("COD_USUARIO"), code);
    if (!m_grants->open()) {
        if (error) *error = m_grants->lastError();
        return false;
    }
    return true;
}

bool TFrm_Usuarios::reload(const QString& code, QString* error) {
    m_records->close();
    m_records->setParameter(QStringLiteral("UM"), code);
    if (!m_records->open()) {
        if (error) *error = m_records->lastError();
        return false;
    }
    if (!loadGrants(m_records->text(kCode), error)) return false;
    refreshState();
    return true;
}

void TFrm_Usuarios::refreshState() {
    m_stateButton->click();
}

void TFrm_Usuarios::applyStateTable() {
    const RecordSet::State state = m_records->state();
    if (state == RecordSet::State::Closed) return;
    const bool browse = state == RecordSet::State::Browse;
    const bool shown = m_records->currentRow() >= 0;
    m_incluir->setEnabled(browse);
    m_salvar->setEnabled(!browse);
    m_alterar->setEnabled(browse && shown);
    m_cancelar->setEnabled(!browse);
    m_pesquisar->setEnabled(m_incluir->isEnabled());
    m_excluir->setEnabled(browse && shown);
    m_fechar->setEnabled(browse);
    const QList<QWidget*> edits{m_campo1, m_campo2, m_campo3, m_campo4, m_campo6, m_campo5};
    for (int i = 0; i < edits.size(); ++i)
        setEditable(edits.at(i), i == 0 ? state == RecordSet::State::Insert : !browse);
    setEditable(m_protocolista, !browse);
    for (QListWidget* list : {m_cadastros, m_relatorios, m_outros})
        list->setEnabled(!browse);
    QString caption = m_title->text();
    if (state == RecordSet::State::Insert)
        caption += QStringLiteral(" - ") + QStringLiteral("Incluindo");
    else if (state == RecordSet::State::Edit)
        caption += QStringLiteral(" - ") + QStringLiteral("Alterando");
    setWindowTitle(caption);
}

void TFrm_Usuarios::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_incluir->isEnabled()) m_incluir->setFocus();
}

bool TFrm_Usuarios::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == m_campo1 || watched == m_campo6)) {
        // The digit key filter: a typed character it turns into the null character is dropped.
        // Keys without a printable character (arrows, Delete, Tab) are not typed characters.
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (typed.size() == 1 && typed.at(0).unicode() >= 0x20 && typed.at(0).unicode() != 0x7F &&
            routines::digitKeyFilter(typed.at(0)).isNull())
            return true;
    } else if (event->type() == QEvent::KeyPress && watched == m_protocolista) {
        // The check box is a field: Enter moves on as in the edits.
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFrm_Usuarios::cpfLeft() {
    if (m_checkingCpf || !m_records->isEditing()) return;
    if (routines::isValidCpf(m_records->text(kCpf))) return;
    m_checkingCpf = true;
    core::dialogs().message(this, cpfInvalidMessage());
    m_records->setValue(kCpf, QString());
    m_checkingCpf = false;
}

// --- check lists --------------------------------------------------------------------------------

QStringList TFrm_Usuarios::itemTexts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QStringList TFrm_Usuarios::checkedTexts(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) texts << list->item(i)->text();
    return texts;
}

void TFrm_Usuarios::fillCheckLists() {
    // Every window, report and utility of the main menu, hidden ones included, titled without their
    // accelerator as the rights compare them.
    QList<QPair<QString, core::MenuKind>> entries;
    if (Frm_Principal) {
        for (const TFrm_Principal::MenuEntry& e : Frm_Principal->menuEntries())
            if (e.spec.level > 0 && !e.spec.separator())
                entries.append({routines::withoutAccelerator(e.action->text()), e.spec.kind});
    } else {
        for (const core::MenuEntrySpec& e : core::menuTree())
            if (e.level > 0 && !e.separator())
                entries.append({routines::withoutAccelerator(e.title), e.kind});
    }
    for (const auto& [title, kind] : std::as_const(entries)) {
        QListWidget* list = kind == core::MenuKind::Window    ? m_cadastros
                            : kind == core::MenuKind::Report  ? m_relatorios
                            : kind == core::MenuKind::Utility ? m_outros
                                                              : nullptr;
        if (!list) continue;
        auto* item = new QListWidgetItem(title, list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
}

void TFrm_Usuarios::checkGrantedItems() {
    const int titulo = m_grants->fieldIndex(QStringLiteral("TITULO"));
    for (int r = 0; r < m_grants->rowCount(); ++r) {
        const QString granted = m_grants->valueAt(r, titulo).toString();
        for (QListWidget* list : {m_cadastros, m_relatorios, m_outros})
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->text() == granted) list->item(i)->setCheckState(Qt::Checked);
    }
}

void TFrm_Usuarios::clearCheckLists() {
    for (QListWidget* list : {m_cadastros, m_relatorios, m_outros})
        list->clear();
}

void TFrm_Usuarios::writeGrants() {
    while (m_grants->rowCount() > 0) {
        m_grants->setCurrentRow(0);
        if (!m_grants->deleteCurrent()) break;
    }
    const QString code = m_records->text(kCode);
    int counter = 0;
    for (QListWidget* list : {m_cadastros, m_relatorios, m_outros}) {
        for (const QString& title : checkedTexts(list)) {
            ++counter;
            m_grants->append();
            m_grants->setValue(QStringLiteral("ACESSO"), QString::number(counter));
            m_grants->setValue(kCode, code);
            m_grants->setValue(QStringLiteral("TITULO"), title);
            m_grants->post();
        }
    }
}

// --- passwords ----------------------------------------------------------------------------------

void TFrm_Usuarios::scramblePasswords(bool up) {
    for (const QString& field : {kPassword, kConfirmation}) {
        const QString text = m_records->text(field);
        m_records->setValue(field, up ? routines::scrambleUp(text) : routines::scrambleDown(text));
    }
}

bool TFrm_Usuarios::passwordsStorable() {
    const QList<std::tuple<QString, QString, QLineEdit*>> secrets{
        {kPassword, QStringLiteral("Senha"), m_campo3},
        {kConfirmation, QStringLiteral("Confirmação"), m_campo4}};
    for (const auto& [field, what, edit] : secrets) {
        const QString plain = m_records->text(field);
        const FieldDef* def = m_records->field(field);
        QString problem;
        if (def && def->width > 0 && plain.size() > def->width)
            problem = passwordTooLongMessage(what);
        else if (!routines::fitsWin1252(routines::scrambleUp(plain)))
            problem = passwordCharactersMessage(what);
        if (problem.isEmpty()) continue;
        core::dialogs().message(this, problem);
        edit->setFocus();
        return false;
    }
    return true;
}

// --- buttons ------------------------------------------------------------------------------------

void TFrm_Usuarios::Botao_IncluirClick() {
    // A new user starts without grants; the detail holds none of another user's rows.
    QString error;
    if (!loadGrants(QString(), &error)) {
        core::dialogs().error(this, error);
        return;
    }
    if (!m_records->append()) {
        refreshState();
        return;
    }
    refreshState();
    m_campo1->setFocus();
    fillCheckLists();
    refreshState();
}

void TFrm_Usuarios::Botao_AlterarClick() {
    // The grants as stored now, also when another workstation changed them since.
    QString error;
    if (!loadGrants(m_records->text(kCode), &error)) {
        core::dialogs().error(this, error);
        return;
    }
    if (!m_records->edit()) return;
    refreshState();
    scramblePasswords(false);
    fillCheckLists();
    checkGrantedItems();
    refreshState();
    m_campo2->setFocus();
}

void TFrm_Usuarios::Botao_SalvarClick() {
    if (!m_records->isEditing()) return;
    m_binder->commit();
    if (!routines::isValidCpf(m_records->text(kCpf))) {
        core::dialogs().message(this, cpfCheckMessage());
        return;
    }
    if (emptyOrBlank(m_records->text(kCode))) {
        core::dialogs().message(this, codeMissingMessage());
        m_campo1->setFocus();
        return;
    }
    if (emptyOrBlank(m_records->text(kName))) {
        core::dialogs().message(this, nameMissingMessage());
        m_campo2->setFocus();
        return;
    }
    if (emptyOrBlank(m_campoE1->text())) {
        core::dialogs().message(this, unitMissingMessage());
        return;
    }
    if (!passwordsStorable()) return;

    writeGrants();
    scramblePasswords(true);
    if (!m_records->post()) {
        // The row stays in editing with the passwords as typed, never shifted twice.
        scramblePasswords(false);
        core::dialogs().message(this, saveErrorMessage());
        return;
    }
    if (RecordSet::applyUpdates({m_records, m_grants}) > 0) {
        m_records->edit();
        scramblePasswords(false);
        core::dialogs().message(this, saveErrorMessage());
        return;
    }
    clearCheckLists();
    refreshState();
    m_rightsChanged = true;
    emit saved();
    if (m_incluir->isEnabled()) m_incluir->setFocus();
}

void TFrm_Usuarios::undoPending() {
    m_records->cancel();
    // A save the database refused is not kept: the window shows again what the database holds.
    if (m_records->hasPendingChanges()) m_records->cancelUpdates();
    if (m_grants->isOpen()) m_grants->cancelUpdates();
}

void TFrm_Usuarios::Botao_CancelarClick() {
    undoPending();
    clearCheckLists();
    refreshState();
}

void TFrm_Usuarios::Botao_PesquisarClick() {
    QStringList chosen;
    if (pesquisaUsuarios(this, &chosen)) {
        QString error;
        if (!reload(chosen.value(0), &error)) core::dialogs().error(this, error);
    }
    refreshState();
    clearCheckLists();
}

void TFrm_Usuarios::Botao_ExcluirClick() {
    if (core::dialogs().question(this, QStringLiteral("Confirma a Exclusão ?"),
                                 core::DialogService::DefaultButton::No)) {
        if (m_records->currentRow() >= 0 && !m_records->isEditing()) {
            // The user's grants go with the user, in the same transaction.
            QString error;
            if (loadGrants(m_records->text(kCode), &error)) {
                while (m_grants->rowCount() > 0) {
                    m_grants->setCurrentRow(0);
                    if (!m_grants->deleteCurrent()) break;
                }
                m_records->deleteCurrent();
                if (RecordSet::applyUpdates({m_records, m_grants}) > 0) {
                    m_records->cancelUpdates();
                    m_grants->cancelUpdates();
                }
            } else {
                core::dialogs().error(this, error);
            }
        }
        clearCheckLists();
    }
    refreshState();
}

void TFrm_Usuarios::Botao_FecharClick() {
    closeWindow(this);
}

void TFrm_Usuarios::pesquisaUnidadeClick() {
    registers::pesquisaUnidades(this, m_records, kUnit);
}

void TFrm_Usuarios::cadastraUnidadeClick() {
    registers::openUnidades(this);
}

// --- opening and the end of the run -------------------------------------------------------------

QString deactivationMessage() {
    return QStringLiteral("Atenção, o ") + core::appValues().systemName +
           QStringLiteral(" será desativado para atualizar acesso dos Usuários");
}

void setProgramEnding(std::function<void()> ending) {
    programEnding() = std::move(ending);
}

void endProgram() {
    if (programEnding())
        programEnding()();
    else
        QCoreApplication::exit(0);
}

void openUsuarios(QWidget* owner) {
    bool rightsChanged = false;
    openModal<TFrm_Usuarios>(Frm_Usuarios, owner, [&rightsChanged](TFrm_Usuarios* form, QString* error) {
        QObject::connect(form, &TFrm_Usuarios::saved, form, [&rightsChanged] { rightsChanged = true; });
        return form->reload(firstUserCode(), error);
    });
    // The menu's rights were read at login; the next run reads the new ones.
    if (!rightsChanged) return;
    core::dialogs().message(owner, deactivationMessage());
    endProgram();
}

void registerUserCommands() {
    core::menuCommands().add(QStringLiteral("Usuários..."),
                             [](QWidget* parent, const QString&) { openUsuarios(parent); });
}

} // namespace app
