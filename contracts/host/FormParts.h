#pragma once

#include "widgets/StdControls.h"

#include <QLabel>

// Pieces the base screens build the same way.
namespace kvo {

// A panel holding one row of controls (tool panel, navigator panel).
TPanel* NewRowPanel(QWidget* parent, const char* name, TPanel::TBevel bevel);

// A flat tool button at the end of `panel`'s row, or at `index` in it.
TButtonFlat* AddToolButton(TPanel* panel, const char* name, const QString& caption, const QString& hint,
                           int index = -1);

// The screen-code label lblCodTela, in bold at the far end of a tool panel's row.
QLabel* AddScreenCodeLabel(TPanel* panel);

} // namespace kvo
