#pragma once

#include "core/dialogs.h"

#include <QQueue>
#include <QStringList>

namespace testsupport {

// The dialog service of the tests: every box the program shows must have been expected, in
// order, with its exact text; the expectation supplies the answer. Anything else fails the test.
// Installs itself on construction and restores the real boxes on destruction.
class ScriptedDialogs : public core::DialogService {
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    void expectMessage(const QString& text);
    // A message box with the warning icon.
    void expectWarning(const QString& text);
    void expectQuestion(const QString& text, bool answer);
    void expectInput(const QString& prompt, const std::optional<QString>& answer);
    void expectOpenFile(const QString& chosenPath); // empty: the user cancelled
    void expectSaveFile(const QString& chosenPath, const QString& chosenFilter = QString());
    // The general error box; the shown text must contain the given part.
    void expectError(const QString& containing);

    // Every box shown so far, as "kind: text".
    QStringList shown() const { return m_shown; }
    // Expectations not yet met.
    int pending() const { return m_expected.size(); }
    // Fails the current test when expectations remain; returns true when none do.
    bool verifyAllShown(const char* file, int line);
    // Title of the last message or warning box shown (empty: the default title).
    QString lastMessageTitle() const { return m_lastMessageTitle; }
    // Default button of the last question shown.
    DefaultButton lastQuestionDefault() const { return m_lastDefault; }
    // Text the last input box started with.
    QString lastInputInitial() const { return m_lastInputInitial; }
    // Filter passed with the last file choice.
    QString lastFilter() const { return m_lastFilter; }
    // Filter the program preselected in the last save dialog.
    QString lastPreselectedFilter() const { return m_lastPreselected; }

    void message(QWidget* parent, const QString& text, const QString& title) override;
    void warning(QWidget* parent, const QString& text, const QString& title) override;
    bool question(QWidget* parent, const QString& text, DefaultButton defaultButton) override;
    std::optional<QString> input(QWidget* parent, const QString& title, const QString& prompt,
                                 const QString& initial) override;
    QString openFileName(QWidget* parent, const QString& title, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& filter,
                         const QString& suggestedName, QString* chosenFilter) override;
    void error(QWidget* parent, const QString& text) override;

private:
    enum class Kind { Message, Question, Input, OpenFile, SaveFile, Error, Warning };
    struct Expectation {
        Kind kind;
        QString text;
        bool answer = false;
        std::optional<QString> value;
        QString filter;
    };
    // Takes the next expectation if it is of this kind and matches; fails the test otherwise.
    std::optional<Expectation> take(Kind kind, const QString& text);

    QQueue<Expectation> m_expected;
    QStringList m_shown;
    DefaultButton m_lastDefault = DefaultButton::No;
    QString m_lastMessageTitle;
    QString m_lastFilter;
    QString m_lastInputInitial;
    QString m_lastPreselected;
};

} // namespace testsupport

#define VERIFY_DIALOGS(d) QVERIFY((d).verifyAllShown(__FILE__, __LINE__))
