#ifndef CYCLICSETTINGS_H
#define CYCLICSETTINGS_H

// How the main window's cyclic motion swings the axis.
class CyclicSettings
{
public:
    CyclicSettings();

    int type;        // -1 undefined, 0 border to border, 1 point to point
    int leftPoint;   // turning points of point-to-point motion, whole position units
    int spare1;
    int rightPoint;
    int spare2;
};

#endif // CYCLICSETTINGS_H
