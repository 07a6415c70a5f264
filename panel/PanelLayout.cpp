#include "panel/PanelLayout.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QToolButton>
#include <QToolTip>
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

// Keeps a slider's tool tip on its value, and shows the value by the handle while the slider is
// dragged or stepped with the keys.
void TellValue(QSlider* slider)
{
    const auto show = [slider](int value) {
        const QString text = QString::number(value);
        slider->setToolTip(text);
        if (!slider->isVisible() || !(slider->isSliderDown() || slider->hasFocus()))
            return;
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = value;
        option.sliderValue = value;
        const QRect handle = slider->style()->subControlRect(QStyle::CC_Slider, &option,
                                                             QStyle::SC_SliderHandle, slider);
        QToolTip::showText(slider->mapToGlobal(handle.bottomLeft()), text, slider);
    };
    QObject::connect(slider, &QSlider::valueChanged, slider, show);
    QObject::connect(slider, &QSlider::sliderPressed, slider,
                     [slider, show] { show(slider->value()); });
    slider->setToolTip(QString::number(slider->value()));
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

QString PointSizeText(int points)
{
    return QStringLiteral("%1pt").arg(points);
}

QLabel* PointSize(QBoxLayout* row, const QString& name)
{
    QLabel* display = Label(row, QString());
    display->setObjectName(name);
    display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    display->setMinimumWidth(display->fontMetrics().horizontalAdvance(PointSizeText(999)) + 2);
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
    TellValue(slider);
    row->addWidget(slider, 1);
    return slider;
}

} // namespace velmr::panel::layout
