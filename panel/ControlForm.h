#pragma once

#include "panel/PanelLogic.h"
#include "seal/EditPanel.h"
#include "seal/MdiChild.h"

#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QSlider;
class QToolButton;

namespace velmr::platform {
class RadioGroup;
}
namespace velmr::seal {
enum class FitOutcome;
}

namespace velmr::panel {

using platform::RadioGroup;
class SjisEdit;
class UpDown;

inline constexpr int kPanelWidth = 169;
inline constexpr int kNamePanelHeight = 556;
inline constexpr int kDatePanelHeight = 645;
inline constexpr int kBitmapPanelHeight = 270;

// The seal editing panel "印影編集": a tool window that stays on top beside the main window and
// edits the active seal document, one panel per seal kind. Every control writes its field of
// the document's records and draws the seal again at once; while the panel is being filled from
// a document (the document's PanelLoading) the controls write nothing.
class TControlForm final : public QWidget, public seal::EditPanel
{
    Q_OBJECT
public:
    explicit TControlForm(QWidget* parent = nullptr);
    ~TControlForm() override;

    // The document the panel edits; follows the active document.
    seal::TMDIChild* ActiveChild() const { return activeChild_; }
    void SetActiveChild(seal::TMDIChild* document);

    // Shows the panel of the document's kind, sizes the window around it and fills it.
    void ShowEditPanel(seal::TMDIChild& document) override;

    // Shows `panel`, a panel for a document of another kind (a PDF document's stamping panel),
    // instead of the seal panels, and sizes the window around it; the panel becomes a child of
    // this window.
    void ShowOtherPanel(QFrame& panel);

    // Only the caption bar shows: the state while no document is open.
    void Collapse();

    // The window's client area.
    void SetClientSize(int width, int height);

    // The colour reduction and resize dialogs, each prepared for a document and run modally.
    using PictureDialog = std::function<void(seal::TMDIChild&)>;
    void SetPictureDialogs(PictureDialog reduceColours, PictureDialog resize);

    QFrame* Panel1() const { return Panel1_; }
    QFrame* Panel2() const { return Panel2_; }
    QFrame* Panel3() const { return Panel3_; }

    // The fonts and colours the dialogs keep between uses.
    const FontChoice& FontDialog(int number) const;
    std::int32_t ColorDialog1() const { return colorDialog1_; }
    std::int32_t ColorDialog2() const { return colorDialog2_; }

Q_SIGNALS:
    // A short sentence for the status bar: an input that was refused.
    void StatusMessage(const QString& text);

private:
    // The document to write to: the active one, unless it is being loaded.
    seal::TMDIChild* Editing() const;

    void BuildNamePanel();
    void BuildDatePanel();
    void BuildBitmapPanel();

    void LoadNamePanel(seal::TMDIChild& document);
    void LoadDatePanel(seal::TMDIChild& document);
    void LoadBitmapPanel(seal::TMDIChild& document);

    // ---- Name seals.
    void ShowSealSize();
    void StoreNameText(SjisEdit* edit);
    void Button1Click();
    void NameFontStep(int points);
    void TrackBar1Change();
    void tbXChange();
    void tbYChange();
    void RadioGroup1Click();
    void NameSizePresetClick(int position);
    void UpDown2Click();
    void RadioGroup11Click();
    void RadioGroup3Click();
    void sbColorNClick();
    void RadioGroup4Click();
    void CheckBox1Click();
    void Button14Click();
    void ExFontStep(int points);
    void TrackBar9Change();
    void TrackBar10Change();
    void TrackBar11Change();

    // ---- Date seals.
    void ShowDateSealSize();
    void StoreDateText(SjisEdit* edit);
    void DateFontClick(int dialog);
    void DateFontStep(int dialog, int points);
    void TrackBar2Change();
    void TrackBar3Change();
    void TrackBar4Change();
    void TrackBar8Change();
    void RadioGroup5Click();
    void CheckBoxNZClick();
    void DateSizePresetClick(int position);
    void UpDown1Click();
    void RadioGroup8Click();
    void sbColorDClick();
    void RadioGroup6Click();
    void RadioGroup10Click();

    // ---- Bitmap seals.
    void ShowPrintedSize();
    void RadioGroup9Click();
    void CropSideStep(int pixels);
    void CutToRect();
    void Button16Click();
    void Button13Click();
    void btUndoClick();
    void FollowUndo();
    // "印影抽出": the seal taken out of the picture (a scan or a photo of a stamped seal) in the
    // ink chosen in RadioGroupInk, with the undo copy; a picture without a seal is told and kept.
    void btExtractClick();

    // ---- Writing the records. Each writer does nothing while the document is being loaded.

    // One field of a document's records.
    using Int32Field = std::function<std::int32_t&(seal::TMDIChild&)>;
    struct FontFields
    {
        seal::Text40& face;
        std::int32_t& size;
        std::uint8_t& style;
    };

