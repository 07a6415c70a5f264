#include "image/DitherForm.h"

#include "image/FormControls.h"
#include "image/ImgKit.h"
#include "image/PictureDocument.h"
#include "platform/RadioGroup.h"

#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

#include <algorithm>

namespace velmr::image {
namespace {
const QString kTitle = QStringLiteral("瑠環印影ＭＧＲ");
const QString kMessage = QStringLiteral("減色処理中");
constexpr int kBits[] = {8, 4, 1};
constexpr auto kSpacing = platform::RadioGroup::Spacing::Roomy;
} // namespace

TDitherForm::TDitherForm(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      mainWindow_(parent)
{
    setObjectName(QStringLiteral("DitherForm"));
    setWindowTitle(QStringLiteral("減色処理"));
    setFixedSize(266, 257);

    RadioGroup1 = new platform::RadioGroup(
        QStringLiteral("RadioGroup1"), QStringLiteral("減色後のﾊﾟﾚｯﾄ色数"),
        {QStringLiteral("２５６色"), QStringLiteral("１６色"), QStringLiteral("白黒２値")}, 1, this,
        kSpacing);
    RadioGroup1->setGeometry(8, 8, 121, 105);
    RadioGroup2 = new platform::RadioGroup(
        QStringLiteral("RadioGroup2"), QStringLiteral("減色方法"),
        {QStringLiteral("誤差拡散法"), QStringLiteral("近似色")}, 1, this, kSpacing);
    RadioGroup2->setGeometry(137, 8, 121, 105);
    RadioGroup3 = new platform::RadioGroup(
        QStringLiteral("RadioGroup3"), QStringLiteral("減色時のﾊﾟﾚｯﾄ"),
        {QStringLiteral("最適化ﾊﾟﾚｯﾄ"), QStringLiteral("固定(Windows標準色)")}, 1, this, kSpacing);
    RadioGroup3->setGeometry(8, 120, 250, 81);

    bOK = new QPushButton(QStringLiteral("OK"), this);
    bOK->setObjectName(QStringLiteral("bOK"));
    bOK->setGeometry(48, 216, 75, 25);
    bOK->setDefault(true);
    bCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    bCancel->setObjectName(QStringLiteral("bCancel"));
    bCancel->setGeometry(144, 216, 75, 25);

    connect(RadioGroup1, &platform::RadioGroup::Click, this, &TDitherForm::RadioGroup1Click);
    connect(bOK, &QPushButton::clicked, this, &TDitherForm::bOKClick);
    connect(bCancel, &QPushButton::clicked, this, &TDitherForm::bCancelClick);
}

void TDitherForm::Prepare(PictureDocument& document)
{
    TargetChild = &document;
    const std::int32_t colorType = document.PictureInfo().ColorType;
    if (colorType <= kColorType1Bit) {
        // Two colours: nothing to reduce, nothing to choose.
        RadioGroup1->setEnabled(false);
        RadioGroup2->setEnabled(false);
        RadioGroup3->setEnabled(false);
        return;
    }
    RadioGroup1->setEnabled(true);
    const bool deep = colorType >= kColorType24Bit;
    const bool palette = colorType >= kColorType8BitColor;
    RadioGroup1->Item(0)->setEnabled(deep);
    RadioGroup1->Item(1)->setEnabled(palette);
    RadioGroup1->Item(2)->setEnabled(true);
    if (!palette) {
        // Sixteen colours: black and white only; method and palette stay as they were, disabled.
        RadioGroup1->SetItemIndex(2);
        RadioGroup1Click();
        return;
    }
    RadioGroup1->SetItemIndex(deep ? 0 : 1);
    RadioGroup1Click();
    RadioGroup2->SetItemIndex(0);
    RadioGroup3->SetItemIndex(0);
}

void TDitherForm::RadioGroup1Click()
{
    const bool blackWhite = RadioGroup1->ItemIndex() == 2;
    RadioGroup2->setEnabled(!blackWhite);
    RadioGroup3->setEnabled(!blackWhite);
}

TDitherForm::Reduction TDitherForm::Chosen() const
{
    // A group is read as it shows, enabled or not; one without a selection counts as its first
    // item.
    const auto item = [](const platform::RadioGroup* group) {
        return std::max(group->ItemIndex(), 0);
    };
    Reduction reduction;
    const int colours = RadioGroup1->ItemIndex();
    reduction.bits = colours >= 0 ? kBits[colours] : 0;
    reduction.dither = item(RadioGroup2) == 0 ? 1 : 0;
    reduction.palette = item(RadioGroup3);
    return reduction;
}

void TDitherForm::bOKClick()
{
    // The conversion shows progress; nothing may start a second one while it runs.
    if (converting_)
        return;
    const QScopedValueRollback busy(converting_, true);
    PictureDocument* document = TargetChild;
    const Reduction reduction = Chosen();
    // A two-colour picture offers no choice: OK only closes.
    if (!document || !RadioGroup1->isEnabled() || reduction.bits == 0) {
        accept();
        return;
    }
    const ImgKitImage picture = document->PictureHandle();
    const ImgKitImage result = ImgKitConvertColor(picture, reduction.bits, reduction.palette,
                                                  reduction.dither, kTitle, kMessage);
    if (result == 0)
        return; // cancelled from the progress display or failed: nothing changed, still open
    if (result != picture) {
        // The undo copy is the picture as it still is, taken only when it is about to change.
        document->MakeUndoCopy();
        document->TakePicture(result);
    }
    document->ShowImage();
    accept();
}

void TDitherForm::bCancelClick()
{
    reject();
}

void TDitherForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOn(*this, mainWindow_);
}

void TDitherForm::done(int result)
{
    TargetChild = nullptr;
    QDialog::done(result);
}

} // namespace velmr::image
