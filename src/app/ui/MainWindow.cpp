#include "app/ui/MainWindow.h"

#include "gl/GLApi.h"
#include "gl/ui/TGLPanel.h"

#include <QCloseEvent>
#include <QScrollArea>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Cubiform Classic version 1.2 (Freeware)"));
    resize(646, 480);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("ScrollBox1"));
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: rgb(0, 128, 192); }"));
    GLPanel1 = new TGLPanel(scroll);
    GLPanel1->setObjectName(QStringLiteral("GLPanel1"));
    GLPanel1->setCursor(Qt::SizeAllCursor);
    GLPanel1->resize(300, 300);
    scroll->setWidget(GLPanel1);
    scroll->setAlignment(Qt::AlignCenter);
    setCentralWidget(scroll);
    GLPanel1->OnGLDraw = [](TGLPanel*) {
        GLApi& gl = SystemGL();
        gl.ClearColor(1, 1, 1, 1);
        gl.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    };
}

MainWindow::~MainWindow() = default;

void MainWindow::closeEvent(QCloseEvent* event)
{
    GLPanel1->SetActive(false);
    event->accept();
}
