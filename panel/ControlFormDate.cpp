// The date seal panel: the text above the date band, the band itself, the texts below it, and
// the seal's size, colour and frame.
#include "panel/ControlForm.h"
#include "panel/PanelControls.h"
#include "panel/PanelLayout.h"
#include "platform/Cp932.h"
#include "platform/UserDialogs.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace velmr::panel {

using namespace layout;

namespace {

constexpr int kDateTextBytes = 18;
constexpr int kHeaderBytes = 6;
constexpr int kDatePresets[] = {145, 130, 115, 99};

// The font dialogs of the date panel: upper text, date band, lower text.
constexpr int kUpperFont = 1;
constexpr int kBandFont = 2;
constexpr int kLowerFont = 3;

std::int32_t& DateStampColor(seal::TMDIChild& document)
{
    return document.DateStamp.StampColor;
}

SjisEdit* AddEdit(QBoxLayout* row, const QString& name, int maxBytes)
{
    auto* edit = new SjisEdit(name, maxBytes, row->parentWidget());
    edit->setFixedHeight(kRowHeight);
    row->addWidget(edit, 1);
    return edit;
}

// A caption on its own row with the edit below it.
SjisEdit* AddCaptionedEdit(QBoxLayout* column, const QString& caption, const QString& name)
{
    Label(Row(column), caption);
    return AddEdit(Row(column), name, kDateTextBytes);
}

// A caption on its own row with the slider below it.
QSlider* AddCaptionedSlider(QBoxLayout* column, const QString& caption, const QString& name,
                            int minimum, int maximum)
{
    Label(Row(column), caption);
    return TrackBar(Row(column), name, minimum, maximum, 2);
}

// A caption and its slider on one row.
QSlider* AddSliderRow(QBoxLayout* column, const QString& caption, const QString& name, int minimum,
                      int maximum)
{
    auto* row = Row(column);
    Label(row, caption);
    return TrackBar(row, name, minimum, maximum, 2);
}

} // namespace

