#ifndef MULTIAXISCONFIG_H
#define MULTIAXISCONFIG_H

#include <QString>
#include <QStringList>

#include "multiaxis/Multiaxis.h"

class IniSaver;

// The multi-axis window's own configuration: the user's units and the order of the axes in the
// slots, read from and written to settings.ini and set from the dimensional unit dialog.
class MultiaxisConfig
{
public:
    explicit MultiaxisConfig(Multiaxis& window);

    void loadUnitSettings();
    // Both write settings.ini; a failure is logged and shown once a session.
    void saveUnitSettings();
    void saveLastGroup();
    // Serial numbers of the axes in slot order, as decimal text.
    QStringList serialList() const;

    // Opens the dimensional unit dialog; what it sends comes back through the window's slots.
    void openCalibration();
    // New units: the target boxes change their unit, keeping their targets.
    void applyUnits(bool enabled, const QString& unitText, uint coeff1, uint coeff2, uint precision);
    // A new slot order, given as the serials in slot order.
    void applyOrder(const QStringList& serials);

private:
    void commitOrReport(IniSaver& file);

    Multiaxis& window;
};

#endif // MULTIAXISCONFIG_H
