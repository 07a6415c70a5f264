#pragma once

#include <QDialog>

#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmr::platform {
class RadioGroup;
}

namespace velmr::image {

class PictureDocument;

// The resize dialog "KORVAN 縮小／拡大": scales a bitmap seal's picture to the width and height the
// user types, keeping the aspect ratio while "比率固定" is selected. Created once and reused;
// Prepare binds it to a document before each modal run.
class TResizeForm final : public QDialog
{
    Q_OBJECT
public:
    explicit TResizeForm(QWidget* parent = nullptr);

    // Binds the dialog to `document`: the boxes show its picture's size, the ratio is fixed.
    void Prepare(PictureDocument& document);
    // The window the dialog centres itself on when shown; the parent unless set.
    void SetMainWindow(QWidget* mainWindow) { mainWindow_ = mainWindow; }

    // Event handlers.
    void Edit1Change();
    void Edit2Change();
    void bOKClick();
    void bCancelClick();

    PictureDocument* TargetChild = nullptr;
    QLineEdit* Edit1;                 // width in pixels
    QLineEdit* Edit2;                 // height in pixels
    QLabel* Label1;                   // "横"
    QLabel* Label2;                   // "縦"
    QLabel* Label3;                   // "ﾋﾟｸｾﾙ" beside the width
    QLabel* Label4;                   // "ﾋﾟｸｾﾙ" beside the height
    platform::RadioGroup* RadioGroup; // aspect ratio: fixed, any
    QPushButton* bOK;
    QPushButton* bCancel;

    std::int32_t OrgWidth = 0;
    std::int32_t OrgHeight = 0;
    std::int32_t RatioWH = 0; // OrgWidth × 100 / OrgHeight
    std::int32_t RatioHW = 0; // OrgHeight × 100 / OrgWidth
    // Set while a change of a size box is the dialog's own doing.
    bool EchoPending = false;

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    // Writes the coupled size into `box`; its change event is the dialog's own.
    void Echo(QLineEdit* box, std::int32_t from, std::int32_t ratio);
    void Coupled(QLineEdit* changed);

    QWidget* mainWindow_ = nullptr;
    bool scaling_ = false; // while OK's scaling runs
};

} // namespace velmr::image