void TControlForm::BuildDatePanel()
{
    QVBoxLayout* column = Column(Panel2_, QStringLiteral("日付印の編集"));

    Edit5 = AddCaptionedEdit(column, QStringLiteral("印上部の文字列"), QStringLiteral("Edit5"));
    auto* secondLine = Row(column);
    Label(secondLine, QStringLiteral("同上２行目"));
    Edit8 = AddEdit(secondLine, QStringLiteral("Edit8"), kDateTextBytes);
    auto* upperFont = Row(column);
    Button4 = Button(upperFont, QStringLiteral("Button4"), QStringLiteral("フォント変更"));
    FitButtonD = Button(upperFont, QStringLiteral("FitButtonD"), QStringLiteral("枠に合わせる"));
    auto* upperSize = Row(column);
    Button5 = Button(upperSize, QStringLiteral("Button5"), QStringLiteral("文字大"));
    Button6 = Button(upperSize, QStringLiteral("Button6"), QStringLiteral("文字小"));
    pointSizes_[kUpperFont] = PointSize(upperSize, QStringLiteral("PointSize2"));
    TrackBar2 = AddCaptionedSlider(column, QStringLiteral("高さ位置微調整（全体）"),
                                   QStringLiteral("TrackBar2"), -20, 20);
    TrackBar5 = AddCaptionedSlider(column, QStringLiteral("高さ位置微調整（１行目）"),
                                   QStringLiteral("TrackBar5"), -20, 20);

    auto* bandFont = Row(column);
    Label(bandFont, QStringLiteral("日付部"));
    Button7 = Button(bandFont, QStringLiteral("Button7"), QStringLiteral("フォント変更"));
    bandFont->addStretch();
    auto* bandSize = Row(column);
    Button18 = Button(bandSize, QStringLiteral("Button18"), QStringLiteral("大"));
    Button19 = Button(bandSize, QStringLiteral("Button19"), QStringLiteral("小"));
    pointSizes_[kBandFont] = PointSize(bandSize, QStringLiteral("PointSize3"));
    TrackBar3 =
        AddSliderRow(column, QStringLiteral("日付部上下幅"), QStringLiteral("TrackBar3"), -5, 5);
    // The middle item prints the year of the era the date falls in, whichever era that is.
    RadioGroup5 = new RadioGroup(
        QStringLiteral("RadioGroup5"), QStringLiteral("年号の形式"),
        {QStringLiteral("西暦２"), QStringLiteral("和暦"), QStringLiteral("西暦４")}, 3, Panel2_);
    column->addWidget(RadioGroup5);
    auto* headerRow = Row(column);
    Label(headerRow, QStringLiteral("日付部前置文字"));
    Edit7 = AddEdit(headerRow, QStringLiteral("Edit7"), kHeaderBytes);
    CheckBoxNZ = new QCheckBox(QStringLiteral("月日２桁固定しない"), Panel2_);
    CheckBoxNZ->setObjectName(QStringLiteral("CheckBoxNZ"));
    column->addWidget(CheckBoxNZ);

    Edit6 = AddCaptionedEdit(column, QStringLiteral("印下部の文字列"), QStringLiteral("Edit6"));
    auto* lowerFont = Row(column);
    Button8 = Button(lowerFont, QStringLiteral("Button8"), QStringLiteral("フォント変更"));
    lowerFont->addStretch();
    auto* lowerSize = Row(column);
    Button9 = Button(lowerSize, QStringLiteral("Button9"), QStringLiteral("文字大"));
    Button10 = Button(lowerSize, QStringLiteral("Button10"), QStringLiteral("文字小"));
    pointSizes_[kLowerFont] = PointSize(lowerSize, QStringLiteral("PointSize4"));
    TrackBar4 = AddSliderRow(column, QStringLiteral("高さ位置微調整"), QStringLiteral("TrackBar4"),
                             -20, 20);
    Edit9 = AddCaptionedEdit(column, QStringLiteral("印下部小さな文字"), QStringLiteral("Edit9"));
    TrackBar6 = AddSliderRow(column, QStringLiteral("小さくする比率"), QStringLiteral("TrackBar6"),
                             -50, 50);
    TrackBar7 =
        AddSliderRow(column, QStringLiteral("横間隔"), QStringLiteral("TrackBar7"), -10, 10);
    auto* thirdColumn = Row(column);
    Label(thirdColumn, QStringLiteral("印下部２列目"));
    Edit10 = AddEdit(thirdColumn, QStringLiteral("Edit10"), kDateTextBytes);
    TrackBar8 =
        AddSliderRow(column, QStringLiteral("行間の間隔"), QStringLiteral("TrackBar8"), -20, 20);

    auto* sizeGroup = new QGroupBox(QStringLiteral("印の大きさ"), Panel2_);
    sizeGroup->setObjectName(QStringLiteral("GroupBox1"));
    auto* sizeColumn = new QVBoxLayout(sizeGroup);
    sizeColumn->setContentsMargins(3, 1, 3, 2);
    sizeColumn->setSpacing(1);
    auto* presetRow = Row(sizeColumn);
    SpeedButton1 = SpeedButton(presetRow, QStringLiteral("SpeedButton1"), QStringLiteral("特大"));
    SpeedButton2 = SpeedButton(presetRow, QStringLiteral("SpeedButton2"), QStringLiteral("大"));
    SpeedButton3 = SpeedButton(presetRow, QStringLiteral("SpeedButton3"), QStringLiteral("中"));
    SpeedButton4 = SpeedButton(presetRow, QStringLiteral("SpeedButton4"), QStringLiteral("小"));
    auto* displayRow = Row(sizeColumn);
    displayRow->addStretch();
    StaticText2 = SizeDisplay(displayRow, QStringLiteral("StaticText2"));
    UpDown1 = new UpDown(QStringLiteral("UpDown1"), 85, 155, 155, sizeGroup);
    UpDown1->setFixedHeight(kRowHeight);
    displayRow->addWidget(UpDown1);
    displayRow->addStretch();
    column->addWidget(sizeGroup);

    auto* colourRow = Row(column);
    RadioGroup8 = new RadioGroup(
        QStringLiteral("RadioGroup8"), QStringLiteral("印の色"),
        {QStringLiteral("赤"), QStringLiteral("黒"), QStringLiteral("青"), QStringLiteral("他")}, 4,
        Panel2_);
    colourRow->addWidget(RadioGroup8, 1);
    sbColorD = Button(colourRow, QStringLiteral("sbColorD"), QStringLiteral("色"));
    sbColorD->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    RadioGroup6 = new RadioGroup(
        QStringLiteral("RadioGroup6"), QStringLiteral("枠線の太さ"),
        {QStringLiteral("極太"), QStringLiteral("太"), QStringLiteral("中"), QStringLiteral("細")},
        4, Panel2_);
    column->addWidget(RadioGroup6);
    RadioGroup10 = new RadioGroup(QStringLiteral("RadioGroup10"), QStringLiteral("枠線の種類"),
                                  {QStringLiteral("１重"), QStringLiteral("２重Ａ"),
                                   QStringLiteral("２重Ｂ"), QStringLiteral("太線")},
                                  2, Panel2_);
    column->addWidget(RadioGroup10);
    column->addStretch();

    // The handlers.
    for (SjisEdit* edit : {Edit5, Edit8, Edit7, Edit6, Edit9, Edit10}) {
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { StoreDateText(edit); });
        connect(edit, &SjisEdit::Refused, this, &TControlForm::StatusMessage);
    }
    connect(Button4, &QPushButton::clicked, this, [this] { DateFontClick(kUpperFont); });
    connect(Button7, &QPushButton::clicked, this, [this] { DateFontClick(kBandFont); });
    connect(Button8, &QPushButton::clicked, this, [this] { DateFontClick(kLowerFont); });
    connect(FitButtonD, &QPushButton::clicked, this, &TControlForm::DateFitClick);
    const std::tuple<QPushButton*, int, int> steps[] = {
        {Button5, kUpperFont, 1},  {Button6, kUpperFont, -1}, {Button18, kBandFont, 1},
        {Button19, kBandFont, -1}, {Button9, kLowerFont, 1},  {Button10, kLowerFont, -1}};
    for (const auto& [button, dialog, points] : steps)
        connect(button, &QPushButton::clicked, this,
                [this, dialog = dialog, points = points] { DateFontStep(dialog, points); });
    connect(TrackBar2, &QSlider::valueChanged, this, &TControlForm::TrackBar2Change);
    connect(TrackBar5, &QSlider::valueChanged, this, &TControlForm::TrackBar2Change);
    connect(TrackBar3, &QSlider::valueChanged, this, &TControlForm::TrackBar3Change);
    connect(TrackBar4, &QSlider::valueChanged, this, &TControlForm::TrackBar4Change);
    connect(TrackBar6, &QSlider::valueChanged, this, &TControlForm::TrackBar4Change);
    connect(TrackBar7, &QSlider::valueChanged, this, &TControlForm::TrackBar4Change);
    connect(TrackBar8, &QSlider::valueChanged, this, &TControlForm::TrackBar8Change);
    connect(RadioGroup5, &RadioGroup::Click, this, &TControlForm::RadioGroup5Click);
    connect(CheckBoxNZ, &QCheckBox::toggled, this, &TControlForm::CheckBoxNZClick);
    const std::pair<QToolButton*, int> presets[] = {{SpeedButton1, kDatePresets[0]},
                                                    {SpeedButton2, kDatePresets[1]},
                                                    {SpeedButton3, kDatePresets[2]},
                                                    {SpeedButton4, kDatePresets[3]}};
    for (const auto& [button, position] : presets)
        connect(button, &QToolButton::clicked, this,
                [this, position = position] { DateSizePresetClick(position); });
    connect(UpDown1, &UpDown::Click, this, &TControlForm::UpDown1Click);
    connect(RadioGroup8, &RadioGroup::Click, this, &TControlForm::RadioGroup8Click);
    connect(sbColorD, &QPushButton::clicked, this, &TControlForm::sbColorDClick);
    connect(RadioGroup6, &RadioGroup::Click, this, &TControlForm::RadioGroup6Click);
    connect(RadioGroup10, &RadioGroup::Click, this, &TControlForm::RadioGroup10Click);
}

