#pragma once

#include "FrameworkExport.h"

#include "data/Exceptions.h"

#include <QDate>
#include <QString>

class QWidget;

// The validation and utility routines of the Consiste unit that need no controls.
// Include "host/Consiste.h" for the whole unit.
namespace Consiste {

// A refused validation; the message is what the user is shown.
class KVO_FRAMEWORK_EXPORT EValidacao : public Exception {
public:
    using Exception::Exception;
};

// True for a text that is empty or only blanks, and for an empty date text ("  /  /    ").
KVO_FRAMEWORK_EXPORT bool EmptyString(const QString& text);

// Brings a code to a fixed width: blanks trimmed; a code of digits only is left-padded with
// zeros ("1" -> "0001"); any other code is kept as typed, cut to the width.
KVO_FRAMEWORK_EXPORT QString Ajusta(const QString& text, int width);

// Checks a branch on the shared connection and returns its name. Throws EValidacao when the
// code is empty, unknown, rescinded (strict only) or not allowed to the operator.
KVO_FRAMEWORK_EXPORT QString ValidaFilial(const QString& branch, const QString& operador, bool strict);

// Weekday name of a date ("Domingo" .. "Sábado"); empty for a null date.
KVO_FRAMEWORK_EXPORT QString NomeSemana(const QDate& date);

// Enables or disables every control placed directly in a container.
KVO_FRAMEWORK_EXPORT void SetChildEnabled(QWidget* panel, bool enabled);

} // namespace Consiste
