#include "tests/support/scripteddialogs.h"

#include <QTest>

namespace testsupport {

static const char* kindName(int k) {
    static const char* names[] = {"message",   "question", "input",  "open-file",
                                  "save-file", "error",    "warning"};
    return names[k];
}

ScriptedDialogs::ScriptedDialogs() {
    core::setDialogService(this);
}

ScriptedDialogs::~ScriptedDialogs() {
    core::setDialogService(nullptr);
}

void ScriptedDialogs::expectMessage(const QString& text) {
    m_expected.enqueue({Kind::Message, text, false, std::nullopt, QString()});
}

void ScriptedDialogs::expectWarning(const QString& text) {
    m_expected.enqueue({Kind::Warning, text, false, std::nullopt, QString()});
}

void ScriptedDialogs::expectQuestion(const QString& text, bool answer) {
    m_expected.enqueue({Kind::Question, text, answer, std::nullopt, QString()});
}

void ScriptedDialogs::expectInput(const QString& prompt, const std::optional<QString>& answer) {
    m_expected.enqueue({Kind::Input, prompt, false, answer, QString()});
}

void ScriptedDialogs::expectOpenFile(const QString& chosenPath) {
    m_expected.enqueue({Kind::OpenFile, QString(), false, chosenPath, QString()});
}

void ScriptedDialogs::expectSaveFile(const QString& chosenPath, const QString& chosenFilter) {
    m_expected.enqueue({Kind::SaveFile, QString(), false, chosenPath, chosenFilter});
}

void ScriptedDialogs::expectError(const QString& containing) {
    m_expected.enqueue({Kind::Error, containing, false, std::nullopt, QString()});
}

bool ScriptedDialogs::verifyAllShown(const char* file, int line) {
    if (m_expected.isEmpty()) return true;
    const Expectation& e = m_expected.head();
    QTest::qFail(
        qPrintable(
            QStringLiteral("%1 caixa(s) esperada(s) não mostrada(s); a próxima: %2 \"%3\". Mostradas: %4")
                .arg(m_expected.size())
                .arg(QString::fromLatin1(kindName(int(e.kind))), e.text,
                     m_shown.join(QStringLiteral(" | ")))),
        file, line);
    return false;
}

std::optional<ScriptedDialogs::Expectation> ScriptedDialogs::take(Kind kind, const QString& text) {
    m_shown << QStringLiteral("%1: %2").arg(QString::fromLatin1(kindName(int(kind))), text);
    if (m_expected.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("Caixa inesperada (%1): \"%2\"")
                                    .arg(QString::fromLatin1(kindName(int(kind))), text)),
                     __FILE__, __LINE__);
        return std::nullopt;
    }
    const Expectation& e = m_expected.head();
    const bool textMatches = kind == Kind::Error                                  ? text.contains(e.text)
                             : (kind == Kind::OpenFile || kind == Kind::SaveFile) ? true
                                                                                  : text == e.text;
    if (e.kind != kind || !textMatches) {
        QTest::qFail(qPrintable(QStringLiteral("Caixa inesperada (%1): \"%2\"; esperada (%3): \"%4\"")
                                    .arg(QString::fromLatin1(kindName(int(kind))), text,
                                         QString::fromLatin1(kindName(int(e.kind))), e.text)),
                     __FILE__, __LINE__);
        return std::nullopt;
    }
    return m_expected.dequeue();
}

void ScriptedDialogs::message(QWidget*, const QString& text, const QString& title) {
    m_lastMessageTitle = title;
    take(Kind::Message, text);
}

void ScriptedDialogs::warning(QWidget*, const QString& text, const QString& title) {
    m_lastMessageTitle = title;
    take(Kind::Warning, text);
}

bool ScriptedDialogs::question(QWidget*, const QString& text, DefaultButton defaultButton) {
    m_lastDefault = defaultButton;
    const auto e = take(Kind::Question, text);
    return e ? e->answer : false;
}

std::optional<QString> ScriptedDialogs::input(QWidget*, const QString&, const QString& prompt,
                                              const QString& initial) {
    m_lastInputInitial = initial;
    const auto e = take(Kind::Input, prompt);
    return e ? e->value : std::nullopt;
}

QString ScriptedDialogs::openFileName(QWidget*, const QString& title, const QString& filter) {
    m_lastFilter = filter;
    const auto e = take(Kind::OpenFile, title);
    return e && e->value ? *e->value : QString();
}

QString ScriptedDialogs::saveFileName(QWidget*, const QString& title, const QString& filter, const QString&,
                                      QString* chosenFilter) {
    m_lastFilter = filter;
    m_lastPreselected = chosenFilter ? *chosenFilter : QString();
    const auto e = take(Kind::SaveFile, title);
    if (e && chosenFilter) *chosenFilter = e->filter;
    return e && e->value ? *e->value : QString();
}

void ScriptedDialogs::error(QWidget*, const QString& text) {
    take(Kind::Error, text);
}

} // namespace testsupport
