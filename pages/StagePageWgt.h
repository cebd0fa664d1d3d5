#ifndef STAGEPAGEWGT_H
#define STAGEPAGEWGT_H

#include <QByteArray>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "pages/FieldBinder.h"

class QDoubleSpinBox;
class QLineEdit;
class StageSettings;

// A page of the positioner's records, declared once in its binder like the controller pages.
//
// The positioner keeps these records in a memory the program cannot restore, so a page writes
// only what it loaded from the positioner present now: FromClassToUi marks the page loaded,
// SetDisabled(true) drops the mark, and an unloaded page leaves the target alone. A read-only
// page writes back a byte snapshot of its records taken at FromClassToUi; what its widgets
// round, clamp or re-encode is display only.
class StagePageWgt : public QWidget
{
    Q_OBJECT

public:
    StagePageWgt(QWidget* parent, StageSettings* settings);

    virtual void FromClassToUi();
    virtual void FromUiToClass(StageSettings* target);

    const FieldBinder& fieldBinder() const { return binder; }
    // Loaded from the container since the last SetDisabled(true), and enabled.
    bool isCurrent() const { return loaded && !disabled; }
    // Per byte of the container, the bits FromUiToClass may write.
    std::vector<uint8_t> footprint() const;

public slots:
    // Disables (true) or enables the page's input widgets. True also forgets the load; a
    // read-only page empties its fields (texts "", numbers 0).
    virtual void SetDisabled(bool set);

protected:
    // A record shown read-only: written back as the bytes loaded.
    template <typename Record>
    void snapshotRecord(const Record& record)
    {
        snapshotRecord(&record, sizeof record);
    }
    void snapshotRecord(const void* record, size_t size);
    // The four texts of an information record, shown read-only; the record is snapshot.
    template <typename Information, typename DescriptionEdit>
    void showInformation(const Information& record, QLineEdit* manufacturer, QLineEdit* series,
                         QLineEdit* articleNumber, DescriptionEdit* description)
    {
        binder.text(manufacturer, record.Manufacturer);
        binder.text(series, record.Series);
        binder.text(articleNumber, record.ArticleNumber);
        binder.text(description, record.Description);
        snapshotRecord(record);
    }
    // Every widget of the binder read-only.
    void makeReadOnly();
    // The forms build these boxes with a maximum of 1000000; the records hold any float.
    static void allowLargestFloat(std::initializer_list<QDoubleSpinBox*> boxes);
    // Texts to "", numbers to 0.
    void clearFields();

    StageSettings* settings;
    FieldBinder binder;

private:
    struct Snapshot
    {
        size_t offset;
        size_t size;
        QByteArray bytes;
    };
    std::vector<Snapshot> snapshots;
    bool loaded = false;
    bool disabled = false;
};

#endif // STAGEPAGEWGT_H
