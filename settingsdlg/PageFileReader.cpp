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

template <typename T, typename Parse>
bool PageFileReader::read(const QString& key, T* value, T whenMissing, Parse parse)
{
    QString word;
    bool missing = false;
    if (!text(key, &word, &missing))
        return false;
    if (missing) {
        *value = whenMissing;
        return true;
    }
    if (!parse(word.trimmed(), value)) {
        lines += pageValueWrong(key);
        return false;
    }
    return true;
}

bool PageFileReader::readInt(const QString& key, qint64* value)
{
    return read<qint64>(key, value, 0, [](const QString& word, qint64* number) {
        bool ok = false;
        const qint64 parsed = word.toLongLong(&ok, 10);
        if (ok)
            *number = parsed;
        return ok;
    });
}

bool PageFileReader::readReal(const QString& key, double* value)
{
    return read<double>(key, value, 0.0, [](const QString& word, double* number) {
        bool ok = false;
        const double parsed = word.toDouble(&ok);
        if (!ok || !std::isfinite(parsed))
            return false;
        *number = parsed;
        return true;
    });
}

bool PageFileReader::readBool(const QString& key, bool* value)
{
    return read<bool>(key, value, true, [](const QString& word, bool* flag) {
        bool isNumber = false;
        const qint64 number = word.toLongLong(&isNumber, 10);
        if (word.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            *flag = true;
        else if (word.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
            *flag = false;
        else if (isNumber)
            *flag = number != 0;
        else
            return false;
        return true;
    });
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