    // Lets `write` change the document's records, then draws the seal; false while loading.
    bool Store(const std::function<void(seal::TMDIChild&)>& write);
    // The value of the selected item of a choice (none selected: nothing is written).
    void StoreItem(const RadioGroup* group, std::span<const std::int32_t> values,
                   const Int32Field& field);
    // "赤", "黒", "青" store their colour; "他" keeps the colour and draws again.
    void StoreColourItem(const RadioGroup* group, const Int32Field& field);
    // The colour dialog, opened on the seal's colour: a chosen colour selects "他" and is stored.
    void ChooseColour(RadioGroup* group, std::int32_t& dialogColour, const Int32Field& field);
    // Font chooser `dialog` (0-based), opened on the font it keeps: a chosen font is kept and
    // stored, whether or not the document is being loaded; a font confirmed unchanged writes
    // nothing.
    void ConfirmFont(int dialog, const std::function<FontFields(seal::TMDIChild&)>& fields);
    // The font size buttons: the dialog's font grows or shrinks by `points`, down to one point.
    void StepFont(int dialog, int points, const Int32Field& size);
    // The point sizes beside the size buttons, from the fonts the dialogs keep.
    void ShowPointSizes();
    // "枠に合わせる": the largest sizes whose texts stay inside the frame, in one change.
    void NameFitClick();
    void DateFitClick();
    // True when a fit gave new sizes; a text that cannot be made small enough for its frame is
    // told.
    bool FitSucceeded(seal::FitOutcome outcome);

    QPointer<seal::TMDIChild> activeChild_;
    QMetaObject::Connection undoFollower_;
    QMetaObject::Connection cropFollower_;
    PictureDialog reduceColours_;
    PictureDialog resize_;

    QFrame* Panel1_ = nullptr;
    QFrame* Panel2_ = nullptr;
    QFrame* Panel3_ = nullptr;
    QPointer<QFrame> otherPanel_;

    FontChoice fontDialogs_[5];
    // The point size of each font dialog's font, beside its size buttons.
    QLabel* pointSizes_[5] = {};
    std::int32_t colorDialog1_ = 0;
    std::int32_t colorDialog2_ = 0;

    // Name panel.
    SjisEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr;
    QPushButton *Button1 = nullptr, *Button2 = nullptr, *Button3 = nullptr;
    QPushButton* FitButtonN = nullptr;
    QSlider *TrackBar1 = nullptr, *tbX = nullptr, *tbY = nullptr;
    RadioGroup* RadioGroup1 = nullptr;
    QToolButton *SpeedButton5 = nullptr, *SpeedButton6 = nullptr, *SpeedButton7 = nullptr,
                *SpeedButton8 = nullptr;
    UpDown* UpDown2 = nullptr;
    QLabel* StaticText3 = nullptr;
    RadioGroup* RadioGroup11 = nullptr;
    RadioGroup* RadioGroup3 = nullptr;
    QPushButton* sbColorN = nullptr;
    RadioGroup* RadioGroup4 = nullptr;
    QFrame* Panel4 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    SjisEdit *Edit11 = nullptr, *Edit12 = nullptr, *Edit13 = nullptr, *Edit14 = nullptr;
    QPushButton *Button14 = nullptr, *Button17 = nullptr, *Button20 = nullptr;
    QSlider *TrackBar9 = nullptr, *TrackBar10 = nullptr, *TrackBar11 = nullptr;

    // Date panel.
    SjisEdit *Edit5 = nullptr, *Edit8 = nullptr, *Edit7 = nullptr, *Edit6 = nullptr,
             *Edit9 = nullptr, *Edit10 = nullptr;
    QPushButton *Button4 = nullptr, *Button5 = nullptr, *Button6 = nullptr, *Button7 = nullptr,
                *Button18 = nullptr, *Button19 = nullptr, *Button8 = nullptr, *Button9 = nullptr,
                *Button10 = nullptr;
    QSlider *TrackBar2 = nullptr, *TrackBar5 = nullptr, *TrackBar3 = nullptr, *TrackBar4 = nullptr,
            *TrackBar6 = nullptr, *TrackBar7 = nullptr, *TrackBar8 = nullptr;
    RadioGroup *RadioGroup5 = nullptr, *RadioGroup8 = nullptr, *RadioGroup6 = nullptr,
               *RadioGroup10 = nullptr;
    QCheckBox* CheckBoxNZ = nullptr;
    QToolButton *SpeedButton1 = nullptr, *SpeedButton2 = nullptr, *SpeedButton3 = nullptr,
                *SpeedButton4 = nullptr;
    UpDown* UpDown1 = nullptr;
    QPushButton* FitButtonD = nullptr;
    QLabel* StaticText2 = nullptr;
    QPushButton* sbColorD = nullptr;

    // Bitmap panel.
    RadioGroup* RadioGroup9 = nullptr;
    QPushButton *Button11 = nullptr, *Button12 = nullptr, *Button15 = nullptr, *Button16 = nullptr,
                *Button13 = nullptr, *btUndo = nullptr;
    QLabel* StaticText1 = nullptr;
    RadioGroup* RadioGroupInk = nullptr;
    QPushButton* btExtract = nullptr;
};

} // namespace velmr::panel
