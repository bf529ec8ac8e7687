#pragma once

#include "reports/engine/report.h"

#include <QImage>
#include <QString>
#include <memory>

class QWidget;

namespace reports {

class PreviewWindow;

// The papers of one process: the receipt handed to the applicant (Frm_RelProcesso), the cover
// of the paper file (Frm_RelProcesso02), the routing history (Frm_Relatorio7) and the sheet of
// one dispatch (Frm_Relatorio8). The windows that hold a process or a movement open them with
// the open functions at the end of this header.

// The six texts the receipt and the cover print in their page header and footer.
struct ProcessLabels {
    QString estado;   // state name of the installation
    QString empresa;  // organisation name
    QString endereco; // organisation address (may be empty)
    QString setor;    // "Setor de Protocolo"
    QString cnpj;     // "CNPJ   " + the organisation's CNPJ
    QString usuario;  // name of the user printing
};

// The labels from the installation profile and the logged-in user.
ProcessLabels processLabels();

// The organisation name as the dispatch sheet prints it: every letter in capitals, accented ones
// too ("Câmara" -> "CÂMARA"); raising a to z alone printed "DEMONSTRAçãO".
QString organisationInCapitals(const QString& text);

// "05 de março de 2019": two-digit day, the month's Portuguese name, four-digit year.
QString writtenDate(const QDate& date);

// The first line of a text (the history prints only the first line of the instruction).
QString firstLine(const QString& text);

// Pictures of the page headers: a file of the working folder replaces the drawn one, as
// TELA_PRINCIPAL.JPG does for the splash window. A file that cannot be read is ignored.
QString emblemFileName();     // "EMBLEMA.JPG": receipt and cover
QString coatOfArmsFileName(); // "BRASAO.JPG": dispatch sheet
QImage emblemPicture();
QImage coatOfArmsPicture();
QImage builtInEmblem();
QImage builtInCoatOfArms();

// The verification code of a process for the citizens' look-up (empty when the database has no
// secret).
QString lookupCodeOf(const QString& process, const QString& year);
// Where the installation has a public look-up address: the block "Consulte o andamento do
// processo" (address, code, QR code of the address with number, year and code) after the receipt's
// last band, in the page's free space. False, and nothing added, without the address or a secret.
bool addLookupBlock(Report& r, const QString& process, const QString& year);

// Layouts, not yet read.
std::unique_ptr<Report> createReceipt();
std::unique_ptr<Report> createCover();
std::unique_ptr<Report> createHistory();
std::unique_ptr<Report> createDispatch();

// Layout, rows and labels: what the preview shows. Null with the driver's text when reading
// fails. A process or register that does not exist still gives a report (its page with the
// headers and empty fields).
std::unique_ptr<Report> buildReceipt(const QString& process, const QString& year, const ProcessLabels& labels,
                                     QString* errorText);
std::unique_ptr<Report> buildCover(const QString& process, const QString& year, const ProcessLabels& labels,
                                   QString* errorText);
std::unique_ptr<Report> buildHistory(const QString& process, const QString& year, QString* errorText);
std::unique_ptr<Report> buildDispatch(const QString& registro, QString* errorText);

// Opening from a window. The receipt and the cover open in a preview that stays open while the
// user goes on working (it is returned; null when reading failed or the user cancelled); the
// history and the dispatch sheet in a modal preview that returns when it is closed. A failure
// to read is shown in the general error box.
PreviewWindow* openReceipt(QWidget* parent, const QString& process, const QString& year,
                           const ProcessLabels& labels = processLabels());
PreviewWindow* openCover(QWidget* parent, const QString& process, const QString& year,
                         const ProcessLabels& labels = processLabels());
void openHistory(QWidget* parent, const QString& process, const QString& year);
void openDispatch(QWidget* parent, const QString& registro);

} // namespace reports
