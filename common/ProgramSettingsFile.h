#ifndef PROGRAMSETTINGSFILE_H
#define PROGRAMSETTINGSFILE_H

#include <QString>
#include <QVector>

class QSettings;

// The groups of settings.ini that are not the log page's own ("Log_setup"): the device search
// options, the multi-axis window's units and the sets of controllers used together. Every
// function works on a store the caller opened (an IniSettings on settingsIniPath()) and leaves
// it at the top level.
class ProgramSettingsFile
{
public:
    // Group "Device_search_options".
    struct SearchOptions
    {
        bool probe = true;      // "Enumerate_probe"
        bool allPorts = false;  // "Enumerate_all_com"
        // The enumeration flags: probe + 2 x all ports.
        int enumerationFlags() const;
    };

    // Group "Multiaxis": user units of the multi-axis window.
    struct UnitOptions
    {
        // The unit dialog's bounds, also applied to what the file holds.
        static constexpr unsigned int maxCoefficient = 1000000;
        static constexpr unsigned int maxPrecision = 9;
        bool recalcEnabled = false;  // "Recalc_enabled"
        QString units;               // "Units"
        unsigned int coeff1 = 1;     // "Coeff_1": full steps of the ratio, 1 to 1000000
        unsigned int coeff2 = 1;     // "Coeff_2": user units of the ratio, 1 to 1000000
        unsigned int precision = 2;  // "Precision": decimals, 0 to 9
    };

    static SearchOptions readSearchOptions(QSettings& file);
    static void writeSearchOptions(QSettings& file, const SearchOptions& options);

    static UnitOptions readUnitOptions(QSettings& file);
    static void writeUnitOptions(QSettings& file, const UnitOptions& options);

    // "SN_" and the serials in ascending numeric order joined by "-".
    static QString controllerSetName(QVector<unsigned int> serials);
    // Writes the set's group (keys "0", "1", "2" in axis order) and names it in "last_group".
    static void writeControllerSet(QSettings& file, const QVector<unsigned int>& serialsInAxisOrder);
    // "last_group" of group "Multiaxis"; empty when missing.
    static QString lastGroupName(QSettings& file);
    // The serials of a set's group in axis order: keys "0", "1", "2", ending at the first key
    // that is missing or holds no serial number.
    static QVector<unsigned int> readControllerSet(QSettings& file, const QString& groupName);
};

#endif
