#include "platform/Cp932.h"
#include "tests/panel/PanelTestSupport.h"

#include <QCheckBox>
#include <QSignalSpy>

#include <functional>

using namespace velmr;
using namespace Qt::StringLiterals;
using seal::DateStampExRecord;
using seal::DateStampRecord;

namespace {

std::string Sjis(const QString& text)
{
    return *platform::cp932::Encode(text);
}

void FillDate(seal::TMDIChild& document)
{
    DateStampRecord& date = document.DateStamp;
    date.Text1.Assign(Sjis(u"経理部"_s));
    date.Text2.Assign(Sjis(u"山田"_s));
    date.FontNameU.Assign(Sjis(u"ＭＳ ゴシック"_s));
    date.FontNameM.Assign(Sjis(u"ＭＳ Ｐ明朝"_s));
    date.FontNameL.Assign(Sjis(u"ＭＳ Ｐゴシック"_s));
    date.FontStyleU = 1;
    date.FontStyleM = 2;
    date.FontStyleL = 3;
    date.FontSizeU = 21;
    date.FontSizeM = 22;
    date.FontSizeL = 23;
    date.StampSize = 130;
    date.StampColor = seal::kColorBlue;
    date.LineWidth = 3;
    date.SpaceM = -2;
    date.PositionU = 5;
    date.PositionL = -6;
    date.Years = 2;
    date.Header.Assign(Sjis(u"受"_s));
    date.TwinRing = 2;
    DateStampExRecord& ex = document.DateStampEx;
    ex.Text3.Assign(Sjis(u"二行目"_s));
    ex.U_T2Space = 4;
    ex.Text4.Assign(Sjis(u"小"_s));
    ex.L_T2FontSize = -30;
    ex.L_T2Space = 6;
    ex.Text5.Assign(Sjis(u"列"_s));
    ex.L_T3Space = -7;
    ex.DateNZ = 1;
}

class DatePanelTest : public test::PanelTest
{};

TEST_F(DatePanelTest, LoadingWritesNothingAndEachControlWritesItsFields)
{
    struct Case
    {
        const char* control;
        std::function<void(DatePanelTest&)> act;
        std::function<void(DateStampRecord&, DateStampExRecord&)> expect;
    };
    const platform::FontDialogChoice chosen{u"ＭＳ ゴシック"_s, 12, false, false};
    const Case cases[] = {
        {"Edit5", [](auto& t) { t.TypeAtEnd(t.Edit("Edit5"), u"課"_s); },
         [](auto& d, auto&) { d.Text1.Assign(Sjis(u"経理部課"_s)); }},
        {"Edit8", [](auto& t) { t.TypeAtEnd(t.Edit("Edit8"), u"x"_s); },
         [](auto&, auto& x) { x.Text3.Assign(Sjis(u"二行目x"_s)); }},
        {"Button4",
         [&](auto& t) {
             t.dialogs.fontAnswers.push_back(chosen);
             t.Click("Button4");
         },
         [](auto& d, auto&) {
             d.FontNameU.Assign(Sjis(u"ＭＳ ゴシック"_s));
             d.FontSizeU = 12;
             d.FontStyleU = 0;
         }},
        {"Button5", [](auto& t) { t.Click("Button5"); }, [](auto& d, auto&) { d.FontSizeU = 22; }},
        {"Button6", [](auto& t) { t.Click("Button6"); }, [](auto& d, auto&) { d.FontSizeU = 20; }},
        {"TrackBar2", [](auto& t) { t.SlideRight(t.Slider("TrackBar2")); },
         [](auto& d, auto&) { d.PositionU = 6; }},
        {"TrackBar5", [](auto& t) { t.SlideRight(t.Slider("TrackBar5")); },
         [](auto&, auto& x) { x.U_T2Space = 5; }},
        {"Button7",
         [&](auto& t) {
             t.dialogs.fontAnswers.push_back(chosen);
             t.Click("Button7");
         },
         [](auto& d, auto&) {
             d.FontNameM.Assign(Sjis(u"ＭＳ ゴシック"_s));
             d.FontSizeM = 12;
             d.FontStyleM = 0;
         }},
        {"Button18", [](auto& t) { t.Click("Button18"); },
         [](auto& d, auto&) { d.FontSizeM = 23; }},
        {"Button19", [](auto& t) { t.Click("Button19"); },
         [](auto& d, auto&) { d.FontSizeM = 21; }},
        {"TrackBar3", [](auto& t) { t.SlideLeft(t.Slider("TrackBar3")); },
         [](auto& d, auto&) { d.SpaceM = -3; }},
        {"RadioGroup5", [](auto& t) { t.ClickItem("RadioGroup5", 1); },
         [](auto& d, auto&) { d.Years = 1; }},
        {"Edit7", [](auto& t) { t.TypeAtEnd(t.Edit("Edit7"), u"付"_s); },
         [](auto& d, auto&) { d.Header.Assign(Sjis(u"受付"_s)); }},
        {"CheckBoxNZ", [](auto& t) { t.Click("CheckBoxNZ"); },
         [](auto&, auto& x) { x.DateNZ = 0; }},
        {"Edit6", [](auto& t) { t.TypeAtEnd(t.Edit("Edit6"), u"様"_s); },
         [](auto& d, auto&) { d.Text2.Assign(Sjis(u"山田様"_s)); }},
        {"Button8",
         [&](auto& t) {
             t.dialogs.fontAnswers.push_back(chosen);
             t.Click("Button8");
         },
         [](auto& d, auto&) {
             d.FontNameL.Assign(Sjis(u"ＭＳ ゴシック"_s));
             d.FontSizeL = 12;
             d.FontStyleL = 0;
         }},
        {"Button9", [](auto& t) { t.Click("Button9"); }, [](auto& d, auto&) { d.FontSizeL = 24; }},
        {"Button10", [](auto& t) { t.Click("Button10"); },
         [](auto& d, auto&) { d.FontSizeL = 22; }},
        {"TrackBar4", [](auto& t) { t.SlideRight(t.Slider("TrackBar4")); },
         [](auto& d, auto&) { d.PositionL = -5; }},
        {"Edit9", [](auto& t) { t.TypeAtEnd(t.Edit("Edit9"), u"字"_s); },
         [](auto&, auto& x) { x.Text4.Assign(Sjis(u"小字"_s)); }},
        {"TrackBar6", [](auto& t) { t.SlideRight(t.Slider("TrackBar6")); },
         [](auto&, auto& x) { x.L_T2FontSize = -29; }},
        {"TrackBar7", [](auto& t) { t.SlideLeft(t.Slider("TrackBar7")); },
         [](auto&, auto& x) { x.L_T2Space = 5; }},
        {"Edit10", [](auto& t) { t.TypeAtEnd(t.Edit("Edit10"), u"2"_s); },
         [](auto&, auto& x) { x.Text5.Assign(Sjis(u"列2"_s)); }},
        {"TrackBar8", [](auto& t) { t.SlideRight(t.Slider("TrackBar8")); },
         [](auto&, auto& x) { x.L_T3Space = -6; }},
        {"SpeedButton1", [](auto& t) { t.Click("SpeedButton1"); },
         [](auto& d, auto&) { d.StampSize = 145; }},
        {"SpeedButton4", [](auto& t) { t.Click("SpeedButton4"); },
         [](auto& d, auto&) { d.StampSize = 99; }},
        {"UpDown1", [](auto& t) { t.Click("UpDown1_Down"); },
         [](auto& d, auto&) { d.StampSize = 129; }},
        {"RadioGroup8", [](auto& t) { t.ClickItem("RadioGroup8", 0); },
         [](auto& d, auto&) { d.StampColor = seal::kColorRed; }},
        {"sbColorD",
         [](auto& t) {
             t.dialogs.colorAnswers.push_back(QColor(1, 2, 3));
             t.Click("sbColorD");
         },
         [](auto& d, auto&) { d.StampColor = 0x030201; }},
        {"RadioGroup6", [](auto& t) { t.ClickItem("RadioGroup6", 0); },
         [](auto& d, auto&) { d.LineWidth = 6; }},
        {"RadioGroup10", [](auto& t) { t.ClickItem("RadioGroup10", 3); },
         [](auto& d, auto&) { d.TwinRing = 3; }},
    };
    seal::TMDIChild& document = NewDateSeal();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        FillDate(document);
        const DateStampRecord date = document.DateStamp;
        const DateStampExRecord ex = document.DateStampEx;
        form->ShowEditPanel(document);
        EXPECT_EQ(document.DateStamp, date) << "loading writes nothing";
        EXPECT_EQ(document.DateStampEx, ex) << "loading writes nothing";
        QSignalSpy drawn(&document, &seal::TMDIChild::Drawn);
        c.act(*this);
        DateStampRecord expectedDate = date;
        DateStampExRecord expectedEx = ex;
        c.expect(expectedDate, expectedEx);
        EXPECT_EQ(document.DateStamp, expectedDate);
        EXPECT_EQ(document.DateStampEx, expectedEx);
        EXPECT_GE(drawn.count(), 1);
    }
}

