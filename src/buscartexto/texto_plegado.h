#pragma once

#include <QString>
#include <QStringView>
#include <string>

// Texts compared the way the text search compares them: letter case and accents do not count, so "raton" and
// "RATÓN" read the same.
namespace TextoPlegado {

// Each character without its accents, in its folded case; characters outside the basic plane stay as they are.
QString plegar(QStringView texto);
// The same, appended as UTF-8 to `destino`, without building a text of its own.
void plegar_utf8(QStringView texto, std::string& destino);

} // namespace TextoPlegado
