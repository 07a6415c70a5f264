#pragma once

#include "image/ImgKit.h"
#include "image/PictureDocument.h"
#include "seal/Records.h"

#include <QString>
#include <QWidget>

#include <deque>
#include <optional>

namespace velmr::seal {

class EditPanel;
class PictureControl;

// The default names of documents that have no file yet.
inline const QString kNewNameSealCaption = QStringLiteral("新規認印");
inline const QString kNewDateSealCaption = QStringLiteral("新規日付印");
inline const QString kNewBitmapSealCaption = QStringLiteral("新規ビットマップ印");

// True for a caption that names no file (the comparison is exact).
bool IsDefaultCaption(const QString& caption);

// A caption as a window title whose "[*]" placeholder Qt replaces with the modified mark: a "[*]"
// of the caption itself is doubled, which Qt shows as one literal "[*]".
QString EscapedWindowTitle(const QString& caption);

// The four parameter records of a seal, as one value copied byte for byte.
struct SealRecords
{
    NameStampRecord name;
    NameStampExRecord nameEx;
    DateStampRecord date;
    DateStampExRecord dateEx;
    friend bool operator==(const SealRecords&, const SealRecords&) = default;
};

// The undo and redo steps of a name or date seal. A step is the four records as they were before
// one change; the history learns of every change (Changed) and keeps the records as they are now.
// Changes inside a group (a slider dragged from press to release) make one step, and so do
// keystrokes typed one after another into the same text field, until the merge is broken (the
// focus moved, the seal was saved, a step was undone).
class RecordHistory
{
public:
    static constexpr std::size_t kLevels = 100;

    // The history starts at `current`, with nothing to undo or redo.
    void Reset(const SealRecords& current);
    // The records are now `now`; true when they changed (a step was added or merged).
    bool Changed(const SealRecords& now);
    void BeginGroup();
    void EndGroup();
    // The next text change makes a step of its own.
    void BreakMerge() { mergeField_ = -1; }

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    std::size_t UndoCount() const { return undo_.size(); }
    // The records one step back (forward) from `now`; none when there is no such step.
    std::optional<SealRecords> Undo(const SealRecords& now);
    std::optional<SealRecords> Redo(const SealRecords& now);

private:
    std::deque<SealRecords> undo_;
    std::deque<SealRecords> redo_;
    SealRecords last_{};
    int mergeField_ = -1; // the text field the newest step is being typed into
    int groupDepth_ = 0;
    bool groupStepTaken_ = false;
};

// The one text field (an index into the texts of the four records) in which `after` differs from
// `before`, or -1 when they differ anywhere else too.
int SoleChangedTextField(const SealRecords& before, const SealRecords& after);

// A seal document: one child window of the main frame holding one seal being edited. Its caption
// is its visible name and also the path that Save writes to.
class TMDIChild final : public QWidget, public image::PictureDocument
{
    Q_OBJECT
public:
    explicit TMDIChild(QWidget* parent = nullptr);
    ~TMDIChild() override;

    // The editing panel that every document shows itself in (set once by the application).
    static void SetEditPanel(EditPanel* panel);

    // The document's name, as given: the title bar shows it whole, with "*" while it is changed.
    QString Caption() const { return caption_; }
    void SetCaption(const QString& caption);

    // Whether the seal changed since it was made, opened or saved: its records differ from what
    // they were then, or its picture went through an operation. Loading the panel changes nothing.
    bool IsModified() const;
    // The records and the picture as they are now count as unchanged (a new seal, an open, a save).
    void MarkUnchanged();
    // The records may have changed: the change becomes an undo step and the caption's modified
    // mark follows.
    void RecordsEdited();

    // Undo and redo: for a name or date seal the steps of its records (many levels), for a bitmap
    // seal the single undo copy of its picture (nothing to redo).
    bool CanUndo() const;
    bool CanRedo() const;
    void Undo();
    void Redo();
    // The changes made between these two calls are one undo step (a slider being dragged).
    void BeginEditGroup();
    void EndEditGroup();
    const RecordHistory& History() const { return history_; }

    // Initialise as a new name seal: caption "新規認印", the default records, then Refresh.
    void InitNewNameSeal();
    // Initialise as a new date seal: caption "新規日付印", the default date record, then Refresh.
    void InitNewDateSeal();
    // Take the kind and all four records of `source`, byte for byte, with the default caption of
    // its kind, then Refresh.
    void DuplicateFrom(const TMDIChild& source);

    // Lays the window out for its kind, loads the editing panel and draws.
    void Refresh();
    // Draws the seal from the records; nothing while the panel is being loaded.
    void Draw();