TEST_F(DatePanelTest, SharedSliderHandlersWriteAllTheirFields)
{
    seal::TMDIChild& document = NewDateSeal();
    FillDate(document);
    document.DateStamp.PositionL = 30; // shown as 20
    form->ShowEditPanel(document);
    EXPECT_EQ(Slider("TrackBar4")->value(), 20);
    EXPECT_EQ(document.DateStamp.PositionL, 30);
    SlideRight(Slider("TrackBar6"));
    EXPECT_EQ(document.DateStamp.PositionL, 20);
    EXPECT_EQ(document.DateStampEx.L_T2FontSize, -29);
    EXPECT_EQ(document.DateStampEx.L_T2Space, 6);

    document.DateStamp.PositionU = -40; // shown as -20
    form->ShowEditPanel(document);
    SlideRight(Slider("TrackBar5"));
    EXPECT_EQ(document.DateStamp.PositionU, -20);
    EXPECT_EQ(document.DateStampEx.U_T2Space, 5);
}

TEST_F(DatePanelTest, YearStyleIsTheEraYearAndUnknownStylesKeepTheChoice)
{
    seal::TMDIChild& second = NewDateSeal();
    seal::TMDIChild& first = NewDateSeal();
    EXPECT_EQ(Group("RadioGroup5")->Item(1)->text(), u"和暦"_s);
    ClickItem("RadioGroup5", 1);
    EXPECT_EQ(first.DateStamp.Years, 1);
    second.DateStamp.Years = 3;
    form->ShowEditPanel(second);
    EXPECT_EQ(Group("RadioGroup5")->ItemIndex(), 1);
    EXPECT_EQ(second.DateStamp.Years, 3);
}

