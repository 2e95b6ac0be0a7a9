#pragma once
// The about box: product, version, processor clock, support addresses and
// credits on a borderless blue panel. Any key or click closes it, except a
// click on one of the two addresses, which opens that address instead.
#include <QDialog>

#include <functional>

class QLabel;
class QFrame;
class QPlainTextEdit;

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(QWidget* owner = nullptr);

    QFrame* banner = nullptr;
    QLabel* productShadowLabel = nullptr;
    QLabel* productLabel = nullptr;
    QLabel* logo = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* cpuSpeedLabel = nullptr;
    QLabel* mailLink = nullptr; // support mail address
    QLabel* webLink = nullptr; // web site
    QPlainTextEdit* textView = nullptr; // copyright and credits

    // The clock text shown after "CPU speed:"; tests give their own.
    std::function<QString()> CpuSpeed;
    // Where a link that found no program to open it is reported; may be empty.
    std::function<void(const QString&)> ShowStatus;

    void PrepareShow();
    void MailLinkClicked();
    void WebLinkClicked();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The about box picture: a small closed box seen from above and to the side.
QPixmap DrawBoxPicture(int size);
// Every library the program is built with, with its version where known.
QString LibrariesUsed();
