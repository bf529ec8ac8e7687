#include "app/usuarios.h"

#include "app/pesquisausuarios.h"
#include "core/appvalues.h"
#include "core/dialogs.h"
#include "core/menucommands.h"
#include "core/menutree.h"
#include "core/routines.h"
#include "core/session.h"
#include "forms/common/formwindow.h"
#include "forms/registers/lookups.h"
#include "forms/registers/unidades.h"

#include <QAction>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProxyStyle>
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

QString TFrm_Usuarios::selfDeletionMessage() {
    return QStringLiteral(
        "Atenção, procedimento cancelado! O usuário conectado não pode excluir a si mesmo.");
}

QString TFrm_Usuarios::lastManagerMessage() {
    return QStringLiteral("Atenção, procedimento cancelado! Nenhum outro usuário tem acesso a \"%1\": "
                          "ao menos um usuário deve manter esse acesso.")
        .arg(core::userManagementTitle());
}

namespace {

// A password that the column cannot hold, shifted, stops the save with the form's own message.
SaveCheck passwordCheck(const QString& field, const QString& what, const QString& focus, bool length) {
    SaveCheck check;
    check.field = field;
    check.focus = focus;
    if (length) {
        check.message = TFrm_Usuarios::passwordTooLongMessage(what);
        check.fails = [field](const RecordSet& r) {
            const FieldDef* def = r.field(field);
            return def && def->width > 0 && r.text(field).size() > def->width;
        };
    } else {
        check.message = TFrm_Usuarios::passwordCharactersMessage(what);
        check.fails = [field](const RecordSet& r) {
            return !routines::fitsWin1252(routines::scrambleUp(r.text(field), core::passwordShift()));
        };
    }
    return check;
}

RegistrySpec usuariosSpec() {
    RegistrySpec s;
    s.formName = QStringLiteral("Frm_Usuarios");
    s.title = QStringLiteral("Usuários");
    s.table = QStringLiteral("USUARIOS");
    s.codeField = kCode;
    s.codeWidth = 8;
    s.selectQuery = QStringLiteral(
        "SELECT A.COD_USUARIO, A.USUARIO, A.SENHA, A.CONFIRMACAO, A.CPF, A.PROTOCOLISTA, A.IDTITULAR, "
        "B.INTERESSADO AS TITULAR, A.IDUNIDADE, C.UNIDADE FROM USUARIOS A LEFT JOIN INTERESSADOS B ON "
        "A.IDTITULAR = B.IDINTERESSADO LEFT JOIN UNIDADES C ON A.IDUNIDADE = C.IDUNIDADE WHERE COD_USUARIO "
        "=:UM");
    s.fields = {keyField(kCode, 8),       textField(kName, 100),
                textField(kPassword, 10), textField(kConfirmation, 10),
                textField(kCpf, 14),      textField(kProtocolist, 3),
                textField(kHolder, 6),    joinedField(QStringLiteral("TITULAR"), 100),
                textField(kUnit, 4),      joinedField(kUnitName, 100)};
    s.zeroFills = {{kCode, 8},
                   {kHolder, 6},
                   {kUnit, 4, QStringLiteral("SELECT UNIDADE FROM UNIDADES WHERE IDUNIDADE=?"), kUnitName}};
    auto blank = [](const QString& field) {
        return [field](const RecordSet& r) { return emptyOrBlank(r.text(field)); };
    };
    s.checks = {{kCpf, TFrm_Usuarios::cpfCheckMessage(), QString(),
                 [](const RecordSet& r) { return !routines::isValidCpf(r.text(kCpf)); }},
                {kCode, TFrm_Usuarios::codeMissingMessage(), QStringLiteral("Campo1"), blank(kCode)},
                {kName, TFrm_Usuarios::nameMissingMessage(), QStringLiteral("Campo2"), blank(kName)},
                // The unit's name display: a code that no unit has leaves it empty.
                {kUnitName, TFrm_Usuarios::unitMissingMessage(), QString(), blank(kUnitName)},
                passwordCheck(kPassword, QStringLiteral("Senha"), QStringLiteral("Campo3"), true),
                passwordCheck(kPassword, QStringLiteral("Senha"), QStringLiteral("Campo3"), false),
                passwordCheck(kConfirmation, QStringLiteral("Confirmação"), QStringLiteral("Campo4"), true),
                passwordCheck(kConfirmation, QStringLiteral("Confirmação"), QStringLiteral("Campo4"), false)};

    EditSpec confirmation =
        lineEdit(QStringLiteral("Campo4"), kConfirmation, QStringLiteral("Confirmação"), 11, Entry::AsTyped);
    confirmation.sameRow = true;
    EditSpec cpf = lineEdit(QStringLiteral("CAMPO6"), kCpf, QStringLiteral("CPF"), 14, Entry::Digits);
    cpf.mask = QStringLiteral("###.###.###-##");
    cpf.sameRow = true;
    s.edits = {lineEdit(QStringLiteral("Campo1"), kCode, QStringLiteral("Código"), 9, Entry::Digits),
               lineEdit(QStringLiteral("Campo2"), kName, QStringLiteral("Usuário"), 46),
               lineEdit(QStringLiteral("Campo3"), kPassword, QStringLiteral("Senha"), 11, Entry::AsTyped),
               confirmation,
               cpf,
               checkBox(QStringLiteral("DBCheckBox1"), kProtocolist, QStringLiteral("Protocolista")),
               captionRow(QStringLiteral("LUnidade"), QStringLiteral("Unidade Orçamentária")),
               lineEdit(QStringLiteral("Campo5"), kUnit, QStringLiteral("Código"), 5),
               smallButton(QStringLiteral("Botao_PesquisaUnidade"), QStringLiteral("&1"),
                           QStringLiteral("Pesquisa")),
               cadastraButton(QStringLiteral("Botao_CadastraUnidade"), QStringLiteral("&2"),
                              QStringLiteral("Unidades Orçamentárias")),
               nameDisplay(QStringLiteral("CampoE1"), kUnitName, 46,
                           QStringLiteral("Nome da Unidade Orçamentária"))};
    s.listTab = false;
    s.searchCommand = true;
    s.stateButtonCaption = QStringLiteral("Ativa/Des.Botões");
    s.postError = TFrm_Usuarios::saveErrorMessage();
    s.size = QSize(1010, 600);
    return s;
}

} // namespace

