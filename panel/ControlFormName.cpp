// The name seal panel: four lines of text, their font, spacing and position, the frame, size,
// colour and shape, and the second name composited into the same frame.
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

constexpr int kNameTextBytes = 8;
constexpr int kNamePresets[] = {143, 130, 117, 104};

std::int32_t& NameStampColor(seal::TMDIChild& document)
{
    return document.NameStamp.StampColor;
}

// Two edits a row under a "テキスト" label.
void AddTextEdits(QBoxLayout* column, const QString& firstName, int firstNumber,
                  SjisEdit* (&edits)[4])
{
    auto* labelRow = Row(column);
    Label(labelRow, QStringLiteral("テキスト"));
    for (int pair = 0; pair < 2; ++pair) {
        auto* row = Row(column);
        for (int i = 0; i < 2; ++i) {
            const int index = pair * 2 + i;
            auto* edit = new SjisEdit(firstName + QString::number(firstNumber + index),
                                      kNameTextBytes, row->parentWidget());
            edit->setFixedHeight(kRowHeight);
            row->addWidget(edit);
            edits[index] = edit;
        }
    }
}

// "ﾌｫﾝﾄ位置微調整" with the horizontal and the vertical slider side by side.
void AddOffsetSliders(QBoxLayout* column, const QString& xName, const QString& yName, QSlider*& x,
                      QSlider*& y)
{
    Label(Row(column), QStringLiteral("ﾌｫﾝﾄ位置微調整"));
    auto* row = Row(column);
    Label(row, QStringLiteral("横"));
    x = TrackBar(row, xName, -120, 120, 1);
    Label(row, QStringLiteral("縦"));
    y = TrackBar(row, yName, -120, 120, 1);
}

} // namespace

