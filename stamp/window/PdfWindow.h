#pragma once

#include "stamp/window/PdfView.h"
#include "stamp/window/StampModel.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QSpinBox;
class QToolButton;

namespace Poppler {
class Document;
}

namespace velmr::stamp {

struct OpenedPdf;

// A PDF document in a window of its own in the main window's document area: its pages with the
// stamps placed on them, a zoom choice and page navigation above. Its caption is the path of the
// file shown; saving writes the stamps as an incremental update into a new file (or, after a
// question, over this one) and the window then shows the file written.
class PdfWindow final : public QWidget
{
    Q_OBJECT
public:
    PdfWindow(const QString& path, OpenedPdf opened, QWidget* parent = nullptr);
    ~PdfWindow() override;

    // Opens the PDF file at `path` into a new window; nothing (after telling the user why, or
    // after a cancelled password) when it cannot be shown.
    static std::unique_ptr<PdfWindow> Open(QWidget* parent, const QString& path);

    QString Caption() const { return caption_; }
    const Poppler::Document& Document() const { return *document_; }
    int PageCount() const;
    StampModel& Model() { return model_; }
    const StampModel& Model() const { return model_; }
    PdfView& View() const { return *view_; }

    // Stamps placed and not yet written.
    bool IsModified() const { return model_.IsModified(); }

    void SetTool(StampTool tool);
    const StampTool& Tool() const;

    bool CanUndo() const { return model_.CanUndo(); }
    bool CanRedo() const { return model_.CanRedo(); }
    void Undo();
    void Redo();
    // The panel's 取消 and rotation on the selected stamp, each one undo step.
    void RemoveSelected();
    void RotateSelected(double degrees);

    // Asks where to write (the original's name with "_押印" before ".pdf", in its folder; the
    // original itself only after a question), writes the stamps and shows the written file.
    // False when nothing was written (cancelled, or the user was told why).
    bool Save();
    // Writes the stamps into `path` (asked nothing) and shows the written file; on failure the
    // user is told why and the stamps stay as they were.
    bool SaveTo(const QString& path);

    // The name proposed for the stamped copy of `original`: "見積書.pdf" → "見積書_押印.pdf".
    static QString StampedName(const QString& original);

Q_SIGNALS:
    // The stamps, their undo steps or the caption changed: the main window's commands follow.
    void CommandStateChanged();
    // Another stamp (or none) is selected.
    void SelectionChanged();

private:
    void BuildBar();
    void ShowCaption();
    void ShowPage(int page);
    void ShowZoom();
    void ChooseZoom(int item);
    void StampsEdited();

    QString caption_;
    QByteArray password_;
    std::unique_ptr<Poppler::Document> document_;
    StampModel model_;
    PdfView* view_ = nullptr;
    QToolButton* previous_ = nullptr;
    QToolButton* next_ = nullptr;
    QSpinBox* pageBox_ = nullptr;
    QLabel* pageCount_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
};

} // namespace velmr::stamp
