#pragma once

#include <QChar>
#include <QDateTime>
#include <QString>

// Small free functions shared by many windows; none touches the database or a window.
namespace routines {

// Stored passwords are shifted by this amount unless the installation's profile says otherwise
// (core::passwordShift()). -2 (mod 65536) keeps every character that a Brazilian keyboard types
// (ASCII from the blank up, and the Latin-1 letters and signs from "¢" up) inside the range that
// a WIN1252 column can store; an installation can never change its amount, or the passwords
// already stored could not be read back.
constexpr quint16 kPasswordShift = 65534;

// "25/12/2019" -> "12/25/2019".
QString swapDateText(const QString& ddmmyyyy);

QString scrambleUp(const QString& text, quint16 shift = kPasswordShift);
QString scrambleDown(const QString& text, quint16 shift = kPasswordShift);

// True when every character of the text exists in WIN1252 (what the database columns hold).
bool fitsWin1252(const QString& text);

// Backspace, Enter and digits pass; anything else becomes the null character.
QChar digitKeyFilter(QChar typed);

// Check digits of a formatted CNPJ (##.###.###/####-##) and CPF (###.###.###-##).
// A non-digit in a digit position answers "not valid".
bool isValidCnpj(const QString& formatted);
bool isValidCpf(const QString& formatted);

// Last-write time of a file (a bare name is looked up in the current folder), local time;
// invalid when the file does not exist.
QDateTime fileTime(const QString& fileName);

QString digitsOnly(const QString& text);

// Left-pads with "0" up to the width; longer texts are left as they are.
QString zeroFill(const QString& text, int width);

// Removes the first "&" of a menu or button caption.
QString withoutAccelerator(const QString& caption);

} // namespace routines