void TControlForm::BuildNamePanel()
{
    QVBoxLayout* column = Column(Panel1_, QStringLiteral("認印の編集"));
    column->setSpacing(3); // the name panel has room to breathe

    SjisEdit* edits[4];
    AddTextEdits(column, QStringLiteral("Edit"), 1, edits);
    Edit1 = edits[0];
    Edit2 = edits[1];
    Edit3 = edits[2];
    Edit4 = edits[3];

    auto* fontRow = Row(column);
    Button1 = Button(fontRow, QStringLiteral("Button1"), QStringLiteral("フォント変更"));
    FitButtonN = Button(fontRow, QStringLiteral("FitButtonN"), QStringLiteral("枠に合わせる"));
    auto* sizeButtons = Row(column);
    Button2 = Button(sizeButtons, QStringLiteral("Button2"), QStringLiteral("文字大"));
    Button3 = Button(sizeButtons, QStringLiteral("Button3"), QStringLiteral("文字小"));
    pointSizes_[0] = PointSize(sizeButtons, QStringLiteral("PointSize1"));

    auto* spacingRow = Row(column);
    Label(spacingRow, QStringLiteral("文字間隔"));
    TrackBar1 = TrackBar(spacingRow, QStringLiteral("TrackBar1"), -50, 50, 2);
    AddOffsetSliders(column, QStringLiteral("tbX"), QStringLiteral("tbY"), tbX, tbY);

    RadioGroup1 = new RadioGroup(
        QStringLiteral("RadioGroup1"), QStringLiteral("枠線の太さ"),
        {QStringLiteral("極太"), QStringLiteral("太"), QStringLiteral("中"), QStringLiteral("細")},
        4, Panel1_);
    column->addWidget(RadioGroup1);

    auto* sizeGroup = new QGroupBox(QStringLiteral("印の大きさ"), Panel1_);
    sizeGroup->setObjectName(QStringLiteral("GroupBox2"));
    auto* sizeColumn = new QVBoxLayout(sizeGroup);
    sizeColumn->setContentsMargins(3, 1, 3, 2);
    sizeColumn->setSpacing(1);
    auto* presetRow = Row(sizeColumn);
    SpeedButton5 = SpeedButton(presetRow, QStringLiteral("SpeedButton5"), QStringLiteral("特大"));
    SpeedButton6 = SpeedButton(presetRow, QStringLiteral("SpeedButton6"), QStringLiteral("大"));
    SpeedButton7 = SpeedButton(presetRow, QStringLiteral("SpeedButton7"), QStringLiteral("中"));
    SpeedButton8 = SpeedButton(presetRow, QStringLiteral("SpeedButton8"), QStringLiteral("小"));
    auto* displayRow = Row(sizeColumn);
    displayRow->addStretch();
    StaticText3 = SizeDisplay(displayRow, QStringLiteral("StaticText3"));
    UpDown2 = new UpDown(QStringLiteral("UpDown2"), 65, 155, 65, sizeGroup);
    UpDown2->setFixedHeight(kRowHeight);
    displayRow->addWidget(UpDown2);
    displayRow->addStretch();
    column->addWidget(sizeGroup);

    RadioGroup11 = new RadioGroup(
        QStringLiteral("RadioGroup11"), QStringLiteral("印刷解像度"),
        {QStringLiteral("認印標準（小さい印）"), QStringLiteral("日付印と同じ（大きな印）")}, 1,
        Panel1_);
    column->addWidget(RadioGroup11);

    auto* colourRow = Row(column);
    RadioGroup3 = new RadioGroup(
        QStringLiteral("RadioGroup3"), QStringLiteral("印の色"),
        {QStringLiteral("赤"), QStringLiteral("黒"), QStringLiteral("青"), QStringLiteral("他")}, 4,
        Panel1_);
    colourRow->addWidget(RadioGroup3, 1);
    sbColorN = Button(colourRow, QStringLiteral("sbColorN"), QStringLiteral("色指定"));
    sbColorN->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    RadioGroup4 = new RadioGroup(QStringLiteral("RadioGroup4"), QStringLiteral("印の形状"),
                                 {QStringLiteral("真円"), QStringLiteral("楕円80%"),
                                  QStringLiteral("楕円60%"), QStringLiteral("正方形")},
                                 2, Panel1_);
    column->addWidget(RadioGroup4);

    // The second name, composited into the same frame.
    Panel4 = new QFrame(Panel1_);
    Panel4->setObjectName(QStringLiteral("Panel4"));
    Panel4->setFrameShape(QFrame::Panel);
    Panel4->setFrameShadow(QFrame::Sunken);
    auto* exColumn = new QVBoxLayout(Panel4);
    exColumn->setContentsMargins(2, 1, 2, 1);
    exColumn->setSpacing(1);
    CheckBox1 = new QCheckBox(QStringLiteral("以下の印を合成する"), Panel4);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    exColumn->addWidget(CheckBox1);
    SjisEdit* exEdits[4];
    AddTextEdits(exColumn, QStringLiteral("Edit"), 11, exEdits);
    Edit11 = exEdits[0];
    Edit12 = exEdits[1];
    Edit13 = exEdits[2];
    Edit14 = exEdits[3];
    auto* exFontRow = Row(exColumn);
    Button14 = Button(exFontRow, QStringLiteral("Button14"), QStringLiteral("フォント変更"));
    exFontRow->addStretch();
    auto* exSizeButtons = Row(exColumn);
    Button17 = Button(exSizeButtons, QStringLiteral("Button17"), QStringLiteral("文字大"));
    Button20 = Button(exSizeButtons, QStringLiteral("Button20"), QStringLiteral("文字小"));
    pointSizes_[4] = PointSize(exSizeButtons, QStringLiteral("PointSize5"));
    auto* exSpacingRow = Row(exColumn);
    Label(exSpacingRow, QStringLiteral("文字間隔"));
    TrackBar9 = TrackBar(exSpacingRow, QStringLiteral("TrackBar9"), -50, 50, 2);
    AddOffsetSliders(exColumn, QStringLiteral("TrackBar10"), QStringLiteral("TrackBar11"),
                     TrackBar10, TrackBar11);
    column->addWidget(Panel4);
    column->addStretch();

    // The handlers.
    for (SjisEdit* edit : {Edit1, Edit2, Edit3, Edit4, Edit11, Edit12, Edit13, Edit14}) {
        connect(edit, &QLineEdit::textChanged, this, [this, edit] { StoreNameText(edit); });
        connect(edit, &SjisEdit::Refused, this, &TControlForm::StatusMessage);
    }
    connect(Button1, &QPushButton::clicked, this, &TControlForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, [this] { NameFontStep(1); });
    connect(Button3, &QPushButton::clicked, this, [this] { NameFontStep(-1); });
    connect(FitButtonN, &QPushButton::clicked, this, &TControlForm::NameFitClick);
    connect(TrackBar1, &QSlider::valueChanged, this, &TControlForm::TrackBar1Change);
    connect(tbX, &QSlider::valueChanged, this, &TControlForm::tbXChange);
    connect(tbY, &QSlider::valueChanged, this, &TControlForm::tbYChange);
    connect(RadioGroup1, &RadioGroup::Click, this, &TControlForm::RadioGroup1Click);
    const std::pair<QToolButton*, int> presets[] = {{SpeedButton5, kNamePresets[0]},
                                                    {SpeedButton6, kNamePresets[1]},
                                                    {SpeedButton7, kNamePresets[2]},
                                                    {SpeedButton8, kNamePresets[3]}};
    for (const auto& [button, position] : presets)
        connect(button, &QToolButton::clicked, this,
                [this, position = position] { NameSizePresetClick(position); });
    connect(UpDown2, &UpDown::Click, this, &TControlForm::UpDown2Click);
    connect(RadioGroup11, &RadioGroup::Click, this, &TControlForm::RadioGroup11Click);
    connect(RadioGroup3, &RadioGroup::Click, this, &TControlForm::RadioGroup3Click);
    connect(sbColorN, &QPushButton::clicked, this, &TControlForm::sbColorNClick);
    connect(RadioGroup4, &RadioGroup::Click, this, &TControlForm::RadioGroup4Click);
    connect(CheckBox1, &QCheckBox::toggled, this, &TControlForm::CheckBox1Click);
    connect(Button14, &QPushButton::clicked, this, &TControlForm::Button14Click);
    connect(Button17, &QPushButton::clicked, this, [this] { ExFontStep(1); });
    connect(Button20, &QPushButton::clicked, this, [this] { ExFontStep(-1); });
    connect(TrackBar9, &QSlider::valueChanged, this, &TControlForm::TrackBar9Change);
    connect(TrackBar10, &QSlider::valueChanged, this, &TControlForm::TrackBar10Change);
    connect(TrackBar11, &QSlider::valueChanged, this, &TControlForm::TrackBar11Change);
}

