#include "seal/MdiChild.h"

#include "image/Dib.h"
#include "platform/AtomicFile.h"
#include "platform/SealFonts.h"
#include "platform/UserDialogs.h"
#include "seal/DateSealRenderer.h"
#include "seal/EditPanel.h"
#include "seal/NameSealRenderer.h"
#include "seal/PictureControl.h"
#include "seal/SealFile.h"

#include <QApplication>
#include <QFile>
#include <QMdiSubWindow>

namespace velmr::seal {
namespace {
EditPanel* g_editPanel = nullptr;
const QString kFileCaption = QStringLiteral("瑠環印影ＭＧＲ");
} // namespace

namespace {

// The text fields of the four records, each as the copy of that one field.
using FieldCopy = void (*)(SealRecords& to, const SealRecords& from);
constexpr FieldCopy kTextFields[] = {
    [](SealRecords& t, const SealRecords& f) { t.name.Text1 = f.name.Text1; },
    [](SealRecords& t, const SealRecords& f) { t.name.Text2 = f.name.Text2; },
    [](SealRecords& t, const SealRecords& f) { t.name.Text3 = f.name.Text3; },
    [](SealRecords& t, const SealRecords& f) { t.name.Text4 = f.name.Text4; },
    [](SealRecords& t, const SealRecords& f) { t.nameEx.ExText1 = f.nameEx.ExText1; },
    [](SealRecords& t, const SealRecords& f) { t.nameEx.ExText2 = f.nameEx.ExText2; },
    [](SealRecords& t, const SealRecords& f) { t.nameEx.ExText3 = f.nameEx.ExText3; },
    [](SealRecords& t, const SealRecords& f) { t.nameEx.ExText4 = f.nameEx.ExText4; },
    [](SealRecords& t, const SealRecords& f) { t.date.Text1 = f.date.Text1; },
    [](SealRecords& t, const SealRecords& f) { t.date.Text2 = f.date.Text2; },
    [](SealRecords& t, const SealRecords& f) { t.date.Header = f.date.Header; },
    [](SealRecords& t, const SealRecords& f) { t.dateEx.Text3 = f.dateEx.Text3; },
    [](SealRecords& t, const SealRecords& f) { t.dateEx.Text4 = f.dateEx.Text4; },
    [](SealRecords& t, const SealRecords& f) { t.dateEx.Text5 = f.dateEx.Text5; },
};

} // namespace

int SoleChangedTextField(const SealRecords& before, const SealRecords& after)
{
    if (before == after)
        return -1;
    for (std::size_t i = 0; i < std::size(kTextFields); ++i) {
        SealRecords probe = before;
        kTextFields[i](probe, after);
        if (probe == after)
            return static_cast<int>(i);
    }
    return -1;
}

// ---- RecordHistory

void RecordHistory::Reset(const SealRecords& current)
{
    undo_.clear();
    redo_.clear();
    last_ = current;
    mergeField_ = -1;
    groupStepTaken_ = false;
}

bool RecordHistory::Changed(const SealRecords& now)
{
    if (now == last_)
        return false;
    const int field = SoleChangedTextField(last_, now);
    bool newStep = true;
    if (groupDepth_ > 0) {
        newStep = !groupStepTaken_;
        groupStepTaken_ = true;
        mergeField_ = -1;
    } else {
        newStep = field < 0 || field != mergeField_ || undo_.empty();
        mergeField_ = field;
    }
    if (newStep) {
        undo_.push_back(last_);
        if (undo_.size() > kLevels)
            undo_.pop_front();
    } else if (groupDepth_ == 0 && now == undo_.back()) {
        // Typing that came back to where it began (the text box's own undo) leaves no step.
        undo_.pop_back();
        mergeField_ = -1;
    }
    redo_.clear();
    last_ = now;
    return true;
}

void RecordHistory::BeginGroup()
{
    if (groupDepth_++ == 0)
        groupStepTaken_ = false;
}

void RecordHistory::EndGroup()
{
    if (groupDepth_ == 0 || --groupDepth_ > 0)
        return;
    // A drag that ends where it began leaves no step.
    if (groupStepTaken_ && !undo_.empty() && undo_.back() == last_)
        undo_.pop_back();
    groupStepTaken_ = false;
}

std::optional<SealRecords> RecordHistory::Undo(const SealRecords& now)
{
    Changed(now); // a change the history was not told of is undone first
    if (undo_.empty())
        return std::nullopt;
    redo_.push_back(last_);
    last_ = undo_.back();
    undo_.pop_back();
    mergeField_ = -1;
    groupStepTaken_ = false;
    return last_;
}

std::optional<SealRecords> RecordHistory::Redo(const SealRecords& now)
{
    if (now != last_ || redo_.empty())
        return std::nullopt; // a change since the undo has dropped the steps to redo
    undo_.push_back(last_);
    last_ = redo_.back();
    redo_.pop_back();
    mergeField_ = -1;
    groupStepTaken_ = false;
    return last_;
}

bool IsDefaultCaption(const QString& caption)
{
    return caption == kNewNameSealCaption || caption == kNewDateSealCaption ||
           caption == kNewBitmapSealCaption;
}

TMDIChild::TMDIChild(QWidget* parent) : QWidget(parent), image1_(new PictureControl(this))
{
    setObjectName(QStringLiteral("MDIChild"));
    image1_->setObjectName(QStringLiteral("Image1"));
    image1_->move(0, 0);
    connect(image1_, &PictureControl::MouseDown, this, &TMDIChild::Image1MouseDown);
    connect(image1_, &PictureControl::MouseMove, this, &TMDIChild::Image1MouseMove);
    connect(image1_, &PictureControl::MouseUp, this, &TMDIChild::Image1MouseUp);
    // Typing merges into one undo step only while the focus stays where it is.
    if (auto* application = qobject_cast<QApplication*>(QCoreApplication::instance()))
        connect(application, &QApplication::focusChanged, this, [this] { history_.BreakMerge(); });
}

TMDIChild::~TMDIChild()
{
    image::ImgKitMemFree(ImageHandle);
    image::ImgKitMemFree(UndoImageHandle);
}

void TMDIChild::SetEditPanel(EditPanel* panel)
{
    g_editPanel = panel;
}

QString EscapedWindowTitle(const QString& caption)
{
    QString escaped = caption;
    escaped.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    return escaped;
}

void TMDIChild::SetCaption(const QString& caption)
{
    caption_ = caption;
    ShowModifiedMark();
}

void TMDIChild::ShowModifiedMark()
{
    const bool modified = IsModified();
    setWindowTitle(EscapedWindowTitle(caption_) + QStringLiteral("[*]"));
    setWindowModified(modified);
    // The frame follows this widget's title and mark, but while modified it turns every "[*]"
    // of its title into the mark, a literal one of the caption too; so it is given the title with
    // the mark already in place, and no placeholder of its own.
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        frame->setWindowTitle(EscapedWindowTitle(caption_) +
                              (modified ? QStringLiteral("*") : QString()));
        frame->setWindowModified(false);
    }
}

