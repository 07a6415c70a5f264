#pragma once

#include "output/SealOutput.h"

#include <QFrame>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class QCheckBox;
class QDateEdit;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

namespace velmr::stamp {

class PdfWindow;

// A seal the stamping panel offers: an open seal document or a seal file, by name.
struct SealOffer
{
    QString name;
    output::SealSource source;
};

// The stamping panel of the editing panel window, shown while a PDF window is active: the seal
// to stamp (an open seal document, or a seal file chosen with the open dialog), the day a date
// seal prints, the rotation, "全ページに押印", "取消" for the selected stamp, and the seal's size.
// It sets what a click on the active PDF window's pages places.
class StampPanel final : public QFrame
{
    Q_OBJECT
public:
    static constexpr int kWidth = 169;
    static constexpr int kHeight = 470;

    explicit StampPanel(QWidget* parent = nullptr);
    ~StampPanel() override;

    // Where the open seal documents come from, asked each time the panel is filled.
    void SetOffers(std::function<std::vector<SealOffer>()> offers);

    // The panel works on `window`: the seals offered are read again, and the window takes the
    // chosen seal.
    void Attach(PdfWindow* window);
    PdfWindow* Window() const { return window_.data(); }

    // The seal chosen, laid out for the day chosen; none while nothing is chosen.
    std::shared_ptr<const output::SealArtwork> ChosenArt() const { return chosen_; }
    // The seal file chosen with "ファイルから..." joins the list and is chosen.
    bool AddSealFile(const QString& path);

    QListWidget* SealList() const { return sealList_; }
    QDateEdit* DayEdit() const { return dayEdit_; }
    QSpinBox* Rotation() const { return rotation_; }
    QCheckBox* EveryPage() const { return everyPage_; }
    QPushButton* RemoveButton() const { return removeButton_; }
    QLabel* SizeLabel() const { return sizeLabel_; }

private:
    void FillList();
    void Choose();
    void ChooseFile();
    void DayChanged();
    void RotationChanged(int degrees);
    void FollowSelection();
    void PushTool();
    // One artwork per distinct seal and day, so that the same seal is one form object in the file.
    std::shared_ptr<const output::SealArtwork> ArtworkFor(output::SealSource source);

    std::function<std::vector<SealOffer>()> offers_;
    std::vector<SealOffer> shown_; // the list's entries, in order
    std::vector<SealOffer> files_; // the seal files chosen so far
    std::map<QByteArray, std::shared_ptr<const output::SealArtwork>> artworks_;
    std::shared_ptr<const output::SealArtwork> chosen_;
    QPointer<PdfWindow> window_;
    QMetaObject::Connection selectionFollower_;

    QListWidget* sealList_ = nullptr;
    QPushButton* fileButton_ = nullptr;
    QDateEdit* dayEdit_ = nullptr;
    QSpinBox* rotation_ = nullptr;
    QCheckBox* everyPage_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
};

// The size shown for a seal: its frame (or its ink, without a frame) in millimetres.
QString SealSizeText(const output::SealArtwork& art);

} // namespace velmr::stamp
