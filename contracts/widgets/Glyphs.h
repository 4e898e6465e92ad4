#pragma once

#include "FrameworkExport.h"

#include <QIcon>
#include <QString>

namespace kvo {

// Drawn glyphs for the tool buttons and menus, by command name: "incluir", "alterar",
// "excluir", "procurar", "verificar", "cancelar", "confirmar", "imprimir", "visualizar",
// "ordenar", "ajuda", "fechar", "calcular", "salvar", "editar". An unknown name gives a null icon.
KVO_FRAMEWORK_EXPORT QIcon CommandGlyph(const QString& name, int size = 20);

} // namespace kvo
