// The colour reduction and resize dialogs, driven through their own controls while they run
// modally through the scripted dialogs.

#include "image/DitherForm.h"
#include "image/FormControls.h"
#include "image/ImgKit.h"
#include "image/PictureDocument.h"
#include "image/ResizeForm.h"
#include "platform/RadioGroup.h"
#include "platform/UserDialogs.h"
#include "seal/MdiChild.h"
#include "seal/PictureControl.h"
#include "tests/image/colour/ColourPictures.h"
#include "tests/support/Pictures.h"
#include "tests/support/ScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

using namespace velmr;
using image::ImgKitImage;

namespace {

// A document that records what the dialogs asked of it.
class FakeDocument final : public image::PictureDocument
{
public:
    explicit FakeDocument(ImgKitImage picture) : picture_(picture)
    {
        image::ImgKitImageInfo(picture_, info_);
    }
    ~FakeDocument() override
    {
        image::ImgKitMemFree(picture_);
        image::ImgKitMemFree(undo);
    }

    ImgKitImage PictureHandle() const override { return picture_; }
    const image::ImageInfoRecord& PictureInfo() const override { return info_; }
    void MakeUndoCopy() override
    {
        image::ImgKitMemFree(undo);
        undo = image::ImgKitCopy(picture_, {}, {});
        ++undoCopies;
    }
    void TakePicture(ImgKitImage result) override
    {
        if (result != picture_) {
            image::ImgKitMemFree(picture_);
            picture_ = result;
        }
        image::ImgKitImageInfo(picture_, info_);
    }
    void ShowImage() override { ++shows; }
    void FitViewToPicture() override
    {
        viewSize = QSize(info_.Width, info_.Height);
        ShowImage();
    }
    void SetBitmapResolution(std::int32_t value) override { resolution = value; }

    std::vector<std::uint8_t> Bytes() const
    {
        const auto bytes = image::ImgKitLock(picture_);
        return {bytes.begin(), bytes.end()};
    }

    ImgKitImage undo = 0;
    int undoCopies = 0;
    int shows = 0;
    QSize viewSize;
    std::int32_t resolution = 2;

private:
    ImgKitImage picture_;
    image::ImageInfoRecord info_{};
};

QRgb Photo(int x, int y, int w, int h)
{
    const image::Rgb c = test::PhotoLike(x, y, w, h);
    return qRgb(c.r, c.g, c.b);
}

// Pictures of each ColorType.
ImgKitImage PictureOfType(std::int32_t colorType, int width = 40, int height = 30)
{
    const std::vector<QRgb> greys16 = [] {
        std::vector<QRgb> p;
        for (int i = 0; i < 16; ++i)
            p.push_back(qRgb(17 * i, 17 * i, 17 * i));
        return p;
    }();
    const std::vector<QRgb> colours16 = {qRgb(0, 0, 0), qRgb(200, 10, 10), qRgb(10, 200, 10),
                                         qRgb(10, 10, 200), qRgb(250, 250, 250)};
    std::vector<QRgb> colours256, greys256;
    for (int i = 0; i < 256; ++i) {
        colours256.push_back(qRgb(i, 255 - i, (i * 7) % 256));
        greys256.push_back(qRgb(i, i, i));
    }
    const auto index = [](int modulo) {
        return [modulo](int x, int y) { return (x * 3 + y * 5) % modulo; };
    };
    switch (colorType) {
    case image::kColorType1Bit:
        return test::PicturePalette(width, height, 1, {qRgb(0, 0, 0), qRgb(255, 255, 255)},
                                    index(2));
    case image::kColorType4BitColor:
        return test::PicturePalette(width, height, 4, colours16, index(5));
    case image::kColorType4BitGrey:
        return test::PicturePalette(width, height, 4, greys16, index(16));
    case image::kColorType8BitColor:
        return test::PicturePalette(width, height, 8, colours256, index(256));
    case image::kColorType8BitGrey:
        return test::PicturePalette(width, height, 8, greys256, index(256));
    default:
        return test::Picture24(
            width, height, [width, height](int x, int y) { return Photo(x, y, width, height); });
    }
}

// A radio item clicked where its round mark is, as the user would.
void Click(QRadioButton* item)
{
    QTest::mouseClick(item, Qt::LeftButton, {}, QPoint(7, item->height() / 2));
}

void Click(QPushButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

// Replaces the box's text by typing `text` over it.
void TypeInto(QLineEdit* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    else
        QTest::keyClicks(box, text);
}

class DialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        image::ImgKitLoadLibrary();
        mainWindow.setGeometry(100, 80, 800, 600);
    }
    void TearDown() override
    {
        document.reset();
        seal.reset();
        EXPECT_EQ(image::ImgKitLiveImageCount(), 0u) << "every picture is released";
        image::ImgKitUnloadLibrary();
    }

    FakeDocument& Document(ImgKitImage picture)
    {
        document = std::make_unique<FakeDocument>(picture);
        return *document;
    }

    // Runs `form` modally through the dialogs interface; `act` works its controls while it is on
    // the screen. True when the form closed itself.
    struct Outcome
    {
        bool closed = false;
        int result = -1;
    };
    Outcome Run(QDialog& form, const std::function<void()>& act)
    {
        Outcome outcome;
        dialogs.modalAnswers.push_back([&](QDialog& shown) {
            shown.show();
            act();
            outcome.closed = !shown.isVisible();
            outcome.result = shown.result();
            if (!outcome.closed)
                shown.reject(); // the user gives up
            return outcome.result;
        });
        platform::Dialogs().RunModal(form);
        return outcome;
    }

    test::ScriptedDialogs dialogs;
    QWidget mainWindow;
    std::unique_ptr<FakeDocument> document;
    std::unique_ptr<seal::TMDIChild> seal;
};

// ---- Colour reduction

