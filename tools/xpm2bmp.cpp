// Writes an image file as a Windows bitmap: the build turns the player's text-form images into
// the "BackGround" bitmaps it reads at run time. Usage: vexlo-xpm2bmp SOURCE TARGET
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SOURCE TARGET\n", argv[0]);
        return 2;
    }
    const QImage image(QString::fromLocal8Bit(argv[1]));
    if (image.isNull() || !image.convertToFormat(QImage::Format_RGB888).save(argv[2], "BMP")) {
        std::fprintf(stderr, "%s: cannot convert %s to %s\n", argv[0], argv[1], argv[2]);
        return 1;
    }
    return 0;
}