    // Reads the file at `path` into this new, empty document, by its extension: a name or date
    // seal format file, or a BMP, JPEG, PNG, TIFF or WebP picture. On failure the user has been
    // told why and false is returned (the caller closes the window).
    bool OpenFile(const QString& path);
    // Saves the document under `path`; its extension must suit the document's kind. On failure
    // the user has been told why, false is returned and any file that was there is unchanged.
    bool SaveFile(const QString& path);

    // The window's client area, the picture control included.
    void SetClientSize(int width, int height);

    // ---- Bitmap seals.

    // Lays out the picture in ImageHandle: the window fits it, it is shown, the crop square is
    // put back in the middle and the panel reloaded. `source` names where a new picture came
    // from (a file's path, or "新規ビットマップ印" for the clipboard); it also makes the document a
    // bitmap seal. A null source keeps FileName and Kind (the undo copy coming back).
    void LayOutPicture(const QString& source);
    // Shows the picture, reduced to what the screen can show (16 or 256 colours, 0 for more).
    void ShowImage() override;
    void ShowImageFor(int screenColours);
    // After the picture changed in place (a cut, a resize): ImageInfo is read again, the view and
    // the window take the picture's size and it is shown. The print resolution, the crop square
    // and the panel are left alone.
    void RefreshPicture();
    // The crop square: 250 × 250, or as large as the picture allows, in the middle.
    void ResetCropRect();
    QRect RectShape() const { return rectShape_; }
    bool RectShapeVisible() const { return rectShapeVisible_; }
    void SetRectShape(const QRect& shape);
    // Takes the picture from the clipboard; false (after telling the user) when none came.
    bool PasteFromClipboard();
    // Keeps a copy of the picture for one undo; puts that copy back.
    void MakeUndoCopy() override;
    void RestoreUndoCopy();

    // The picture as the colour reduction and resize dialogs see it.
    image::ImgKitImage PictureHandle() const override { return ImageHandle; }
    const image::ImageInfoRecord& PictureInfo() const override { return ImageInfo; }
    // `result` becomes the picture (the old one is released) and ImageInfo follows it.
    void TakePicture(image::ImgKitImage result) override;
    // Set from outside the panel (the resize dialog): the panel shows it again.
    void SetBitmapResolution(std::int32_t resolution) override;
    // The view, the picture control and the window take the size in ImageInfo; then ShowImage.
    void FitViewToPicture() override;

    // Mouse handlers of the picture control, with screen positions.
    void Image1MouseDown(Qt::MouseButton button, QPoint screen);
    void Image1MouseMove(QPoint screen);
    void Image1MouseUp(Qt::MouseButton button);
    // A picture of ColorType 6 or more is held as a 24-bit copy, unless it has alpha.
    void WidenDeepPicture();

    PictureControl* Image1() const { return image1_; }

    // The document's state, as the editing panel, the files and the Velmor exchange use it.
    QString FileName;
    bool MovingRect = false;
    bool SizingRect = false;
    std::int32_t MouseOriginX = 0;
    std::int32_t MouseOriginY = 0;
    std::int32_t RectOriginLeft = 0;
    std::int32_t RectOriginTop = 0;
    NameStampRecord NameStamp{};
    NameStampExRecord NameStampEx{};
    DateStampRecord DateStamp{};
    DateStampExRecord DateStampEx{};
    image::ImgKitImage ImageHandle = 0;
    image::ImageInfoRecord ImageInfo{};
    std::int32_t ViewWidth = 0;
    std::int32_t ViewHeight = 0;
    image::ImgKitImage UndoImageHandle = 0;
    std::int32_t UndoAvailable = 0;
    SealKind Kind = kNoKind;
    std::int32_t BitmapResolution = 0;
    bool PanelLoading = false;

Q_SIGNALS:
    // The seal was drawn again (tests and views follow it).
    void Drawn();
    // The crop square moved or changed its size.
    void CropRectChanged();
    // The undo copy was taken or used.
    void UndoChanged();
    // The main window's commands should follow a change of this document.
    void CommandStateChanged();
    // A step was added to, taken from or merged into the undo history.
    void HistoryChanged();

private:
    using SavedRecords = SealRecords;
    SavedRecords CurrentRecords() const;
    // The records of an undo or redo step become the seal's: the panel is filled again and the
    // seal drawn.
    void TakeRecords(const SealRecords& records);
    // The picture went through an operation (a cut, colour reduction, resize or undo).
    void PictureEdited();
    void ShowModifiedMark();

    PictureControl* image1_;
    QString caption_;
    // The four records as they were when the document was last unchanged.
    SavedRecords savedRecords_{};
    RecordHistory history_;
    bool pictureEdited_ = false;
    QRect rectShape_;
    bool rectShapeVisible_ = false;
};

} // namespace velmr::seal
