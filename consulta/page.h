#pragma once

#include "core/publiclookup.h"

#include <QByteArray>
#include <QString>

namespace consulta {

// What the citizen typed, kept in the form when the page is shown again.
struct PageForm {
    QString number;
    QString year;
    QString code;
};

// The page in its states: the empty form, a process found, a message (not found, wrong form,
// too many lookups, database unavailable). Plain HTML without scripts; the style sheet comes from
// /estilo.css so that the content security policy can forbid everything inline.
QByteArray pageHtml(const PageForm& form, const core::consulta::PublicStatus* found, const QString& message);
QByteArray styleSheet();

// The messages, shared by the page and the JSON answers.
QString notFoundMessage();
QString invalidMessage();
QString tooManyMessage();
QString unavailableMessage();

} // namespace consulta