TMDIChild::SavedRecords TMDIChild::CurrentRecords() const
{
    return {NameStamp, NameStampEx, DateStamp, DateStampEx};
}

bool TMDIChild::IsModified() const
{
    return pictureEdited_ || CurrentRecords() != savedRecords_;
}

void TMDIChild::MarkUnchanged()
{
    savedRecords_ = CurrentRecords();
    pictureEdited_ = false;
    // What is typed after a save is a step of its own, so that undo can come back to the save.
    history_.BreakMerge();
    ShowModifiedMark();
}

void TMDIChild::RecordsEdited()
{
    if (history_.Changed(CurrentRecords()))
        Q_EMIT HistoryChanged();
    if (isWindowModified() != IsModified())
        ShowModifiedMark();
}

bool TMDIChild::CanUndo() const
{
    if (Kind == kBitmapSeal)
        return UndoAvailable != 0;
    return (Kind == kNameSeal || Kind == kDateSeal) && history_.CanUndo();
}

bool TMDIChild::CanRedo() const
{
    return (Kind == kNameSeal || Kind == kDateSeal) && history_.CanRedo();
}

void TMDIChild::Undo()
{
    if (Kind == kBitmapSeal) {
        RestoreUndoCopy();
        return;
    }
    if (Kind != kNameSeal && Kind != kDateSeal)
        return;
    if (const std::optional<SealRecords> records = history_.Undo(CurrentRecords()))
        TakeRecords(*records);
}

void TMDIChild::Redo()
{
    if (Kind != kNameSeal && Kind != kDateSeal)
        return;
    if (const std::optional<SealRecords> records = history_.Redo(CurrentRecords()))
        TakeRecords(*records);
}

void TMDIChild::TakeRecords(const SealRecords& records)
{
    NameStamp = records.name;
    NameStampEx = records.nameEx;
    DateStamp = records.date;
    DateStampEx = records.dateEx;
    if (g_editPanel)
        g_editPanel->ShowEditPanel(*this);
    Draw(); // the mark follows: back at the saved records the seal is unchanged again
    Q_EMIT HistoryChanged();
}

