#include "panel/PanelLayout.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmr::panel::layout {

namespace {

QWidget* ParentOf(QBoxLayout* row)
{
    return row->parentWidget();
}

// A button just wide enough for its caption.
void FitCaption(QAbstractButton* button)
{
    const int textWidth = button->fontMetrics().horizontalAdvance(button->text());
    button->setMinimumWidth(textWidth + 6);
    button->setFixedHeight(kRowHeight);
}

} // namespace

QVBoxLayout* Column(QFrame* panel, const QString& heading)
{
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(3, 2, 3, 2);
    column->setSpacing(1);
    auto* label = new QLabel(heading, panel);
    label->setObjectName(panel->objectName() + QStringLiteral("Heading"));
    label->setAlignment(Qt::AlignCenter);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    column->addWidget(label);
    return column;
}

QHBoxLayout* Row(QBoxLayout* column)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(2);
    row->setContentsMargins(0, 0, 0, 0);
    column->addLayout(row);
    return row;
}

QLabel* Label(QBoxLayout* row, const QString& text)
{
    auto* label = new QLabel(text, ParentOf(row));
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(text));
    row->addWidget(label);
    return label;
}

QLabel* SizeDisplay(QBoxLayout* row, const QString& name)
{
    QLabel* display = Label(row, QString());
    display->setObjectName(name);
    display->setFrameShape(QFrame::Panel);
    display->setFrameShadow(QFrame::Sunken);
    display->setAlignment(Qt::AlignCenter);
    display->setMinimumWidth(display->fontMetrics().horizontalAdvance(QStringLiteral("20.3 mm")) +
                             8);
    display->setFixedHeight(kRowHeight);
    return display;
}

QPushButton* Button(QBoxLayout* row, const QString& name, const QString& caption)
{
    auto* button = new QPushButton(caption, ParentOf(row));
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::TabFocus);
    FitCaption(button);
    row->addWidget(button);
    return button;
}

QToolButton* SpeedButton(QBoxLayout* row, const QString& name, const QString& caption)
{
    auto* button = new QToolButton(ParentOf(row));
    button->setObjectName(name);
    button->setText(caption);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    FitCaption(button);
    row->addWidget(button);
    return button;
}

QSlider* TrackBar(QBoxLayout* row, const QString& name, int minimum, int maximum, int pageSize)
{
    auto* slider = new QSlider(Qt::Horizontal, ParentOf(row));
    slider->setObjectName(name);
    slider->setRange(minimum, maximum);
    slider->setValue(0);
    slider->setPageStep(pageSize);
    slider->setSingleStep(1);
    slider->setFixedHeight(kSliderHeight);
    slider->setMinimumWidth(50);
    row->addWidget(slider, 1);
    return slider;
}

} // namespace velmr::panel::layout
