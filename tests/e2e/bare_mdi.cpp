// The bare Qt program the session's times are measured beside: a main
// window with an MDI area showing one picture, nothing of Tavro. It does
// the session's timed steps in the plainest way: a key draws a mark on the
// picture, a drag's release draws a block where it ends, Ctrl+S saves the
// picture to the file named on the command line (which it shows at start
// when it exists).
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPixmap>

namespace {

class TPicture : public QLabel {
public:
    TPicture(const QString& File) : FFile(File), FImage(400, 300, QImage::Format_RGB32)
    {
        FImage.fill(Qt::white);
        if (QImage Saved; !FFile.isEmpty() && Saved.load(FFile))
            FImage = Saved.convertToFormat(QImage::Format_RGB32);
        setFocusPolicy(Qt::StrongFocus);
        setAlignment(Qt::AlignCenter);
        setStyleSheet("background: grey");
        Show();
    }

protected:
    void keyPressEvent(QKeyEvent* Event) override
    {
        if (Event->key() == Qt::Key_S && Event->modifiers() & Qt::ControlModifier) {
            FImage.save(FFile, "PNG");
            return;
        }
        QPainter P(&FImage);
        P.fillRect(20 + 12 * (FKeys++ % 30), 20, 10, 14, Qt::blue);
        P.end();
        Show();
    }

    void mouseReleaseEvent(QMouseEvent* Event) override
    {
        const QPoint At = Event->position().toPoint() - QPoint((width() - FImage.width()) / 2, (height() - FImage.height()) / 2);
        QPainter P(&FImage);
        P.fillRect(QRect(At - QPoint(20, 20), QSize(40, 40)), Qt::darkBlue);
        P.end();
        Show();
    }

private:
    void Show() { setPixmap(QPixmap::fromImage(FImage)); }
    QString FFile;
    QImage FImage;
    int FKeys = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication App(argc, argv);
    QMainWindow Main;
    Main.setWindowTitle("bare-mdi");
    auto* Area = new QMdiArea;
    Main.setCentralWidget(Area);
    auto* Picture = new TPicture(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    QMdiSubWindow* Sub = Area->addSubWindow(Picture);
    Sub->setWindowTitle("picture");
    Main.resize(1200, 900);
    Main.show();
    Sub->showMaximized();
    Picture->setFocus();
    return App.exec();
}
