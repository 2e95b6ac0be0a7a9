#include "app/ui/Application.h"

#include "app/ui/TForm1.h"

#include <QApplication>

int RunApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cubiform"));
    QApplication::setOrganizationName(QStringLiteral("Tralen"));
    TForm1 window;
    window.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        window.OpenProjectAtStart(args.at(1));
    return QApplication::exec();
}
