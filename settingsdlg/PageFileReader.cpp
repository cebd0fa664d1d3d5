#include "settingsdlg/PageFileReader.h"

#include "settingsdlg/PageReports.h"

#include <QSettings>
#include <QStringList>

#include <cmath>

PageFileReader::PageFileReader(QSettings* file, QSettings* defaults, const QString& group)
    : file(file), defaults(defaults == file ? nullptr : defaults)
{
    file->beginGroup(group);
    if (this->defaults) {
        this->defaults->beginGroup(group);
    }
}

PageFileReader::~PageFileReader()
{
    file->endGroup();
    if (defaults) {
        defaults->endGroup();
    }
}

bool PageFileReader::text(const QString& key, QString* value, bool* missing)
{
    const QSettings* store = file->contains(key) ? file : defaults;
    *missing = false;
    if (!store) {
        lines += pageKeyNotFound(key);
        return false;
    }
    if (!store->contains(key)) {
        *missing = true;
        return true;
    }
    const QVariant stored = store->value(key);
    *value = stored.userType() == QMetaType::QStringList ? stored.toStringList().join(QStringLiteral(", "))
                                                           : stored.toString();
    return true;
}

bool PageFileReader::readInt(const QString& key, qint64* value)
{
    QString word;
    bool missing = false;
    if (!text(key, &word, &missing)) {
        return false;
    }
    if (missing) {
        *value = 0;
        return true;
    }
    bool ok = false;
    const qint64 number = word.trimmed().toLongLong(&ok, 10);
    if (!ok) {
        lines += pageValueWrong(key);
        return false;
    }
    *value = number;
    return true;
}

bool PageFileReader::readReal(const QString& key, double* value)
{
    QString word;
    bool missing = false;
    if (!text(key, &word, &missing)) {
        return false;
    }
    if (missing) {
        *value = 0.0;
        return true;
    }
    bool ok = false;
    const double number = word.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(number)) {
        lines += pageValueWrong(key);
        return false;
    }
    *value = number;
    return true;
}

bool PageFileReader::readBool(const QString& key, bool* value)
{
    QString word;
    bool missing = false;
    if (!text(key, &word, &missing)) {
        return false;
    }
    if (missing) {
        *value = true;
        return true;
    }
    word = word.trimmed();
    bool isNumber = false;
    const qint64 number = word.toLongLong(&isNumber, 10);
    if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) {
        *value = true;
    } else if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) {
        *value = false;
    } else if (isNumber) {
        *value = number != 0;
    } else {
        lines += pageValueWrong(key);
        return false;
    }
    return true;
}

bool PageFileReader::readColor(const QString& key, QColor* value)
{
    QString word;
    bool missing = false;
    if (!text(key, &word, &missing)) {
        return false;
    }
    // An unparsable name gives an invalid colour, which the colour button shows as such.
    *value = QColor(missing ? QStringLiteral("0") : word.trimmed());
    return true;
}
