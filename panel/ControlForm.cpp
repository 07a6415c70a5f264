#include "panel/ControlForm.h"

#include "panel/PanelControls.h"
#include "platform/Cp932.h"
#include "platform/UserDialogs.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QFrame>
#include <QPushButton>

#include <memory>

namespace velmr::panel {

TControlForm::TControlForm(QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("ControlForm"));
    setWindowTitle(QStringLiteral("印影編集"));
    // The panels keep their pixel sizes; the text is the desktop's 9-point Japanese face.
    QFont face(QStringLiteral("IPAPGothic"));
    face.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
    face.setPointSize(9);
    setFont(face);
    // Dense like a tool window: group titles sit on their frame, small indicators, slim buttons.
    setStyleSheet(QStringLiteral(
        "* { font-family: \"IPAPGothic\", \"IPAGothic\"; font-size: 9pt; }"
        // The title sits on the top border and the first row starts below it.
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em;"
        " padding-top: 0.6em; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 6px;"
        " padding: 0px 2px; }"
        "QRadioButton, QCheckBox { spacing: 2px; }"
        "QRadioButton::indicator, QCheckBox::indicator { width: 11px; height: 11px; }"
        "QPushButton, QToolButton { padding: 0px 1px; }"));

    const auto makePanel = [this](const char* name, int height) {
        auto* panel = new QFrame(this);
        panel->setObjectName(QString::fromLatin1(name));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Raised);
        panel->setGeometry(2, 2, kPanelWidth, height);
        panel->hide();
        return panel;
    };
    Panel1_ = makePanel("Panel1", kNamePanelHeight);
    Panel2_ = makePanel("Panel2", kDatePanelHeight);
    Panel3_ = makePanel("Panel3", kBitmapPanelHeight);
    BuildNamePanel();
    BuildDatePanel();
    BuildBitmapPanel();
    SetClientSize(kPanelWidth + 4, kNamePanelHeight + 4);

    // A slider dragged from press to release, or an arrow held down, changes the seal in one
    // undo step however often it moves on the way.
    const auto dragged = std::make_shared<QPointer<seal::TMDIChild>>();
    const auto release = [dragged] {
        if (seal::TMDIChild* document = dragged->data())
            document->EndEditGroup();
        *dragged = nullptr;
    };
    const auto press = [this, dragged, release] {
        release();
        if (seal::TMDIChild* document = Editing()) {
            *dragged = document;
            document->BeginEditGroup();
        }
    };
    for (QAbstractSlider* slider : findChildren<QAbstractSlider*>()) {
        connect(slider, &QAbstractSlider::sliderPressed, this, press);
        connect(slider, &QAbstractSlider::sliderReleased, this, release);
    }
    for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
        if (button->autoRepeat()) {
            connect(button, &QAbstractButton::pressed, this, press);
            connect(button, &QAbstractButton::released, this, release);
        }
    }
}

TControlForm::~TControlForm() = default;

seal::TMDIChild* TControlForm::Editing() const
{
    seal::TMDIChild* document = activeChild_.data();
    return document && !document->PanelLoading ? document : nullptr;
}

void TControlForm::SetActiveChild(seal::TMDIChild* document)
{
    if (document == activeChild_.data())
        return;
    disconnect(undoFollower_);
    disconnect(cropFollower_);
    activeChild_ = document;
    if (document) {
        undoFollower_ =
            connect(document, &seal::TMDIChild::UndoChanged, this, &TControlForm::FollowUndo);
        cropFollower_ = connect(document, &seal::TMDIChild::CropRectChanged, this,
                                &TControlForm::ShowPrintedSize);
    }
}

void TControlForm::SetPictureDialogs(PictureDialog reduceColours, PictureDialog resize)
{
    reduceColours_ = std::move(reduceColours);
    resize_ = std::move(resize);
}

const FontChoice& TControlForm::FontDialog(int number) const
{
    return fontDialogs_[number - 1];
}

void TControlForm::SetClientSize(int width, int height)
{
    setFixedSize(width, height);
}

