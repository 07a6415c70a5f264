#pragma once

#include <QPixmap>
#include <QString>
#include <QStringList>

// The program's own artwork, drawn in code: the program icon (a red seal with "印") and the tool
// bar glyphs. The resource images the program shows are made from these by velmr_make_icons.
namespace velmr::artwork {

inline constexpr int kGlyphSize = 18;

QPixmap ProgramIconPixmap(int size);

// The tool buttons that have a glyph, by their names ("sbNewName", "OpenBtn", …).
QStringList GlyphNames();
// The glyph of `buttonName` at `size` pixels; a null pixmap for a name without one.
QPixmap GlyphPixmap(const QString& buttonName, int size);
// The greyed image of a disabled button: the glyph's shape in a light grey of its own brightness.
QPixmap Greyed(const QPixmap& normal);

} // namespace velmr::artwork
