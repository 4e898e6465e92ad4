#pragma once

#include "FrameworkExport.h"

#include "widgets/StdControls.h"

class TBtnPesquisa;
class TDataSource;

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

// The parts of a parameter header: a bold caption naming the control it labels, a display edit
// (read-only, disabled, skipped by Tab) and the lookup button beside the control it fills.
KVO_FRAMEWORK_EXPORT TLabel* NewCaption(QWidget* parent, const char* name, const QString& caption,
                                        QWidget* focusControl = nullptr);
KVO_FRAMEWORK_EXPORT TEdit* NewDisplayEdit(QWidget* parent, const char* name, int width,
                                           const QColor& color = clWindow);
KVO_FRAMEWORK_EXPORT TBtnPesquisa* NewLookupButton(QWidget* parent, const char* name, const QString& title,
                                                   TDataSource* source, const QString& emptyError,
                                                   QWidget* associate);

} // namespace kvo
