#include "image/ResizeForm.h"

#include "image/FormControls.h"
#include "image/ImgKit.h"
#include "image/PackedDib.h"
#include "image/PictureDocument.h"
#include "platform/RadioGroup.h"
#include "platform/UserDialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSignalBlocker>

#include <algorithm>
#include <limits>

namespace velmr::image {
namespace {
const QString kTitle = QStringLiteral("KORVAN");
const QString kMessage = QStringLiteral("拡大縮小処理中");
const QString kTooLarge = QStringLiteral(
    "大きすぎるため拡大縮小できません。横・縦は20000ﾋﾟｸｾﾙまで、画像ﾃﾞｰﾀは256MBまでです");

QLabel* NewLabel(const QString& name, const QString& text, int x, int y, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// n × ratio / 100, truncated toward zero, kept within 32 bits.
std::int32_t Scaled(std::int32_t n, std::int32_t ratio)
{
    const std::int64_t value = std::int64_t(n) * ratio / 100;
    return std::int32_t(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}
} // namespace

TResizeForm::TResizeForm(QWidget* parent)
    : QDialog(parent,
              Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      mainWindow_(parent)
{
    setObjectName(QStringLiteral("ResizeForm"));
    setWindowTitle(QStringLiteral("KORVAN 縮小／拡大"));
    setFixedSize(233, 165);

    Label1 = NewLabel(QStringLiteral("Label1"), QStringLiteral("横"), 24, 19, this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(48, 16, 89, 21);
    Label3 = NewLabel(QStringLiteral("Label3"), QStringLiteral("ﾋﾟｸｾﾙ"), 144, 19, this);
    Label2 = NewLabel(QStringLiteral("Label2"), QStringLiteral("縦"), 24, 47, this);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(48, 44, 89, 21);
    Label4 = NewLabel(QStringLiteral("Label4"), QStringLiteral("ﾋﾟｸｾﾙ"), 144, 47, this);

    RadioGroup = new platform::RadioGroup(QStringLiteral("RadioGroup"), QStringLiteral("縦横比率"),
                                          {QStringLiteral("比率固定"), QStringLiteral("任意比率")},
                                          2, this, platform::RadioGroup::Spacing::Roomy);
    RadioGroup->setGeometry(8, 74, 217, 45);
    RadioGroup->SetItemIndex(0);

    bOK = new QPushButton(QStringLiteral("OK"), this);
    bOK->setObjectName(QStringLiteral("bOK"));
    bOK->setGeometry(32, 130, 75, 25);
    bOK->setDefault(true);
    bCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    bCancel->setObjectName(QStringLiteral("bCancel"));
    bCancel->setGeometry(126, 130, 75, 25);

    connect(Edit1, &QLineEdit::textChanged, this, &TResizeForm::Edit1Change);
    connect(Edit2, &QLineEdit::textChanged, this, &TResizeForm::Edit2Change);
    connect(bOK, &QPushButton::clicked, this, &TResizeForm::bOKClick);
    connect(bCancel, &QPushButton::clicked, this, &TResizeForm::bCancelClick);
}

void TResizeForm::Prepare(PictureDocument& document)
{
    TargetChild = &document;
    OrgWidth = document.PictureInfo().Width;
    OrgHeight = document.PictureInfo().Height;
    RatioWH = OrgHeight > 0 ? std::int32_t(std::int64_t(OrgWidth) * 100 / OrgHeight) : 0;
    RatioHW = OrgWidth > 0 ? std::int32_t(std::int64_t(OrgHeight) * 100 / OrgWidth) : 0;
    {
        // The boxes show exactly the picture's size.
        const QSignalBlocker width(Edit1);
        const QSignalBlocker height(Edit2);
        Edit1->setText(QString::number(OrgWidth));
        Edit2->setText(QString::number(OrgHeight));
    }
    RadioGroup->SetItemIndex(0);
    EchoPending = false;
}

void TResizeForm::Echo(QLineEdit* box, std::int32_t from, std::int32_t ratio)
{
    EchoPending = true;
    box->setText(QString::number(Scaled(from, ratio)));
    // Writing the text it already had raises no change event; nothing is pending then.
    EchoPending = false;
}

void TResizeForm::Coupled(QLineEdit* changed)
{
    if (EchoPending) {
        EchoPending = false;
        return;
    }
    if (RadioGroup->ItemIndex() == 1)
        return;
    const std::int32_t n = LeadingInteger(changed->text());
    if (changed == Edit1)
        Echo(Edit2, n, RatioHW);
    else
        Echo(Edit1, n, RatioWH);
}

void TResizeForm::Edit1Change()
{
    Coupled(Edit1);
}

void TResizeForm::Edit2Change()
{
    Coupled(Edit2);
}

void TResizeForm::bOKClick()
{
    // The scaling shows progress; nothing may start a second one while it runs.
    if (scaling_)
        return;
    const QScopedValueRollback busy(scaling_, true);
    const std::int32_t width = LeadingInteger(Edit1->text());
    const std::int32_t height = LeadingInteger(Edit2->text());
    if (width < 1 || height < 1)
        return; // refused silently: the dialog stays open
    PictureDocument* document = TargetChild;
    if (!document) {
        accept();
        return;
    }
    if (width > kMaxSide || height > kMaxSide ||
        RowBytesFor(width, 24) * std::uint64_t(height) > kMaxPixelBytes) {
        // The library holds no picture that large: say so, keep the typed values.
        platform::ShowMessage(this, kTitle, kTooLarge);
        return;
    }
    const ImgKitImage picture = document->PictureHandle();
    const ImgKitImage result = ImgKitImageSize(picture, kTitle, kMessage, width, height);
    if (result == 0)
        return; // cancelled from the progress display or failed: nothing changed, still open
    if (result != picture) {
        // The undo copy is the picture as it still is, taken only when it is about to change.
        document->MakeUndoCopy();
        document->TakePicture(result);
    }
    document->SetBitmapResolution(0);
    document->FitViewToPicture(); // shows the picture, too
    accept();
}

void TResizeForm::bCancelClick()
{
    reject();
}

void TResizeForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    CentreOn(*this, mainWindow_);
}

void TResizeForm::done(int result)
{
    TargetChild = nullptr;
    QDialog::done(result);
}

} // namespace velmr::image
