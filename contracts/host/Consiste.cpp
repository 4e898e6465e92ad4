#include "host/Consiste.h"

#include "host/Balvora.h"
#include "widgets/StdControls.h"
#include "widgets/TDBGrid.h"

namespace Consiste {

int IndiceCol(const TDBGrid* grid, const QString& fieldName) {
    return grid ? grid->Columns().IndexOfField(fieldName) : -1;
}

void ValidaFilialEdit(TEdit* code, TEdit* name, bool strict) {
    try {
        code->SetText(Ajusta(code->Text(), 4));
        name->SetText(ValidaFilial(code->Text(), Balvora::Operador(), strict));
    } catch (...) {
        code->TrySetFocus();
        throw;
    }
}

} // namespace Consiste