class DitherFormTest : public DialogTest
{
protected:
    image::TDitherForm form{&mainWindow};

    std::vector<int> Selected() const
    {
        return {form.RadioGroup1->ItemIndex(), form.RadioGroup2->ItemIndex(),
                form.RadioGroup3->ItemIndex()};
    }
};

TEST_F(DitherFormTest, CaptionsAndToolWindow)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("減色処理"));
    EXPECT_EQ(form.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_EQ(form.RadioGroup1->title(), QStringLiteral("減色後のﾊﾟﾚｯﾄ色数"));
    EXPECT_EQ(form.RadioGroup2->title(), QStringLiteral("減色方法"));
    EXPECT_EQ(form.RadioGroup3->title(), QStringLiteral("減色時のﾊﾟﾚｯﾄ"));
    const std::vector<std::pair<platform::RadioGroup*, QStringList>> groups = {
        {form.RadioGroup1,
         {QStringLiteral("２５６色"), QStringLiteral("１６色"), QStringLiteral("白黒２値")}},
        {form.RadioGroup2, {QStringLiteral("誤差拡散法"), QStringLiteral("近似色")}},
        {form.RadioGroup3, {QStringLiteral("最適化ﾊﾟﾚｯﾄ"), QStringLiteral("固定(Windows標準色)")}},
    };
    for (const auto& [group, items] : groups) {
        ASSERT_EQ(group->Count(), items.size()) << group->objectName().toStdString();
        for (int i = 0; i < group->Count(); ++i)
            EXPECT_EQ(group->Item(i)->text(), items[i]);
    }
    EXPECT_EQ(form.bOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(form.bCancel->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(form.findChild<platform::RadioGroup*>(QStringLiteral("RadioGroup2")),
              form.RadioGroup2);
    EXPECT_EQ(form.findChild<QPushButton*>(QStringLiteral("bOK")), form.bOK);
}

// Prepare by ColorType: enabled states (group 1, its three items, groups 2 and 3) and selections
// on a dialog that has not been used before.
TEST_F(DitherFormTest, PrepareOffersWhatSuitsThePicture)
{
    struct Case
    {
        std::int32_t colorType;
        std::vector<bool> enabled;
        std::vector<int> selected;
    };
    const Case cases[] = {
        {image::kColorType1Bit, {false, true, true, true, false, false}, {-1, -1, -1}},
        {image::kColorType4BitColor, {true, false, false, true, false, false}, {2, -1, -1}},
        {image::kColorType4BitGrey, {true, false, false, true, false, false}, {2, -1, -1}},
        {image::kColorType8BitColor, {true, false, true, true, true, true}, {1, 0, 0}},
        {image::kColorType8BitGrey, {true, false, true, true, true, true}, {1, 0, 0}},
        {image::kColorType24Bit, {true, true, true, true, true, true}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        image::TDitherForm fresh(&mainWindow);
        FakeDocument picture(PictureOfType(c.colorType));
        ASSERT_EQ(picture.PictureInfo().ColorType, c.colorType);
        fresh.Prepare(picture);
        // The items' own states (a disabled group disables them all on the screen).
        const auto own = [&](int i) {
            return fresh.RadioGroup1->Item(i)->isEnabledTo(fresh.RadioGroup1);
        };
        const std::vector<bool> enabled = {
            fresh.RadioGroup1->isEnabled(), own(0), own(1), own(2), fresh.RadioGroup2->isEnabled(),
            fresh.RadioGroup3->isEnabled()};
        EXPECT_EQ(enabled, c.enabled) << "ColorType " << c.colorType;
        const std::vector<int> selected = {fresh.RadioGroup1->ItemIndex(),
                                           fresh.RadioGroup2->ItemIndex(),
                                           fresh.RadioGroup3->ItemIndex()};
        EXPECT_EQ(selected, c.selected) << "ColorType " << c.colorType;
        EXPECT_EQ(fresh.TargetChild, &picture);
    }
}

TEST_F(DitherFormTest, TrueColourPictureBecomesEightBitsWithAnUndoCopy)
{
    FakeDocument& picture = Document(PictureOfType(image::kColorType24Bit, 64, 48));
    const std::vector<std::uint8_t> before = picture.Bytes();
    form.Prepare(picture);
    EXPECT_EQ(Selected(), (std::vector<int>{0, 0, 0}));
    const Outcome outcome = Run(form, [&] { Click(form.bOK); });
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(outcome.result, int(QDialog::Accepted));
    EXPECT_EQ(picture.PictureInfo().ColorType, image::kColorType8BitColor);
    EXPECT_EQ(picture.PictureInfo().Width, 64);
    EXPECT_EQ(picture.PictureInfo().Height, 48);
    EXPECT_EQ(test::View(picture.PictureHandle()).Bits(), 8);
    EXPECT_EQ(picture.undoCopies, 1);
    const auto undo = image::ImgKitLock(picture.undo);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), undo.begin(), undo.end()))
        << "the undo copy is the picture before";
    EXPECT_EQ(picture.shows, 1);
    EXPECT_EQ(picture.resolution, 2) << "the print resolution is not touched";
    EXPECT_FALSE(picture.viewSize.isValid()) << "the view is not touched";
    ASSERT_FALSE(dialogs.progress.empty());
    EXPECT_EQ(dialogs.progress.back().title, QStringLiteral("瑠環印影ＭＧＲ"));
    EXPECT_EQ(dialogs.progress.back().message, QStringLiteral("減色処理中"));
    EXPECT_EQ(dialogs.modalForms, std::vector<QString>{QStringLiteral("減色処理")});
    EXPECT_EQ(form.TargetChild, nullptr) << "released when the dialog closes";
}

