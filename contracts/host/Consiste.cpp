#include "host/Consiste.h"

#include "widgets/TDBGrid.h"

namespace Consiste {

int IndiceCol(const TDBGrid* grid, const QString& fieldName) {
    return grid ? grid->Columns().IndexOfField(fieldName) : -1;
}

} // namespace Consiste
