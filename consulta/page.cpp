#include "consulta/page.h"

namespace consulta {

namespace {

QString esc(const QString& text) {
    return text.toHtmlEscaped();
}

QString dateText(const QDate& date) {
    return date.isValid() ? date.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

QString resultHtml(const core::consulta::PublicStatus& s) {
    using core::consulta::situationText;
    QString h;
    h += QStringLiteral("<section class=\"resultado\" aria-labelledby=\"resultado\">\n");
    h += QStringLiteral("<h2 id=\"resultado\">Processo %1/%2</h2>\n").arg(esc(s.number), esc(s.year));
    h += QStringLiteral("<dl>\n");
    const auto row = [&h](const QString& term, const QString& value, const QString& id) {
        h += QStringLiteral("<dt>%1</dt><dd id=\"%3\">%2</dd>\n").arg(term, esc(value), id);
    };
    row(QStringLiteral("Situação"), situationText(s), QStringLiteral("situacao"));
    row(QStringLiteral("Registrado em"), dateText(s.registered), QStringLiteral("registrado"));
    if (s.sent) {
        row(QStringLiteral("Unidade atual"), s.unit.isEmpty() ? QStringLiteral("(não informada)") : s.unit,
            QStringLiteral("unidade"));
        row(QStringLiteral("Na unidade desde"), dateText(s.since), QStringLiteral("desde"));
        row(QStringLiteral("Recebido pela unidade"),
            s.received.isValid() ? QStringLiteral("Sim, em %1").arg(dateText(s.received))
                                 : QStringLiteral("Não"),
            QStringLiteral("recebido"));
        row(QStringLiteral("Arquivado"),
            s.archived ? QStringLiteral("Sim, em %1").arg(dateText(s.archivedOn)) : QStringLiteral("Não"),
            QStringLiteral("arquivado"));
    }
    row(QStringLiteral("Número de tramitações"), QString::number(s.movements.size()),
        QStringLiteral("quantidade"));
    h += QStringLiteral("</dl>\n");
    if (!s.movements.isEmpty()) {
        h += QStringLiteral("<table>\n<caption>Tramitações, da mais antiga à mais recente</caption>\n"
                            "<thead><tr><th scope=\"col\">Unidade</th><th scope=\"col\">Enviado em</th>"
                            "<th scope=\"col\">Recebido em</th></tr></thead>\n<tbody>\n");
        for (const core::consulta::PublicMovement& m : s.movements)
            h += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td></tr>\n")
                     .arg(esc(m.unit), dateText(m.sent),
                          m.received.isValid() ? dateText(m.received) : QStringLiteral("—"));
        h += QStringLiteral("</tbody>\n</table>\n");
    }
    h += QStringLiteral("</section>\n");
    return h;
}

} // namespace

QString notFoundMessage() {
    return QStringLiteral("Processo não encontrado. Confira o número, o ano e o código de verificação "
                          "impressos no protocolo.");
}

QString invalidMessage() {
    return QStringLiteral("Informe o número do processo (só algarismos), o ano com quatro algarismos e o "
                          "código de verificação de 8 caracteres impresso no protocolo.");
}

QString tooManyMessage() {
    return QStringLiteral("Muitas consultas em pouco tempo. Por favor, aguarde um minuto e tente novamente.");
}

QString unavailableMessage() {
    return QStringLiteral("A consulta está indisponível no momento. Por favor, tente novamente em alguns "
                          "minutos.");
}

QByteArray pageHtml(const PageForm& form, const core::consulta::PublicStatus* found, const QString& message) {
    QString h = QStringLiteral("<!DOCTYPE html>\n<html lang=\"pt-BR\">\n<head>\n<meta charset=\"utf-8\">\n"
                               "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                               "<title>Consulta de processo - Protocolo</title>\n"
                               "<link rel=\"stylesheet\" href=\"estilo.css\">\n</head>\n<body>\n"
                               "<main>\n<h1>Consulte o andamento do processo</h1>\n");
    if (found) h += resultHtml(*found);
    if (!message.isEmpty())
        h += QStringLiteral("<p class=\"aviso\" role=\"alert\" id=\"aviso\">%1</p>\n").arg(esc(message));
    h +=
        QStringLiteral(
            "<form method=\"get\" aria-describedby=\"instrucao\">\n"
            "<p id=\"instrucao\">Digite os dados impressos no protocolo entregue no registro do "
            "processo.</p>\n"
            "<div class=\"campo\"><label for=\"numero\">Número do processo</label>"
            "<input id=\"numero\" name=\"numero\" inputmode=\"numeric\" maxlength=\"8\" autocomplete=\"off\" "
            "required value=\"%1\"></div>\n"
            "<div class=\"campo\"><label for=\"ano\">Ano</label>"
            "<input id=\"ano\" name=\"ano\" inputmode=\"numeric\" maxlength=\"4\" autocomplete=\"off\" "
            "required value=\"%2\"></div>\n"
            "<div class=\"campo\"><label for=\"codigo\">Código de verificação</label>"
            "<input id=\"codigo\" name=\"codigo\" maxlength=\"9\" autocomplete=\"off\" "
            "autocapitalize=\"characters\" "
            "spellcheck=\"false\" required value=\"%3\"></div>\n"
            "<button type=\"submit\" id=\"consultar\">Consultar</button>\n</form>\n")
            .arg(esc(form.number), esc(form.year), esc(form.code));
    h += QStringLiteral("<p class=\"nota\">Esta consulta mostra apenas a situação e as unidades por onde o "
                        "processo passou. Dados pessoais não são exibidos.</p>\n</main>\n</body>\n</html>\n");
    return h.toUtf8();
}

QByteArray styleSheet() {
    return QByteArrayLiteral(
        "body{margin:0;font-family:Arial,Helvetica,sans-serif;font-size:1.05rem;line-height:1.5;"
        "color:#111;background:#f4f6f8}\n"
        "main{max-width:40rem;margin:0 "
        "auto;padding:1rem;background:#fff;min-height:100vh;box-sizing:border-box}\n"
        "h1{font-size:1.4rem;color:#0b3d6e}\nh2{font-size:1.2rem}\n"
        ".campo{margin:.8rem 0}\nlabel{display:block;font-weight:bold}\n"
        "input{font-size:1.1rem;padding:.5rem;width:100%;max-width:20rem;box-sizing:border-box;"
        "border:2px solid #555;border-radius:4px}\n"
        "input:focus,button:focus{outline:3px solid #f0a500;outline-offset:2px}\n"
        "button{font-size:1.1rem;padding:.6rem "
        "1.4rem;background:#0b3d6e;color:#fff;border:0;border-radius:4px;"
        "cursor:pointer}\n"
        ".aviso{border-left:5px solid #b00020;background:#fdecee;padding:.6rem}\n"
        ".resultado{border:1px solid #0b3d6e;border-radius:4px;padding:.2rem 1rem;margin-bottom:1rem}\n"
        "dl{display:grid;grid-template-columns:max-content 1fr;gap:.3rem "
        "1rem}\ndt{font-weight:bold}\ndd{margin:0}\n"
        "table{border-collapse:collapse;width:100%;margin:1rem "
        "0}\ncaption{text-align:left;font-weight:bold}\n"
        "th,td{border:1px solid #999;padding:.3rem;text-align:left}\n"
        ".nota{font-size:.9rem;color:#444}\n"
        "@media (max-width:30rem){dl{grid-template-columns:1fr}dd{margin-bottom:.4rem}}\n");
}

} // namespace consulta