TFrm_Usuarios::TFrm_Usuarios(QWidget* owner)
    : RegistryForm(usuariosSpec(), owner) {
    setLowerPart(buildCheckLists(editingPage()));
    m_grants = new RecordSet(this);
    m_grants->setObjectName(QStringLiteral("cdsAcessos"));
    m_grants->setQuery(QStringLiteral(
        "SELECT ACESSO, COD_USUARIO, TITULO FROM USUARIOS_ACESSOS WHERE COD_USUARIO=:COD_USUARIO"));
    m_grants->setFields({keyField(QStringLiteral("ACESSO"), 100), keyField(kCode, 8),
                         textField(QStringLiteral("TITULO"), 200)});
    m_grants->setUpdateTable(QStringLiteral("USUARIOS_ACESSOS"));

    for (const char* name : {"Campo3", "Campo4"}) {
        auto* secret = qobject_cast<QLineEdit*>(control(QString::fromLatin1(name)));
        secret->setEchoMode(QLineEdit::Password);
        secret->setStyle(ampersandMask());
        // A longer password is refused on saving with its own message; cutting it while typed
        // would store something else than the user typed and later types at the login.
        secret->setMaxLength(32767);
    }
    connect(qobject_cast<QAbstractButton*>(control(QStringLiteral("Botao_PesquisaUnidade"))),
            &QAbstractButton::clicked, this, &TFrm_Usuarios::Botao_PesquisaUnidadeClick);
    connect(qobject_cast<QAbstractButton*>(control(QStringLiteral("Botao_CadastraUnidade"))),
            &QAbstractButton::clicked, this, &TFrm_Usuarios::Botao_CadastraUnidadeClick);
    connect(binder(), &FieldBinder::left, this, [this](QWidget* widget) {
        if (widget == control(QStringLiteral("CAMPO6"))) CAMPO6Exit();
    });
    // The unchecked box stands for "NAO": a new user stores what the window shows.
    records()->addAfterInsert([this] { records()->setValue(kProtocolist, QStringLiteral("NAO")); });
    // The check lists can be changed only while a user is being inserted or altered.
    connect(this, &RegistryForm::stateRefreshed, this, [this] {
        for (QListWidget* list : {m_cadastros, m_relatorios, m_outros})
            list->setEnabled(records()->isEditing());
    });
}

TFrm_Usuarios::~TFrm_Usuarios() = default;

