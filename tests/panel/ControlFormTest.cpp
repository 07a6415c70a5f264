#include "panel/PanelLogic.h"
#include "tests/panel/PanelTestSupport.h"
#include "tests/support/Pictures.h"

#include <QCheckBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>
#include <QToolButton>

#include <limits>

using namespace velmr;
using namespace Qt::StringLiterals;

namespace {

class ControlFormTest : public test::PanelTest
{};

TEST_F(ControlFormTest, ShowsThePanelOfTheDocumentsKind)
{
    struct Case
    {
        seal::SealKind kind;
        const char* visible; // nullptr: none
        QSize client;
    };
    const Case cases[] = {
        {seal::kNoKind, nullptr, {173, 560}},
        {seal::kNameSeal, "Panel1", {173, 560}},
        {seal::kDateSeal, "Panel2", {173, 649}},
        {seal::kBitmapSeal, "Panel3", {173, 274}},
    };
    seal::TMDIChild& document = NewDocument();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        document.Kind = c.kind;
        form->ShowEditPanel(document);
        for (const char* name : {"Panel1", "Panel2", "Panel3"}) {
            QFrame* panel = Control<QFrame>(name);
            EXPECT_EQ(panel->isVisible(), c.visible && std::string_view(name) == c.visible) << name;
        }
        EXPECT_EQ(form->size(), c.client);
    }
    EXPECT_EQ(Control<QFrame>("Panel1")->size(), QSize(169, 556));
    EXPECT_EQ(Control<QFrame>("Panel2")->size(), QSize(169, 645));
    EXPECT_EQ(Control<QFrame>("Panel3")->size(), QSize(169, 270));
    EXPECT_EQ(Control<QFrame>("Panel2")->pos(), QPoint(2, 2));
    form->Collapse();
    EXPECT_EQ(form->size(), QSize(173, 2));
    EXPECT_EQ(form->windowTitle(), u"印影編集"_s);
}

