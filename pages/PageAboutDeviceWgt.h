#ifndef PAGEABOUTDEVICEWGT_H
#define PAGEABOUTDEVICEWGT_H

#include "widgets/InfoBox.h"
#include "pages/ControllerPageWgt.h"

class ControllerSettings;
class FirmwareUpdateThread;
namespace Ui { class PageAboutDeviceWgtClass; }

// "About device": the identity of the open controller, its friendly name, and the firmware
// update from a ".cod" file that the firmware thread carries out while a wait box tells how it goes.
class PageAboutDeviceWgt : public ControllerPageWgt
{
    Q_OBJECT

public:
    PageAboutDeviceWgt(QWidget* parent, MotorSettings* settings, ControllerSettings* identity,
                       FirmwareUpdateThread* firmwareThread, QString* firmwareFolder);
    ~PageAboutDeviceWgt() override;

    void FromClassToUi() override;

    // The text shown for a firmware thread's result.
    static QString resultText(int result);
    // Where the next firmware file dialog opens.
    QString startFolder() const;
    InfoBox& waitBox() { return infoBox; }

public slots:
    void defaultLocationChanged(bool isDefault);
    void OnUpdateFirmwareBtnClicked();
    void OnUpdateFirmwareFinished(int result);
    void OnSetNameBtnClicked();

private slots:
    void offerCancel();

private:
    InfoBox infoBox;
    Ui::PageAboutDeviceWgtClass* form;
    ControllerSettings* identity;
    FirmwareUpdateThread* firmwareThread;
    QString* firmwareFolder;
    bool useDefaultLocation;
};

#endif // PAGEABOUTDEVICEWGT_H
