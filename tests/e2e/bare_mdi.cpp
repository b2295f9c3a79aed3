// The bare Qt program the session's times are measured beside: a main
// window with an MDI area showing one picture, nothing of Tavro.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPixmap>

int main(int argc, char** argv)
{
    QApplication App(argc, argv);
    QMainWindow Main;
    Main.setWindowTitle("bare-mdi");
    auto* Area = new QMdiArea;
    Main.setCentralWidget(Area);
    QImage Picture(400, 300, QImage::Format_RGB32);
    if (argc < 2 || !Picture.load(QString::fromLocal8Bit(argv[1])))
        Picture.fill(Qt::white);
    auto* Label = new QLabel;
    Label->setPixmap(QPixmap::fromImage(Picture));
    QMdiSubWindow* Sub = Area->addSubWindow(Label);
    Sub->setWindowTitle("picture");
    Main.resize(1200, 900);
    Main.show();
    Sub->showMaximized();
    return App.exec();
}
