#pragma once

#include "FrameworkExport.h"

#include "widgets/StdControls.h"

#include <QLabel>

// Pieces the base screens build the same way.
namespace kvo {

// A panel holding one row of controls (tool panel, navigator panel).
KVO_FRAMEWORK_EXPORT TPanel* NewRowPanel(QWidget* parent, const char* name, TPanel::TBevel bevel);

// A flat tool button at the end of `panel`'s row, or at `index` in it.
KVO_FRAMEWORK_EXPORT TButtonFlat* AddToolButton(TPanel* panel, const char* name, const QString& caption,
                                                const QString& hint, int index = -1);

// The screen-code label lblCodTela, in bold at the far end of a tool panel's row.
KVO_FRAMEWORK_EXPORT QLabel* AddScreenCodeLabel(TPanel* panel);

} // namespace kvo
