#pragma once
#include <QMainWindow>

class TGLPanel;

// The program's one window. It hosts the GL panel in a scroll box.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    TGLPanel* GLPanel1 = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
};
