#include "settingsdlg/PageLogSettingsWgt.h"

#include "log/LogSettings.h"
#include "ui_pagelogsettingswgt.h"

#include "settingsdlg/PageReports.h"

#include <QSettings>
#include <QStringList>

namespace {

const QString groupName = QStringLiteral("Log_setup");
const QString programKey = QStringLiteral("Tolmo_loglevel");
const QString scriptKey = QStringLiteral("script_loglevel");
const QString libraryKey = QStringLiteral("library_loglevel");
const QString autosaveKey = QStringLiteral("Autosave_enabled");
const QString pathKey = QStringLiteral("Autosave_path");

QString valueText(const QSettings* file, const QString& key)
{
    const QVariant value = file->value(key);
    if (value.userType() == QMetaType::QStringList) {
        return value.toStringList().join(QStringLiteral(", "));
    }
    return value.toString();
}

bool isLevel(int level)
{
    return level >= 0 && level <= 3;
}

// Sets the combo box to the level when it is one of its entries; anything else leaves it.
void showLevel(QComboBox* box, int level)
{
    if (isLevel(level) && level < box->count()) {
        box->setCurrentIndex(level);
    }
}

// The record keeps its level when the combo box shows none.
void takeLevel(const QComboBox* box, int* level)
{
    if (isLevel(box->currentIndex())) {
        *level = box->currentIndex();
    }
}

} // namespace

PageLogSettingsWgt::PageLogSettingsWgt(QWidget* parent, LogSettings* settings)
    : ProgramPageWgt(parent), form(new Ui::PageLogSettingsWgtClass), settings(settings)
{
    form->setupUi(this);
    showRecord(LogSettings());
    form->AutosavePath->setEnabled(form->AutosaveChk->isChecked());
}

PageLogSettingsWgt::~PageLogSettingsWgt()
{
    delete form;
}

void PageLogSettingsWgt::showRecord(const LogSettings& record)
{
    showLevel(form->comboBoxXLL, record.programLevel);
    showLevel(form->comboBoxSLL, record.scriptLevel);
    showLevel(form->comboBoxLLL, record.libraryLevel);
    form->AutosaveChk->setChecked(record.autosave);
}

void PageLogSettingsWgt::FromClassToUi()
{
    showRecord(*settings);
    form->AutosavePath->setText(settings->autosaveFolder.path());
}

void PageLogSettingsWgt::FromUiToClass()
{
    takeLevel(form->comboBoxXLL, &settings->programLevel);
    takeLevel(form->comboBoxSLL, &settings->scriptLevel);
    takeLevel(form->comboBoxLLL, &settings->libraryLevel);
    settings->autosave = form->AutosaveChk->isChecked();
    settings->autosaveFolder = QDir(form->AutosavePath->text());
}

void PageLogSettingsWgt::SaveToFile(QSettings* settings)
{
    settings->beginGroup(groupName);
    settings->setValue(programKey, form->comboBoxXLL->currentIndex());
    settings->setValue(scriptKey, form->comboBoxSLL->currentIndex());
    settings->setValue(libraryKey, form->comboBoxLLL->currentIndex());
    settings->setValue(autosaveKey, form->AutosaveChk->isChecked());
    settings->setValue(pathKey, form->AutosavePath->text());
    settings->endGroup();
}

QString PageLogSettingsWgt::RestoreFromFile(QSettings* file, QSettings* defaults)
{
    Q_UNUSED(defaults);
    return RestoreFromFile(file);
}

QString PageLogSettingsWgt::RestoreFromFile(QSettings* file)
{
    QString report;
    file->beginGroup(groupName);

    for (const auto& level : {std::make_pair(programKey, form->comboBoxXLL),
                              std::make_pair(scriptKey, form->comboBoxSLL),
                              std::make_pair(libraryKey, form->comboBoxLLL)}) {
        if (!file->contains(level.first)) {
            report += pageKeyNotFound(level.first);
            continue;
        }
        bool ok = false;
        const int value = valueText(file, level.first).trimmed().toInt(&ok, 10);
        if (ok && isLevel(value)) {
            level.second->setCurrentIndex(value);
        } else {
            report += pageValueWrong(level.first);
        }
    }

    if (!file->contains(autosaveKey)) {
        report += pageKeyNotFound(autosaveKey);
    } else {
        const QString word = valueText(file, autosaveKey).trimmed();
        bool isNumber = false;
        const qlonglong number = word.toLongLong(&isNumber, 10);
        if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
            form->AutosaveChk->setChecked(true);
        } else if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
            form->AutosaveChk->setChecked(false);
        } else if (isNumber) {
            form->AutosaveChk->setChecked(number != 0);
        } else {
            report += pageValueWrong(autosaveKey);
        }
    }

    if (!file->contains(pathKey)) {
        report += pageKeyNotFound(pathKey);
    } else {
        form->AutosavePath->setText(valueText(file, pathKey));
    }

    file->endGroup();
    return report;
}
