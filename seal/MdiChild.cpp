#include "seal/MdiChild.h"

#include "platform/SealFonts.h"
#include "seal/DateSealRenderer.h"
#include "seal/EditPanel.h"
#include "seal/NameSealRenderer.h"
#include "seal/PictureControl.h"

#include <QMdiSubWindow>

namespace velmr::seal {
namespace {
EditPanel* g_editPanel = nullptr;
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

EditPanel* TMDIChild::Panel()
{
    return g_editPanel;
}

QString TMDIChild::Caption() const
{
    return windowTitle();
}

void TMDIChild::SetCaption(const QString& caption)
{
    setWindowTitle(caption);
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget()))
        frame->setWindowTitle(caption);
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
    Draw();
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
    Q_EMIT Drawn();
}

} // namespace velmr::seal
