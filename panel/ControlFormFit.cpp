// "枠に合わせる" and the point sizes beside the size buttons: the sizes a seal's texts can have
// inside its frame, written like the size buttons write them.
#include "panel/ControlForm.h"
#include "panel/PanelControls.h"
#include "panel/PanelLayout.h"
#include "platform/SealFonts.h"
#include "platform/UserDialogs.h"
#include "seal/FitToFrame.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace velmr::panel {

void TControlForm::ShowPointSizes()
{
    for (int dialog = 0; dialog < int(std::size(pointSizes_)); ++dialog) {
        if (pointSizes_[dialog])
            pointSizes_[dialog]->setText(layout::PointSizeText(fontDialogs_[dialog].size));
    }
}

bool TControlForm::FitSucceeded(seal::FitOutcome outcome)
{
    switch (outcome) {
    case seal::FitOutcome::NothingToFit:
        return false;
    case seal::FitOutcome::CannotFit:
        platform::ShowMessage(window(), QStringLiteral("枠に合わせる"),
                              QStringLiteral("文字が多すぎるため、1ポイントでも枠に収まりません。\n"
                                             "文字を減らすか、文字間隔や位置を調整してください。"));
        return false;
    case seal::FitOutcome::Fitted:
        break;
    }
    return true;
}

void TControlForm::NameFitClick()
{
    seal::TMDIChild* document = Editing();
    if (!document)
        return;
    seal::NameStampRecord name = document->NameStamp;
    seal::NameStampExRecord ex = document->NameStampEx;
    if (!FitSucceeded(seal::FitNameSeal(name, ex, platform::DisplayDpi())))
        return;
    // The sliders follow the centring without writing: the records change below, at once.
    document->PanelLoading = true;
    tbX->setValue(name.OffsetX);
    tbY->setValue(name.OffsetY);
    TrackBar10->setValue(ex.ExOffsetX);
    TrackBar11->setValue(ex.ExOffsetY);
    document->PanelLoading = false;
    fontDialogs_[0].size = name.FontSize;
    fontDialogs_[4].size = ex.ExFontSize;
    Store([&](seal::TMDIChild& d) {
        d.NameStamp.FontSize = name.FontSize;
        d.NameStamp.OffsetX = name.OffsetX;
        d.NameStamp.OffsetY = name.OffsetY;
        d.NameStampEx.ExFontSize = ex.ExFontSize;
        d.NameStampEx.ExOffsetX = ex.ExOffsetX;
        d.NameStampEx.ExOffsetY = ex.ExOffsetY;
    });
    ShowPointSizes();
}

void TControlForm::DateFitClick()
{
    seal::TMDIChild* document = Editing();
    if (!document)
        return;
    seal::DateStampRecord date = document->DateStamp;
    seal::DateStampExRecord ex = document->DateStampEx;
    if (!FitSucceeded(seal::FitDateSeal(date, ex, platform::DisplayDpi())))
        return;
    // The dialogs' fonts are numbered as the panel's: upper text, date band, lower text.
    fontDialogs_[1].size = date.FontSizeU;
    fontDialogs_[2].size = date.FontSizeM;
    fontDialogs_[3].size = date.FontSizeL;
    Store([&](seal::TMDIChild& d) {
        d.DateStamp.FontSizeU = date.FontSizeU;
        d.DateStamp.FontSizeM = date.FontSizeM;
        d.DateStamp.FontSizeL = date.FontSizeL;
    });
    ShowPointSizes();
}

} // namespace velmr::panel
