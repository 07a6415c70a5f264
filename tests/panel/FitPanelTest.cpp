#include "platform/Cp932.h"
#include "platform/SealFonts.h"
#include "seal/FitToFrame.h"
#include "tests/panel/PanelTestSupport.h"

#include <QPushButton>

using namespace velmr;
using namespace Qt::StringLiterals;

namespace {

class FitPanelTest : public test::PanelTest
{};

void Assign(seal::Text20& field, const QString& text)
{
    field.Assign(*platform::cp932::Encode(text));
}

// "枠に合わせる" writes what the fit computes, in one undo step, and the panel shows it.
TEST_F(FitPanelTest, FitButtonsWriteTheFittedSizesAsOneStep)
{
    seal::TMDIChild& name = NewNameSeal();
    Assign(name.NameStamp.Text1, u"勅"_s);
    Assign(name.NameStamp.Text2, u"使"_s);
    Assign(name.NameStamp.Text3, u"河"_s);
    Assign(name.NameStamp.Text4, u"原"_s);
    name.RecordsEdited();
    form->ShowEditPanel(name);
    const std::string before = seal::ToBytes(name.NameStamp);
    seal::NameStampRecord expected = name.NameStamp;
    seal::NameStampExRecord expectedEx = name.NameStampEx;
    ASSERT_EQ(seal::FitNameSeal(expected, expectedEx, platform::DisplayDpi()),
              seal::FitOutcome::Fitted);
    Click(Control<QPushButton>("FitButtonN"));
    EXPECT_EQ(seal::ToBytes(name.NameStamp), seal::ToBytes(expected));
    EXPECT_NE(name.NameStamp.FontSize, seal::NewNameStamp().FontSize);
    EXPECT_EQ(Text("PointSize1"), QString::number(expected.FontSize) + u"pt"_s);
    EXPECT_EQ(Slider("tbX")->value(), expected.OffsetX);
    EXPECT_EQ(Slider("tbY")->value(), expected.OffsetY);
    name.Undo();
    EXPECT_EQ(seal::ToBytes(name.NameStamp), before);

    seal::TMDIChild& date = NewDateSeal();
    date.DateStamp.Text1.Assign(*platform::cp932::Encode(u"経理部"_s));
    date.RecordsEdited();
    form->ShowEditPanel(date);
    const std::string dateBefore = seal::ToBytes(date.DateStamp);
    seal::DateStampRecord expectedDate = date.DateStamp;
    seal::DateStampExRecord expectedDateEx = date.DateStampEx;
    ASSERT_EQ(seal::FitDateSeal(expectedDate, expectedDateEx, platform::DisplayDpi()),
              seal::FitOutcome::Fitted);
    Click(Control<QPushButton>("FitButtonD"));
    EXPECT_EQ(seal::ToBytes(date.DateStamp), seal::ToBytes(expectedDate));
    EXPECT_EQ(Text("PointSize2"), QString::number(expectedDate.FontSizeU) + u"pt"_s);
    EXPECT_EQ(Text("PointSize3"), QString::number(expectedDate.FontSizeM) + u"pt"_s);
    EXPECT_EQ(Text("PointSize4"), QString::number(expectedDate.FontSizeL) + u"pt"_s);
    date.Undo();
    EXPECT_EQ(seal::ToBytes(date.DateStamp), dateBefore);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(FitPanelTest, TextThatCannotFitIsToldAndChangesNothing)
{
    seal::TMDIChild& name = NewNameSeal();
    Assign(name.NameStamp.Text3, u"山"_s);
    name.NameStamp.TextSpace = 120;
    form->ShowEditPanel(name);
    const std::string before = seal::ToBytes(name.NameStamp);
    const bool couldUndo = name.CanUndo();
    Click(Control<QPushButton>("FitButtonN"));
    EXPECT_EQ(seal::ToBytes(name.NameStamp), before);
    EXPECT_EQ(name.CanUndo(), couldUndo);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.MessageTexts().front().contains(u"枠に収まりません"_s));
}

// The size buttons' point size and the sliders' values are shown.
TEST_F(FitPanelTest, SizesAndSliderValuesAreShown)
{
    seal::TMDIChild& name = NewNameSeal();
    form->ShowEditPanel(name);
    EXPECT_EQ(Text("PointSize1"), u"76pt"_s);
    Click(Control<QPushButton>("Button3"));
    EXPECT_EQ(Text("PointSize1"), u"75pt"_s);
    for (const char* slider : {"TrackBar1", "tbX", "TrackBar9"}) {
        Slider(slider)->setFocus();
        SlideRight(Slider(slider));
        SlideRight(Slider(slider));
        EXPECT_EQ(Slider(slider)->toolTip(), QString::number(Slider(slider)->value())) << slider;
    }
}

} // namespace
