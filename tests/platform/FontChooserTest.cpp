#include "platform/FontChooser.h"

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

using namespace velmr::platform;
using namespace Qt::StringLiterals;

namespace {

TEST(FontChooser, ListsJapaneseFacesUnderTheRecordsNamesAndShowsTheSealsFace)
{
    const QStringList ipa{u"IPAPGothic"_s, u"Noto Sans CJK JP"_s, u"IPAMincho"_s, u"IPAGothic"_s,
                          u"IPAPMincho"_s};
    const QStringList windowsFaces{u"ＭＳ 明朝"_s, u"ＭＳ Ｐ明朝"_s, u"ＭＳ ゴシック"_s,
                                   u"ＭＳ Ｐゴシック"_s};
    struct Case
    {
        QStringList installed;
        QString recordFace;
        QStringList faces;
        int current;
    };
    const Case cases[] = {
        {ipa, u"ＭＳ 明朝"_s, windowsFaces + QStringList{u"Noto Sans CJK JP"_s}, 0},
        // A Windows name in English, or the face that stands in for it, shows as its entry.
        {ipa, u"MS PGothic"_s, windowsFaces + QStringList{u"Noto Sans CJK JP"_s}, 3},
        {ipa, u"ipagothic"_s, windowsFaces + QStringList{u"Noto Sans CJK JP"_s}, 2},
        {ipa, u"noto sans cjk jp"_s, windowsFaces + QStringList{u"Noto Sans CJK JP"_s}, 4},
        // A face none stands for is shown at the top.
        {{u"IPAMincho"_s}, u"ＭＳ ゴシック"_s, {u"ＭＳ ゴシック"_s, u"ＭＳ 明朝"_s}, 0},
        {{u"IPAMincho"_s}, u"Sans Serif"_s, {u"Sans Serif"_s, u"ＭＳ 明朝"_s}, 0},
        {{}, u""_s, {u""_s}, 0},
        // Other faces in alphabetical order; names no record can hold are left out.
        {{u"b face"_s, u"IPAMincho"_s, u"A face"_s, u"Ŧace"_s, QString(40, u'W')},
         u"A face"_s,
         {u"ＭＳ 明朝"_s, u"A face"_s, u"b face"_s},
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recordFace.toStdString());
        const FontFaceList list = FontChooserFaces(c.installed, c.recordFace);
        EXPECT_EQ(list.faces, c.faces);
        EXPECT_EQ(list.current, c.current);
    }
}

TEST(FontChooser, ListsTheJapaneseDesignsOfPanCjkFacesAndEveryOtherFace)
{
    const QStringList installed{u"Noto Serif CJK JP"_s,
                                u"Noto Serif CJK SC"_s,
                                u"Noto Serif CJK JP Black"_s,
                                u"Noto Serif CJK TC Black"_s,
                                u"Noto Sans CJK KR"_s,
                                u"KouzanBrushFont"_s,
                                u"IPAMincho"_s};
    EXPECT_EQ(JapaneseDesigns(installed),
              (QStringList{u"Noto Serif CJK JP"_s, u"Noto Serif CJK JP Black"_s,
                           u"Noto Sans CJK KR"_s, u"KouzanBrushFont"_s, u"IPAMincho"_s}));
    // Chosen, a face the Velmor program may lack keeps its own name.
    const FontFaceList list = FontChooserFaces(JapaneseDesigns(installed), u"KouzanBrushFont"_s);
    EXPECT_EQ(list.faces.at(list.current), u"KouzanBrushFont"_s);
    EXPECT_TRUE(list.faces.contains(u"Noto Serif CJK JP Black"_s));
}

TEST(FontChooser, OpensOnTheSealsFontAndGivesItBackUnchanged)
{
    const QStringList installed{u"IPAMincho"_s, u"IPAGothic"_s};
    struct Case
    {
        FontDialogChoice initial;
        int row;
    };
    const Case cases[] = {
        {{u"MS Mincho"_s, 76, true, false}, 0},
        {{u"Sans Serif"_s, 12, false, true}, 0},   // not installed: its own entry, first
        {{u"ＭＳ ゴシック"_s, -4, true, true}, 1}, // a size from a file
        {{u"ＭＳ ゴシック"_s, 5000, false, false}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.initial.face.toStdString());
        FontChooser chooser(c.initial, installed);
        chooser.show();
        auto* faces = chooser.findChild<QListWidget*>(u"faceList"_s);
        auto* size = chooser.findChild<QSpinBox*>(u"sizeBox"_s);
        ASSERT_TRUE(faces && size);
        EXPECT_EQ(faces->currentRow(), c.row);
        EXPECT_EQ(size->value(), c.initial.points);
        EXPECT_EQ(chooser.findChildren<QCheckBox*>().size(), 2) << "bold and italic, no effects";
        QTest::mouseClick(chooser.findChild<QPushButton*>(u"okButton"_s), Qt::LeftButton);
        EXPECT_EQ(chooser.result(), QDialog::Accepted);
        EXPECT_EQ(chooser.Choice(), c.initial);
        if (c.initial.points < 1) {
            size->stepBy(1);
            EXPECT_EQ(size->value(), 1) << "no other size below one point";
        }
    }

    // Every part can be changed; the face chosen is the name the list shows.
    FontChooser chooser({u"MS Mincho"_s, 76, true, false}, installed);
    chooser.show();
    chooser.findChild<QListWidget*>(u"faceList"_s)->setCurrentRow(1);
    chooser.findChild<QSpinBox*>(u"sizeBox"_s)->setValue(40);
    QTest::mouseClick(chooser.findChild<QCheckBox*>(u"boldBox"_s), Qt::LeftButton);
    QTest::mouseClick(chooser.findChild<QCheckBox*>(u"italicBox"_s), Qt::LeftButton);
    EXPECT_EQ(chooser.Choice(), (FontDialogChoice{u"ＭＳ ゴシック"_s, 40, false, true}));
    chooser.findChild<QListWidget*>(u"faceList"_s)->setCurrentRow(0);
    EXPECT_EQ(chooser.Choice().face, u"MS Mincho"_s) << "back on the seal's entry, its own name";
}

} // namespace
