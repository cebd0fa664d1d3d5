#include "pages/StagePageWgt.h"

#include <QAbstractSpinBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTextEdit>

#include <algorithm>
#include <cstring>
#include <limits>

#include "settings_model/StageSettings.h"

StagePageWgt::StagePageWgt(QWidget* parent, StageSettings* settings)
    : QWidget(parent), settings(settings), binder(settings)
{
}

void StagePageWgt::snapshotRecord(const void* record, size_t size)
{
    const char* at = static_cast<const char*>(record);
    const char* base = reinterpret_cast<const char*>(settings);
    Q_ASSERT(at >= base && at + size <= base + sizeof(StageSettings));
    snapshots.push_back(Snapshot{size_t(at - base), size, QByteArray()});
}

void StagePageWgt::FromClassToUi()
{
    binder.toUi();
    const char* base = reinterpret_cast<const char*>(settings);
    for (Snapshot& snapshot : snapshots)
        snapshot.bytes = QByteArray(base + snapshot.offset, int(snapshot.size));
    loaded = true;
}

void StagePageWgt::FromUiToClass(StageSettings* target)
{
    if (!loaded)
        return;
    if (snapshots.empty()) {
        binder.fromUi(target);
        return;
    }
    char* base = reinterpret_cast<char*>(target);
    for (const Snapshot& snapshot : snapshots)
        std::memcpy(base + snapshot.offset, snapshot.bytes.constData(), snapshot.size);
}

std::vector<uint8_t> StagePageWgt::footprint() const
{
    if (snapshots.empty())
        return binder.footprint();
    std::vector<uint8_t> bytes(sizeof(StageSettings), 0);
    for (const Snapshot& snapshot : snapshots)
        std::fill(bytes.begin() + long(snapshot.offset), bytes.begin() + long(snapshot.offset + snapshot.size), 0xFF);
    return bytes;
}

void StagePageWgt::makeReadOnly()
{
    for (QWidget* widget : binder.widgets()) {
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            edit->setReadOnly(true);
        else if (auto* text = qobject_cast<QTextEdit*>(widget))
            text->setReadOnly(true);
        else if (auto* box = qobject_cast<QAbstractSpinBox*>(widget))
            box->setReadOnly(true);
    }
}

void StagePageWgt::allowLargestFloat(std::initializer_list<QDoubleSpinBox*> boxes)
{
    for (QDoubleSpinBox* box : boxes)
        box->setMaximum(double(std::numeric_limits<float>::max()));
}

void StagePageWgt::clearFields()
{
    for (QWidget* widget : binder.widgets()) {
        if (auto* edit = qobject_cast<QLineEdit*>(widget))
            edit->clear();
        else if (auto* text = qobject_cast<QTextEdit*>(widget))
            text->clear();
        else if (auto* box = qobject_cast<QSpinBox*>(widget))
            box->setValue(0);
        else if (auto* real = qobject_cast<QDoubleSpinBox*>(widget))
            real->setValue(0.0);
    }
}

void StagePageWgt::SetDisabled(bool set)
{
    disabled = set;
    for (QWidget* widget : binder.widgets())
        widget->setDisabled(set);
    if (!set)
        return;
    loaded = false;
    for (Snapshot& snapshot : snapshots)
        snapshot.bytes.clear();
    if (!snapshots.empty())
        clearFields();
}
