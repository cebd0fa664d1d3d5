#ifndef PAGEGRAPHWGT_H
#define PAGEGRAPHWGT_H

#include "settingsdlg/CurveWidgets.h"
#include "settingsdlg/ProgramPageWgt.h"

struct CurveSettings;
namespace Ui { class PageGraphWgtClass; }

// One chart curve's pen and value axis, stored in the curve's own group.
class PageGraphWgt : public ProgramPageWgt
{
    Q_OBJECT

public:
    PageGraphWgt(QWidget* parent, CurveSettings* settings, const QString& groupName);
    ~PageGraphWgt() override;

    void FromClassToUi() override;
    void FromUiToClass() override;
    void SaveToFile(QSettings* settings) override;
    QString RestoreFromFile(QSettings* file, QSettings* defaults) override;

    void setTitle(const QString& title);
    // The status-flag curve has no colour of its own to choose.
    void hideColorControls();
    const QString& groupName() const { return group; }

private:
    Ui::PageGraphWgtClass* form;
    CurveSettings* settings;
    QString group;
    CurveWidgets widgets;
};

#endif // PAGEGRAPHWGT_H
