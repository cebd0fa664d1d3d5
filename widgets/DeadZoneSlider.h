#ifndef DEADZONESLIDER_H
#define DEADZONESLIDER_H

#include <QSlider>

// A slider that the owner moves (the user cannot), drawn over two bands: the dead zone (red,
// upper band) and the whole range (green, lower band) of a joystick axis, both in slider units
// from 0 to the scale.
class DeadZoneSlider : public QSlider
{
    Q_OBJECT

public:
    DeadZoneSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

public slots:
    void SetWholeRange(int lower, int upper);
    void SetDeadZoneRange(int lower, int upper);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // x and width of the part [lower, upper] of the scale on a band w pixels wide; the width
    // is below 1 when there is nothing to draw.
    void bandPart(int lower, int upper, int w, int* x, int* width) const;

    int scale;
    int wholeLower;
    int wholeUpper;
    int deadLower;
    int deadUpper;
};

#endif // DEADZONESLIDER_H
