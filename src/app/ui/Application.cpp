#include "app/ui/Application.h"

#include "app/ui/MainWindow.h"

#include <QApplication>

int RunApplication(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Cubiform"));
    QApplication::setOrganizationName(QStringLiteral("Tralen"));
    MainWindow window;
    window.show();
    return QApplication::exec();
}
