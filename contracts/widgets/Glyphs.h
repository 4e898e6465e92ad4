#pragma once

#include "FrameworkExport.h"

#include <QIcon>
#include <QString>

namespace kvo {

// The glyph of a command, by command name ("incluir", "alterar", "excluir", "procurar",
// "verificar", "cancelar", "confirmar", "imprimir", "visualizar", "ordenar", "ajuda", "fechar",
// "calcular", "salvar", "salvarcomo", "editar", "historico") or by its tool button's name
// ("sbtIncluir", "sbtCalcComens", "sbtPrint"...). The icon theme's glyph when the theme has it
// (freedesktop names), else one drawn here, so a machine with no theme shows the same tool bar.
// An unknown name gives a null icon.
KVO_FRAMEWORK_EXPORT QIcon CommandGlyph(const QString& name, int size = 20);
// The drawn glyph alone, whatever the theme holds.
KVO_FRAMEWORK_EXPORT QIcon DrawnGlyph(const QString& name, int size = 20);
// The freedesktop icon name of a command ("" for none).
KVO_FRAMEWORK_EXPORT QString ThemeIconName(const QString& name);

// Window icons: "suite" (the application), "efetivos", "calculo", "listagem".
KVO_FRAMEWORK_EXPORT QIcon WindowGlyph(const QString& name);

} // namespace kvo