void TMDIChild::BeginEditGroup()
{
    history_.BeginGroup();
}

void TMDIChild::EndEditGroup()
{
    history_.EndGroup();
    Q_EMIT HistoryChanged();
}

void TMDIChild::PictureEdited()
{
    pictureEdited_ = true;
    RecordsEdited();
}

void TMDIChild::SetBitmapResolution(std::int32_t resolution)
{
    BitmapResolution = resolution;
    if (g_editPanel)
        g_editPanel->ShowEditPanel(*this);
}

void TMDIChild::InitNewNameSeal()
{
    SetCaption(kNewNameSealCaption);
    Kind = kNameSeal;
    NameStamp = NewNameStamp();
    NameStampEx = NewNameStampEx();
    BitmapResolution = 0;
    Refresh();
}

void TMDIChild::InitNewDateSeal()
{
    SetCaption(kNewDateSealCaption);
    Kind = kDateSeal;
    DateStamp = NewDateStamp();
    Refresh();
}

void TMDIChild::DuplicateFrom(const TMDIChild& source)
{
    Kind = source.Kind;
    NameStamp = source.NameStamp;
    DateStamp = source.DateStamp;
    NameStampEx = source.NameStampEx;
    DateStampEx = source.DateStampEx;
    if (Kind == kNameSeal)
        SetCaption(kNewNameSealCaption);
    else if (Kind == kDateSeal)
        SetCaption(kNewDateSealCaption);
    Refresh();
}

void TMDIChild::SetClientSize(int width, int height)
{
    image1_->SetPictureSize(QSize(width, height));
    setFixedSize(width, height);
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->adjustSize();
}

void TMDIChild::Refresh()
{
    int size = 0;
    if (Kind == kNameSeal)
        size = kNameSealSize;
    else if (Kind == kDateSeal)
        size = kDateSealSize;
    else
        return; // a bitmap seal is laid out when its picture arrives
    ViewWidth = ViewHeight = size;
    SetClientSize(size, size);
    PanelLoading = true;
    if (g_editPanel)
        g_editPanel->ShowEditPanel(*this);
    PanelLoading = false;
    history_.Reset(CurrentRecords());
    MarkUnchanged();
    Draw();
}

bool TMDIChild::OpenFile(const QString& path)
{
    const QString extension = FileExtension(path);
    const QString readError = QStringLiteral("ﾌｧｲﾙ読込時にｴﾗｰが発生しました");
    if (extension == QLatin1String(".mkn") || extension == QLatin1String(".mkd")) {
        const bool name = extension == QLatin1String(".mkn");
        QFile file(path);
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly))
            bytes = file.read(name ? kNameSealFileSize : kDateSealFileSize);
        if (file.error() != QFileDevice::NoError)
            bytes.clear();
        const auto nameFile = name ? ParseNameSealFile(bytes) : std::nullopt;
        const auto dateFile = name ? std::nullopt : ParseDateSealFile(bytes);
        if (!nameFile && !dateFile) {
            platform::ShowMessage(this, kFileCaption, readError);
            return false;
        }
        FileName = path;
        if (nameFile) {
            Kind = kNameSeal;
            NameStamp = nameFile->record;
            NameStampEx = nameFile->ex;
        } else {
            Kind = kDateSeal;
            DateStamp = dateFile->record;
            DateStampEx = dateFile->ex;
        }
        const int size = name ? kNameSealSize : kDateSealSize;
        ViewWidth = ViewHeight = size;
        SetClientSize(size, size);
        history_.Reset(CurrentRecords());
        MarkUnchanged();
        Draw();
        if (g_editPanel)
            g_editPanel->ShowEditPanel(*this);
        return true;
    }
    if (IsPictureExtension(extension)) {
        // ".jpeg" is offered by the open dialog, so it opens as the JPEG picture it is; PNG, TIFF
        // and WebP pictures open as phones and scanners write them, a PNG's alpha kept.
        ImageHandle = image::ImgKitFileLoad(path, kFileCaption, QStringLiteral("画像読込中"));
        if (ImageHandle == 0) {
            platform::ShowMessage(this, kFileCaption, readError);
            return false;
        }
        image::ImgKitImageInfo(ImageHandle, ImageInfo);
        WidenDeepPicture();
        LayOutPicture(path);
        return true;
    }
    platform::ShowMessage(this, kFileCaption, QStringLiteral("ｻﾎﾟｰﾄされていないﾌｧｲﾙの種類です"));
    return false;
}

