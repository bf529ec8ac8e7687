#include "forms/common/fieldbinder.h"

#include "core/routines.h"

#include "core/dialogs.h"
#include "forms/common/gridmodel.h"
#include "forms/common/recordset.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

namespace forms {

namespace {

// The characters WIN1252 puts in 0x80..0x9F instead of the C1 controls Latin-1 has there.
constexpr char16_t kWin1252Extra[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030,
                                      0x0160, 0x2039, 0x0152, 0x017D, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};

// Length in UTF-16 units of the character at i: 2 for a surrogate pair, else 1 (a lone
// surrogate, as an input method may hand over one half at a time, is kept as it is).
int charLength(const QString& text, int i) {
    return text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
}

char32_t charAt(const QString& text, int i) {
    return charLength(text, i) == 2 ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                                    : text.at(i).unicode();
}

// Changes the case character by character, and only where the result is still storable; the
// length never changes, so the cursor stays where it was.
QString changeCase(const QString& text, bool upper) {
    QString out = text;
    for (int i = 0; i < text.size(); i += charLength(text, i)) {
        if (charLength(text, i) == 2) continue; // nothing beyond the first plane is storable
        const char16_t c = text.at(i).unicode();
        const char32_t changed = upper ? QChar::toUpper(char32_t(c)) : QChar::toLower(char32_t(c));
        if (changed != c && changed <= 0xFFFF && win1252Holds(changed)) out[i] = QChar(char16_t(changed));
    }
    return out;
}

class EntryValidator : public QValidator {
public:
    EntryValidator(Entry entry, QObject* parent)
        : QValidator(parent)
        , m_entry(entry) {}
    State validate(QString& input, int& pos) const override {
        switch (m_entry) {
        case Entry::Upper:
            input = changeCase(input, true);
            break;
        case Entry::Lower:
            input = changeCase(input, false);
            break;
        case Entry::Digits:
            for (const QChar c : std::as_const(input))
                if (!c.isDigit() || c.unicode() > '9') return Invalid;
            break;
        case Entry::AsTyped:
            break;
        }
        pos = std::min(pos, int(input.size()));
        return Acceptable;
    }

private:
    Entry m_entry;
};

} // namespace

bool win1252Holds(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return true;
    for (const char16_t extra : kWin1252Extra)
        if (c == extra) return true;
    return false;
}

QString firstUnstorable(const QString& text) {
    for (int i = 0; i < text.size(); i += charLength(text, i))
        if (!win1252Holds(charAt(text, i))) return text.mid(i, charLength(text, i));
    return QString();
}

void setEntry(QLineEdit* edit, Entry entry) {
    if (entry == Entry::AsTyped) {
        edit->setValidator(nullptr);
        return;
    }
    edit->setValidator(new EntryValidator(entry, edit));
}

void paintEditable(QWidget* widget, bool white) {
    if (!widget) return;
    QPalette pal = widget->palette();
    const QColor c = white ? whiteColour() : silverColour();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::Base, c);
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(Qt::black));
    widget->setPalette(pal);
}

void setEditable(QWidget* widget, bool editable) {
    if (!widget) return;
    paintEditable(widget, editable);
    if (auto* e = qobject_cast<QLineEdit*>(widget))
        e->setReadOnly(!editable);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(widget))
        p->setReadOnly(!editable);
    else
        widget->setEnabled(editable);
}

bool looksEditable(const QWidget* widget) {
    if (!widget) return false;
    const bool writable = qobject_cast<const QLineEdit*>(widget)
                              ? !static_cast<const QLineEdit*>(widget)->isReadOnly()
                          : qobject_cast<const QPlainTextEdit*>(widget)
                              ? !static_cast<const QPlainTextEdit*>(widget)->isReadOnly()
                              : widget->isEnabled();
    return writable && widget->palette().color(QPalette::Base) == whiteColour();
}

FieldBinder::FieldBinder(RecordSet* records, QObject* parent)
    : QObject(parent)
    , m_records(records) {
    connect(records, &RecordSet::recordChanged, this, &FieldBinder::refresh);
    connect(records, &RecordSet::stateChanged, this, [this] {
        // Leaving insert/edit without posting gives every edit its field's value back.
        if (!m_records->isEditing()) refresh();
    });
    connect(records, &RecordSet::fieldChanged, this, [this](const QString& field) {
        for (const Binding& b : std::as_const(m_bindings))
            if (b.field.compare(field, Qt::CaseInsensitive) == 0) show(b);
    });
    connect(records, &RecordSet::aboutToPost, this, &FieldBinder::handOver);
}

void FieldBinder::bind(QLineEdit* edit, const QString& field, Entry entry, const QString& mask) {
    if (!mask.isEmpty()) edit->setInputMask(mask + QStringLiteral(";_"));
    // A mask already decides which characters a position takes.
    setEntry(edit, !mask.isEmpty() && entry == Entry::Digits ? Entry::AsTyped : entry);
    if (const FieldDef* f = m_records->field(field); f && f->width > 0 && mask.isEmpty())
        edit->setMaxLength(f->width);
    edit->installEventFilter(this);
    // A mask's digit positions also take signs: the digit key filter keeps them out.
    m_bindings << Binding{edit, field, {}, {}, !mask.isEmpty() && entry == Entry::Digits};
    show(m_bindings.last());
}

void FieldBinder::bind(QPlainTextEdit* edit, const QString& field) {
    edit->installEventFilter(this);
    m_bindings << Binding{edit, field, {}, {}, false};
    show(m_bindings.last());
}

