#include "common/SeenOrder.h"

#include <QThread>

void SeenOrder::passAtEndOf(QThread* thread)
{
    // finished is emitted in the thread itself, after its event loop let go of Qt's queues.
    QObject::connect(thread, &QThread::finished, thread, [this] { pass(); }, Qt::DirectConnection);
}