// The OK results match the library's conversion with the arguments of the chosen items.
TEST_F(DitherFormTest, ChoicesGiveTheirConversionArguments)
{
    struct Case
    {
        int colours, method, palette; // items clicked
        int bits, paletteArgument, dither;
    };
    const Case cases[] = {
        {0, 0, 0, 8, 0, 1}, {0, 1, 0, 8, 0, 0}, {0, 0, 1, 8, 1, 1},
        {0, 1, 1, 8, 1, 0}, {1, 0, 0, 4, 0, 1}, {1, 1, 1, 4, 1, 0},
        {2, 0, 0, 1, 0, 1}, {2, 1, 0, 1, 0, 0}, {2, 1, 1, 1, 1, 0},
    };
    for (const Case& c : cases) {
        const ImgKitImage source = PictureOfType(image::kColorType24Bit, 33, 17);
        const ImgKitImage expected =
            image::ImgKitConvertColor(source, c.bits, c.paletteArgument, c.dither, {}, {});
        FakeDocument picture(source);
        form.Prepare(picture);
        const Outcome outcome = Run(form, [&] {
            Click(form.RadioGroup2->Item(c.method));
            Click(form.RadioGroup3->Item(c.palette));
            Click(form.RadioGroup1->Item(c.colours));
            Click(form.bOK);
        });
        EXPECT_TRUE(outcome.closed);
        const auto got = image::ImgKitLock(picture.PictureHandle());
        const auto want = image::ImgKitLock(expected);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin(), want.end()))
            << c.colours << "," << c.method << "," << c.palette;
        image::ImgKitMemFree(expected);
    }
}

TEST_F(DitherFormTest, TwoHundredFiftySixColoursCannotBeReducedTo256)
{
    FakeDocument& picture = Document(PictureOfType(image::kColorType8BitColor));
    form.Prepare(picture);
    const Outcome outcome = Run(form, [&] {
        Click(form.RadioGroup1->Item(0)); // disabled: nothing happens
        EXPECT_EQ(form.RadioGroup1->ItemIndex(), 1);
        Click(form.bOK);
    });
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(test::View(picture.PictureHandle()).Bits(), 4);
    EXPECT_EQ(picture.PictureInfo().ColorType, image::kColorType4BitColor);
    EXPECT_LE(test::View(picture.PictureHandle()).TableEntries(), 16u);
}

TEST_F(DitherFormTest, BlackAndWhiteDisablesMethodAndPaletteWhichKeepTheirChoices)
{
    FakeDocument& picture = Document(PictureOfType(image::kColorType24Bit));
    form.Prepare(picture);
    Run(form, [&] {
        Click(form.RadioGroup1->Item(1));
        Click(form.RadioGroup2->Item(1));
        Click(form.RadioGroup3->Item(1));
        EXPECT_EQ(Selected(), (std::vector<int>{1, 1, 1}));
        Click(form.RadioGroup1->Item(2));
        EXPECT_FALSE(form.RadioGroup2->isEnabled());
        EXPECT_FALSE(form.RadioGroup3->isEnabled());
        Click(form.RadioGroup2->Item(0)); // disabled: ignored
        Click(form.RadioGroup1->Item(1));
        EXPECT_TRUE(form.RadioGroup2->isEnabled());
        EXPECT_TRUE(form.RadioGroup3->isEnabled());
        EXPECT_EQ(Selected(), (std::vector<int>{1, 1, 1})) << "previous selections back";
    });
}

TEST_F(DitherFormTest, CancelChangesNothing)
{
    FakeDocument& picture = Document(PictureOfType(image::kColorType24Bit));
    const std::vector<std::uint8_t> before = picture.Bytes();
    const ImgKitImage handle = picture.PictureHandle();
    form.Prepare(picture);
    const Outcome outcome = Run(form, [&] {
        Click(form.RadioGroup1->Item(2));
        Click(form.bCancel);
    });
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(outcome.result, int(QDialog::Rejected));
    EXPECT_EQ(picture.PictureHandle(), handle);
    EXPECT_EQ(picture.Bytes(), before);
    EXPECT_EQ(picture.undoCopies, 0);
    EXPECT_EQ(picture.shows, 0);
    EXPECT_TRUE(dialogs.progress.empty());
}

// A sixteen-colour picture offers black and white only, with method and palette disabled; OK
// reads them as they show, whatever a previous use left there, and as the first items when they
// show no selection (the dialog's first use).
TEST_F(DitherFormTest, BlackAndWhiteReadsTheDisabledGroupsAsTheyShow)
{
    struct Case
    {
        int method, palette; // items shown, -1 for none
        int dither, paletteArgument;
    };
    const Case cases[] = {
        {-1, -1, 1, 0}, {0, 0, 1, 0}, {1, 0, 0, 0}, {0, 1, 1, 1}, {1, 1, 0, 1},
    };
    for (const Case& c : cases) {
        image::TDitherForm fresh(&mainWindow);
        if (c.method >= 0) {
            FakeDocument other(PictureOfType(image::kColorType24Bit));
            fresh.Prepare(other);
            Run(fresh, [&] {
                Click(fresh.RadioGroup2->Item(c.method));
                Click(fresh.RadioGroup3->Item(c.palette));
                Click(fresh.bCancel);
            });
        }
        // Mid greys, which the threshold and the diffusion tell apart.
        const ImgKitImage source = test::PicturePalette(
            24, 16, 4, {qRgb(90, 90, 90), qRgb(150, 150, 150), qRgb(110, 130, 150)},
            [](int x, int y) { return (x / 8 + y / 4) % 3; });
        const ImgKitImage expected =
            image::ImgKitConvertColor(source, 1, c.paletteArgument, c.dither, {}, {});
        const ImgKitImage other =
            image::ImgKitConvertColor(source, 1, c.paletteArgument, 1 - c.dither, {}, {});
        FakeDocument picture(source);
        fresh.Prepare(picture);
        EXPECT_FALSE(fresh.RadioGroup2->isEnabled());
        EXPECT_FALSE(fresh.RadioGroup3->isEnabled());
        EXPECT_EQ(fresh.RadioGroup2->ItemIndex(), c.method);
        const Outcome outcome = Run(fresh, [&] { Click(fresh.bOK); });
        EXPECT_TRUE(outcome.closed);
        EXPECT_EQ(picture.PictureInfo().ColorType, image::kColorType1Bit);
        const auto got = image::ImgKitLock(picture.PictureHandle());
        const auto want = image::ImgKitLock(expected);
        const auto wrong = image::ImgKitLock(other);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), want.begin(), want.end()))
            << "method " << c.method << ", palette " << c.palette;
        EXPECT_FALSE(std::equal(got.begin(), got.end(), wrong.begin(), wrong.end()));
        EXPECT_EQ(picture.undoCopies, 1);
        image::ImgKitMemFree(expected);
        image::ImgKitMemFree(other);
    }
}