void TControlForm::LoadDatePanel(seal::TMDIChild& document)
{
    const seal::DateStampRecord& date = document.DateStamp;
    const seal::DateStampExRecord& ex = document.DateStampEx;
    document.PanelLoading = true;
    Edit5->ShowText(date.Text1.ToUnicode());
    Edit6->ShowText(date.Text2.ToUnicode());
    fontDialogs_[kUpperFont] = {date.FontNameU.ToUnicode(), date.FontSizeU, date.FontStyleU};
    fontDialogs_[kBandFont] = {date.FontNameM.ToUnicode(), date.FontSizeM, date.FontStyleM};
    fontDialogs_[kLowerFont] = {date.FontNameL.ToUnicode(), date.FontSizeL, date.FontStyleL};
    UpDown1->SetPosition(date.StampSize);
    ShowDateSealSize();
    RadioGroup8->SetItemIndex(ColourItem(date.StampColor));
    colorDialog2_ = date.StampColor;
    if (const int item = ItemOf(kLineWidths, date.LineWidth); item >= 0)
        RadioGroup6->SetItemIndex(item);
    RadioGroup10->SetItemIndex(std::clamp(date.TwinRing, 0, RadioGroup10->Count() - 1));
    TrackBar3->setValue(date.SpaceM);
    TrackBar2->setValue(date.PositionU);
    TrackBar4->setValue(date.PositionL);
    if (date.Years >= 0 && date.Years < RadioGroup5->Count())
        RadioGroup5->SetItemIndex(date.Years);
    Edit7->ShowText(date.Header.ToUnicode());
    Edit8->ShowText(ex.Text3.ToUnicode());
    TrackBar5->setValue(ex.U_T2Space);
    Edit9->ShowText(ex.Text4.ToUnicode());
    TrackBar6->setValue(ex.L_T2FontSize);
    TrackBar7->setValue(ex.L_T2Space);
    Edit10->ShowText(ex.Text5.ToUnicode());
    TrackBar8->setValue(ex.L_T3Space);
    CheckBoxNZ->setChecked(ex.DateNZ != 0);
    ShowPointSizes();
    document.PanelLoading = false;
}

