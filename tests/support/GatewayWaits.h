#ifndef GATEWAYWAITS_H
#define GATEWAYWAITS_H

// Counts the gateway's "Mutex is already locked!" lines while it lives: a call has waited its
// first slice for the lock. Other messages go on to the handler that was installed before.

#include <QtGlobal>
#include <QString>

#include <atomic>

class GatewayWaits
{
public:
    GatewayWaits()
    {
        counted() = 0;
        previous() = qInstallMessageHandler(&GatewayWaits::handle);
    }
    ~GatewayWaits() { qInstallMessageHandler(previous()); }
    GatewayWaits(const GatewayWaits&) = delete;
    GatewayWaits& operator=(const GatewayWaits&) = delete;

    static int count() { return counted().load(); }

private:
    static std::atomic<int>& counted()
    {
        static std::atomic<int> lines{0};
        return lines;
    }
    static QtMessageHandler& previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (text == QLatin1String("DeviceInterface::lock() Mutex is already locked!"))
            ++counted();
        else if (previous())
            previous()(type, context, text);
    }
};

#endif // GATEWAYWAITS_H