TEST_F(DitherFormTest, TwoColourPictureOffersNothingAndOkOnlyCloses)
{
    FakeDocument& picture = Document(PictureOfType(image::kColorType1Bit));
    const std::vector<std::uint8_t> before = picture.Bytes();
    const ImgKitImage handle = picture.PictureHandle();
    const std::size_t live = image::ImgKitLiveImageCount();
    form.Prepare(picture);
    const Outcome outcome = Run(form, [&] {
        Click(form.RadioGroup1->Item(2)); // disabled group: ignored
        Click(form.bOK);
    });
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(picture.PictureHandle(), handle);
    EXPECT_EQ(picture.Bytes(), before);
    EXPECT_EQ(picture.undoCopies, 0);
    EXPECT_EQ(picture.shows, 0);
    EXPECT_EQ(image::ImgKitLiveImageCount(), live);
    EXPECT_TRUE(dialogs.progress.empty());
}

// Cancelling the progress display in the middle leaves the picture as it was, takes no undo copy,
// holds no extra picture and keeps the dialog open for another choice.
TEST_F(DitherFormTest, CancelledConversionLeavesEverythingAsItWas)
{
    FakeDocument& picture = Document(PictureOfType(image::kColorType24Bit, 300, 200));
    const std::vector<std::uint8_t> before = picture.Bytes();
    const ImgKitImage handle = picture.PictureHandle();
    const std::size_t live = image::ImgKitLiveImageCount();
    dialogs.cancelProgressAfter = 3;
    form.Prepare(picture);
    const Outcome outcome = Run(form, [&] { Click(form.bOK); });
    EXPECT_FALSE(outcome.closed);
    ASSERT_FALSE(dialogs.progress.empty());
    EXPECT_GT(dialogs.progress.back().reports, 3);
    EXPECT_TRUE(dialogs.progress.back().finished);
    EXPECT_EQ(picture.PictureHandle(), handle);
    EXPECT_EQ(picture.Bytes(), before);
    EXPECT_EQ(picture.undoCopies, 0);
    EXPECT_EQ(picture.shows, 0);
    EXPECT_EQ(image::ImgKitLiveImageCount(), live);
}

TEST_F(DitherFormTest, OnePixelPictures)
{
    for (const std::int32_t colorType : {image::kColorType24Bit, image::kColorType8BitColor,
                                         image::kColorType4BitColor, image::kColorType1Bit}) {
        FakeDocument picture(PictureOfType(colorType, 1, 1));
        form.Prepare(picture);
        const Outcome outcome = Run(form, [&] { Click(form.bOK); });
        EXPECT_TRUE(outcome.closed) << colorType;
        EXPECT_EQ(picture.PictureInfo().Width, 1);
        EXPECT_EQ(picture.PictureInfo().Height, 1);
    }
}

// ---- Centring

// Outer bounds; halves truncated toward zero, also when the main window is the smaller.
TEST_F(DialogTest, BothDialogsCentreOnTheMainWindowWhenShown)
{
    image::TDitherForm dither(&mainWindow);
    image::TResizeForm resize(&mainWindow);
    const auto shownAt = [](QWidget& window, const QRect& geometry) {
        window.setGeometry(geometry);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    };
    // Worked by hand for the colour reduction dialog on a main window narrower and lower than it,
    // with the 2-pixel frames of this display: (105 − 270) / 2 = −82.5 → −82, (55 − 261) / 2 =
    // −103.
    shownAt(mainWindow, QRect(7, 9, 101, 51));
    dither.show();
    const QRect main = mainWindow.frameGeometry();
    if (dither.windowHandle()->frameMargins() == QMargins(2, 2, 2, 2) &&
        main.size() == QSize(105, 55)) {
        EXPECT_EQ(dither.frameGeometry(), QRect(main.left() - 82, main.top() - 103, 270, 261));
    }
    dither.hide();
    mainWindow.hide();

    const QRect mains[] = {QRect(100, 80, 801, 601), QRect(7, 9, 101, 51), QRect(40, 30, 266, 257)};
    for (const QRect& geometry : mains) {
        QWidget other;
        shownAt(other, geometry);
        dither.SetMainWindow(&other);
        resize.SetMainWindow(&other);
        for (QDialog* dialog : {static_cast<QDialog*>(&dither), static_cast<QDialog*>(&resize)}) {
            dialog->show();
            const QRect m = other.frameGeometry();
            const QRect d = dialog->frameGeometry();
            EXPECT_EQ(d.left(), m.left() + (m.width() - d.width()) / 2)
                << dialog->windowTitle().toStdString();
            EXPECT_EQ(d.top(), m.top() + (m.height() - d.height()) / 2)
                << dialog->windowTitle().toStdString();
            dialog->hide();
        }
    }
}

// ---- Clicks while a picture is being worked on

