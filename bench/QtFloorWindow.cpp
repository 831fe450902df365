// SPDX-License-Identifier: MIT
// The floor of launch to picture: the smallest Qt Widgets window that reads a bitmap and paints
// it, with a menu bar of Kelmo's five menus, at the screen's corner as Kelmo's window with a file.
// Usage: kelmo_qt_floor PICTURE.bmp [--no-menus]

#include <QApplication>
#include <QImageReader>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <cstring>

namespace {

class PictureView : public QWidget {
  public:
    explicit PictureView(QImage image) : image_(std::move(image)) { setFixedSize(image_.size()); }

  protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, image_); }

  private:
    QImage image_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc < 2) {
        return 2;
    }
    // Qt's bitmap reader, named: left to guess, Qt would first load every image plug-in.
    QImageReader reader(QString::fromLocal8Bit(argv[1]), "bmp");
    reader.setAutoDetectImageFormat(false);
    QMainWindow window;
    window.setCentralWidget(new PictureView(reader.read()));
    if (argc < 3 || std::strcmp(argv[2], "--no-menus") != 0) {
        for (const char* title : {"Fichero", "Editar", "Kelmo", "Imprimir", "Ayuda"}) {
            window.menuBar()->addMenu(QString::fromUtf8(title))->addAction(QStringLiteral("…"));
        }
    }
    window.move(0, 0);
    window.show();
    return QApplication::exec();
}
