#pragma once

#include "FrameworkExport.h"

// The whole Consiste unit: validation and utility routines, the error message (MensErro) and
// the application-server result check (CheckResultServ).
#include "appserver/TNetConnection.h"
#include "host/ConsisteCore.h"
#include "widgets/HostUi.h"

class TDBGrid;

namespace Consiste {

// Index of the grid column bound to that field (case-insensitive); -1 when none, or no grid.
KVO_FRAMEWORK_EXPORT int IndiceCol(const TDBGrid* grid, const QString& fieldName);

} // namespace Consiste
