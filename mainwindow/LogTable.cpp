#include "mainwindow/LogTable.h"

#include <QDateTime>
#include <QHeaderView>
#include <QMessageBox>
#include <QScrollBar>
#include <QTableWidget>

#include <algorithm>

#include "common/FileChooser.h"
#include "common/FileSaver.h"
#include "common/Formatting.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "log/MessageLog.h"

namespace {

// The message cell's colour of a log level.
QColor levelColour(int level)
{
    switch (level) {
    case 1:
        return QColor(QStringLiteral("#FF0000"));
    case 2:
        return QColor(QStringLiteral("#B0A000"));
    case 3:
        return QColor(QStringLiteral("#008000"));
    case 4:
        return QColor(QStringLiteral("#0000FF"));
    default:
        return QColor(QStringLiteral("black"));
    }
}

// Whether a line passes the threshold of its source; lines of other sources never show.
bool logLineShown(const QString& source, int level, const LogSettings& settings)
{
    int threshold;
    if (source == QLatin1String("Tolmo"))
        threshold = settings.programLevel;
    else if (source == QLatin1String("Script"))
        threshold = settings.scriptLevel;
    else if (source == QLatin1String("libtrov"))
        threshold = settings.libraryLevel;
    else
        return false;
    return level <= threshold;
}

} // namespace

LogTable::LogTable(QTableWidget* tableIn) : table(tableIn)
{
    timer.start();
}

void LogTable::initLogTable()
{
    table->setColumnCount(4);
    logTitles.clear();
    logTitles << tr("Date") << tr("Time") << tr("Source") << tr("Message");
    table->setHorizontalHeaderLabels(logTitles);
    table->verticalHeader()->hide();
    table->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    const int rowHeight = QFontMetrics(table->font()).height() + 2;
    table->verticalHeader()->setDefaultSectionSize(rowHeight);
    // However small the window, the last lines read, not one or two of them.
    table->setMinimumHeight(table->horizontalHeader()->sizeHint().height() + shownRows * rowHeight + 2 * table->frameWidth()
                            + table->horizontalScrollBar()->sizeHint().height());
    // Rows of one height: the view need not measure them.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->setStyleSheet(QStringLiteral("QTableWidget { gridline-color: #F0F0F0 }"));
    // Set once: per row it would measure the whole table again.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
}

void LogTable::setLogClock(std::function<double()> clock)
{
    logClock = std::move(clock);
    logFinishPerRowMs = 0;
}

void LogTable::showPendingLogLines(const LogSettings& settings)
{
    if (!messageLog)
        return;
    QScrollBar* bar = table->verticalScrollBar();
    const bool atBottom = bar->value() == bar->maximum();
    const auto now = [this] { return logClock ? logClock() : timer.getElapsedTimeInMilliSec(); };
    const double start = now();
    // Rows go in a block at a time: one insertion per row makes the view's bookkeeping grow
    // with the table.
    constexpr int rowsPerBlock = 64;
    std::vector<LogItem> block;
    block.reserve(rowsPerBlock);
    bool added = false;
    int rowsAdded = 0;
    const auto flush = [&] {
        if (block.empty())
            return;
        if (!added) {
            table->setUpdatesEnabled(false);
            added = true;
        }
        appendLogRows(block);
        rowsAdded += int(block.size());
        block.clear();
    };
    LogItem item;
    while (messageLog->takeItem(&item)) {
        if (logLineShown(item.source, item.loglevel, settings)) {
            block.push_back(std::move(item));
            if (int(block.size()) == rowsPerBlock)
                flush();
        }
        // The work after the loop (scrolling lays out the new rows) counts too: the budget keeps
        // room for it at the rate of the last time.
        if (now() - start + double(rowsAdded + block.size()) * logFinishPerRowMs >= logDrainMs)
            break;
    }
    flush();
    if (!added)
        return;
    const double finishStart = now();
    if (table->rowCount() > logRowLimit) {
        const int dropBlock = std::max(1, logRowDropBlock);
        const int excess = table->rowCount() - logRowLimit;
        const int drop = ((excess + dropBlock - 1) / dropBlock) * dropBlock;
        table->model()->removeRows(0, std::min(drop, table->rowCount()));
    }
    table->setUpdatesEnabled(true);
    if (atBottom)
        table->scrollToBottom();
    logFinishPerRowMs = std::clamp((now() - finishStart) / rowsAdded, 0.0, 0.1);
}

void LogTable::appendLogRows(const std::vector<LogItem>& items)
{
    int row = table->rowCount();
    table->setRowCount(row + int(items.size()));
    for (const LogItem& line : items) {
        table->setItem(row, 0, new QTableWidgetItem(line.datetime.toString(QStringLiteral("yyyy.MM.dd"))));
        table->setItem(row, 1, new QTableWidgetItem(line.datetime.toString(QStringLiteral("hh:mm:ss.zzz"))));
        table->setItem(row, 2, new QTableWidgetItem(line.source));
        auto* text = new QTableWidgetItem(line.message);
        text->setForeground(levelColour(line.loglevel));
        // A line longer than the column is cut with "...": on hover it reads whole.
        text->setToolTip(line.message);
        table->setItem(row, 3, text);
        ++row;
    }
}

void LogTable::OnClearLogBtnPressed()
{
    if (messageLog)
        messageLog->clearItems();
    table->clear();
    table->setRowCount(0);
    initLogTable();
}

QByteArray LogTable::logTableCsv() const
{
    QString text;
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < table->columnCount(); ++column) {
            if (column > 0)
                text += QLatin1Char(',');
            const QTableWidgetItem* cell = table->item(row, column);
            appendCsvField(text, cell ? cell->text() : QString());
        }
        text += QLatin1String("\r\n");
    }
    return text.toUtf8();
}

void LogTable::OnSaveLogBtnPressed(QWidget* parent)
{
    const QString proposed = configDirPath() + QStringLiteral("/log_")
                             + QDateTime::currentDateTime().toString(QStringLiteral("yyyy.MM.dd_hh.mm.ss"))
                             + QStringLiteral(".csv");
    const QString path = FileChooser::current()->saveFileName(
        nullptr, tr("Save log file"), proposed, tr("CSV files (*.csv);;Text files (*.txt);;All files (*)"));
    if (path.isEmpty())
        return;
    // Written beside the target and moved over it only when complete: a failure leaves an
    // existing file as it was.
    QString reason;
    if (FileSaver::save(path, logTableCsv(), &reason))
        return;
    MessagePrompter::current()->prompt(parent, QMessageBox::Warning, tr("Error"),
                                       tr("The log could not be saved to %1:\n%2").arg(path, reason), QMessageBox::Ok,
                                       QMessageBox::Ok);
}
