#ifndef STARTWINDOW_H
#define STARTWINDOW_H

#include <QList>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <cstdint>

class DeviceInterface;
class DeviceThread;
class QDate;
class QListWidgetItem;
class QMovie;
class QTimer;
namespace Ui { class StartWindowClass; }

// The device search window: runs one enumeration at a time, lists what it found and lets the
// user choose one controller, a set of two or three, or the set used last. Its only output is
// the result list that start-up polls: empty while nothing is chosen, the chosen device names,
// or "nodevices" first when the user cancelled.
class StartWindow : public QWidget
{
    Q_OBJECT

public:
    explicit StartWindow(uint32_t flags, QWidget* parent = nullptr);
    ~StartWindow() override;

    void startSearch();
    // Lets the window animate and react once, then returns what has been chosen so far.
    QStringList getResultList();
    // Runs the event loop until the user has chosen or cancelled and returns the result list;
    // a window that went away, or a loop ended from outside, counts as Cancel.
    QStringList waitForResult();

    // "Open last" is offered when the set that settings.ini names last is among the usable
    // controllers found.
    void readLastGroup(const QList<uint32_t>& serials);
    // Shows the text with Retry and Cancel and waits, the window still live, for the answer
    // (QMessageBox::Retry or QMessageBox::Cancel).
    int showMessage(const QString& text);
    void setLogo();
    // The new-year picture is shown from 24 December to 6 January.
    static bool newYearSeason(const QDate& date);

signals:
    // The list of what the search found is on show, ready for a choice.
    void deviceListShown();

public slots:
    void deviceListRecieved(QStringList names, QStringList descriptions, QList<uint32_t> serials,
                            QList<Qt::ItemFlags> flags);
    void itemDoubleClicked(QListWidgetItem* item);
    void itemClicked(QListWidgetItem* item);
    void selectBtnClicked();
    void retryBtnClicked();
    void cancelBtnClicked();
    void openLastConfigBtnClicked();
    void timerUpdate();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    enum DisplayState { MessageShown = 1, ListShown = 2, Searching = 4 };

    static bool usable(const QListWidgetItem* item);
    static QString deviceName(const QListWidgetItem* item);
    static uint32_t serialOf(const QListWidgetItem* item);
    // The names of the items ordered by the set's serials: each serial takes the first unused
    // usable item with it. Empty unless every serial finds one.
    static QStringList namesInSetOrder(const QList<uint32_t>& set, QList<QListWidgetItem*> items);
    static bool validSet(const QList<uint32_t>& set);
    void fitContents();

    Ui::StartWindowClass* form;
    DeviceInterface* gateway;
    DeviceThread* thread;
    QStringList resultList;
    QList<uint32_t> lastGroupSerials;
    QMovie* movie;
    int displayState;
    int targetSpeed;
    int savedFrame;
    QTimer* timer;
    int pressedButton;
    QPoint dragOffset;
    bool dragging;
};

#endif // STARTWINDOW_H