void TControlForm::ShowDateSealSize()
{
    StaticText2->setText(SealSizeText(UpDown1->Position(), kDateSealPixelsPerMetre));
}

void TControlForm::StoreDateText(SjisEdit* edit)
{
    Store([this, edit](seal::TMDIChild& d) {
        const std::string text = platform::cp932::EncodeLossy(edit->text());
        if (edit == Edit5)
            d.DateStamp.Text1.Assign(text);
        else if (edit == Edit8)
            d.DateStampEx.Text3.Assign(text);
        else if (edit == Edit7)
            d.DateStamp.Header.Assign(text);
        else if (edit == Edit6)
            d.DateStamp.Text2.Assign(text);
        else if (edit == Edit9)
            d.DateStampEx.Text4.Assign(text);
        else if (edit == Edit10)
            d.DateStampEx.Text5.Assign(text);
    });
}

void TControlForm::DateFontClick(int dialog)
{
    ConfirmFont(dialog, [dialog](seal::TMDIChild& d) {
        seal::DateStampRecord& date = d.DateStamp;
        return dialog == kUpperFont  ? FontFields{date.FontNameU, date.FontSizeU, date.FontStyleU}
               : dialog == kBandFont ? FontFields{date.FontNameM, date.FontSizeM, date.FontStyleM}
                                     : FontFields{date.FontNameL, date.FontSizeL, date.FontStyleL};
    });
}

void TControlForm::DateFontStep(int dialog, int points)
{
    StepFont(dialog, points, [dialog](seal::TMDIChild& d) -> std::int32_t& {
        return dialog == kUpperFont  ? d.DateStamp.FontSizeU
               : dialog == kBandFont ? d.DateStamp.FontSizeM
                                     : d.DateStamp.FontSizeL;
    });
}

void TControlForm::TrackBar2Change()
{
    // Either slider writes both fields from the positions both show.
    Store([this](seal::TMDIChild& d) {
        d.DateStamp.PositionU = TrackBar2->value();
        d.DateStampEx.U_T2Space = TrackBar5->value();
    });
}

void TControlForm::TrackBar3Change()
{
    Store([this](seal::TMDIChild& d) { d.DateStamp.SpaceM = TrackBar3->value(); });
}

void TControlForm::TrackBar4Change()
{
    // Any of the three sliders writes all three fields from the positions they show.
    Store([this](seal::TMDIChild& d) {
        d.DateStamp.PositionL = TrackBar4->value();
        d.DateStampEx.L_T2FontSize = TrackBar6->value();
        d.DateStampEx.L_T2Space = TrackBar7->value();
    });
}

void TControlForm::TrackBar8Change()
{
    Store([this](seal::TMDIChild& d) { d.DateStampEx.L_T3Space = TrackBar8->value(); });
}

void TControlForm::RadioGroup5Click()
{
    if (RadioGroup5->ItemIndex() >= 0)
        Store([this](seal::TMDIChild& d) { d.DateStamp.Years = RadioGroup5->ItemIndex(); });
}

void TControlForm::CheckBoxNZClick()
{
    Store([this](seal::TMDIChild& d) { d.DateStampEx.DateNZ = CheckBoxNZ->isChecked() ? 1 : 0; });
}

void TControlForm::DateSizePresetClick(int position)
{
    if (!Editing())
        return;
    UpDown1->SetPosition(position);
    UpDown1Click();
}

void TControlForm::UpDown1Click()
{
    if (Store([this](seal::TMDIChild& d) { d.DateStamp.StampSize = UpDown1->Position(); }))
        ShowDateSealSize();
}

void TControlForm::RadioGroup8Click()
{
    StoreColourItem(RadioGroup8, DateStampColor);
}

void TControlForm::sbColorDClick()
{
    ChooseColour(RadioGroup8, colorDialog2_, DateStampColor);
}

void TControlForm::RadioGroup6Click()
{
    StoreItem(RadioGroup6, kLineWidths,
              [](seal::TMDIChild& d) -> std::int32_t& { return d.DateStamp.LineWidth; });
}

void TControlForm::RadioGroup10Click()
{
    Store([this](seal::TMDIChild& d) { d.DateStamp.TwinRing = RadioGroup10->ItemIndex(); });
}

} // namespace velmr::panel