// OK clicked again while the picture is being converted or scaled (a double click) starts
// nothing: one run of the library, one undo copy, the picture replaced once.
TEST_F(DialogTest, SecondOkWhileWorkingStartsNothing)
{
    image::TDitherForm dither(&mainWindow);
    image::TResizeForm resize(&mainWindow);
    struct Case
    {
        QDialog* form;
        QPushButton* ok;
    };
    const Case cases[] = {{&dither, dither.bOK}, {&resize, resize.bOK}};
    for (const Case& c : cases) {
        FakeDocument picture(PictureOfType(image::kColorType24Bit, 300, 200));
        if (c.form == &dither) {
            dither.Prepare(picture);
        } else {
            resize.Prepare(picture);
            resize.Edit1->setText(QStringLiteral("150"));
        }
        dialogs.progress.clear();
        int clicks = 0;
        dialogs.whileInProgress = [&] {
            if (clicks++ == 0)
                Click(c.ok);
        };
        const Outcome outcome = Run(*c.form, [&] { Click(c.ok); });
        dialogs.whileInProgress = nullptr;
        const QString title = c.form->windowTitle();
        EXPECT_TRUE(outcome.closed) << title.toStdString();
        EXPECT_EQ(dialogs.progress.size(), 1u) << title.toStdString();
        EXPECT_EQ(picture.undoCopies, 1) << title.toStdString();
        EXPECT_EQ(picture.shows, 1) << title.toStdString();
    }
}

// The real progress display: from its start, while it is still hidden, to its end, the user's
// clicks and keys reach only its own cancel button; the rest of the program sees none of them,
// neither then nor later.
TEST(ProgressDisplay, InputReachesOnlyItsOwnCancelButton)
{
    QPushButton elsewhere(QStringLiteral("OK"));
    elsewhere.setGeometry(10, 10, 80, 30);
    elsewhere.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&elsewhere));
    QSignalSpy clicked(&elsewhere, &QPushButton::clicked);
    const QPoint middle(40, 15);
    const auto post = [&](QWidget* to, QEvent::Type type) {
        const QPointF at = middle, global = to->mapToGlobal(middle);
        QCoreApplication::postEvent(
            to, new QMouseEvent(type, at, global, Qt::LeftButton,
                                type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                Qt::NoModifier));
    };
    const auto postClick = [&](QWidget* to) {
        post(to, QEvent::MouseButtonPress);
        post(to, QEvent::MouseButtonRelease);
    };
    const auto postKey = [&](QWidget* to) {
        QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, {}));
        QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, {}));
    };
    {
        const std::unique_ptr<platform::ProgressReport> report = platform::Dialogs().BeginProgress(
            nullptr, QStringLiteral("瑠環印影ＭＧＲ"), QStringLiteral("減色処理中"), true);
        postClick(&elsewhere);
        postKey(&elsewhere);
        EXPECT_TRUE(report->Advance(0.1));
        EXPECT_EQ(clicked.count(), 0) << "before the display shows";

        QProgressDialog* display = nullptr;
        QElapsedTimer waited;
        waited.start();
        while ((!display || !display->isVisible()) && waited.elapsed() < 5000) {
            report->Advance(0.2);
            QTest::qSleep(20);
            for (QWidget* top : QApplication::topLevelWidgets())
                display = display ? display : qobject_cast<QProgressDialog*>(top);
        }
        ASSERT_NE(display, nullptr);
        ASSERT_TRUE(display->isVisible());
        postClick(&elsewhere);
        EXPECT_TRUE(report->Advance(0.5));
        EXPECT_EQ(clicked.count(), 0) << "while the display shows";

        auto* cancel = display->findChild<QPushButton*>();
        ASSERT_NE(cancel, nullptr);
        postClick(cancel);
        EXPECT_FALSE(report->Advance(0.6)) << "its cancel button still works";
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(clicked.count(), 0) << "dropped input is not delivered later";
    postClick(&elsewhere);
    QCoreApplication::processEvents();
    EXPECT_EQ(clicked.count(), 1) << "input flows again once the operation has ended";
}

// ---- Resize

class ResizeFormTest : public DialogTest
{
protected:
    image::TResizeForm form{&mainWindow};

    FakeDocument& Prepared(int width, int height)
    {
        FakeDocument& picture = Document(PictureOfType(image::kColorType24Bit, width, height));
        form.Prepare(picture);
        return picture;
    }
    QStringList Boxes() const { return {form.Edit1->text(), form.Edit2->text()}; }
};

TEST_F(ResizeFormTest, CaptionsAndToolWindow)
{
    EXPECT_EQ(form.windowTitle(), QStringLiteral("KORVAN 縮小／拡大"));
    EXPECT_EQ(form.windowFlags() & Qt::WindowType_Mask, Qt::Tool);
    EXPECT_EQ(form.Label1->text(), QStringLiteral("横"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("縦"));
    EXPECT_EQ(form.Label3->text(), QStringLiteral("ﾋﾟｸｾﾙ"));
    EXPECT_EQ(form.Label4->text(), QStringLiteral("ﾋﾟｸｾﾙ"));
    EXPECT_EQ(form.RadioGroup->title(), QStringLiteral("縦横比率"));
    ASSERT_EQ(form.RadioGroup->Count(), 2);
    EXPECT_EQ(form.RadioGroup->Item(0)->text(), QStringLiteral("比率固定"));
    EXPECT_EQ(form.RadioGroup->Item(1)->text(), QStringLiteral("任意比率"));
    EXPECT_EQ(form.bOK->text(), QStringLiteral("OK"));
    EXPECT_EQ(form.bCancel->text(), QStringLiteral("キャンセル"));
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("Edit1")), form.Edit1);
    EXPECT_EQ(form.findChild<QLineEdit*>(QStringLiteral("Edit2")), form.Edit2);
    // Each box has its label on the left and its unit on the right.
    EXPECT_LT(form.Label1->geometry().right(), form.Edit1->geometry().left());
    EXPECT_GT(form.Label3->geometry().left(), form.Edit1->geometry().right());
    EXPECT_LT(form.Edit1->geometry().bottom(), form.Edit2->geometry().top());
}

