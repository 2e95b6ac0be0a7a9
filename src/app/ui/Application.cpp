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
    return QApplication::exec();
}
