#pragma once

#include <QString>

class QBoxLayout;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;
class QVBoxLayout;
class QWidget;

// Builders for the editing panel's dense column of controls: every control gets a compact fixed
// height so that the panels keep their sizes, and a caption is never narrower than its text.
namespace velmr::panel::layout {

inline constexpr int kRowHeight = 18;
inline constexpr int kSliderHeight = 14;

// The panel's column under its bold heading.
QVBoxLayout* Column(QFrame* panel, const QString& heading);
// A row of the column (or of a group's own column).
QHBoxLayout* Row(QBoxLayout* column);
QLabel* Label(QBoxLayout* row, const QString& text);
// A sunken display of a seal's printed size, wide enough for "20.3 mm".
QLabel* SizeDisplay(QBoxLayout* row, const QString& name);
// A font's size in points beside its size buttons, wide enough for "999pt".
QLabel* PointSize(QBoxLayout* row, const QString& name);
// The text a point-size display shows.
QString PointSizeText(int points);
QPushButton* Button(QBoxLayout* row, const QString& name, const QString& caption);
QToolButton* SpeedButton(QBoxLayout* row, const QString& name, const QString& caption);
// A slider that tells its value: in its tool tip, and beside the handle while it moves.
QSlider* TrackBar(QBoxLayout* row, const QString& name, int minimum, int maximum, int pageSize);

} // namespace velmr::panel::layout
