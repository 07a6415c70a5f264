#pragma once

#include <QDialog>

class QPushButton;

namespace velmr::platform {
class RadioGroup;
}

namespace velmr::image {

class PictureDocument;

// The colour reduction dialog "減色処理": reduces a bitmap seal's picture to 256 colours, 16
// colours or black and white, offering only what suits the picture's ColorType. Created once and
// reused; Prepare binds it to a document before each modal run.
class TDitherForm final : public QDialog
{
    Q_OBJECT
public:
    explicit TDitherForm(QWidget* parent = nullptr);

    // Binds the dialog to `document` and presets the groups for its picture's ColorType.
    void Prepare(PictureDocument& document);
    // The window the dialog centres itself on when shown; the parent unless set.
    void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

    // The arguments of ImgKitConvertColor that the groups give: bits per pixel, palette, dither.
    // Each group is read as it shows, also while disabled (black and white keeps the method
    // shown); a group without a selection counts as its first item.
    struct Reduction
    {
        int bits = 0;
        int palette = 0;
        int dither = 1;
    };
    Reduction Chosen() const;

    // Event handlers.
    void RadioGroup1Click();
    void bOKClick();
    void bCancelClick();

    PictureDocument* TargetChild = nullptr;
    platform::RadioGroup* RadioGroup1; // colours after reduction: 256, 16, black and white
    platform::RadioGroup* RadioGroup2; // method: error diffusion, nearest colour
    platform::RadioGroup* RadioGroup3; // palette: optimised, fixed standard colours
    QPushButton* bOK;
    QPushButton* bCancel;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    QWidget* mainWindow_ = nullptr;
    bool converting_ = false; // while OK's conversion runs
};

} // namespace velmr::image
