#pragma once

#include <QIcon>
#include <QString>

// The program's own pictures: the program icon and the tool bar glyphs, each with a normal and a
// greyed image.
namespace velmr::app {

QIcon ProgramIcon();
QPixmap ProgramIconPixmap(int size);

// The glyph of the tool button `buttonName` ("sbNewName", "OpenBtn", …); a null icon for others.
QIcon ToolGlyph(const QString& buttonName);

} // namespace velmr::app
