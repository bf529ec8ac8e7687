#pragma once

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace forms {

class RecordSet;

// What a one-line edit lets through as it is typed.
enum class Entry {
    Upper,   // forced upper case (the default of every text)
    Lower,   // forced lower case (e-mail and web addresses)
    AsTyped, // kept as typed (sector name, passwords)
    Digits   // only the digits "0" to "9" (user code, CPF)
};

// Forces the case (or digits) of a line edit as it is typed. A character whose other case the
// database's character set (WIN1252) cannot hold is kept as typed: "µ" does not become a Greek
// capital, "ß" does not become "SS" (which would also move the cursor).
void setEntry(QLineEdit* edit, Entry entry);

// The database stores text in WIN1252: true when that character set has the character.
bool win1252Holds(char32_t c);
// The first character of the text that WIN1252 cannot hold (a whole character, both halves of
// a surrogate pair); empty when the database can store all of it.
QString firstUnstorable(const QString& text);

// Writable edits are white, read-only ones silver; a read-only edit cannot be typed into.
// Check boxes and drop-down lists are disabled instead of read-only.
void setEditable(QWidget* widget, bool editable);
// Only the colour: white or silver (the search box, which is enabled and disabled instead).
void paintEditable(QWidget* widget, bool white);
// True when the widget shows the writable white.
bool looksEditable(const QWidget* widget);

// Binds edits to the fields of a record set. A field shows its current value in its widget and
// every change of the field (zero-fill, a fetched name, a lookup pick) is shown at once. What is
// typed reaches the field only while the record set inserts or edits, when the edit is left or
// when the record is posted; typing never starts editing by itself.
class FieldBinder : public QObject {
    Q_OBJECT
public:
    explicit FieldBinder(RecordSet* records, QObject* parent = nullptr);

    // mask in the "##.###.###/####-##" notation; the field stores the text with its punctuation.
    // The edit's maximum length is the field's width.
    void bind(QLineEdit* edit, const QString& field, Entry entry = Entry::Upper,
              const QString& mask = QString());
    void bind(QPlainTextEdit* edit, const QString& field);
    // A drop-down list whose item text is the stored value.
    void bind(QComboBox* box, const QString& field);
    // A check box storing one text when checked and another when not.
    void bind(QCheckBox* box, const QString& field, const QString& checked = QStringLiteral("SIM"),
              const QString& unchecked = QStringLiteral("NAO"));

    RecordSet* records() const { return m_records; }
    QWidget* widgetFor(const QString& field) const;
    QString fieldOf(const QWidget* widget) const;

    // Hands every edit's pending text to its field (only while inserting or editing). Then, as
    // the one rule of every window against text the database cannot store, false when a bound
    // text holds a character WIN1252 lacks: the message names the field and the character, the
    // edit takes the focus, and the caller does not save.
    bool commit();
    // The message of that refusal.
    static QString unstorableMessage(const QString& fieldCaption, const QString& character);
    // Shows the current record in every bound widget.
    void refresh();

    // The text a line edit hands to its field ("" for a mask with nothing typed).
    static QString editText(const QLineEdit* edit);

signals:
    // A bound widget lost the focus to another control of its window after handing its value to
    // the field (`Campo4Exit`); not when the window itself loses the focus or a popup opens.
    void left(QWidget* widget, const QString& field);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Binding {
        QPointer<QWidget> widget;
        QString field;
        QString checked, unchecked;
        bool digitKeys = false; // a masked edit of digits: other typed characters are dropped
    };
    void show(const Binding& b);
    void handOver();
    void take(const Binding& b);
    const Binding* bindingOf(const QObject* widget) const;
    QString captionOf(const Binding& b) const;

    RecordSet* m_records;
    QList<Binding> m_bindings;
    bool m_showing = false;
};

} // namespace forms
