#ifndef PROGRAMPAGEWGT_H
#define PROGRAMPAGEWGT_H

#include <QString>
#include <QWidget>

class QSettings;

// A page of the program's own settings. The record moves only through FromClassToUi and
// FromUiToClass; the file functions work on the widgets.
class ProgramPageWgt : public QWidget
{
    Q_OBJECT

public:
    explicit ProgramPageWgt(QWidget* parent) : QWidget(parent) {}

    virtual void FromClassToUi() = 0;
    virtual void FromUiToClass() = 0;
    virtual void SaveToFile(QSettings* settings) = 0;
    // Reads the page's group from file, a missing key from defaults when given (null: none).
    // Returns one report line per key that is missing or wrong.
    virtual QString RestoreFromFile(QSettings* file, QSettings* defaults) = 0;
};

#endif // PROGRAMPAGEWGT_H