void TControlForm::LoadNamePanel(seal::TMDIChild& document)
{
    const seal::NameStampRecord& name = document.NameStamp;
    const seal::NameStampExRecord& ex = document.NameStampEx;
    document.PanelLoading = true;
    Edit1->ShowText(name.Text1.ToUnicode());
    Edit2->ShowText(name.Text2.ToUnicode());
    Edit3->ShowText(name.Text3.ToUnicode());
    Edit4->ShowText(name.Text4.ToUnicode());
    TrackBar1->setValue(name.TextSpace);
    if (const int item = ItemOf(kLineWidths, name.LineWidth); item >= 0)
        RadioGroup1->SetItemIndex(item);
    RadioGroup11->SetItemIndex(std::clamp(name.Resolution, 0, 1));
    UpDown2->SetPosition(name.StampSize);
    ShowSealSize();
    RadioGroup3->SetItemIndex(ColourItem(name.StampColor));
    colorDialog1_ = name.StampColor;
    if (const int item = ItemOf(kCircleParameters, name.CircleParameter); item >= 0)
        RadioGroup4->SetItemIndex(item);
    fontDialogs_[0] = {name.FontName.ToUnicode(), name.FontSize, name.FontStyle};
    tbX->setValue(name.OffsetX);
    tbY->setValue(name.OffsetY);
    CheckBox1->setChecked(ex.UseNameEX != 0);
    Edit11->ShowText(ex.ExText1.ToUnicode());
    Edit12->ShowText(ex.ExText2.ToUnicode());
    Edit13->ShowText(ex.ExText3.ToUnicode());
    Edit14->ShowText(ex.ExText4.ToUnicode());
    TrackBar9->setValue(ex.ExTextSpace);
    fontDialogs_[4] = {ex.ExFontName.ToUnicode(), ex.ExFontSize, ex.ExFontStyle};
    TrackBar10->setValue(ex.ExOffsetX);
    TrackBar11->setValue(ex.ExOffsetY);
    ShowPointSizes();
    document.PanelLoading = false;
}

void TControlForm::ShowSealSize()
{
    const int pixelsPerMetre =
        RadioGroup11->ItemIndex() == 1 ? kDateSealPixelsPerMetre : kNameSealPixelsPerMetre;
    StaticText3->setText(SealSizeText(UpDown2->Position(), pixelsPerMetre));
}

