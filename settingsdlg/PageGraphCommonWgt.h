#ifndef PAGEGRAPHCOMMONWGT_H
#define PAGEGRAPHCOMMONWGT_H

#include "settingsdlg/ProgramPageWgt.h"

struct GraphCommonSettings;
namespace Ui { class PageGraphCommonWgtClass; }

// "Graph setup": the visible interval, refresh period and stop behaviour of the chart window.
class PageGraphCommonWgt : public ProgramPageWgt
{
    Q_OBJECT

public:
    PageGraphCommonWgt(QWidget* parent, GraphCommonSettings* settings);
    ~PageGraphCommonWgt() override;

    void FromClassToUi() override;
    void FromUiToClass() override;
    // Group "Graph_common_setup".
    void SaveToFile(QSettings* settings) override;
    QString RestoreFromFile(QSettings* file, QSettings* defaults) override;

private:
    Ui::PageGraphCommonWgtClass* form;
    GraphCommonSettings* settings;
};

#endif // PAGEGRAPHCOMMONWGT_H