TEST_F(ControlFormTest, FontChoosersOpenOnTheSealsFontAndUnchangedWriteNothing)
{
    seal::TMDIChild& name = NewNameSeal();
    name.NameStamp.FontName.Assign("MS Mincho");
    name.NameStamp.FontName.bytes[30] = 'x'; // after the terminator, as a file may hold it
    name.NameStamp.FontStyle = 0x0D;         // bold, underline, strike-out
    name.NameStampEx.ExFontName.bytes = {'N', 'o', 'F', 'a', 'c', 'e', '\x81'};
    name.NameStampEx.ExFontSize = -4;
    name.NameStampEx.ExFontStyle = 0x02;
    seal::TMDIChild& date = NewDateSeal();
    date.DateStamp.FontNameU.Assign(seal::Sjis(u"ＭＳ Ｐ明朝"_s));
    date.DateStamp.FontSizeU = 2000;
    date.DateStamp.FontStyleU = 0x03;
    date.DateStamp.FontNameM.Assign("Sans Serif");
    date.DateStamp.FontNameL.bytes.fill('L'); // no terminator

    struct Case
    {
        const char* button;
        seal::TMDIChild& document;
        platform::FontDialogChoice opened;
    };
    const Case cases[] = {
        {"Button1", name, {u"MS Mincho"_s, 76, true, false}},
        {"Button14", name, {u"NoFace\uFFFD"_s, -4, false, true}},
        {"Button4", date, {u"ＭＳ Ｐ明朝"_s, 2000, true, true}},
        {"Button7", date, {u"Sans Serif"_s, 36, true, false}},
        {"Button8", date, {QString(40, u'L'), 48, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        form->ShowEditPanel(c.document);
        const auto bytes = [](const seal::TMDIChild& d) {
            return seal::ToBytes(d.NameStamp) + seal::ToBytes(d.NameStampEx) +
                   seal::ToBytes(d.DateStamp) + seal::ToBytes(d.DateStampEx);
        };
        const std::string before = bytes(c.document);
        dialogs.fontRequests.clear();
        dialogs.fontsConfirmedUnchanged = 1;
        Click(c.button);
        ASSERT_EQ(dialogs.fontRequests.size(), 1u);
        EXPECT_EQ(dialogs.fontRequests[0], c.opened);
        EXPECT_EQ(bytes(c.document), before);
    }
}

TEST_F(ControlFormTest, CaptionsAreExact)
{
    const std::pair<const char*, const char16_t*> buttons[] = {
        {"Button1", u"フォント変更"},
        {"Button2", u"文字大"},
        {"Button3", u"文字小"},
        {"SpeedButton5", u"特大"},
        {"SpeedButton6", u"大"},
        {"SpeedButton7", u"中"},
        {"SpeedButton8", u"小"},
        {"sbColorN", u"色指定"},
        {"CheckBox1", u"以下の印を合成する"},
        {"Button14", u"フォント変更"},
        {"Button17", u"文字大"},
        {"Button20", u"文字小"},
        {"Button4", u"フォント変更"},
        {"Button5", u"文字大"},
        {"Button6", u"文字小"},
        {"Button7", u"フォント変更"},
        {"Button18", u"大"},
        {"Button19", u"小"},
        {"CheckBoxNZ", u"月日２桁固定しない"},
        {"Button8", u"フォント変更"},
        {"Button9", u"文字大"},
        {"Button10", u"文字小"},
        {"SpeedButton1", u"特大"},
        {"SpeedButton4", u"小"},
        {"sbColorD", u"色"},
        {"Button11", u"範囲拡大"},
        {"Button12", u"範囲縮小"},
        {"Button15", u"切り取り"},
        {"Button16", u"減色処理"},
        {"Button13", u"拡大・縮小"},
        {"btUndo", u"UNDO"},
    };
    for (const auto& [name, caption] : buttons)
        EXPECT_EQ(Control<QAbstractButton>(name)->text(), QString::fromUtf16(caption)) << name;

    const std::tuple<const char*, const char16_t*, QStringList> groups[] = {
        {"RadioGroup1", u"枠線の太さ", {u"極太"_s, u"太"_s, u"中"_s, u"細"_s}},
        {"RadioGroup11", u"印刷解像度", {u"認印標準（小さい印）"_s, u"日付印と同じ（大きな印）"_s}},
        {"RadioGroup3", u"印の色", {u"赤"_s, u"黒"_s, u"青"_s, u"他"_s}},
        {"RadioGroup4", u"印の形状", {u"真円"_s, u"楕円80%"_s, u"楕円60%"_s, u"正方形"_s}},
        {"RadioGroup5", u"年号の形式", {u"西暦２"_s, u"和暦"_s, u"西暦４"_s}},
        {"RadioGroup8", u"印の色", {u"赤"_s, u"黒"_s, u"青"_s, u"他"_s}},
        {"RadioGroup6", u"枠線の太さ", {u"極太"_s, u"太"_s, u"中"_s, u"細"_s}},
        {"RadioGroup10", u"枠線の種類", {u"１重"_s, u"２重Ａ"_s, u"２重Ｂ"_s, u"太線"_s}},
        {"RadioGroup9", u"印刷解像度", {u"260ﾋﾟｸｾﾙ/cm ( =認印 )"_s, u"153ﾋﾟｸｾﾙ/cm ( =日付印 )"_s}},
    };
    for (const auto& [name, title, items] : groups) {
        platform::RadioGroup* group = Group(name);
        EXPECT_EQ(group->title(), QString::fromUtf16(title)) << name;
        ASSERT_EQ(group->Count(), items.size()) << name;
        for (int i = 0; i < group->Count(); ++i)
            EXPECT_EQ(group->Item(i)->text(), items[i]) << name << " " << i;
    }
    EXPECT_EQ(Control<QGroupBox>("GroupBox2")->title(), u"印の大きさ"_s);
    EXPECT_EQ(Control<QGroupBox>("GroupBox1")->title(), u"印の大きさ"_s);
    EXPECT_EQ(Text("Panel1Heading"), u"認印の編集"_s);
    EXPECT_EQ(Text("Panel2Heading"), u"日付印の編集"_s);
    EXPECT_EQ(Text("Panel3Heading"), u"ビットマップ印の編集"_s);

    QStringList labels;
    for (const QLabel* label : form->findChildren<QLabel*>())
        labels << label->text();
    for (const char16_t* text : {u"テキスト",
                                 u"文字間隔",
                                 u"ﾌｫﾝﾄ位置微調整",
                                 u"印上部の文字列",
                                 u"同上２行目",
                                 u"高さ位置微調整（全体）",
                                 u"高さ位置微調整（１行目）",
                                 u"日付部",
                                 u"日付部上下幅",
                                 u"日付部前置文字",
                                 u"印下部の文字列",
                                 u"高さ位置微調整",
                                 u"印下部小さな文字",
                                 u"小さくする比率",
                                 u"横間隔",
                                 u"印下部２列目",
                                 u"行間の間隔",
                                 u"解像度は毎回設定が必要",
                                 u"印刷時の大きさ",
                                 u"mm"}) {
        EXPECT_TRUE(labels.contains(QString::fromUtf16(text)))
            << QString::fromUtf16(text).toStdString();
    }
}

// Every control lies inside its panel, and no caption is cut off at this display's resolution.
TEST_F(ControlFormTest, EveryCaptionFitsThePanel)
{
    seal::TMDIChild& document = NewDocument();
    for (seal::SealKind kind : {seal::kNameSeal, seal::kDateSeal, seal::kBitmapSeal}) {
        document.Kind = kind;
        form->ShowEditPanel(document);
        QApplication::processEvents();
        QFrame* panel = Control<QFrame>(kind == seal::kNameSeal   ? "Panel1"
                                        : kind == seal::kDateSeal ? "Panel2"
                                                                  : "Panel3");
        const QRect inside = panel->rect();
        for (QWidget* control : panel->findChildren<QWidget*>()) {
            if (!control->isVisibleTo(panel))
                continue;
            const QString name = control->objectName().isEmpty()
                                     ? QString::fromLatin1(control->metaObject()->className())
                                     : control->objectName();
            SCOPED_TRACE(name.toStdString());
            const QRect where(control->mapTo(panel, QPoint(0, 0)), control->size());
            EXPECT_TRUE(inside.contains(where)) << "at " << where.x() << "," << where.y() << " "
                                                << where.width() << "x" << where.height();
            if (auto* button = qobject_cast<QAbstractButton*>(control);
                button && !button->text().isEmpty()) {
                const bool indicator =
                    qobject_cast<QRadioButton*>(button) || qobject_cast<QCheckBox*>(button);
                const int needed =
                    indicator ? button->sizeHint().width()
                              : button->fontMetrics().horizontalAdvance(button->text()) + 6;
                EXPECT_GE(button->width(), needed) << button->text().toStdString();
                EXPECT_GE(button->height(), button->fontMetrics().height())
                    << button->text().toStdString();
            } else if (auto* label = qobject_cast<QLabel*>(control)) {
                EXPECT_GE(label->contentsRect().width(),
                          label->fontMetrics().horizontalAdvance(label->text()))
                    << label->text().toStdString();
            } else if (auto* group = qobject_cast<QGroupBox*>(control)) {
                EXPECT_GE(group->width(),
                          group->fontMetrics().horizontalAdvance(group->title()) + 8);
                // The title on the frame leaves the group's rows free.
                QStyleOptionGroupBox option;
                option.initFrom(group);
                option.text = group->title();
                option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
                const QRect title = group->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                                   QStyle::SC_GroupBoxLabel, group);
                for (QWidget* row : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                    if (row->isVisibleTo(group)) {
                        EXPECT_FALSE(row->geometry().intersects(title))
                            << group->title().toStdString() << " over "
                            << row->metaObject()->className();
                    }
                }
            }
        }
    }
}

TEST(PanelLogic, SizeTexts)
{
    EXPECT_EQ(panel::SealSizeText(117, panel::kNameSealPixelsPerMetre), u"9.0 mm"_s);
    EXPECT_EQ(panel::SealSizeText(117, panel::kDateSealPixelsPerMetre), u"15.3 mm"_s);
    EXPECT_EQ(panel::SealSizeText(65, panel::kDateSealPixelsPerMetre), u"8.5 mm"_s);
    EXPECT_EQ(panel::SealSizeText(155, panel::kDateSealPixelsPerMetre), u"20.3 mm"_s);
    EXPECT_EQ(panel::SealSizeText(0, panel::kNameSealPixelsPerMetre), u"0.0 mm"_s);
    EXPECT_EQ(panel::SealSizeText(-13, panel::kNameSealPixelsPerMetre), u"-1.0 mm"_s);
    EXPECT_EQ(panel::PrintedSizeText(250, 260), u"9.65"_s);
    EXPECT_EQ(panel::PrintedSizeText(250, 153), u"16.41"_s);
    EXPECT_EQ(panel::PrintedSizeText(0, 260), u"0.04"_s);
}

TEST(PanelLogic, SizeButtonsStopAtOnePoint)
{
    struct Case
    {
        std::int32_t size;
        int points;
        std::int32_t stepped;
    };
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    for (const Case c : {Case{76, -1, 75}, Case{76, 1, 77}, Case{2, -1, 1}, Case{1, -1, 1},
                         Case{0, -1, 1}, Case{-4, -1, 1}, Case{-4, 1, 1}, Case{kMin, -1, 1},
                         Case{kMax, 1, kMax}, Case{kMax, -1, kMax - 1}})
        EXPECT_EQ(panel::SteppedFontSize(c.size, c.points), c.stepped) << c.size << c.points;
}

TEST(PanelLogic, ChosenFontsReachTheRecordAndUnchangedOnesKeepItsBytes)
{
    // Face fields as files hold them: bytes after the terminator, a byte that is no Shift-JIS.
    seal::Text40 mincho;
    mincho.Assign(seal::Sjis(u"ＭＳ 明朝"_s));
    std::fill(mincho.bytes.begin() + 20, mincho.bytes.end(), 'x');
    seal::Text40 broken;
    broken.bytes = {'A', '\x81', '\0', 'y'};
    seal::Text40 gothic;
    gothic.Assign(seal::Sjis(u"ＭＳ ゴシック"_s));

    struct Case
    {
        const char* what;
        const seal::Text40& face;
        platform::FontDialogChoice chosen; // the face "" stands for the record's own
        const seal::Text40& storedFace;
        std::int32_t storedSize;
        std::uint8_t storedStyle;
    };
    // The record: 76 points, bold, underline and strike-out (0x0D).
    const Case cases[] = {
        {"unchanged", mincho, {u""_s, 76, true, false}, mincho, 76, 0x0D},
        {"unreadable face unchanged", broken, {u""_s, 76, true, false}, broken, 76, 0x0D},
        {"italic", mincho, {u""_s, 76, true, true}, mincho, 76, 0x0F},
        {"not bold", mincho, {u""_s, 76, false, false}, mincho, 76, 0x0C},
        {"size from a file", mincho, {u""_s, -4, true, false}, mincho, -4, 0x0D},
        {"other face", mincho, {u"ＭＳ ゴシック"_s, 40, true, false}, gothic, 40, 0x0D},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        seal::Text40 face = c.face;
        std::int32_t size = 76;
        std::uint8_t style = 0x0D;
        const panel::FontChoice before{face.ToUnicode(), size, style};
        const platform::FontDialogChoice opened = panel::DialogFontOf(before);
        EXPECT_EQ(opened, (platform::FontDialogChoice{before.face, 76, true, false}));
        platform::FontDialogChoice chosen = c.chosen;
        if (chosen.face.isEmpty())
            chosen.face = opened.face;
        panel::StoreFont(panel::FontChoiceOf(chosen, before), face, size, style);
        EXPECT_EQ(face.bytes, c.storedFace.bytes);
        EXPECT_EQ(size, c.storedSize);
        EXPECT_EQ(style, c.storedStyle);
    }
}

} // namespace

namespace {

// Pictures of the three panels for people to look at, in the build's screenshots folder.
TEST_F(ControlFormTest, PanelPicturesForPeople)
{
    const QString folder =
        qEnvironmentVariable("VELMR_SCREENSHOTS", QStringLiteral(VELMR_SCREENSHOT_DIR));
    QDir().mkpath(folder);
    seal::TMDIChild& name = NewNameSeal();
    form->ShowEditPanel(name);
    QApplication::processEvents();
    EXPECT_TRUE(form->grab().save(folder + u"/panel-name.png"_s));
    seal::TMDIChild& date = NewDateSeal();
    form->ShowEditPanel(date);
    QApplication::processEvents();
    EXPECT_TRUE(form->grab().save(folder + u"/panel-date.png"_s));
    seal::TMDIChild& bitmap = NewDocument();
    bitmap.ImageHandle = test::Picture24(300, 200, [](int x, int y) { return qRgb(x, y, 90); });
    image::ImgKitImageInfo(bitmap.ImageHandle, bitmap.ImageInfo);
    bitmap.LayOutPicture(u"/tmp/p.bmp"_s);
    QApplication::processEvents();
    EXPECT_TRUE(form->grab().save(folder + u"/panel-bitmap.png"_s));
}

} // namespace
