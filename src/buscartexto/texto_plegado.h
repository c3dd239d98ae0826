#pragma once

#include <QString>
#include <QStringView>
#include <string>

// Texts compared the way the text search compares them: letter case and accents do not count, so "raton", "RATÓN"
// and "Rato" followed by a combining acute accent read the same; "ß" reads as "ss" and a ligature as its letters
// ("ﬁ" as "fi", "æ" as "ae").
namespace TextoPlegado {

// Each character without its accents, in its folded case; combining accents dropped; "ß" and ligatures written as
// their letters; characters outside the basic plane stay as they are.
QString plegar(QStringView texto);
// The same, appended as UTF-8 to `destino`, without building a text of its own.
void plegar_utf8(QStringView texto, std::string& destino);

} // namespace TextoPlegado
