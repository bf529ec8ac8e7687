#include "forms/common/fieldbinder.h"

#include "core/routines.h"

#include "forms/common/gridmodel.h"
#include "forms/common/recordset.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>

namespace forms {

namespace {

class EntryValidator : public QValidator {
public:
    EntryValidator(Entry entry, QObject* parent)
        : QValidator(parent)
        , m_entry(entry) {}
    State validate(QString& input, int& pos) const override {
        switch (m_entry) {
        case Entry::Upper:
            input = input.toUpper();
            break;
        case Entry::Lower:
            input = input.toLower();
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
    connect(records, &RecordSet::aboutToPost, this, &FieldBinder::commit);
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

void FieldBinder::commit() {
    if (!m_records->isEditing()) return;
    const QList<Binding> bindings = m_bindings;
    for (const Binding& b : bindings) {
        if (qobject_cast<QLineEdit*>(b.widget) || qobject_cast<QPlainTextEdit*>(b.widget)) take(b);
    }
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
