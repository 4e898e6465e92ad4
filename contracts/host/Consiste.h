#pragma once

#include "FrameworkExport.h"

// The whole Consiste unit: validation and utility routines, the error message (MensErro) and
// the application-server result check (CheckResultServ).
#include "appserver/TNetConnection.h"
#include "host/ConsisteCore.h"
#include "widgets/HostUi.h"

class TDBGrid;
class TEdit;

namespace Consiste {

// Index of the grid column bound to that field (case-insensitive); -1 when none, or no grid.
KVO_FRAMEWORK_EXPORT int IndiceCol(const TDBGrid* grid, const QString& fieldName);

// The branch check of a screen's branch edit: the code brought to width 4, then validated for the
// login's operator with its name written beside it. On a refusal the focus goes back to the edit
// (when it can take it) and the refusal goes on to the caller.
KVO_FRAMEWORK_EXPORT void ValidaFilialEdit(TEdit* code, TEdit* name, bool strict);

} // namespace Consiste
