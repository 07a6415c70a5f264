#pragma once

#include <QColor>
#include <QDate>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class QDialog;
class QWidget;

namespace velmr::platform {

// The answer of a message box.
enum class MessageResult
{
    Ok,
    Cancel
};

// Which buttons a message box offers.
enum class MessageButtons
{
    Ok,
    OkCancel
};

// The answer to "save the changes?".
enum class SaveChangesAnswer
{
    Save,
    Discard,
    Cancel
};

// One file dialog request. `filter` is in the program's own "desc|pattern|desc|pattern" form.
struct FileDialogRequest
{
    QString caption;
    QString filter;
    QString fileName;       // the proposed file name, may be empty
    QString directory;      // the folder to start in, empty for the current folder
    bool mustExist = false; // open dialogs: the path and the file must exist
};

// What the user chose in a file dialog: the full path and the index of the filter entry selected.
struct FileDialogChoice
{
    QString path;
    int filterIndex = 0;
};

// A font as a seal's record keeps it, asked for in the font chooser and chosen there: the face
// name as the record holds it ("ＭＳ 明朝"), the size in points, bold and italic. Underline and
// strike-out are not offered.
struct FontDialogChoice
{
    QString face;
    std::int32_t points = 0;
    bool bold = false;
    bool italic = false;

    friend bool operator==(const FontDialogChoice&, const FontDialogChoice&) = default;
};

// The file formats a seal is exported in.
enum class ExportFormat
{
    Png,
    Svg,
    Pdf
};

// The export options question: what the seal to export offers.
struct ExportOptionsRequest
{
    QSizeF sizeMm;            // the printed size of the picture written: the ink, pen included
    QSizeF frameMm;           // the frame's, on the pen's centre line; empty without a frame
    int ownDpi = 0;           // its own print resolution, in dots per inch
    bool pictureOnly = false; // a bitmap seal: PNG at its own print resolution, nothing to choose
    bool asksDay = false;     // a date seal: the day to print, `day` offered, any in the range
    QDate day;
    QDate firstDay;
    QDate lastDay;
};

// The options chosen for an export.
struct ExportOptionsChoice
{
    ExportFormat format = ExportFormat::Png;
    int dpi = 600; // PNG: 300, 600 or 1200 dots per inch, or 0 for the seal's own resolution
    QDate day;     // date seals: the day to print
};

// A long operation's progress, shown to the user once the operation has run for about half a
// second. While it exists, no user input reaches the program's windows but the progress
// display's own cancel button. Destroying it closes the dialog.
class ProgressReport
{
public:
    virtual ~ProgressReport() = default;
    // Reports the share done, 0 to 1, and lets the window system repaint. Returns false once the
    // user has asked to cancel; the operation then stops and leaves everything as it was.
    virtual bool Advance(double done) = 0;
};

// Every dialog and message box of the program goes through this interface, so that tests can
// script the user's answers and read back what was shown.
class UserDialogs
{
public:
    virtual ~UserDialogs() = default;

    // A message box without icon. Returns Ok when the box has only an OK button.
    virtual MessageResult ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                                      MessageButtons buttons) = 0;
    // A question about unsaved changes with the buttons "保存", "保存しない" and "キャンセル";
    // closing the box answers Cancel.
    virtual SaveChangesAnswer AskSaveChanges(QWidget* parent, const QString& caption,
                                             const QString& text) = 0;
    virtual std::optional<FileDialogChoice> AskOpenFile(QWidget* parent,
                                                        const FileDialogRequest& request) = 0;
    // The save dialog asks nothing about an existing file: the caller asks about the name it
    // will actually write, which may differ from the one chosen.
    virtual std::optional<FileDialogChoice> AskSaveFile(QWidget* parent,
                                                        const FileDialogRequest& request) = 0;
    // The program's font chooser, opened on `initial`; confirmed unchanged it gives `initial` back.
    virtual std::optional<FontDialogChoice> AskFont(QWidget* parent,
                                                    const FontDialogChoice& initial) = 0;
    virtual std::optional<QColor> AskColor(QWidget* parent, const QColor& initial) = 0;
    // The export options of a seal: format, resolution and, for a date seal, the day to print.
    virtual std::optional<ExportOptionsChoice>
    AskExportOptions(QWidget* parent, const ExportOptionsRequest& request) = 0;
    // A password, typed hidden, for the document `text` names; nothing when the user cancels.
    virtual std::optional<QString> AskPassword(QWidget* parent, const QString& caption,
                                               const QString& text) = 0;
    // Runs one of the program's own modal forms and returns its QDialog result code.
    virtual int RunModal(QDialog& form) = 0;
    // Starts the progress display of a long operation, with the title and message its caller
    // gives; `cancellable` adds a cancel button.
    virtual std::unique_ptr<ProgressReport> BeginProgress(QWidget* parent, const QString& title,
                                                          const QString& message,
                                                          bool cancellable) = 0;
};

// The dialogs in use: the real Qt dialogs unless a test has installed its own.
UserDialogs& Dialogs();

// Installs `dialogs` (not owned) for the rest of the run, or the real ones again for nullptr.
void SetDialogs(UserDialogs* dialogs);

// Shows an OK message box through Dialogs().
void ShowMessage(QWidget* parent, const QString& caption, const QString& text);

// Converts a "desc|pattern|desc|pattern" filter into Qt's "desc (pattern);;desc (pattern)".
QString ToQtFilter(const QString& filter);

// The Qt filter entries of `filter`, one per "desc|pattern" pair.
QStringList QtFilterEntries(const QString& filter);

} // namespace velmr::platform
