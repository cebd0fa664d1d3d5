#ifndef PAGEABOUTDEVICEWGT_H
#define PAGEABOUTDEVICEWGT_H

#include <functional>

#include "widgets/InfoBox.h"
#include "pages/ControllerPageWgt.h"
#include "trov.h"

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
    // Takes the name record Set name makes to the controller (the dialog hands it to the axis'
    // courier); without one the button writes nothing.
    using NameWriter = std::function<void(const controller_name_t& name)>;
    void setNameWriter(NameWriter writer) { nameWriter = std::move(writer); }

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
    NameWriter nameWriter;
};

#endif // PAGEABOUTDEVICEWGT_H