void TControlForm::StoreNameText(SjisEdit* edit)
{
    Store([this, edit](seal::TMDIChild& d) {
        seal::Text20* const fields[] = {&d.NameStamp.Text1,     &d.NameStamp.Text2,
                                        &d.NameStamp.Text3,     &d.NameStamp.Text4,
                                        &d.NameStampEx.ExText1, &d.NameStampEx.ExText2,
                                        &d.NameStampEx.ExText3, &d.NameStampEx.ExText4};
        const SjisEdit* const edits[] = {Edit1,  Edit2,  Edit3,  Edit4,
                                         Edit11, Edit12, Edit13, Edit14};
        for (std::size_t i = 0; i < std::size(edits); ++i) {
            if (edits[i] == edit)
                fields[i]->Assign(platform::cp932::EncodeLossy(edit->text()));
        }
    });
}

void TControlForm::Button1Click()
{
    ConfirmFont(0, [](seal::TMDIChild& d) {
        return FontFields{d.NameStamp.FontName, d.NameStamp.FontSize, d.NameStamp.FontStyle};
    });
}

void TControlForm::NameFontStep(int points)
{
    StepFont(0, points, [](seal::TMDIChild& d) -> std::int32_t& { return d.NameStamp.FontSize; });
}

void TControlForm::TrackBar1Change()
{
    Store([this](seal::TMDIChild& d) { d.NameStamp.TextSpace = TrackBar1->value(); });
}

void TControlForm::tbXChange()
{
    Store([this](seal::TMDIChild& d) { d.NameStamp.OffsetX = tbX->value(); });
}

void TControlForm::tbYChange()
{
    Store([this](seal::TMDIChild& d) { d.NameStamp.OffsetY = tbY->value(); });
}

void TControlForm::RadioGroup1Click()
{
    StoreItem(RadioGroup1, kLineWidths,
              [](seal::TMDIChild& d) -> std::int32_t& { return d.NameStamp.LineWidth; });
}

void TControlForm::NameSizePresetClick(int position)
{
    if (!Editing())
        return;
    UpDown2->SetPosition(position);
    UpDown2Click();
}

void TControlForm::UpDown2Click()
{
    if (Store([this](seal::TMDIChild& d) { d.NameStamp.StampSize = UpDown2->Position(); }))
        ShowSealSize();
}

void TControlForm::RadioGroup11Click()
{
    seal::TMDIChild* document = Editing();
    if (!document)
        return;
    document->NameStamp.Resolution = RadioGroup11->ItemIndex();
    // Only the display follows; the seal itself does not change with the resolution.
    ShowSealSize();
    document->RecordsEdited();
}

void TControlForm::RadioGroup3Click()
{
    StoreColourItem(RadioGroup3, NameStampColor);
}

void TControlForm::sbColorNClick()
{
    ChooseColour(RadioGroup3, colorDialog1_, NameStampColor);
}

void TControlForm::RadioGroup4Click()
{
    StoreItem(RadioGroup4, kCircleParameters,
              [](seal::TMDIChild& d) -> std::int32_t& { return d.NameStamp.CircleParameter; });
}

void TControlForm::CheckBox1Click()
{
    Store([this](seal::TMDIChild& d) { d.NameStampEx.UseNameEX = CheckBox1->isChecked() ? 1 : 0; });
}

void TControlForm::Button14Click()
{
    ConfirmFont(4, [](seal::TMDIChild& d) {
        return FontFields{d.NameStampEx.ExFontName, d.NameStampEx.ExFontSize,
                          d.NameStampEx.ExFontStyle};
    });
}

void TControlForm::ExFontStep(int points)
{
    StepFont(4, points,
             [](seal::TMDIChild& d) -> std::int32_t& { return d.NameStampEx.ExFontSize; });
}

void TControlForm::TrackBar9Change()
{
    Store([this](seal::TMDIChild& d) { d.NameStampEx.ExTextSpace = TrackBar9->value(); });
}

void TControlForm::TrackBar10Change()
{
    Store([this](seal::TMDIChild& d) { d.NameStampEx.ExOffsetX = TrackBar10->value(); });
}

void TControlForm::TrackBar11Change()
{
    Store([this](seal::TMDIChild& d) { d.NameStampEx.ExOffsetY = TrackBar11->value(); });
}

} // namespace velmr::panel
