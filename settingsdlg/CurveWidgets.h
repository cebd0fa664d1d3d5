#ifndef CURVEWIDGETS_H
#define CURVEWIDGETS_H

#include <QString>

class ColorButton;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSettings;
struct CurveSettings;

// The seven widgets that edit one curve record, on whatever page holds them.
struct CurveWidgets
{
    QDoubleSpinBox* width;
    QDoubleSpinBox* scaleMin;
    QDoubleSpinBox* scaleMax;
    QCheckBox* antialiasing;
    QCheckBox* autoscale;
    ColorButton* color;
    QComboBox* style;
};

// The five line styles, each with its picture and the pen style as item data.
void fillLineStyleCombo(QComboBox* combo);
void curveSettingsToUi(const CurveSettings& settings, const CurveWidgets& widgets);
// The scale limits cut toward zero; a style combo without a current entry gives no line.
void curveSettingsFromUi(CurveSettings* settings, const CurveWidgets& widgets);
void saveCurveSettings(QSettings* settings, const QString& group, const CurveWidgets& widgets);
QString restoreCurveSettings(const QString& group, const CurveWidgets& widgets, QSettings* file,
                             QSettings* defaults);

#endif // CURVEWIDGETS_H
