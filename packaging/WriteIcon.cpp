// Writes the program's icon as a PNG file, for the desktop's icon theme: the
// installed icon is the one the window shows, drawn by the same code.
#include <QImage>

#include <cstdio>

#include "res/Resources.h"
#include "res/Resource.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: WriteIcon FILE.png\n", stderr);
        return 2;
    }
    // Drawing into an image needs no application object.
    const QImage image = norvane::LoadIconImage(norvane::IDR_MAINFRAME);
    if (image.isNull() || !image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "WriteIcon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
