#include "app/ProcessSetup.h"
#include "cli/CommandLine.h"
#include "serve/ServeCommand.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>

#ifdef CUBIFORM_WITH_UI
#include "window/Application.h"
#endif

namespace {

bool DisplayAvailable()
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char** argv)
{
    // render and info need no display: no GUI application is made for them.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (IsCommandLineRequest(arguments)) {
        PrepareProcess(arguments);
        const QCoreApplication app(argc, argv);
        return RunCommandLine(QCoreApplication::arguments().mid(1), stdout, stderr,
                              {{QStringLiteral("serve"), RunServe}});
    }
    // Anything else opens the window (with a project).
    PrepareWindowProcess();
    if (!DisplayAvailable()) {
        std::fprintf(stderr,
                     "cubiform: no display is available (neither DISPLAY nor WAYLAND_DISPLAY is set), "
                     "so the window cannot open.\n"
                     "Run it inside a desktop session, or under a virtual display: xvfb-run -a cubiform\n");
        return 1;
    }
#ifdef CUBIFORM_WITH_UI
    return RunApplication(argc, argv);
#else
    (void)argc;
    (void)argv;
    std::fprintf(stderr, "cubiform: this build has no window.\n");
    return 1;
#endif
}