TEST_F(DatePanelTest, EditsWriteOnlyTheirOwnField)
{
    seal::TMDIChild& document = NewDateSeal();
    FillDate(document);
    form->ShowEditPanel(document);
    const std::string text1(document.DateStamp.Text1.View());
    TypeAtEnd(Edit("Edit8"), u"追"_s);
    EXPECT_EQ(document.DateStamp.Text1.View(), text1);
    Edit("Edit7")->clear();
    EXPECT_TRUE(document.DateStamp.Header.Empty());
    // Six bytes for the header, eighteen for the others.
    TypeAtEnd(Edit("Edit7"), u"一二三四"_s);
    EXPECT_EQ(document.DateStamp.Header.View(), Sjis(u"一二三"_s));
    Edit("Edit5")->clear();
    TypeAtEnd(Edit("Edit5"), u"一二三四五六七八九十"_s);
    EXPECT_EQ(document.DateStamp.Text1.View(), Sjis(u"一二三四五六七八九"_s));
}

TEST_F(DatePanelTest, SizeDisplayHasOneResolution)
{
    seal::TMDIChild& document = NewDateSeal();
    EXPECT_EQ(Text("StaticText2"), u"15.1 mm"_s); // a new date seal is 115
    const std::pair<const char*, const char16_t*> presets[] = {{"SpeedButton1", u"19.0 mm"},
                                                               {"SpeedButton2", u"17.1 mm"},
                                                               {"SpeedButton3", u"15.1 mm"},
                                                               {"SpeedButton4", u"13.0 mm"}};
    for (const auto& [button, text] : presets) {
        Click(button);
        EXPECT_EQ(Text("StaticText2"), QString::fromUtf16(text)) << button;
    }
    for (int i = 0; i < 80; ++i)
        Click("UpDown1_Up");
    EXPECT_EQ(document.DateStamp.StampSize, 155);
    EXPECT_EQ(Text("StaticText2"), u"20.3 mm"_s);
    for (int i = 0; i < 80; ++i)
        Click("UpDown1_Down");
    EXPECT_EQ(document.DateStamp.StampSize, 85);
    EXPECT_EQ(Text("StaticText2"), u"11.1 mm"_s);
}

} // namespace
