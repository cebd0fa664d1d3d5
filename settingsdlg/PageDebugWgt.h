#ifndef PAGEDEBUGWGT_H
#define PAGEDEBUGWGT_H

#include <QWidget>

#include <cstdint>

#include "trov.h"

class DeviceInterface;
class MotorSettings;
namespace Ui { class PageDebugWgtClass; }

// A service page: the controller's raw service commands and its debug dump. No tree item
// shows it. Commands that erase or reset ask first.
class PageDebugWgt : public QWidget
{
    Q_OBJECT

public:
    PageDebugWgt(QWidget* parent, MotorSettings* settings, DeviceInterface* device);
    ~PageDebugWgt() override;

    const uint8_t* debugBuffer() const { return buffer; }
    // Keeps the low byte of each debug word and shows the dump.
    void takeDebugRead(const debug_read_t& data);

signals:
    void EESV();
    void EERD();

public slots:
    void OnSpos();
    void OnGpos();
    void OnScal();
    void OnGcal();
    void OnLoft();
    void OnPwof();
    void OnEesv();
    void OnEerd();
    void OnRest();
    void OnClfr();
    void OnDebugPressed();
    void redraw();

private:
    bool confirmed(const QString& command);
    int handle() const;

    Ui::PageDebugWgtClass* ui;
    MotorSettings* settings;
    DeviceInterface* device;
    uint8_t buffer[128] = {};
};

#endif // PAGEDEBUGWGT_H