bool TMDIChild::SaveFile(const QString& path)
{
    const QString extension = FileExtension(path);
    // ".jpeg" is a JPEG picture as ".jpg" is: the open dialog offers both.
    const bool jpeg = extension == QLatin1String(".jpg") || extension == QLatin1String(".jpeg");
    const SealKind required = extension == QLatin1String(".mkn")           ? kNameSeal
                              : extension == QLatin1String(".mkd")         ? kDateSeal
                              : extension == QLatin1String(".bmp") || jpeg ? kBitmapSeal
                                                                           : kNoKind;
    if (required == kNoKind || required != Kind) {
        platform::ShowMessage(this, kFileCaption, QStringLiteral("保存形式が違います"));
        return false;
    }
    bool saved = false;
    if (Kind == kNameSeal) {
        saved =
            platform::WriteFileAtomically(path, NameSealFileBytes(NameStamp, NameStampEx), nullptr);
    } else if (Kind == kDateSeal) {
        saved =
            platform::WriteFileAtomically(path, DateSealFileBytes(DateStamp, DateStampEx), nullptr);
    } else if (extension == QLatin1String(".bmp")) {
        saved = image::ImgKitBmpFileSave(path, ImageHandle, QString(), QString(), 0) != 0;
    } else if (ImageInfo.ColorType < image::kColorType8BitGrey) {
        platform::ShowMessage(this, kFileCaption,
                              QStringLiteral("JPEG保存は24ﾋﾞｯﾄｶﾗｰまたは8ﾋﾞｯﾄｸﾞﾚｰ画像のみ可能です"));
    } else {
        saved = image::ImgKitJpegFileSave(path, ImageHandle, QString(), QString(), 80, 0) != 0;
    }
    if (!saved) {
        platform::ShowMessage(this, kFileCaption, QStringLiteral("ﾌｧｲﾙ保存時にｴﾗｰが発生しました"));
        return false;
    }
    FileName = path;
    MarkUnchanged();
    return true;
}

void TMDIChild::FitViewToPicture()
{
    ViewWidth = ImageInfo.Width;
    ViewHeight = ImageInfo.Height;
    image1_->setFixedSize(ViewWidth, ViewHeight);
    setFixedSize(ViewWidth, ViewHeight);
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->adjustSize();
    ShowImage();
}

void TMDIChild::TakePicture(image::ImgKitImage result)
{
    if (result != ImageHandle) {
        image::ImgKitMemFree(ImageHandle);
        ImageHandle = result;
    }
    image::ImgKitImageInfo(ImageHandle, ImageInfo);
    PictureEdited();
    Q_EMIT CommandStateChanged();
}

void TMDIChild::RefreshPicture()
{
    image::ImgKitImageInfo(ImageHandle, ImageInfo);
    FitViewToPicture();
}

void TMDIChild::LayOutPicture(const QString& source)
{
    BitmapResolution = 0;
    FitViewToPicture();
    if (!source.isNull()) {
        FileName = source;
        Kind = kBitmapSeal;
        MarkUnchanged();
    }
    ResetCropRect();
    if (g_editPanel)
        g_editPanel->ShowEditPanel(*this);
}

void TMDIChild::ShowImage()
{
    ShowImageFor(image::ImgKitSystemPalette());
}

void TMDIChild::ShowImageFor(int screenColours)
{
    image::ImgKitImage work = image::ImgKitCopy(ImageHandle, QString(), QString());
    image::ImgKitImage shown = work;
    // A picture with alpha is shown laid over white, as 24 bits when the screen shows more.
    const int bits = ImageInfo.ColorType >= image::kColorType8BitColor && screenColours == 16 ? 4
                     : ImageInfo.ColorType >= image::kColorType24Bit && screenColours == 256  ? 8
                     : image::ImgKitHasAlpha(work)                                            ? 24
                                                                                              : 0;
    if (bits != 0 && work != 0) {
        shown = image::ImgKitConvertColor(work, bits, 0, 1, QString(), QString());
        if (shown == 0)
            shown = work; // shown as it is when it cannot be reduced
        else if (shown != work)
            image::ImgKitMemFree(work);
    }
    {
        image::TDib dib(shown);
        image1_->SetPicture(dib.DrawTo());
    }
    image::ImgKitMemFree(shown);
    update();
}

void TMDIChild::ResetCropRect()
{
    int side = 250;
    if (image1_->width() < side || image1_->height() < side)
        side = std::min(image1_->width(), image1_->height());
    SetRectShape(QRect((ImageInfo.Width - side) / 2, (ImageInfo.Height - side) / 2, side, side));
    rectShapeVisible_ = true;
    image1_->SetCropShape(rectShape_, true);
}