void TControlForm::ShowOtherPanel(QFrame& panel)
{
    for (QFrame* seals : {Panel1_, Panel2_, Panel3_})
        seals->hide();
    if (otherPanel_ && otherPanel_ != &panel)
        otherPanel_->hide();
    otherPanel_ = &panel;
    if (panel.parentWidget() != this)
        panel.setParent(this);
    panel.move(2, 2);
    panel.show();
    SetClientSize(panel.width() + 4, panel.height() + 4);
}

void TControlForm::Collapse()
{
    if (otherPanel_)
        otherPanel_->hide();
    SetClientSize(Panel1_->width() + 4, 2);
}

void TControlForm::ShowEditPanel(seal::TMDIChild& document)
{
    // The document that is shown is the one the controls write to, whoever asked.
    SetActiveChild(&document);
    QFrame* shown = nullptr;
    switch (document.Kind) {
    case seal::kNameSeal:
        shown = Panel1_;
        break;
    case seal::kDateSeal:
        shown = Panel2_;
        break;
    case seal::kBitmapSeal:
        shown = Panel3_;
        break;
    default:
        break;
    }
    for (QFrame* panel : {Panel1_, Panel2_, Panel3_})
        panel->setVisible(panel == shown);
    if (otherPanel_)
        otherPanel_->hide();
    if (!shown) {
        SetClientSize(Panel1_->width() + 4, Panel1_->height() + 4);
        return;
    }
    shown->move(2, 2);
    SetClientSize(shown->width() + 4, shown->height() + 4);
    switch (document.Kind) {
    case seal::kNameSeal:
        LoadNamePanel(document);
        break;
    case seal::kDateSeal:
        LoadDatePanel(document);
        break;
    default:
        LoadBitmapPanel(document);
        btUndo->setEnabled(document.UndoAvailable != 0);
        break;
    }
}

bool TControlForm::Store(const std::function<void(seal::TMDIChild&)>& write)
{
    seal::TMDIChild* document = Editing();
    if (!document)
        return false;
    write(*document);
    document->Draw();
    return true;
}

void TControlForm::StoreItem(const RadioGroup* group, std::span<const std::int32_t> values,
                             const Int32Field& field)
{
    const int item = group->ItemIndex();
    if (item < 0 || item >= static_cast<int>(values.size()))
        return;
    Store([&](seal::TMDIChild& document) { field(document) = values[std::size_t(item)]; });
}

void TControlForm::StoreColourItem(const RadioGroup* group, const Int32Field& field)
{
    Store([&](seal::TMDIChild& document) {
        const int item = group->ItemIndex();
        if (item >= 0 && item < kOtherColourItem)
            field(document) = kStampColors[std::size_t(item)];
    });
}

void TControlForm::ChooseColour(RadioGroup* group, std::int32_t& dialogColour,
                                const Int32Field& field)
{
    seal::TMDIChild* document = Editing();
    if (!document)
        return;
    dialogColour = field(*document);
    const std::optional<QColor> chosen =
        platform::Dialogs().AskColor(window(), ColorOfRef(dialogColour));
    if (!chosen)
        return;
    group->SetItemIndex(kOtherColourItem); // draws once more with the old colour
    dialogColour = RefOfColor(*chosen);
    Store([&](seal::TMDIChild& d) { field(d) = dialogColour; });
}

void TControlForm::ConfirmFont(int dialog,
                               const std::function<FontFields(seal::TMDIChild&)>& fields)
{
    FontChoice& kept = fontDialogs_[dialog];
    const std::optional<platform::FontDialogChoice> chosen =
        platform::Dialogs().AskFont(window(), DialogFontOf(kept));
    if (!chosen)
        return;
    kept = FontChoiceOf(*chosen, kept);
    seal::TMDIChild* document = activeChild_.data();
    if (!document)
        return;
    const FontFields target = fields(*document);
    const FontChoice before{target.face.ToUnicode(), target.size, target.style};
    StoreFont(kept, target.face, target.size, target.style);
    ShowPointSizes();
    if (kept != before)
        document->Draw();
}

void TControlForm::StepFont(int dialog, int points, const Int32Field& size)
{
    Store([&](seal::TMDIChild& document) {
        fontDialogs_[dialog].size = SteppedFontSize(fontDialogs_[dialog].size, points);
        size(document) = fontDialogs_[dialog].size;
    });
    ShowPointSizes();
}

} // namespace velmr::panel
