#include "panel/PanelLogic.h"
#include "platform/Cp932.h"
#include "seal/PictureControl.h"
#include "tests/panel/PanelTestSupport.h"

#include <QCheckBox>
#include <QSignalSpy>
#include <QToolButton>

#include <functional>

using namespace velmr;
using namespace Qt::StringLiterals;
using seal::NameStampExRecord;
using seal::NameStampRecord;

namespace {

std::string Sjis(const QString& text)
{
    return *platform::cp932::Encode(text);
}

// A name seal whose every field differs from the defaults and from what any control shows first.
void FillName(seal::TMDIChild& document)
{
    NameStampRecord& name = document.NameStamp;
    name.Text1.Assign(Sjis(u"山"_s));
    name.Text2.Assign(Sjis(u"川"_s));
    name.Text3.Assign(Sjis(u"一"_s));
    name.Text4.Assign(Sjis(u"二"_s));
    name.FontName.Assign(Sjis(u"ＭＳ ゴシック"_s));
    name.FontStyle = seal::kStyleItalic;
    name.FontSize = 60;
    name.StampSize = 130;
    name.TextSpace = 7;
    name.StampColor = seal::kColorBlack;
    name.LineWidth = 5;
    name.CircleParameter = 80;
    name.OffsetX = 3;
    name.OffsetY = -4;
    name.Resolution = 1;
    NameStampExRecord& ex = document.NameStampEx;
    ex.UseNameEX = 1;
    ex.ExText1.Assign(Sjis(u"甲"_s));
    ex.ExText2.Assign(Sjis(u"乙"_s));
    ex.ExText3.Assign(Sjis(u"丙"_s));
    ex.ExText4.Assign(Sjis(u"丁"_s));
    ex.ExFontName.Assign(Sjis(u"ＭＳ 明朝"_s));
    ex.ExFontStyle = seal::kStyleBold;
    ex.ExFontSize = 40;
    ex.ExTextSpace = -5;
    ex.ExOffsetX = 10;
    ex.ExOffsetY = -10;
}

class NamePanelTest : public test::PanelTest
{
protected:
    seal::TMDIChild& Filled()
    {
        seal::TMDIChild& document = NewNameSeal();
        FillName(document);
        form->ShowEditPanel(document);
        return document;
    }
};

TEST_F(NamePanelTest, LoadingWritesNothingAndEachControlWritesItsField)
{
    struct Case
    {
        const char* control;
        std::function<void(NamePanelTest&)> act;
        std::function<void(NameStampRecord&, NameStampExRecord&)> expect;
    };
    const platform::FontDialogChoice gothic20{u"ＭＳ ゴシック"_s, 20, true, false};
    const Case cases[] = {
        {"Edit1", [](auto& t) { t.TypeAtEnd(t.Edit("Edit1"), u"田"_s); },
         [](auto& n, auto&) { n.Text1.Assign(Sjis(u"山田"_s)); }},
        {"Edit2", [](auto& t) { t.TypeAtEnd(t.Edit("Edit2"), u"a"_s); },
         [](auto& n, auto&) { n.Text2.Assign(Sjis(u"川a"_s)); }},
        {"Edit3", [](auto& t) { t.TypeAtEnd(t.Edit("Edit3"), u"三"_s); },
         [](auto& n, auto&) { n.Text3.Assign(Sjis(u"一三"_s)); }},
        {"Edit4", [](auto& t) { t.TypeAtEnd(t.Edit("Edit4"), u"ｶﾅ"_s); },
         [](auto& n, auto&) { n.Text4.Assign(Sjis(u"二ｶﾅ"_s)); }},
        {"Button1",
         [&](auto& t) {
             t.dialogs.fontAnswers.push_back(gothic20);
             t.Click("Button1");
         },
         [](auto& n, auto&) {
             n.FontName.Assign(Sjis(u"ＭＳ ゴシック"_s));
             n.FontSize = 20;
             n.FontStyle = seal::kStyleBold;
         }},
        {"Button2", [](auto& t) { t.Click("Button2"); }, [](auto& n, auto&) { n.FontSize = 61; }},
        {"Button3", [](auto& t) { t.Click("Button3"); }, [](auto& n, auto&) { n.FontSize = 59; }},
        {"TrackBar1", [](auto& t) { t.SlideRight(t.Slider("TrackBar1")); },
         [](auto& n, auto&) { n.TextSpace = 8; }},
        {"tbX", [](auto& t) { t.SlideRight(t.Slider("tbX")); },
         [](auto& n, auto&) { n.OffsetX = 4; }},
        {"tbY", [](auto& t) { t.SlideLeft(t.Slider("tbY")); },
         [](auto& n, auto&) { n.OffsetY = -5; }},
        {"RadioGroup1", [](auto& t) { t.ClickItem("RadioGroup1", 0); },
         [](auto& n, auto&) { n.LineWidth = 6; }},
        {"SpeedButton5", [](auto& t) { t.Click("SpeedButton5"); },
         [](auto& n, auto&) { n.StampSize = 143; }},
        {"SpeedButton8", [](auto& t) { t.Click("SpeedButton8"); },
         [](auto& n, auto&) { n.StampSize = 104; }},
        {"UpDown2", [](auto& t) { t.Click("UpDown2_Up"); },
         [](auto& n, auto&) { n.StampSize = 131; }},
        {"RadioGroup11", [](auto& t) { t.ClickItem("RadioGroup11", 0); },
         [](auto& n, auto&) { n.Resolution = 0; }},
        {"RadioGroup3", [](auto& t) { t.ClickItem("RadioGroup3", 2); },
         [](auto& n, auto&) { n.StampColor = seal::kColorBlue; }},
        {"sbColorN",
         [](auto& t) {
             t.dialogs.colorAnswers.push_back(QColor(0, 128, 0));
             t.Click("sbColorN");
         },
         [](auto& n, auto&) { n.StampColor = 0x008000; }},
        {"RadioGroup4", [](auto& t) { t.ClickItem("RadioGroup4", 3); },
         [](auto& n, auto&) { n.CircleParameter = 0; }},
        {"CheckBox1", [](auto& t) { t.Click("CheckBox1"); },
         [](auto&, auto& x) { x.UseNameEX = 0; }},
        {"Edit11", [](auto& t) { t.TypeAtEnd(t.Edit("Edit11"), u"子"_s); },
         [](auto&, auto& x) { x.ExText1.Assign(Sjis(u"甲子"_s)); }},
        {"Edit14", [](auto& t) { t.TypeAtEnd(t.Edit("Edit14"), u"1"_s); },
         [](auto&, auto& x) { x.ExText4.Assign(Sjis(u"丁1"_s)); }},
        {"Button14",
         [&](auto& t) {
             t.dialogs.fontAnswers.push_back(gothic20);
             t.Click("Button14");
         },
         [](auto&, auto& x) {
             x.ExFontName.Assign(Sjis(u"ＭＳ ゴシック"_s));
             x.ExFontSize = 20;
             x.ExFontStyle = seal::kStyleBold;
         }},
        {"Button17", [](auto& t) { t.Click("Button17"); },
         [](auto&, auto& x) { x.ExFontSize = 41; }},
        {"Button20", [](auto& t) { t.Click("Button20"); },
         [](auto&, auto& x) { x.ExFontSize = 39; }},
        {"TrackBar9", [](auto& t) { t.SlideRight(t.Slider("TrackBar9")); },
         [](auto&, auto& x) { x.ExTextSpace = -4; }},
        {"TrackBar10", [](auto& t) { t.SlideRight(t.Slider("TrackBar10")); },
         [](auto&, auto& x) { x.ExOffsetX = 11; }},
        {"TrackBar11", [](auto& t) { t.SlideRight(t.Slider("TrackBar11")); },
         [](auto&, auto& x) { x.ExOffsetY = -9; }},
    };
    seal::TMDIChild& document = NewNameSeal();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        FillName(document);
        const NameStampRecord name = document.NameStamp;
        const NameStampExRecord ex = document.NameStampEx;
        form->ShowEditPanel(document);
        EXPECT_EQ(document.NameStamp, name) << "loading writes nothing";
        EXPECT_EQ(document.NameStampEx, ex) << "loading writes nothing";

        QSignalSpy drawn(&document, &seal::TMDIChild::Drawn);
        c.act(*this);
        NameStampRecord expectedName = name;
        NameStampExRecord expectedEx = ex;
        c.expect(expectedName, expectedEx);
        EXPECT_EQ(document.NameStamp, expectedName);
        EXPECT_EQ(document.NameStampEx, expectedEx);
        if (std::string_view(c.control) != "RadioGroup11") {
            EXPECT_GE(drawn.count(), 1) << "the seal is drawn again";
        }
    }
}

