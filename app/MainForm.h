#pragma once

#include <QMainWindow>
#include <QSet>

#include <functional>
#include <vector>

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMimeData;
class QStatusBar;
class QToolButton;

namespace velmr::seal {
class TMDIChild;
}
namespace velmr::panel {
class TControlForm;
}
namespace velmr::stamp {
class PdfWindow;
class StampPanel;
struct SealOffer;
} // namespace velmr::stamp

namespace velmr::app {

class TAboutBox;
class HelpWindow;

// The main frame window: the menus, the tool bar, the status bar and one child window per seal.
class TMainForm final : public QMainWindow
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The windows the main window works with (created after it, at start).
    void SetCompanions(TAboutBox* aboutBox, panel::TControlForm* controlForm);

    // Results of the Velmor program check.
    bool VelmorPresent = false;
    QString SetupRootPath;

    // A new, empty document window captioned `name`; it becomes the active one.
    seal::TMDIChild* NewChildWindow(const QString& name);
    // The active document, or nullptr.
    seal::TMDIChild* ActiveDocument() const;
    // The open document windows, in the order they were opened.
    QList<seal::TMDIChild*> Documents() const;
    // The PDF document windows and the active one (nullptr while a seal or nothing is active).
    QList<stamp::PdfWindow*> PdfWindows() const;
    stamp::PdfWindow* ActivePdfWindow() const;
    // Opens the PDF file at `path` in a window of its own; nullptr (after telling the user why)
    // when it cannot be shown.
    stamp::PdfWindow* OpenPdfWindow(const QString& path);
    // The stamping panel shown in the editing panel while a PDF window is active.
    stamp::StampPanel* StampingPanel() const { return stampPanel_; }
    // The open seal documents as the stamping panel offers them.
    std::vector<stamp::SealOffer> SealOffers() const;
    // Destroys every document window at once (shutdown).
    void DestroyDocuments();

    // Event handlers.
    void FormCreate();
    void FormShow();
    // The Velmor program check at the first show: VelmorPresent, SetupRootPath, mCurrent, m083.
    void CheckVelmor();
    void FormDestroy();
    void ShowStatusHint();
    void UpdateMenuItems();
    void mNewNameClick(QObject* sender);
    void mReplicaClick();
    void PasteItemClick();
    void CopyItemClick();
    // Undo and redo of the active seal; the two commands follow what it can undo and redo.
    void UndoItemClick();
    void RedoItemClick();
    void UpdateUndoItems();
    // The Velmor commands: register the active seal, import the current seals and old data.
    void mRegistClick();
    void mCurNameClick();
    void mCurDateClick();
    void mCurBitmapClick();
    void m08NameClick();
    void m08DateClick();
    void FileOpenItemClick();
    // "PDFを開いて押印...": a PDF document chosen in the open dialog, in a window for stamping.
    void FilePdfItemClick();
    // Opens each file as the Open command opens the one chosen; a file that cannot be opened shows
    // the usual message and leaves no window.
    void OpenFiles(const QStringList& paths);
    // The dropped files that Open takes (seal format files and pictures), in the order dropped.
    static QStringList OpenableFiles(const QMimeData* data);
    void FileCloseItemClick();
    void FileSaveItemClick();
    void FileSaveAsItemClick();
    // Writes the active seal at its true size as a PNG, SVG or PDF file, options asked first.
    void FileExportItemClick();
    // Puts the active seal on the clipboard as a transparent picture for documents.
    void mCopyPictureClick();
    void FileExitItemClick();
    // Saves `document` under its name, or through Save as while it has a default name; true when
    // it was written.
    bool SaveDocument(seal::TMDIChild& document);
    bool SaveDocumentAs(seal::TMDIChild& document);
    // Whether `document` may close: a changed seal asks "変更を保存しますか？" first; 保存 saves it
    // (a failed or cancelled save keeps it open), 保存しない lets it go, キャンセル keeps it.
    bool QueryClose(seal::TMDIChild& document);
    // The same for a PDF document with stamps not yet written.
    bool QueryClose(stamp::PdfWindow& document);
    // Brings the changed `document` to the front and asks; 保存 runs `save`.
    bool AskSaveChanges(QWidget& document, const std::function<bool()>& save);
    void WindowCascadeItemClick();
    void WindowTileItemClick();
    void WindowArrangeItemClick();
    void WindowMinimizeItemClick();
    void HelpAboutItemClick();
    void mHelpClick();
    // Help for the main window itself (F1): its help context, topic 1.
    void ShowContextHelp();
    HelpWindow* Help() const { return help_; }

    // The application's current hint: the long part of the hint of the highlighted item.
    const QString& ApplicationHint() const { return hint_; }
    void SetApplicationHint(const QString& hint);

    QMdiArea* ClientArea() const { return mdiArea_; }
    QStatusBar* StatusBar() const { return statusBar_; }
    QWidget* SpeedPanel() const { return speedPanel_; }

    // Menu items and tool buttons, by their form names.
    QAction *File1, *FileNewItem, *mNewName, *mNewDate, *FileOpenItem, *FileCloseItem,
        *FileSaveItem, *FileSaveAsItem, *FileExitItem;
    QAction *Edit1, *UndoItem, *RedoItem, *CutItem, *CopyItem, *PasteItem, *mReplica;
    QAction *mVelmor, *mRegist, *mCurrent, *mCurName, *mCurDate, *mCurBitmap, *m083, *m08Name,
        *m08Date;
    QAction *Window1, *WindowCascadeItem, *WindowTileItem, *WindowArrangeItem, *WindowMinimizeItem;
    QAction *Help1, *mHelp, *HelpAboutItem;
    QAction *FileExportItem, *mCopyPicture, *ExportBtn;
    QAction *FilePdfItem, *PdfStampBtn;
    QAction *sbNewName, *sbNewDate, *OpenBtn, *SaveBtn, *PasteBtn, *sbToVelmor, *ExitBtn, *CutBtn,
        *CopyBtn;

    // Enables or disables a command; commands that this build does not offer stay disabled.
    void SetCommandEnabled(QAction* command, bool enabled);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Seal files and pictures dropped on the window open as Open opens them; nothing else is taken.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildMenus();
    void BuildSpeedPanel();
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption, const QString& hint,
                     bool enabled);
    QAction* AddButton(const char* name, int left, const QString& hint, bool enabled,
                       bool visible = true);
    void ConnectHandlers();
    void FillWindowList();
    HelpWindow* OpenHelp();
    void OnActiveWindowChanged();

    QMenu* windowMenu_ = nullptr;
    QList<QAction*> windowList_;
    HelpWindow* help_ = nullptr;
    QMdiArea* mdiArea_;
    QStatusBar* statusBar_;
    QWidget* speedPanel_ = nullptr;
    TAboutBox* aboutBox_ = nullptr;
    panel::TControlForm* controlForm_ = nullptr;
    stamp::StampPanel* stampPanel_ = nullptr;
    QSet<QAction*> unavailable_;
    QString hint_;
    bool shown_ = false;
    bool hooked_ = false;
    QMetaObject::Connection focusHook_;
    QMetaObject::Connection activationHook_;
};

// The long part of a hint "short|long" (the whole hint when it has no "|").
QString LongHint(const QString& hint);
// The short part (the tool tip).
QString ShortHint(const QString& hint);

} // namespace velmr::app
