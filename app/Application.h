#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace velmr::image {
class TDitherForm;
class TResizeForm;
} // namespace velmr::image
namespace velmr::panel {
class TControlForm;
}
namespace velmr::sibling {
class TMessageForm;
}

namespace velmr::app {

class TAboutBox;
class TMainForm;

// Application-wide settings, fixed at start.
inline const QString kApplicationTitle = QStringLiteral("瑠環印影ﾏﾈｰｼﾞｬｰ");
inline const QString kHelpFile = QStringLiteral("velmrmgr.hlp");

// The six windows that exist for the whole run, created hidden at start in this order.
struct ProgramWindows
{
    std::unique_ptr<TMainForm> mainForm;
    std::unique_ptr<TAboutBox> aboutBox;
    std::unique_ptr<panel::TControlForm> controlForm;
    std::unique_ptr<sibling::TMessageForm> messageForm;
    std::unique_ptr<image::TDitherForm> ditherForm;
    std::unique_ptr<image::TResizeForm> resizeForm;

    ProgramWindows();
    ~ProgramWindows(); // documents first, then the windows, the last created first
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;
};

// The program-wide windows while they exist (nullptr before start and after shutdown).
ProgramWindows* Windows();

// Sets the application's title and help file on the running application object.
void InitialiseApplication();
// The application's help file name.
QString ApplicationHelpFile();

// The seal and picture files named on the program's command line (the desktop entry passes them
// as %F), as absolute paths: every argument after the program's name but options, all of them
// after "--"; file URLs become their paths.
QStringList FilesNamedOnCommandLine(const QStringList& arguments);
// Opens `paths` in `mainForm` as its Open command does, once the main window has been shown and
// no start-up notice is waiting for the user.
void OpenFilesWhenShown(TMainForm& mainForm, const QStringList& paths);

// The program: the policy gate, the windows, the message loop, the files named on the command
// line. Returns the exit status.
int RunProgram(int argc, char** argv);

} // namespace velmr::app
