#include "app/Application.h"

#include "app/AboutBox.h"
#include "app/MainForm.h"
#include "app/PolicyGate.h"
#include "image/DitherForm.h"
#include "image/ResizeForm.h"
#include "panel/ControlForm.h"
#include "platform/UserDialogs.h"
#include "platform/registry/RegistryAccessor.h"
#include "seal/MdiChild.h"
#include "sibling/MessageForm.h"

#include <QApplication>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>
#include <QUrl>

namespace velmr::app {
namespace {
ProgramWindows* g_windows = nullptr;
const char* const kHelpFileProperty = "velmrHelpFile";
const QString kRegistryCaption = QStringLiteral("瑠環印影MGR");
} // namespace

ProgramWindows::ProgramWindows()
{
    g_windows = this;
    mainForm = std::make_unique<TMainForm>();
    aboutBox = std::make_unique<TAboutBox>(mainForm.get());
    controlForm = std::make_unique<panel::TControlForm>(mainForm.get());
    messageForm = std::make_unique<sibling::TMessageForm>(mainForm.get());
    ditherForm = std::make_unique<image::TDitherForm>(mainForm.get());
    resizeForm = std::make_unique<image::TResizeForm>(mainForm.get());
    mainForm->SetCompanions(aboutBox.get(), controlForm.get());
    controlForm->SetPictureDialogs(
        [form = ditherForm.get()](seal::TMDIChild& document) {
            form->Prepare(document);
            platform::Dialogs().RunModal(*form);
        },
        [form = resizeForm.get()](seal::TMDIChild& document) {
            form->Prepare(document);
            platform::Dialogs().RunModal(*form);
        });
    seal::TMDIChild::SetEditPanel(controlForm.get());
}

ProgramWindows::~ProgramWindows()
{
    if (mainForm)
        mainForm->DestroyDocuments();
    seal::TMDIChild::SetEditPanel(nullptr);
    resizeForm.reset();
    ditherForm.reset();
    messageForm.reset();
    controlForm.reset();
    aboutBox.reset();
    mainForm.reset();
    g_windows = nullptr;
}

ProgramWindows* Windows()
{
    return g_windows;
}

void InitialiseApplication()
{
    // The standard dialogs and buttons speak Japanese.
    auto* translator = new QTranslator(qApp);
    if (translator->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
    QApplication::setApplicationName(kApplicationTitle);
    QGuiApplication::setDesktopFileName(QStringLiteral("velmrmgr"));
    qApp->setProperty(kHelpFileProperty, kHelpFile);
}

QString ApplicationHelpFile()
{
    return qApp ? qApp->property(kHelpFileProperty).toString() : QString();
}

QStringList FilesNamedOnCommandLine(const QStringList& arguments)
{
    QStringList files;
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument.isEmpty() || (!optionsEnded && argument.startsWith(QLatin1Char('-'))))
            continue;
        const QString path =
            argument.startsWith(QLatin1String("file:")) ? QUrl(argument).toLocalFile() : argument;
        if (!path.isEmpty())
            files << QFileInfo(path).absoluteFilePath();
    }
    return files;
}

void OpenFilesWhenShown(TMainForm& mainForm, const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    // Queued behind the first-show handler, which the window's show queued before.
    QTimer::singleShot(0, &mainForm, [&mainForm, paths] {
        // The Velmor notice of the first show is answered first.
        if (QApplication::activeModalWidget()) {
            QTimer::singleShot(100, &mainForm,
                               [&mainForm, paths] { OpenFilesWhenShown(mainForm, paths); });
            return;
        }
        mainForm.OpenFiles(paths);
    });
}

int RunProgram(int argc, char** argv)
{
    const PolicyDecision decision = CheckStartPolicy(*platform::CurrentUserRegistry());
    if (decision.forbidden)
        return 1;

    QApplication application(argc, argv);
    InitialiseApplication();
    QApplication::setQuitOnLastWindowClosed(false);

    int status = 0;
    {
        ProgramWindows windows;
        // A store that cannot be read is told once, by the Velmor check at the first show,
        // which then leaves the Velmor commands off for the run.
        if (!decision.problem.isEmpty() && !decision.storeUnreadable)
            platform::ShowMessage(windows.mainForm.get(), kRegistryCaption, decision.problem);
        windows.mainForm->show();
        OpenFilesWhenShown(*windows.mainForm,
                           FilesNamedOnCommandLine(QCoreApplication::arguments()));
        status = application.exec();
    }
    return status == 0 ? 0 : status;
}

} // namespace velmr::app
