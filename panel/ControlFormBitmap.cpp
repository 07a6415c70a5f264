// The bitmap seal panel: the print resolution, the crop square's size, the cut, the colour
// reduction and resize dialogs, the seal taken out of a scan or a photo, and one level of undo.
#include "image/ImgKit.h"
#include "image/SealExtract.h"
#include "panel/ControlForm.h"
#include "panel/PanelControls.h"
#include "panel/PanelLayout.h"
#include "platform/RadioGroup.h"
#include "platform/UserDialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace velmr::panel {

using namespace layout;

namespace {

constexpr int kSmallestCropSide = 100;
constexpr int kLargestCropSide = 450;
constexpr int kCropStep = 4;

// The inks "印影抽出" offers, in the order of RadioGroupInk's items.
constexpr image::InkChoice kInks[] = {image::InkChoice::Measured, image::InkChoice::Vermilion,
                                      image::InkChoice::Red, image::InkChoice::Black,
                                      image::InkChoice::Blue};

// The picture as the window shows it: one with alpha laid over white.
QImage PictureOnWhite(image::ImgKitImage picture)
{
    QImage shown = image::ImgKitToQImage(picture);
    if (shown.isNull() || !shown.hasAlphaChannel())
        return shown;
    QImage paper(shown.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter painter(&paper);
    painter.drawImage(0, 0, shown);
    return paper;
}

} // namespace

void TControlForm::BuildBitmapPanel()
{
    QVBoxLayout* column = Column(Panel3_, QStringLiteral("ビットマップ印の編集"));
    RadioGroup9 = new RadioGroup(
        QStringLiteral("RadioGroup9"), QStringLiteral("印刷解像度"),
        {QStringLiteral("260ﾋﾟｸｾﾙ/cm ( =認印 )"), QStringLiteral("153ﾋﾟｸｾﾙ/cm ( =日付印 )")}, 1,
        Panel3_);
    column->addWidget(RadioGroup9);
    Label(Row(column), QStringLiteral("解像度は毎回設定が必要"));

    auto* areaRow = Row(column);
    Button11 = Button(areaRow, QStringLiteral("Button11"), QStringLiteral("範囲拡大"));
    Button12 = Button(areaRow, QStringLiteral("Button12"), QStringLiteral("範囲縮小"));
    auto* printedRow = Row(column);
    Label(printedRow, QStringLiteral("印刷時の大きさ"));
    StaticText1 = Label(printedRow, QString());
    StaticText1->setObjectName(QStringLiteral("StaticText1"));
    StaticText1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    StaticText1->setMinimumWidth(
        StaticText1->fontMetrics().horizontalAdvance(QStringLiteral("888.88")) + 4);
    Label(printedRow, QStringLiteral("mm"));
    printedRow->addStretch();

    auto* cutRow = Row(column);
    Button15 = Button(cutRow, QStringLiteral("Button15"), QStringLiteral("切り取り"));
    Button16 = Button(cutRow, QStringLiteral("Button16"), QStringLiteral("減色処理"));
    auto* sizeRow = Row(column);
    Button13 = Button(sizeRow, QStringLiteral("Button13"), QStringLiteral("拡大・縮小"));
    btUndo = Button(sizeRow, QStringLiteral("btUndo"), QStringLiteral("UNDO"));
    btUndo->setEnabled(false);

    RadioGroupInk =
        new RadioGroup(QStringLiteral("RadioGroupInk"), QStringLiteral("抽出する印の色"),
                       {QStringLiteral("測定色"), QStringLiteral("朱色"), QStringLiteral("赤"),
                        QStringLiteral("黒"), QStringLiteral("青")},
                       3, Panel3_);
    RadioGroupInk->SetItemIndex(0);
    column->addWidget(RadioGroupInk);
    btExtract = Button(Row(column), QStringLiteral("btExtract"), QStringLiteral("印影抽出"));
    column->addStretch();

    connect(RadioGroup9, &RadioGroup::Click, this, &TControlForm::RadioGroup9Click);
    connect(Button11, &QPushButton::clicked, this, [this] { CropSideStep(kCropStep); });
    connect(Button12, &QPushButton::clicked, this, [this] { CropSideStep(-kCropStep); });
    connect(Button15, &QPushButton::clicked, this, &TControlForm::CutToRect);
    connect(Button16, &QPushButton::clicked, this, &TControlForm::Button16Click);
    connect(Button13, &QPushButton::clicked, this, &TControlForm::Button13Click);
    connect(btUndo, &QPushButton::clicked, this, &TControlForm::btUndoClick);
    connect(btExtract, &QPushButton::clicked, this, &TControlForm::btExtractClick);
}

void TControlForm::LoadBitmapPanel(seal::TMDIChild& document)
{
    document.PanelLoading = true;
    RadioGroup9->SetItemIndex(std::clamp(document.BitmapResolution, 0, 1));
    ShowPrintedSize();
    document.PanelLoading = false;
}

void TControlForm::ShowPrintedSize()
{
    const seal::TMDIChild* document = activeChild_.data();
    if (!document)
        return;
    const int pixelsPerCentimetre = RadioGroup9->ItemIndex() == 1 ? 153 : 260;
    StaticText1->setText(PrintedSizeText(document->RectShape().width(), pixelsPerCentimetre));
}

void TControlForm::RadioGroup9Click()
{
    if (seal::TMDIChild* document = Editing()) {
        document->BitmapResolution = RadioGroup9->ItemIndex();
        ShowPrintedSize();
    }
}

void TControlForm::CropSideStep(int pixels)
{
    seal::TMDIChild* document = Editing();
    if (!document)
        return;
    const QRect shape = document->RectShape();
    const int side = std::clamp(shape.width() + pixels, kSmallestCropSide, kLargestCropSide);
    document->SetRectShape(QRect(shape.left(), shape.top(), side, side));
    ShowPrintedSize();
}

void TControlForm::CutToRect()
{
    seal::TMDIChild* document = Editing();
    if (!document || document->ImageHandle == 0)
        return;
    document->MakeUndoCopy();
    // The document keeps its picture until the cut is there: a failed copy or cut changes nothing.
    const image::ImgKitImage work = image::ImgKitCopy(document->ImageHandle, QString(), QString());
    if (work == 0)
        return;
    // The square may reach beyond the picture; the cut takes the part inside it.
    const QRect shape = document->RectShape();
    const image::ImgKitImage cut =
        image::ImgKitRectCut(work, QString(), QString(), shape.left(), shape.top(),
                             shape.left() + shape.width() - 1, shape.top() + shape.height() - 1);
    if (cut != work)
        image::ImgKitMemFree(work);
    if (cut == 0)
        return;
    document->TakePicture(cut);
    document->RefreshPicture();
    document->ResetCropRect();
    ShowPrintedSize();
}

void TControlForm::Button16Click()
{
    seal::TMDIChild* document = Editing();
    if (!document || !reduceColours_)
        return;
    reduceColours_(*document);
    Q_EMIT document->CommandStateChanged();
}

void TControlForm::Button13Click()
{
    seal::TMDIChild* document = Editing();
    if (!document || !resize_)
        return;
    resize_(*document);
    // Whichever button closed the dialog, the picture is shown as it is now, with a new square.
    document->RefreshPicture();
    document->ResetCropRect();
    ShowPrintedSize();
    Q_EMIT document->CommandStateChanged();
}

void TControlForm::btExtractClick()
{
    seal::TMDIChild* document = Editing();
    if (!document || document->ImageHandle == 0)
        return;
    const int item = std::clamp(RadioGroupInk->ItemIndex(), 0, int(std::size(kInks)) - 1);
    const QString caption = QStringLiteral("瑠環印影ＭＧＲ");
    image::Extraction extraction;
    {
        // A photo takes a moment: clicks and keys that arrive meanwhile are dropped, not run on
        // the picture afterwards.
        const auto progress =
            platform::Dialogs().BeginProgress(this, caption, QStringLiteral("印影抽出中"), false);
        progress->Advance(0.0);
        extraction = image::ExtractSeal(PictureOnWhite(document->ImageHandle), kInks[item]);
        progress->Advance(1.0);
    }
    const image::ImgKitImage seal =
        extraction.result ? image::ImgKitFromQImageWithAlpha(extraction.result->seal) : 0;
    if (seal == 0) {
        platform::ShowMessage(this, caption,
                              extraction.result || extraction.error.isEmpty()
                                  ? QStringLiteral("印影を抽出できませんでした")
                                  : extraction.error);
        return;
    }
    document->MakeUndoCopy();
    document->TakePicture(seal);
    document->RefreshPicture();
    document->ResetCropRect();
    ShowPrintedSize();
}

void TControlForm::btUndoClick()
{
    if (seal::TMDIChild* document = Editing())
        document->RestoreUndoCopy();
}

void TControlForm::FollowUndo()
{
    if (const seal::TMDIChild* document = activeChild_.data())
        btUndo->setEnabled(document->UndoAvailable != 0);
}

} // namespace velmr::panel