QWidget* TFrm_Usuarios::buildCheckLists(QWidget* page) {
    auto* part = new QWidget(page);
    auto* line = new QHBoxLayout(part);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(10);
    auto newList = [&](QListWidget*& list, const char* name, const QString& caption) {
        list = new QListWidget(part);
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
        auto* label = new QLabel(caption, part);
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
    return part;
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
    records()->setParameter(QStringLiteral("UM"), code);
    if (!records()->reopen()) {
        if (error) *error = records()->lastError();
        return false;
    }
    if (!loadGrants(records()->text(kCode), error)) return false;
    refreshState();
    return true;
}

void TFrm_Usuarios::CAMPO6Exit() {
    if (m_checkingCpf || !records()->isEditing()) return;
    if (routines::isValidCpf(records()->text(kCpf))) return;
    m_checkingCpf = true;
    core::dialogs().message(this, cpfInvalidMessage());
    records()->setValue(kCpf, QString());
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
    // Every window, report and utility of the menu, hidden ones included, titled without their
    // accelerator as the rights compare them.
    for (const core::MenuEntrySpec& e : core::menuTree()) {
        if (e.level == 0 || e.separator()) continue;
        QListWidget* list = e.kind == core::MenuKind::Window    ? m_cadastros
                            : e.kind == core::MenuKind::Report  ? m_relatorios
                            : e.kind == core::MenuKind::Utility ? m_outros
                                                                : nullptr;
        if (!list) continue;
        auto* item = new QListWidgetItem(routines::withoutAccelerator(e.title), list);
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

QStringList TFrm_Usuarios::chosenTitles() const {
    // Numbered across the lists in this order when written.
    return checkedTexts(m_cadastros) + checkedTexts(m_relatorios) + checkedTexts(m_outros);
}

// --- passwords ----------------------------------------------------------------------------------

void TFrm_Usuarios::scramblePasswords(bool up) {
    const quint16 shift = core::passwordShift();
    for (const QString& field : {kPassword, kConfirmation}) {
        const QString text = records()->text(field);
        records()->setValue(field,
                            up ? routines::scrambleUp(text, shift) : routines::scrambleDown(text, shift));
    }
}

// --- the pattern's steps ------------------------------------------------------------------------

bool TFrm_Usuarios::beforeInsert() {
    // A new user starts without grants, and nothing read of another user is compared on saving.
    m_read = core::UserSnapshot();
    QString error;
    if (!loadGrants(QString(), &error)) {
        core::dialogs().error(this, error);
        return false;
    }
    return true;
}

void TFrm_Usuarios::afterInsert() {
    fillCheckLists();
}

bool TFrm_Usuarios::beforeEdit() {
    // The user and his grants as stored now, also when another workstation changed them since
    // the form showed them; the save then checks that nobody changes them in the meantime.
    const QString code = records()->text(kCode);
    QString error;
    if (!core::readUserSnapshot(records()->database(), code, &m_read, &error) || !reload(code, &error)) {
        core::dialogs().error(this, error);
        return false;
    }
    // Removed by another workstation: there is nothing to alter any more.
    return records()->currentRow() >= 0;
}

void TFrm_Usuarios::afterEdit() {
    scramblePasswords(false);
    fillCheckLists();
    checkGrantedItems();
}

void TFrm_Usuarios::beforePost() {
    scramblePasswords(true);
}

void TFrm_Usuarios::afterSaveFailed() {
    // The row stays in editing with the passwords as typed, never shifted twice.
    scramblePasswords(false);
}

void TFrm_Usuarios::afterSave() {
    m_read = core::UserSnapshot();
    loadGrants(records()->text(kCode));
    clearCheckLists();
    m_rightsChanged = true;
    emit saved();
}

void TFrm_Usuarios::afterCancel() {
    clearCheckLists();
}

bool TFrm_Usuarios::beforeDelete() {
    const QString code = records()->text(kCode);
    if (!code.isEmpty() && code == core::currentUser().code) {
        core::dialogs().message(this, selfDeletionMessage());
        return false;
    }
    m_deleting = code;
    return true;
}

bool TFrm_Usuarios::writeChanges(QString* message) {
    const bool deleting = !m_deleting.isEmpty();
    const QString code = deleting ? m_deleting : records()->text(kCode);
    const QStringList titles = deleting ? QStringList() : chosenTitles();
    const core::UserSnapshot read = m_read;
    m_deleting.clear();
    QString refusal;
    int managersBefore = 0;
    auto before = [&](const QSqlDatabase& db, QString* error) {
        refusal.clear();
        if (!core::lockHolders(db, core::userManagementTitle(), error)) return false;
        if (!core::countHolders(db, core::userManagementTitle(), &managersBefore, error)) return false;
        if (deleting || !read.exists) return true;
        // Two administrators altering one user: the second save would mix both choices.
        core::UserSnapshot now;
        if (!core::readUserSnapshot(db, code, &now, error, true)) return false;
        if (now == read) return true;
        refusal = saveErrorMessage();
        *error = refusal;
        return false;
    };
    auto after = [&](const QSqlDatabase& db, QString* error) {
        if (!core::replaceGrants(db, code, titles, error)) return false;
        int managersAfter = 0;
        if (!core::countHolders(db, core::userManagementTitle(), &managersAfter, error)) return false;
        if (managersBefore == 0 || managersAfter > 0) return true;
        refusal = lastManagerMessage();
        *error = refusal;
        return false;
    };
    if (RecordSet::applyUpdates({records()}, nullptr, before, after) == 0) return true;
    if (message) *message = refusal;
    return false;
}

// --- buttons ------------------------------------------------------------------------------------

void TFrm_Usuarios::Botao_PesquisarClick() {
    QStringList chosen;
    if (pesquisaUsuarios(this, &chosen)) {
        QString error;
        if (!reload(chosen.value(0), &error)) core::dialogs().error(this, error);
    }
    refreshState();
    clearCheckLists();
}

void TFrm_Usuarios::Botao_PesquisaUnidadeClick() {
    registers::pesquisaUnidades(this, records(), kUnit);
}

void TFrm_Usuarios::Botao_CadastraUnidadeClick() {
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