TEST_F(NamePanelTest, LoadShowsEveryFieldAndClampsOutOfRangeValues)
{
    seal::TMDIChild& document = Filled();
    EXPECT_EQ(Edit("Edit1")->text(), u"山"_s);
    EXPECT_EQ(Edit("Edit14")->text(), u"丁"_s);
    EXPECT_EQ(Slider("TrackBar1")->value(), 7);
    EXPECT_EQ(Group("RadioGroup1")->ItemIndex(), 1);
    EXPECT_EQ(Group("RadioGroup11")->ItemIndex(), 1);
    EXPECT_EQ(Group("RadioGroup3")->ItemIndex(), 1);
    EXPECT_EQ(Group("RadioGroup4")->ItemIndex(), 1);
    EXPECT_TRUE(Control<QCheckBox>("CheckBox1")->isChecked());
    EXPECT_EQ(Text("StaticText3"), u"17.1 mm"_s); // 130 at the date seal's resolution
    EXPECT_EQ(form->FontDialog(1), (panel::FontChoice{u"ＭＳ ゴシック"_s, 60, 2}));
    EXPECT_EQ(form->FontDialog(5), (panel::FontChoice{u"ＭＳ 明朝"_s, 40, 1}));

    // Values no control can show: the nearest end, while the record keeps them.
    document.NameStamp.TextSpace = 90;
    document.NameStamp.OffsetX = -500;
    document.NameStamp.StampSize = 400;
    document.NameStampEx.ExOffsetY = 121;
    const NameStampRecord name = document.NameStamp;
    form->ShowEditPanel(document);
    EXPECT_EQ(Slider("TrackBar1")->value(), 50);
    EXPECT_EQ(Slider("tbX")->value(), -120);
    EXPECT_EQ(Slider("TrackBar11")->value(), 120);
    EXPECT_EQ(Text("StaticText3"), u"20.3 mm"_s);
    EXPECT_EQ(document.NameStamp, name);
    EXPECT_EQ(document.NameStampEx.ExOffsetY, 121);
    // Moving a control stores what it shows, and only its own field.
    SlideLeft(Slider("TrackBar1"));
    EXPECT_EQ(document.NameStamp.TextSpace, 49);
    SlideRight(Slider("TrackBar10"));
    EXPECT_EQ(document.NameStampEx.ExOffsetX, 11);
    EXPECT_EQ(document.NameStampEx.ExOffsetY, 121);
    EXPECT_EQ(document.NameStamp.OffsetX, -500);
}

