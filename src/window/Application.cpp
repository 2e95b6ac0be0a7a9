#include "window/Application.h"

#include "services/ProductInfo.h"
#include "window/MainWindow.h"

#include <QMessageBox>

#include <exception>

CubiformApplication::CubiformApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Cubiform"));
    setOrganizationName(QStringLiteral("Tralen"));
    OnUnexpectedError = [](const QString& text) {
        QMessageBox::critical(activeWindow(), QString(ProductInfo::Caption), text);
    };
}

bool CubiformApplication::notify(QObject* receiver, QEvent* event)
{
    // Exceptions must not unwind through Qt's event loop.
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        OnUnexpectedError(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        OnUnexpectedError(QStringLiteral("An unexpected error ended the operation."));
    }
    return false;
}

int RunApplication(int argc, char** argv)
{
    CubiformApplication app(argc, argv);
    MainWindow window;
    window.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        window.OpenProjectAtStart(args.at(1));
    return QApplication::exec();
}
