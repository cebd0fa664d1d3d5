#ifndef PAGESTEP3WGT_H
#define PAGESTEP3WGT_H

#include <QWidget>

#include <array>
#include <cstdint>

#include "widgets/InfoBox.h"

class ControllerSettings;
class DeviceInterface;
class UpdateThread;
namespace Ui { class PageStep3WgtClass; }

// Service page for the controller's production data: its serial number, its device key and a
// restart into the bootloader. No window places it.
class PageStep3Wgt : public QWidget
{
    Q_OBJECT

public:
    static constexpr int keySize = 32;
    // The pauses of the key write; tests shorten them.
    struct Waits
    {
        int prepareMs = 500;
        int beforeWriteMs = 250;
        int restartMs = 2000;
        int reconnectLimitMs = 15000;
    };

    PageStep3Wgt(QWidget* parent, UpdateThread* thread, ControllerSettings* identity, DeviceInterface* gateway);
    ~PageStep3Wgt() override;

    void setWaits(const Waits& waits);
    // Puts the text into the key box and converts it; false (buffer untouched) unless it is
    // exactly 64 hexadecimal digits.
    bool setKey(const QString& text);
    QString keyText() const;
    // Exactly 64 hexadecimal digits, either case, nothing else.
    static bool parseKey(const QString& text, std::array<uint8_t, keySize>* key);
    static QString resultText(int result);
    InfoBox& waitBox() { return infoBox; }

public slots:
    void OnSetBtnPressed();
    void OnWriteSNBtnPressed();
    void OnRebootToBoot();

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The identity read again, leaving the program's set-up state alone; snBox follows it.
    void readIdentity();
    // Converts the key box; tells the operator why not when it is not a key.
    bool takeKey();

    InfoBox infoBox;
    Ui::PageStep3WgtClass* form;
    UpdateThread* thread;
    ControllerSettings* identity;
    DeviceInterface* gateway;
    std::array<uint8_t, keySize> key;
    Waits waits;
};

#endif // PAGESTEP3WGT_H
