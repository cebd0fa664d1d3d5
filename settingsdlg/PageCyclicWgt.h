#ifndef PAGECYCLICWGT_H
#define PAGECYCLICWGT_H

#include "settingsdlg/ProgramPageWgt.h"

class CyclicSettings;
class QSettings;
namespace Ui { class PageCyclicWgtClass; }

// The "Cyclic motion" page: border-to-border or point-to-point motion and its two points.
// The file functions work on the widgets; the record changes only through FromUiToClass.
class PageCyclicWgt : public ProgramPageWgt
{
    Q_OBJECT

public:
    PageCyclicWgt(QWidget* parent, CyclicSettings* settings);
    ~PageCyclicWgt() override;

    void FromClassToUi() override;
    void FromUiToClass() override;
    // 0 border to border, 1 point to point, -1 when neither is chosen.
    int cyclicType() const;
    // The points follow the position unit of the current engine type.
    void setEngineType(unsigned int engineType);
    void SaveToFile(QSettings* settings) override;
    // Reads group "Cyclic"; a key missing from file is taken from defaults when given. Returns
    // one report line per key that is missing or wrong, in key order.
    QString RestoreFromFile(QSettings* file, QSettings* defaults) override;

private:
    Ui::PageCyclicWgtClass* form;
    CyclicSettings* settings;
};

#endif // PAGECYCLICWGT_H