void FieldBinder::bind(QComboBox* box, const QString& field) {
    m_bindings << Binding{box, field, {}, {}, false};
    connect(box, &QComboBox::activated, this, [this, box] {
        if (const Binding* b = bindingOf(box)) take(*b);
    });
    show(m_bindings.last());
}

void FieldBinder::bind(QCheckBox* box, const QString& field, const QString& checked,
                       const QString& unchecked) {
    m_bindings << Binding{box, field, checked, unchecked, false};
    connect(box, &QCheckBox::clicked, this, [this, box] {
        if (const Binding* b = bindingOf(box)) take(*b);
    });
    show(m_bindings.last());
}

const FieldBinder::Binding* FieldBinder::bindingOf(const QObject* widget) const {
    for (const Binding& b : m_bindings)
        if (b.widget == widget) return &b;
    return nullptr;
}

QWidget* FieldBinder::widgetFor(const QString& field) const {
    for (const Binding& b : m_bindings)
        if (b.field.compare(field, Qt::CaseInsensitive) == 0) return b.widget;
    return nullptr;
}

QString FieldBinder::fieldOf(const QWidget* widget) const {
    const Binding* b = bindingOf(widget);
    return b ? b->field : QString();
}

QString FieldBinder::editText(const QLineEdit* edit) {
    if (edit->inputMask().isEmpty()) return edit->text();
    // The shown text keeps every position of the mask; blanks become spaces, and a mask with
    // nothing typed in it is an empty value.
    QString shown = edit->displayText();
    shown.replace(QLatin1Char('_'), QLatin1Char(' '));
    bool typed = false;
    for (const QChar c : std::as_const(shown))
        if (c.isLetterOrNumber()) typed = true;
    return typed ? shown : QString();
}

void FieldBinder::show(const Binding& b) {
    if (!b.widget) return;
    m_showing = true;
    const QString value = m_records->text(b.field);
    if (auto* e = qobject_cast<QLineEdit*>(b.widget)) {
        if (editText(e) != value) {
            e->setText(value);
            e->setCursorPosition(0);
        }
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(b.widget)) {
        if (p->toPlainText() != value) p->setPlainText(value);
    } else if (auto* c = qobject_cast<QComboBox*>(b.widget)) {
        c->setCurrentIndex(c->findText(value));
    } else if (auto* k = qobject_cast<QCheckBox*>(b.widget)) {
        k->setChecked(value == b.checked);
    }
    m_showing = false;
}

void FieldBinder::take(const Binding& b) {
    if (!b.widget || m_showing) return;
    if (!m_records->isEditing()) {
        show(b);
        return;
    }
    QString typed;
    if (auto* e = qobject_cast<QLineEdit*>(b.widget))
        typed = editText(e);
    else if (auto* p = qobject_cast<QPlainTextEdit*>(b.widget))
        typed = p->toPlainText();
    else if (auto* c = qobject_cast<QComboBox*>(b.widget))
        typed = c->currentText();
    else if (auto* k = qobject_cast<QCheckBox*>(b.widget))
        typed = k->isChecked() ? b.checked : b.unchecked;
    if (typed == m_records->text(b.field)) return;
    m_records->setValue(b.field, typed);
}

QString FieldBinder::unstorableMessage(const QString& fieldCaption, const QString& character) {
    return QStringLiteral("Atenção,\rprocedimento cancelado, o campo %1 contém o caractere \"%2\", que o "
                          "banco de dados não pode gravar!")
        .arg(fieldCaption, character);
}

QString FieldBinder::captionOf(const Binding& b) const {
    // The caption label the user reads above the edit; else what a screen reader calls it.
    if (QWidget* window = b.widget ? b.widget->window() : nullptr) {
        for (const QLabel* label : window->findChildren<QLabel*>())
            if (label->buddy() == b.widget && !label->text().isEmpty())
                return label->text().remove(QLatin1Char('&'));
    }
    if (b.widget && !b.widget->accessibleName().isEmpty()) return b.widget->accessibleName();
    return b.field;
}

void FieldBinder::handOver() {
    if (!m_records->isEditing()) return;
    const QList<Binding> bindings = m_bindings;
    for (const Binding& b : bindings) {
        if (qobject_cast<QLineEdit*>(b.widget) || qobject_cast<QPlainTextEdit*>(b.widget)) take(b);
    }
}

bool FieldBinder::commit() {
    if (!m_records->isEditing()) return true;
    handOver();
    const QList<Binding> bindings = m_bindings;
    for (const Binding& b : bindings) {
        if (!qobject_cast<QLineEdit*>(b.widget) && !qobject_cast<QPlainTextEdit*>(b.widget)) continue;
        const QString bad = firstUnstorable(m_records->text(b.field));
        if (bad.isEmpty()) continue;
        core::dialogs().message(b.widget->window(), unstorableMessage(captionOf(b), bad));
        b.widget->setFocus();
        return false;
    }
    return true;
}

void FieldBinder::refresh() {
    for (const Binding& b : std::as_const(m_bindings))
        show(b);
}

bool FieldBinder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const Binding* b = bindingOf(watched);
        // Keys without a printable character (arrows, Delete, Tab) are not typed characters.
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (b && b->digitKeys && typed.size() == 1 && typed.at(0).unicode() >= 0x20 &&
            typed.at(0).unicode() != 0x7F && routines::digitKeyFilter(typed.at(0)).isNull())
            return true;
    }
    if (event->type() == QEvent::FocusOut) {
        if (const Binding* found = bindingOf(watched)) {
            const Binding b = *found;
            take(b);
            // Switching to another program or opening the edit's own menu does not leave the
            // edit: the checks on leaving wait until the user really moves on.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                emit left(b.widget, b.field);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace forms
