#include "settingsdlg/CurveWidgets.h"

#include "chartdlg/CurveSettings.h"
#include "widgets/ColorButton.h"
#include "settingsdlg/PageFileReader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QPainter>
#include <QPixmap>
#include <QSettings>

#include <cmath>
#include <limits>

namespace {

const QString widthKey = QStringLiteral("Line_width");
const QString colorKey = QStringLiteral("Line_color");
const QString styleKey = QStringLiteral("Line_style");
const QString minKey = QStringLiteral("Scale_min");
const QString maxKey = QStringLiteral("Scale_max");
const QString autoscaleKey = QStringLiteral("Autoscale_enable");
const QString antialiasingKey = QStringLiteral("Antialiasing_enable");

int toInt(double value)
{
    const double cut = std::trunc(value);
    if (cut >= double(std::numeric_limits<int>::max())) {
        return std::numeric_limits<int>::max();
    }
    if (cut <= double(std::numeric_limits<int>::min())) {
        return std::numeric_limits<int>::min();
    }
    return int(cut);
}

} // namespace

void fillLineStyleCombo(QComboBox* combo)
{
    const struct {
        const char* text;
        Qt::PenStyle style;
    } entries[] = {{QT_TRANSLATE_NOOP("PageGraphWgt", "Solid line"), Qt::SolidLine},
                   {QT_TRANSLATE_NOOP("PageGraphWgt", "Dash line"), Qt::DashLine},
                   {QT_TRANSLATE_NOOP("PageGraphWgt", "Dot line"), Qt::DotLine},
                   {QT_TRANSLATE_NOOP("PageGraphWgt", "Dash dot line"), Qt::DashDotLine},
                   {QT_TRANSLATE_NOOP("PageGraphWgt", "Dash dot dot line"), Qt::DashDotDotLine}};
    combo->clear();
    combo->setIconSize(QSize(40, 10));
    for (const auto& entry : entries) {
        QPixmap picture(40, 10);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        painter.setPen(QPen(QBrush(Qt::black), 3, entry.style));
        painter.drawLine(0, 5, 40, 5);
        painter.end();
        combo->addItem(QIcon(picture), QCoreApplication::translate("PageGraphWgt", entry.text), int(entry.style));
    }
}

void curveSettingsToUi(const CurveSettings& settings, const CurveWidgets& widgets)
{
    widgets.color->setColor(settings.pen.color());
    widgets.style->setCurrentIndex(widgets.style->findData(int(settings.pen.style())));
    widgets.width->setValue(settings.pen.widthF());
    widgets.scaleMin->setValue(settings.min);
    widgets.scaleMax->setValue(settings.max);
    widgets.antialiasing->setChecked(settings.antialiasing);
    widgets.autoscale->setChecked(settings.autoscale);
}

void curveSettingsFromUi(CurveSettings* settings, const CurveWidgets& widgets)
{
    settings->pen.setColor(widgets.color->color());
    settings->pen.setStyle(Qt::PenStyle(widgets.style->currentData().toInt()));
    settings->pen.setWidthF(widgets.width->value());
    settings->min = toInt(widgets.scaleMin->value());
    settings->max = toInt(widgets.scaleMax->value());
    settings->antialiasing = widgets.antialiasing->isChecked();
    settings->autoscale = widgets.autoscale->isChecked();
}

void saveCurveSettings(QSettings* settings, const QString& group, const CurveWidgets& widgets)
{
    settings->beginGroup(group);
    settings->setValue(widthKey, widgets.width->value());
    settings->setValue(colorKey, widgets.color->color().name());
    settings->setValue(styleKey, widgets.style->currentIndex());
    settings->setValue(minKey, widgets.scaleMin->value());
    settings->setValue(maxKey, widgets.scaleMax->value());
    settings->setValue(autoscaleKey, widgets.autoscale->isChecked());
    settings->setValue(antialiasingKey, widgets.antialiasing->isChecked());
    settings->endGroup();
}

QString restoreCurveSettings(const QString& group, const CurveWidgets& widgets, QSettings* file,
                             QSettings* defaults)
{
    PageFileReader reader(file, defaults, group);
    double real = 0.0;
    if (reader.readReal(widthKey, &real)) {
        widgets.width->setValue(real);
    }
    if (reader.readReal(minKey, &real)) {
        widgets.scaleMin->setValue(real);
    }
    if (reader.readReal(maxKey, &real)) {
        widgets.scaleMax->setValue(real);
    }
    QColor color;
    if (reader.readColor(colorKey, &color)) {
        widgets.color->setColor(color);
    }
    qint64 index = 0;
    if (reader.readInt(styleKey, &index)) {
        // An index outside the entries leaves none current: the pen then draws no line.
        widgets.style->setCurrentIndex(index >= 0 && index < widgets.style->count() ? int(index) : -1);
    }
    bool on = false;
    if (reader.readBool(autoscaleKey, &on)) {
        widgets.autoscale->setChecked(on);
    }
    if (reader.readBool(antialiasingKey, &on)) {
        widgets.antialiasing->setChecked(on);
    }
    return reader.report();
}