TEST_F(ResizeFormTest, PrepareShowsThePictureSizeAndFixesTheRatio)
{
    Prepared(641, 480);
    EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("641"), QStringLiteral("480")}));
    EXPECT_EQ(form.RadioGroup->ItemIndex(), 0);
    EXPECT_EQ(form.OrgWidth, 641);
    EXPECT_EQ(form.OrgHeight, 480);
    EXPECT_EQ(form.RatioWH, 133);
    EXPECT_EQ(form.RatioHW, 74);
    EXPECT_FALSE(form.EchoPending);
}

TEST_F(ResizeFormTest, FixedRatioRewritesTheOtherBoxOnce)
{
    Prepared(641, 480);
    Run(form, [&] {
        TypeInto(form.Edit1, QStringLiteral("320"));
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("320"), QStringLiteral("236")}));
        EXPECT_FALSE(form.EchoPending);
        TypeInto(form.Edit2, QStringLiteral("240"));
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("319"), QStringLiteral("240")}));
        // Typing key by key couples after every key.
        form.Edit1->setFocus();
        form.Edit1->selectAll();
        QTest::keyClick(form.Edit1, Qt::Key_1);
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("1"), QStringLiteral("0")}));
        QTest::keyClick(form.Edit1, Qt::Key_0);
        QTest::keyClick(form.Edit1, Qt::Key_0);
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("100"), QStringLiteral("74")}));
    });
}

// The coupled value equals the box's text: the rewrite raises no change event, and nothing may
// stay pending to swallow the user's next edit.
TEST_F(ResizeFormTest, EchoOfAnUnchangedTextLeavesNothingPending)
{
    Prepared(1, 100); // RatioWH 1: heights below 100 all give a width of 0
    Run(form, [&] {
        TypeInto(form.Edit2, QStringLiteral("50")); // "5" gives 0, "50" gives 0 again
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("0"), QStringLiteral("50")}));
        EXPECT_FALSE(form.EchoPending);
        TypeInto(form.Edit1, QStringLiteral("3"));
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("3"), QStringLiteral("300")}));
    });
}

TEST_F(ResizeFormTest, AnyRatioLeavesTheBoxesIndependent)
{
    Prepared(641, 480);
    Run(form, [&] {
        Click(form.RadioGroup->Item(1));
        TypeInto(form.Edit1, QStringLiteral("100"));
        TypeInto(form.Edit2, QStringLiteral("30"));
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("100"), QStringLiteral("30")}));
        Click(form.RadioGroup->Item(0));
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("100"), QStringLiteral("30")}))
            << "selecting the fixed ratio rewrites nothing by itself";
        TypeInto(form.Edit1, QStringLiteral("200"));
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("200"), QStringLiteral("148")}));
    });
}

TEST_F(ResizeFormTest, OkScalesTheDocumentAndClearsTheResolution)
{
    FakeDocument& picture = Prepared(641, 480);
    const std::vector<std::uint8_t> before = picture.Bytes();
    const Outcome outcome = Run(form, [&] {
        TypeInto(form.Edit1, QStringLiteral("320"));
        Click(form.bOK);
    });
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(outcome.result, int(QDialog::Accepted));
    EXPECT_EQ(picture.PictureInfo().Width, 320);
    EXPECT_EQ(picture.PictureInfo().Height, 236);
    EXPECT_EQ(picture.PictureInfo().ColorType, image::kColorType24Bit);
    EXPECT_EQ(picture.viewSize, QSize(320, 236));
    EXPECT_EQ(picture.resolution, 0);
    EXPECT_EQ(picture.undoCopies, 1);
    EXPECT_EQ(picture.shows, 1);
    const auto undo = image::ImgKitLock(picture.undo);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), undo.begin(), undo.end()));
    ASSERT_FALSE(dialogs.progress.empty());
    EXPECT_EQ(dialogs.progress.back().title, QStringLiteral("KORVAN"));
    EXPECT_EQ(dialogs.progress.back().message, QStringLiteral("拡大縮小処理中"));
    EXPECT_EQ(form.TargetChild, nullptr);
}

// Sizes that are not a positive number: OK does nothing and the dialog stays open.
TEST_F(ResizeFormTest, NonPositiveOrNonNumericSizesAreRefusedSilently)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("0"), QStringLiteral("100")},
        {QStringLiteral("100"), QString()},
        {QStringLiteral("abc"), QStringLiteral("50")},
        {QStringLiteral("-5"), QStringLiteral("50")},
        {QStringLiteral("50"), QStringLiteral("-0")},
        {QStringLiteral("x12"), QStringLiteral("12")},
    };
    for (const auto& [width, height] : cases) {
        FakeDocument& picture = Prepared(64, 48);
        const std::vector<std::uint8_t> before = picture.Bytes();
        const Outcome outcome = Run(form, [&] {
            Click(form.RadioGroup->Item(1));
            TypeInto(form.Edit1, width);
            TypeInto(form.Edit2, height);
            Click(form.bOK);
            EXPECT_EQ(Boxes(), (QStringList{width, height}));
        });
        EXPECT_FALSE(outcome.closed) << width.toStdString() << " × " << height.toStdString();
        EXPECT_EQ(picture.Bytes(), before);
        EXPECT_EQ(picture.undoCopies, 0);
        EXPECT_EQ(picture.resolution, 2);
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_TRUE(dialogs.progress.empty());
    }
}

