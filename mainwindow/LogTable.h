#ifndef LOGTABLE_H
#define LOGTABLE_H

#include <QByteArray>
#include <QCoreApplication>
#include <QStringList>

#include <functional>
#include <vector>

#include "common/Timer.h"
#include "log/LogItem.h"
#include "log/LogSettings.h"

class QTableWidget;
class QWidget;

// The single-axis window's log table: the program log's new lines moved in a bounded time per
// refresh, the rows it keeps, Clear, and the export to a CSV file.
class LogTable
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)

public:
    // Time one refresh may spend moving log lines into the table.
    static constexpr int logDrainMs = 50;
    // Rows the table always has room for.
    static constexpr int shownRows = 5;

    explicit LogTable(QTableWidget* table);

    void initLogTable();
    // Moves the lines waiting in the program log that pass settings into the table.
    void showPendingLogLines(const LogSettings& settings);
    // The table as exported: one CSV line per row, CR LF ended.
    QByteArray logTableCsv() const;
    // The Clear log button: the table and the lines still waiting.
    void OnClearLogBtnPressed();
    // The Save log button; parent carries the message of a failure.
    void OnSaveLogBtnPressed(QWidget* parent);

    // The clock of the log drain in milliseconds; the table's timer when empty. It starts
    // without an estimate of the drain's closing work.
    void setLogClock(std::function<double()> clock);
    // Rows the log table keeps (the daily file keeps every line); beyond this the oldest go,
    // logRowDropBlock at a time, so that the table is not shifted for every new line.
    int logRowLimit = 100000;
    int logRowDropBlock = 1000;

private:
    void appendLogRows(const std::vector<LogItem>& items);

    QTableWidget* const table;
    QStringList logTitles;
    Timer timer;
    std::function<double()> logClock;
    // What the log drain's closing work (trimming, scrolling) took per new row the last time.
    double logFinishPerRowMs = 0.005;
};

#endif // LOGTABLE_H