TEST_F(NamePanelTest, UnknownLineWidthOrShapeKeepsThePreviousChoice)
{
    seal::TMDIChild& second = NewNameSeal();
    seal::TMDIChild& first = Filled(); // LineWidth 5 ("太"), CircleParameter 80 ("楕円80%")
    second.NameStamp.LineWidth = 7;
    second.NameStamp.CircleParameter = 90;
    form->ShowEditPanel(second);
    EXPECT_EQ(Group("RadioGroup1")->ItemIndex(), 1);
    EXPECT_EQ(Group("RadioGroup4")->ItemIndex(), 1);
    EXPECT_EQ(second.NameStamp.LineWidth, 7);
    EXPECT_EQ(second.NameStamp.CircleParameter, 90);
    (void)first;
}

TEST_F(NamePanelTest, ColourChoices)
{
    seal::TMDIChild& document = NewNameSeal(); // red
    // "他" chosen directly keeps the colour and draws again.
    QSignalSpy drawn(&document, &seal::TMDIChild::Drawn);
    ClickItem("RadioGroup3", 3);
    EXPECT_EQ(document.NameStamp.StampColor, seal::kColorRed);
    EXPECT_EQ(drawn.count(), 1);

    // A green seal loads as "他" and the dialog opens on its colour; cancel changes nothing.
    document.NameStamp.StampColor = 0x008000;
    ClickItem("RadioGroup3", 0);
    document.NameStamp.StampColor = 0x008000;
    form->ShowEditPanel(document);
    EXPECT_EQ(Group("RadioGroup3")->ItemIndex(), 3);
    Click("sbColorN");
    ASSERT_EQ(dialogs.colorRequests.size(), 1u);
    EXPECT_EQ(dialogs.colorRequests[0], QColor(0, 128, 0));
    EXPECT_EQ(document.NameStamp.StampColor, 0x008000);

    // A colour from the dialog selects "他".
    ClickItem("RadioGroup3", 0);
    EXPECT_EQ(document.NameStamp.StampColor, seal::kColorRed);
    dialogs.colorAnswers.push_back(QColor(0x12, 0x34, 0x56));
    Click("sbColorN");
    EXPECT_EQ(Group("RadioGroup3")->ItemIndex(), 3);
    EXPECT_EQ(document.NameStamp.StampColor, 0x563412);
    EXPECT_EQ(form->ColorDialog1(), 0x563412);
}

