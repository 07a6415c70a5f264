// velmrseal: seal files to pictures at their true size, from the command line.
#include "cli/SealCommand.h"

#include <QGuiApplication>
#include <QTextStream>

#include <cstdio>

namespace {

// Standard error is for the user: the toolkit's own notes (a missing runtime folder, font
// substitutions) are left out, its errors kept.
void KeepOnlyErrors(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "velmrseal: %s\n",
                     qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(KeepOnlyErrors);
    velmr::cli::UseOffscreenPlatformWithoutDisplay();
    // The seals' texts are drawn with the system's fonts, which need a GUI application.
    QGuiApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmrseal"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return velmr::cli::RunSealCommand(QCoreApplication::arguments(), out, err);
}
