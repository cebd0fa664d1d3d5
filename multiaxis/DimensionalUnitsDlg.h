#ifndef DIMENSIONALUNITSDLG_H
#define DIMENSIONALUNITSDLG_H

#include <QDialog>
#include <QStringList>

namespace Ui { class DimensionalUnitsDlgClass; }

// Edits the multi-axis window's user units and the order of its axes (by serial number). Holds
// nothing beyond its widgets: OK hands the values back through the two signals.
class DimensionalUnitsDlg : public QDialog
{
    Q_OBJECT

public:
    DimensionalUnitsDlg(QWidget* parent, const QString& title, bool enabled, const QString& unitName, uint steps,
                        uint units, uint precision, const QStringList& serials);
    ~DimensionalUnitsDlg() override;

    Ui::DimensionalUnitsDlgClass* ui;

signals:
    void sendUnits(bool enabled, QString unitName, uint steps, uint units, uint precision);
    // First row = axis X.
    void sendSerials(QStringList serials);

public slots:
    void onOKPressed();
    void onCancelPressed();
    void onBtnUpPressed();
    void onBtnDownPressed();

private:
    void moveCurrentRow(int by);
};

#endif // DIMENSIONALUNITSDLG_H