TEST_F(NamePanelTest, SizeDisplay)
{
    seal::TMDIChild& document = NewNameSeal();
    struct Case
    {
        const char* button;
        int stampSize;
        const char16_t* atNameResolution;
        const char16_t* atDateResolution;
    };
    const Case cases[] = {
        {"SpeedButton5", 143, u"11.0 mm", u"18.8 mm"},
        {"SpeedButton6", 130, u"10.0 mm", u"17.1 mm"},
        {"SpeedButton7", 117, u"9.0 mm", u"15.3 mm"},
        {"SpeedButton8", 104, u"8.0 mm", u"13.6 mm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        ClickItem("RadioGroup11", 0);
        Click(c.button);
        EXPECT_EQ(document.NameStamp.StampSize, c.stampSize);
        EXPECT_EQ(Text("StaticText3"), QString::fromUtf16(c.atNameResolution));
        // The resolution choice refreshes the display too, and draws nothing.
        QSignalSpy drawn(&document, &seal::TMDIChild::Drawn);
        ClickItem("RadioGroup11", 1);
        EXPECT_EQ(document.NameStamp.Resolution, 1);
        EXPECT_EQ(Text("StaticText3"), QString::fromUtf16(c.atDateResolution));
        EXPECT_EQ(drawn.count(), 0);
    }
    // The arrows stop at the ends of 65..155 without wrapping.
    ClickItem("RadioGroup11", 0);
    for (int i = 0; i < 60; ++i)
        Click("UpDown2_Up");
    EXPECT_EQ(document.NameStamp.StampSize, 155);
    EXPECT_EQ(Text("StaticText3"), u"11.9 mm"_s);
    for (int i = 0; i < 100; ++i)
        Click("UpDown2_Down");
    EXPECT_EQ(document.NameStamp.StampSize, 65);
    EXPECT_EQ(Text("StaticText3"), u"5.0 mm"_s);
}

TEST_F(NamePanelTest, SmallerCharactersStopAtOnePoint)
{
    seal::TMDIChild& document = NewNameSeal();
    for (int i = 0; i < 80; ++i)
        Click("Button3");
    EXPECT_EQ(document.NameStamp.FontSize, 1);
    EXPECT_EQ(form->FontDialog(1).size, 1);
    // A size no button makes, from a file, stays until a size button is pressed.
    document.NameStampEx.ExFontSize = -4;
    form->ShowEditPanel(document);
    EXPECT_EQ(document.NameStampEx.ExFontSize, -4);
    Click("Button20");
    EXPECT_EQ(document.NameStampEx.ExFontSize, 1);
}

TEST_F(NamePanelTest, TextsAreShiftJisAndKeptToEightBytes)
{
    seal::TMDIChild& document = NewNameSeal();
    panel::SjisEdit* edit = Edit("Edit1");
    QSignalSpy told(form.get(), &panel::TControlForm::StatusMessage);

    edit->clear();
    EXPECT_TRUE(document.NameStamp.Text1.Empty()) << "an empty edit stores an empty text";
    TypeAtEnd(edit, u"山田太郎花"_s);
    EXPECT_EQ(edit->text(), u"山田太郎"_s);
    EXPECT_EQ(document.NameStamp.Text1.View(), Sjis(u"山田太郎"_s));
    EXPECT_EQ(told.count(), 1);

    // Half-width characters take one byte: seven bytes leave room for one more of them only.
    edit->clear();
    TypeAtEnd(edit, u"abc山田"_s);
    TypeAtEnd(edit, u"太"_s);
    EXPECT_EQ(edit->text(), u"abc山田"_s);
    TypeAtEnd(edit, u"z"_s);
    EXPECT_EQ(document.NameStamp.Text1.View(), "abc" + Sjis(u"山田"_s) + "z");

    // A paste that does not fit keeps what fits, never half a character.
    edit->clear();
    Commit(edit, u"一二三四五六"_s);
    EXPECT_EQ(edit->text(), u"一二三四"_s);

    // A character Shift-JIS cannot hold is refused where it is typed; the record keeps its text.
    const std::string before(document.NameStamp.Text1.View());
    told.clear();
    TypeAtEnd(edit, u"😀"_s);
    TypeAtEnd(edit, u"한"_s);
    EXPECT_EQ(edit->text(), u"一二三四"_s);
    EXPECT_EQ(document.NameStamp.Text1.View(), before);
    ASSERT_EQ(told.count(), 2);
    EXPECT_TRUE(told[0][0].toString().contains(u"😀"_s)) << told[0][0].toString().toStdString();
    // Deleting still works after a refusal.
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(document.NameStamp.Text1.View(), Sjis(u"一二三"_s));
}

TEST_F(NamePanelTest, OverlongRecordTextIsShownWholeAndCanBeShortened)
{
    seal::TMDIChild& document = NewNameSeal();
    document.NameStamp.Text1.Assign(Sjis(u"一二三四五六七八九"_s)); // 18 bytes from a file
    form->ShowEditPanel(document);
    panel::SjisEdit* edit = Edit("Edit1");
    EXPECT_EQ(edit->text(), u"一二三四五六七八九"_s);
    TypeAtEnd(edit, u"十"_s);
    EXPECT_EQ(edit->text(), u"一二三四五六七八九"_s) << "nothing more goes in";
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(document.NameStamp.Text1.View(), Sjis(u"一二三四五六七八"_s));
}

TEST_F(NamePanelTest, FontDialogKeepsItsFontAndCancelChangesNothing)
{
    seal::TMDIChild& document = NewNameSeal();
    Click("Button1"); // cancelled
    ASSERT_EQ(dialogs.fontRequests.size(), 1u);
    EXPECT_EQ(dialogs.fontRequests[0],
              (platform::FontDialogChoice{u"ＭＳ 明朝"_s, 76, true, false}));
    EXPECT_EQ(document.NameStamp.FontSize, 76);

    Click("Button2");
    Click("Button2");
    Click("Button1");
    EXPECT_EQ(dialogs.fontRequests[1].points, 78) << "the size buttons act on the dialog's font";
    dialogs.fontAnswers.push_back(
        platform::FontDialogChoice{u"ＭＳ Ｐゴシック"_s, 30, false, true});
    Click("Button1");
    EXPECT_EQ(document.NameStamp.FontName.ToUnicode(), u"ＭＳ Ｐゴシック"_s);
    EXPECT_EQ(document.NameStamp.FontSize, 30);
    EXPECT_EQ(document.NameStamp.FontStyle, seal::kStyleItalic);
}

} // namespace