TEST_F(ResizeFormTest, LeadingIntegersAreRead)
{
    const std::pair<QString, QSize> cases[] = {
        {QStringLiteral("120abc"), QSize(120, 90)}, {QStringLiteral("  7"), QSize(7, 90)},
        {QStringLiteral("+8px"), QSize(8, 90)},     {QStringLiteral("0009"), QSize(9, 90)},
        {QStringLiteral("12 34"), QSize(12, 90)},
    };
    for (const auto& [text, size] : cases) {
        FakeDocument& picture = Prepared(64, 48);
        const Outcome outcome = Run(form, [&] {
            Click(form.RadioGroup->Item(1));
            TypeInto(form.Edit1, text);
            TypeInto(form.Edit2, QStringLiteral("90"));
            Click(form.bOK);
        });
        EXPECT_TRUE(outcome.closed) << text.toStdString();
        EXPECT_EQ(QSize(picture.PictureInfo().Width, picture.PictureInfo().Height), size)
            << text.toStdString();
    }
}

// Sizes the library cannot hold: a message says why, the picture stays, the typed values too.
TEST_F(ResizeFormTest, SizesBeyondTheLibrarysLimitsAreRefusedWithAMessage)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("20001"), QStringLiteral("10")},
        {QStringLiteral("10"), QStringLiteral("20001")},
        {QStringLiteral("10000"), QStringLiteral("10000")}, // 300 MB of pixels
        {QStringLiteral("2147483647"), QStringLiteral("1")},
        {QStringLiteral("99999999999999999999999"), QStringLiteral("1")},
    };
    for (const auto& [width, height] : cases) {
        FakeDocument& picture = Prepared(64, 48);
        const std::vector<std::uint8_t> before = picture.Bytes();
        dialogs.messages.clear();
        const Outcome outcome = Run(form, [&] {
            Click(form.RadioGroup->Item(1));
            TypeInto(form.Edit1, width);
            TypeInto(form.Edit2, height);
            Click(form.bOK);
            EXPECT_EQ(Boxes(), (QStringList{width, height}));
        });
        EXPECT_FALSE(outcome.closed) << width.toStdString() << " × " << height.toStdString();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("KORVAN"));
        EXPECT_EQ(dialogs.messages[0].text,
                  QStringLiteral("大きすぎるため拡大縮小できません。横・縦は20000ﾋﾟｸｾﾙまで、"
                                 "画像ﾃﾞｰﾀは256MBまでです"));
        EXPECT_EQ(dialogs.messages[0].buttons, platform::MessageButtons::Ok);
        EXPECT_EQ(picture.Bytes(), before);
        EXPECT_EQ(picture.undoCopies, 0);
        EXPECT_EQ(picture.resolution, 2);
    }
    // The largest side the library takes is accepted.
    FakeDocument& picture = Prepared(2, 2);
    dialogs.messages.clear();
    const Outcome outcome = Run(form, [&] {
        Click(form.RadioGroup->Item(1));
        TypeInto(form.Edit1, QStringLiteral("20000"));
        TypeInto(form.Edit2, QStringLiteral("1"));
        Click(form.bOK);
    });
    EXPECT_TRUE(outcome.closed);
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(picture.PictureInfo().Width, 20000);
}

// Coupling with numbers out of the ordinary: negative, huge, overlong; nothing overflows.
TEST_F(ResizeFormTest, CouplingOfUnusualNumbers)
{
    struct Case
    {
        QString typed;
        QString coupled;
    };
    const Case cases[] = {
        {QStringLiteral("-50"), QStringLiteral("-37")},
        {QStringLiteral("abc"), QStringLiteral("0")},
        {QStringLiteral("2147483647"), QStringLiteral("1589137898")},
        {QStringLiteral("123456789012345678901234567890"), QStringLiteral("1589137898")},
        {QStringLiteral("-99999999999"), QStringLiteral("-1589137899")},
    };
    Prepared(641, 480);
    Run(form, [&] {
        for (const Case& c : cases) {
            TypeInto(form.Edit1, c.typed);
            EXPECT_EQ(form.Edit1->text(), c.typed);
            EXPECT_EQ(form.Edit2->text(), c.coupled) << c.typed.toStdString();
        }
        // The other way: 2147483647 × 133 / 100 is beyond 32 bits and is kept at its end.
        TypeInto(form.Edit2, QStringLiteral("2147483647"));
        EXPECT_EQ(form.Edit1->text(), QStringLiteral("2147483647"));
    });
}

TEST_F(ResizeFormTest, CancelChangesNothing)
{
    FakeDocument& picture = Prepared(64, 48);
    const std::vector<std::uint8_t> before = picture.Bytes();
    const Outcome outcome = Run(form, [&] {
        TypeInto(form.Edit1, QStringLiteral("32"));
        Click(form.bCancel);
    });
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(outcome.result, int(QDialog::Rejected));
    EXPECT_EQ(picture.Bytes(), before);
    EXPECT_EQ(picture.undoCopies, 0);
    EXPECT_EQ(picture.resolution, 2);
    EXPECT_EQ(picture.shows, 0);
}

TEST_F(ResizeFormTest, CancelledScalingLeavesEverythingAsItWas)
{
    FakeDocument& picture = Prepared(400, 300);
    const std::vector<std::uint8_t> before = picture.Bytes();
    const std::size_t live = image::ImgKitLiveImageCount();
    dialogs.cancelProgressAfter = 2;
    const Outcome outcome = Run(form, [&] {
        TypeInto(form.Edit1, QStringLiteral("800"));
        Click(form.bOK);
        EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("800"), QStringLiteral("600")}));
    });
    EXPECT_FALSE(outcome.closed);
    ASSERT_FALSE(dialogs.progress.empty());
    EXPECT_TRUE(dialogs.progress.back().finished);
    EXPECT_EQ(picture.Bytes(), before);
    EXPECT_EQ(picture.undoCopies, 0);
    EXPECT_EQ(picture.resolution, 2);
    EXPECT_EQ(image::ImgKitLiveImageCount(), live);
}

