#pragma once

#include "FrameworkExport.h"

#include <QString>
#include <QStringList>

namespace kvo {

// A catalog text with its "%s" placeholders filled in order; placeholders beyond the arguments
// stay as they are, and an argument's own "%s" is never filled.
KVO_FRAMEWORK_EXPORT QString FormatMsg(QString text, const QStringList& args);

} // namespace kvo
