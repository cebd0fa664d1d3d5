#ifndef FAKEABOUTDEVICEPAGEWGT_H
#define FAKEABOUTDEVICEPAGEWGT_H

#include "pages/PlaceholderControllerPageWgt.h"

// Stands in for the "About device" page with the slot the dialog connects; writes nothing.
class FakeAboutDevicePageWgt : public PlaceholderControllerPageWgt
{
    Q_OBJECT

public:
    FakeAboutDevicePageWgt(QWidget* parent, MotorSettings* settings)
        : PlaceholderControllerPageWgt(parent, settings), defaultLocation(true)
    {
    }

    bool usesDefaultLocation() const { return defaultLocation; }

public slots:
    void defaultLocationChanged(bool on) { defaultLocation = on; }

private:
    bool defaultLocation;
};

#endif // FAKEABOUTDEVICEPAGEWGT_H
