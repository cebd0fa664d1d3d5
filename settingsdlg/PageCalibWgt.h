#ifndef PAGECALIBWGT_H
#define PAGECALIBWGT_H

#include <QWidget>

class QTimer;
namespace Ui { class PageCalibWgtClass; }

// A service page: the controller's analog inputs from the latest polled sample, raw codes and
// physical values, ten times a second. No tree item shows it.
class PageCalibWgt : public QWidget
{
    Q_OBJECT

public:
    explicit PageCalibWgt(QWidget* parent);
    ~PageCalibWgt() override;

public slots:
    void UpdateCalibration();

protected:
    void changeEvent(QEvent* event) override;

private:
    Ui::PageCalibWgtClass* ui;
    QTimer* timer;
};

#endif // PAGECALIBWGT_H