TEST_F(ResizeFormTest, PrepareResetsEverythingForTheNextUse)
{
    Prepared(641, 480);
    Run(form, [&] {
        Click(form.RadioGroup->Item(1));
        TypeInto(form.Edit1, QStringLiteral("9"));
        Click(form.bCancel);
    });
    Prepared(100, 50);
    EXPECT_EQ(Boxes(), (QStringList{QStringLiteral("100"), QStringLiteral("50")}));
    EXPECT_EQ(form.RadioGroup->ItemIndex(), 0);
    EXPECT_EQ(form.RatioWH, 200);
    EXPECT_EQ(form.RatioHW, 50);
}

TEST_F(ResizeFormTest, OnePixelPicture)
{
    FakeDocument& picture = Prepared(1, 1);
    EXPECT_EQ(form.RatioWH, 100);
    EXPECT_EQ(form.RatioHW, 100);
    const Outcome outcome = Run(form, [&] {
        TypeInto(form.Edit1, QStringLiteral("5"));
        EXPECT_EQ(form.Edit2->text(), QStringLiteral("5"));
        Click(form.bOK);
    });
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(QSize(picture.PictureInfo().Width, picture.PictureInfo().Height), QSize(5, 5));
    // And back down to one pixel.
    form.Prepare(picture);
    Run(form, [&] {
        TypeInto(form.Edit1, QStringLiteral("1"));
        Click(form.bOK);
    });
    EXPECT_EQ(QSize(picture.PictureInfo().Width, picture.PictureInfo().Height), QSize(1, 1));
}

TEST(LeadingInteger, ReadsTheNumberATextStartsWith)
{
    const std::pair<const char16_t*, std::int32_t> cases[] = {
        {u"", 0},
        {u"0", 0},
        {u"641", 641},
        {u"120abc", 120},
        {u"  42", 42},
        {u"-17x", -17},
        {u"+3", 3},
        {u"- 3", 0},
        {u"abc", 0},
        {u"１２", 0}, // full-width digits are not decimal digits here
        {u"2147483647", 2147483647},
        {u"2147483648", 2147483647},
        {u"-2147483648", -2147483647 - 1},
        {u"-99999999999999999999", -2147483647 - 1},
        {u"000000000000000000000000012", 12},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(image::LeadingInteger(QString::fromUtf16(text)), value)
            << QString::fromUtf16(text).toStdString();
}

// ---- With the real seal document

class SealDocumentDialogTest : public DialogTest
{
protected:
    seal::TMDIChild& Open(int width, int height)
    {
        seal = std::make_unique<seal::TMDIChild>();
        seal->ImageHandle = PictureOfType(image::kColorType24Bit, width, height);
        image::ImgKitImageInfo(seal->ImageHandle, seal->ImageInfo);
        seal->LayOutPicture(QStringLiteral("/tmp/picture.bmp"));
        return *seal;
    }
};

TEST_F(SealDocumentDialogTest, ResizeFitsTheWindowClearsTheResolutionAndKeepsAnUndoCopy)
{
    seal::TMDIChild& document = Open(641, 480);
    document.BitmapResolution = 2;
    QSignalSpy undo(&document, &seal::TMDIChild::UndoChanged);
    image::TResizeForm form(&mainWindow);
    form.Prepare(document);
    const Outcome outcome = Run(form, [&] {
        TypeInto(form.Edit2, QStringLiteral("240"));
        Click(form.bOK);
    });
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(document.ImageInfo.Width, 319);
    EXPECT_EQ(document.ImageInfo.Height, 240);
    EXPECT_EQ(document.ViewWidth, 319);
    EXPECT_EQ(document.ViewHeight, 240);
    EXPECT_EQ(document.size(), QSize(319, 240)) << "the client area fits the picture";
    EXPECT_EQ(document.Image1()->size(), QSize(319, 240));
    EXPECT_EQ(document.BitmapResolution, 0);
    EXPECT_EQ(document.UndoAvailable, 1);
    EXPECT_GE(undo.count(), 1);
    image::ImageInfoRecord undoInfo;
    ASSERT_TRUE(image::ImgKitImageInfo(document.UndoImageHandle, undoInfo));
    EXPECT_EQ(undoInfo.Width, 641);
    // UNDO brings the picture back.
    document.RestoreUndoCopy();
    EXPECT_EQ(document.ImageInfo.Width, 641);
    EXPECT_EQ(document.UndoAvailable, 0);
}

TEST_F(SealDocumentDialogTest, ColourReductionKeepsViewSquareAndResolution)
{
    seal::TMDIChild& document = Open(300, 200);
    document.BitmapResolution = 2;
    const QRect square(10, 20, 150, 150);
    document.SetRectShape(square);
    image::TDitherForm form(&mainWindow);
    form.Prepare(document);
    const Outcome outcome = Run(form, [&] {
        Click(form.RadioGroup1->Item(1));
        Click(form.bOK);
    });
    EXPECT_TRUE(outcome.closed);
    EXPECT_EQ(document.ImageInfo.ColorType, image::kColorType4BitColor);
    EXPECT_EQ(document.ImageInfo.Width, 300);
    EXPECT_EQ(document.ViewWidth, 300);
    EXPECT_EQ(document.ViewHeight, 200);
    EXPECT_EQ(document.BitmapResolution, 2);
    EXPECT_EQ(document.RectShape(), square);
    EXPECT_EQ(document.UndoAvailable, 1);
    image::ImageInfoRecord undoInfo;
    ASSERT_TRUE(image::ImgKitImageInfo(document.UndoImageHandle, undoInfo));
    EXPECT_EQ(undoInfo.ColorType, image::kColorType24Bit);
}

} // namespace
