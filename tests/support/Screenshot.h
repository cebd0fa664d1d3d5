#ifndef SCREENSHOT_H
#define SCREENSHOT_H

#include <QDir>
#include <QImage>
#include <QWidget>

// Grabs a widget and keeps the picture in the test's own home folder (the build folder's
// test-home/<test>, or the test's temporary home) to be looked at. True when the picture has
// the widget's size and is not blank.
inline bool keepScreenshot(QWidget& widget, const QString& fileName)
{
    const QImage image = widget.grab().toImage();
    if (image.isNull() || image.size() != widget.size())
        return false;
    bool drawn = false;
    for (int y = 0; y < image.height() && !drawn; ++y) {
        for (int x = 0; x < image.width() && !drawn; ++x)
            drawn = image.pixel(x, y) != image.pixel(0, 0);
    }
    return drawn && image.save(QDir::home().filePath(fileName));
}

#endif // SCREENSHOT_H