void TMDIChild::SetRectShape(const QRect& shape)
{
    rectShape_ = shape;
    image1_->SetCropShape(rectShape_, rectShapeVisible_);
    Q_EMIT CropRectChanged();
}

bool TMDIChild::PasteFromClipboard()
{
    ImageHandle = image::ImgKitGetFromClipBrd(this);
    if (ImageHandle == 0) {
        platform::ShowMessage(this, kFileCaption, QStringLiteral("画像取込時にｴﾗｰが発生しました"));
        return false;
    }
    image::ImgKitImageInfo(ImageHandle, ImageInfo);
    WidenDeepPicture();
    LayOutPicture(kNewBitmapSealCaption);
    return true;
}

void TMDIChild::WidenDeepPicture()
{
    if (ImageInfo.ColorType < image::kColorType32Bit || image::ImgKitHasAlpha(ImageHandle))
        return;
    const image::ImgKitImage converted =
        image::ImgKitConvertColor(ImageHandle, 24, 0, 1, QString(), QString());
    image::ReplacePicture(ImageHandle, converted, ImageInfo);
}

void TMDIChild::MakeUndoCopy()
{
    if (UndoAvailable != 0)
        image::ImgKitMemFree(UndoImageHandle);
    UndoImageHandle = image::ImgKitCopy(ImageHandle, QString(), QString());
    UndoAvailable = UndoImageHandle != 0 ? 1 : 0;
    Q_EMIT UndoChanged();
}

void TMDIChild::RestoreUndoCopy()
{
    if (UndoAvailable == 0)
        return;
    // The copy itself becomes the picture: the same as copying it and releasing it.
    image::ImgKitMemFree(ImageHandle);
    ImageHandle = UndoImageHandle;
    UndoImageHandle = 0;
    UndoAvailable = 0;
    image::ImgKitImageInfo(ImageHandle, ImageInfo);
    LayOutPicture(QString());
    PictureEdited();
    Q_EMIT UndoChanged();
    Q_EMIT CommandStateChanged();
}

void TMDIChild::Image1MouseDown(Qt::MouseButton button, QPoint screen)
{
    if (button == Qt::LeftButton && !MovingRect) {
        MouseOriginX = screen.x();
        MouseOriginY = screen.y();
        RectOriginLeft = rectShape_.left();
        RectOriginTop = rectShape_.top();
        MovingRect = true;
    } else if (button == Qt::RightButton && !SizingRect) {
        MouseOriginX = screen.x();
        MouseOriginY = screen.y();
        RectOriginLeft = rectShape_.left();
        RectOriginTop = rectShape_.top();
        SizingRect = true;
    }
}

void TMDIChild::Image1MouseMove(QPoint screen)
{
    const int clientWidth = width();
    const int clientHeight = height();
    QRect shape = rectShape_;
    if (MovingRect) {
        int left = RectOriginLeft + (screen.x() - MouseOriginX);
        int top = RectOriginTop + (screen.y() - MouseOriginY);
        if (left < 0)
            left = 0;
        if (left + shape.width() > clientWidth)
            left = clientWidth - shape.width();
        if (top < 0)
            top = 0;
        if (top + shape.height() > clientHeight)
            top = clientHeight - shape.height();
        shape.moveTo(left, top);
        SetRectShape(shape);
    } else if (SizingRect) {
        // Only horizontal movement sizes the square.
        int side = screen.x() + shape.width() - MouseOriginX;
        if (side > 450)
            side = 450;
        if (side < 100)
            side = 100;
        if (shape.left() + side > clientWidth)
            side = clientWidth - shape.left();
        if (shape.top() + side > clientHeight)
            side = clientHeight - shape.top();
        shape.setSize(QSize(side, side));
        MouseOriginX = screen.x();
        MouseOriginY = screen.y();
        SetRectShape(shape);
    }
}

void TMDIChild::Image1MouseUp(Qt::MouseButton)
{
    MovingRect = false;
    SizingRect = false;
}

void TMDIChild::Draw()
{
    if (PanelLoading)
        return;
    QImage& picture = image1_->Picture();
    if (Kind == kNameSeal)
        DrawNameSeal(picture, NameStamp, NameStampEx, platform::DisplayDpi());
    else if (Kind == kDateSeal)
        DrawDateSeal(picture, DateStamp, DateStampEx, platform::DisplayDpi());
    else if (Kind == kNoKind)
        picture.fill(Qt::white);
    else
        return;
    image1_->update();
    RecordsEdited();
    Q_EMIT Drawn();
}

} // namespace velmr::seal
