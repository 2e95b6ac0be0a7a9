#pragma once
#include <QApplication>

#include <functional>

// The application object. An error no handler caught ends only the operation
// that raised it: its text is shown and the program goes on.
class CubiformApplication : public QApplication {
public:
    CubiformApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the text of an error that reached the top; a message box unless replaced.
    std::function<void(const QString&)> OnUnexpectedError;
};

// Starts the window program: the application object, the main window, the loop.
int RunApplication(int argc, char** argv);
