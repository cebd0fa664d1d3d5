#include "app/StartWindow.h"

#include "device/StartupGlobals.h"
#include "common/Formatting.h"
#include "common/IniSettings.h"
#include "common/Paths.h"
#include "common/ProgramSettingsFile.h"
#include "common/Waits.h"
#include "device/DeviceInterface.h"
#include "device/DeviceThread.h"
#include "widgets/ProgramResources.h"
#include "common/WindowPlacement.h"
#include "ui_startwindow.h"

#include <QApplication>
#include <QDate>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMessageBox>
#include <QMouseEvent>
#include <QMovie>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {

const int maxAxes = 3;
const QString noDevices = QStringLiteral("nodevices");

} // namespace

StartWindow::StartWindow(uint32_t flags, QWidget* parent)
    : QWidget(parent),
      form(new Ui::StartWindowClass),
      gateway(nullptr),
      thread(nullptr),
      movie(nullptr),
      displayState(Searching),
      targetSpeed(200),
      savedFrame(0),
      timer(nullptr),
      pressedButton(-1),
      dragging(false)
{
    loadProgramResources();
    form->setupUi(this);
    keepOnScreen(this);
    form->plusBtn->hide();
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
                   | Qt::MSWindowsFixedSizeDialogHint);

    form->titleLbl->setText(QStringLiteral("Tolmo ") + programVersionText());
    form->releaseDateLbl->setText(QStringLiteral("release date: ") + buildDateString());
    setLogo();

    movie = new QMovie(QStringLiteral(":/startwindow/images/startwindow/arrows.gif"), QByteArray(), this);
    form->pixLbl->setMovie(movie);
    movie->setSpeed(15);
    movie->setCacheMode(QMovie::CacheAll);
    movie->start();

    form->buttonsFrame->hide();
    form->selectBtn->hide();
    form->selectBtn->setDefault(true);
    form->openLastConfigBtn->hide();
    form->deviceList->hide();

    QScreen* screen = this->screen();
    if (!screen) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen) {
        QRect frame = geometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    targetSpeed = 200;
    savedFrame = 0;
    timer = new QTimer(this);
    timer->start(10);

    gateway = new DeviceInterface;
    thread = new DeviceThread(this, gateway, flags);

    connect(thread, &DeviceThread::finished, this, &StartWindow::deviceListRecieved);
    connect(form->deviceList, &QListWidget::itemDoubleClicked, this, &StartWindow::itemDoubleClicked);
    connect(form->deviceList, &QListWidget::itemClicked, this, &StartWindow::itemClicked);
    connect(form->selectBtn, &QPushButton::clicked, this, &StartWindow::selectBtnClicked);
    connect(form->retryBtn, &QPushButton::clicked, this, &StartWindow::retryBtnClicked);
    connect(form->cancelBtn, &QPushButton::clicked, this, &StartWindow::cancelBtnClicked);
    connect(form->openLastConfigBtn, &QPushButton::clicked, this, &StartWindow::openLastConfigBtnClicked);
    connect(timer, &QTimer::timeout, this, &StartWindow::timerUpdate, Qt::DirectConnection);
}

StartWindow::~StartWindow()
{
    // The thread stops before its next device and is waited for; only then can its gateway go.
    delete thread;
    delete gateway;
    delete form;
}

bool StartWindow::newYearSeason(const QDate& date)
{
    const int day = date.dayOfYear();
    return date.daysInYear() - day <= 7 || day <= 6;
}

void StartWindow::setLogo()
{
    const QString picture = newYearSeason(QDate::currentDate())
                                ? QStringLiteral(":/startwindow/images/startwindow/new_year.svg")
                                : QStringLiteral(":/startwindow/images/startwindow/motor_icon.svg");
    form->motorLbl->setPixmap(QPixmap(picture));
}

void StartWindow::startSearch()
{
    displayState = Searching;
    targetSpeed = 200;
    form->infoLbl->setText(QStringLiteral("Searching devices..."));
    resultList.clear();
    // A run that has just sent its lists may not have returned yet; a start now would be lost.
    thread->wait();
    thread->start(QThread::InheritPriority);
}

QStringList StartWindow::getResultList()
{
    form->pixLbl->repaint();
    QCoreApplication::processEvents();
    return resultList;
}

QStringList StartWindow::waitForResult()
{
    // The animation has its own timer; waiting itself wakes nothing up.
    QPointer<StartWindow> self(this);
    runEventsUntil([&self] { return !self || !self->resultList.isEmpty(); });
    if (!self || resultList.isEmpty())
        return QStringList{noDevices};
    return resultList;
}

bool StartWindow::usable(const QListWidgetItem* item)
{
    const Qt::ItemFlags flags = item->flags();
    return (flags & Qt::ItemIsEnabled) && (flags & Qt::ItemIsSelectable) && !deviceName(item).isEmpty();
}

QString StartWindow::deviceName(const QListWidgetItem* item)
{
    return item->data(Qt::ToolTipRole).toString();
}

uint32_t StartWindow::serialOf(const QListWidgetItem* item)
{
    return item->data(Qt::StatusTipRole).toUInt();
}

bool StartWindow::validSet(const QList<uint32_t>& set)
{
    if (set.isEmpty() || set.size() > maxAxes) {
        return false;
    }
    QList<uint32_t> sorted = set;
    std::sort(sorted.begin(), sorted.end());
    return std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
}

QStringList StartWindow::namesInSetOrder(const QList<uint32_t>& set, QList<QListWidgetItem*> items)
{
    QStringList names;
    for (uint32_t serial : set) {
        auto match = std::find_if(items.begin(), items.end(), [serial](const QListWidgetItem* item) {
            return usable(item) && serialOf(item) == serial;
        });
        if (match == items.end()) {
            return QStringList();
        }
        names << deviceName(*match);
        items.erase(match);
    }
    return names;
}

void StartWindow::deviceListRecieved(QStringList names, QStringList descriptions, QList<uint32_t> serials,
                                     QList<Qt::ItemFlags> flags)
{
    const int count = std::min({names.size(), descriptions.size(), serials.size(), flags.size()});
    form->infoLbl->setText(QStringLiteral("Searching devices... %1 found").arg(count));
    targetSpeed = 15;
    timer->start(10);

    if (count == 1 && (flags.at(0) & Qt::ItemIsEnabled) && !names.at(0).isEmpty() && autoSelectSingleDevice) {
        resultList.prepend(names.at(0));
        form->plusBtn->hide();
    } else if (count > 0) {
        displayState = ListShown;
        form->infoLbl->hide();
        form->questionLbl->hide();
        form->deviceList->show();
        form->buttonsFrame->show();
        form->selectBtn->show();
        form->openLastConfigBtn->show();
        form->deviceList->clear();
        for (int i = 0; i < count; ++i) {
            const Qt::ItemFlags itemFlags = names.at(i).isEmpty() ? Qt::NoItemFlags : flags.at(i);
            // A greyed row says why it cannot be chosen.
            const QString why = itemFlags & Qt::ItemIsEnabled ? QString() : QStringLiteral(" (busy)");
            auto* item = new QListWidgetItem(descriptions.at(i) + why, form->deviceList);
            // A port without a name can be listed but never chosen.
            item->setFlags(itemFlags);
            item->setData(Qt::ToolTipRole, names.at(i));
            item->setData(Qt::StatusTipRole, uint(serials.at(i)));
        }
        form->deviceList->setCurrentRow(0);
        // The arrow keys choose from the first moment, without a click into the list.
        form->deviceList->setFocus();
        form->selectBtn->setEnabled(true);
    } else {
        QPointer<StartWindow> self(this);
        form->deviceList->clear();
        const int answer = showMessage(QStringLiteral(
            "There are no devices seems to be valid.\nPress \"Retry\" to repeat search or \"Cancel\" to exit."));
        if (!self) {
            return;
        }
        if (answer == QMessageBox::Retry) {
            startSearch();
        } else {
            resultList.prepend(noDevices);
        }
    }

    form->deviceList->setMinimumWidth(
        std::min(form->deviceList->sizeHintForColumn(0) + 2 * form->deviceList->frameWidth(),
                 form->deviceList->maximumWidth()));
    fitContents();
    readLastGroup(serials.mid(0, count));
    if (displayState == ListShown)
        emit deviceListShown();
}

int StartWindow::showMessage(const QString& text)
{
    displayState = MessageShown;
    targetSpeed = 15;
    form->questionLbl->setText(text);
    form->questionLbl->show();
    form->infoLbl->show();
    form->buttonsFrame->show();
    form->selectBtn->hide();
    form->deviceList->hide();
    form->retryBtn->setFocus();
    fitContents();
    pressedButton = -1;
    QPointer<StartWindow> self(this);
    runEventsUntil([&self] { return !self || self->pressedButton >= 0; });
    if (!self || pressedButton < 0) {
        return QMessageBox::Cancel;
    }
    targetSpeed = 200;
    form->buttonsFrame->hide();
    form->questionLbl->clear();
    return pressedButton;
}

void StartWindow::fitContents()
{
    // The window's own minimum size keeps the layout from growing it: the list and the
    // buttons must not be cut off.
    if (layout()) {
        layout()->activate();
        resize(size().expandedTo(layout()->minimumSize()));
    }
}

void StartWindow::timerUpdate()
{
    const int speed = movie->speed();
    const int target = targetSpeed;
    if (movie->state() != QMovie::Running && speed < target) {
        movie->start();
        movie->jumpToFrame(savedFrame);
        form->pixLbl->setMovie(movie);
        form->pixLbl->repaint();
        return;
    }
    if (movie->state() == QMovie::Running && speed >= target && speed < 20) {
        movie->stop();
        timer->stop();
        movie->setSpeed(target);
        savedFrame = movie->currentFrameNumber();
        if (displayState == MessageShown || displayState == ListShown) {
            form->pixLbl->setPixmap(QPixmap(displayState == MessageShown
                                                ? QStringLiteral(":/startwindow/images/startwindow/question.svg")
                                                : QStringLiteral(":/startwindow/images/startwindow/list.svg")));
            movie->setCacheMode(QMovie::CacheAll);
        }
        return;
    }
    if (movie->state() == QMovie::Running) {
        if (speed < target) {
            movie->setSpeed(speed + 1 >= target ? target : speed + 2);
        } else if (speed > target) {
            movie->setSpeed(speed - 1 <= target ? target : speed - 2);
        }
    }
    form->pixLbl->repaint();
}

void StartWindow::itemClicked(QListWidgetItem* item)
{
    if (item && (item->flags() & Qt::ItemIsSelectable)) {
        form->selectBtn->setEnabled(true);
    }
}

void StartWindow::itemDoubleClicked(QListWidgetItem* item)
{
    if (item && usable(item)) {
        resultList.clear();
        resultList << deviceName(item);
    }
}

void StartWindow::selectBtnClicked()
{
    resultList.clear();
    QList<QListWidgetItem*> chosen;
    for (QListWidgetItem* item : form->deviceList->selectedItems()) {
        if (usable(item)) {
            chosen << item;
        }
    }
    // One controller for the single-axis window, two or three for the multi-axis one.
    if (chosen.isEmpty() || chosen.size() > maxAxes) {
        return;
    }

    QList<uint32_t> serials;
    QVector<unsigned int> setSerials;
    for (const QListWidgetItem* item : chosen) {
        serials << serialOf(item);
        setSerials << serialOf(item);
    }
    const QString setName = ProgramSettingsFile::controllerSetName(setSerials);

    // The remembered axis order counts only for exactly the chosen controllers.
    IniSettings file(settingsIniPath());
    if (file.childGroups().contains(setName)) {
        const QVector<unsigned int> remembered = ProgramSettingsFile::readControllerSet(file, setName);
        QList<uint32_t> order;
        for (unsigned int serial : remembered) {
            order << serial;
        }
        QList<uint32_t> sortedOrder = order;
        QList<uint32_t> sortedChosen = serials;
        std::sort(sortedOrder.begin(), sortedOrder.end());
        std::sort(sortedChosen.begin(), sortedChosen.end());
        if (sortedOrder == sortedChosen) {
            const QStringList names = namesInSetOrder(order, chosen);
            if (!names.isEmpty()) {
                resultList = names;
                return;
            }
        }
    }
    for (const QListWidgetItem* item : chosen) {
        resultList << deviceName(item);
    }
}

void StartWindow::openLastConfigBtnClicked()
{
    resultList.clear();
    if (!validSet(lastGroupSerials)) {
        return;
    }
    QList<QListWidgetItem*> items;
    for (int row = 0; row < form->deviceList->count(); ++row) {
        items << form->deviceList->item(row);
    }
    resultList = namesInSetOrder(lastGroupSerials, items);
}

void StartWindow::readLastGroup(const QList<uint32_t>& serials)
{
    IniSettings file(settingsIniPath());
    const QVector<unsigned int> set =
        ProgramSettingsFile::readControllerSet(file, ProgramSettingsFile::lastGroupName(file));
    lastGroupSerials.clear();
    for (unsigned int serial : set) {
        lastGroupSerials << serial;
    }

    bool offered = validSet(lastGroupSerials);
    if (offered) {
        QList<QListWidgetItem*> items;
        for (int row = 0; row < form->deviceList->count(); ++row) {
            items << form->deviceList->item(row);
        }
        for (uint32_t serial : lastGroupSerials) {
            offered = offered && serials.contains(serial);
        }
        offered = offered && !namesInSetOrder(lastGroupSerials, items).isEmpty();
    }
    form->openLastConfigBtn->setEnabled(offered);
}

void StartWindow::retryBtnClicked()
{
    pressedButton = QMessageBox::Retry;
    targetSpeed = 200;
    movie->setSpeed(200);
    movie->start();
    form->pixLbl->setMovie(movie);
    form->pixLbl->repaint();
    if (form->deviceList->isVisibleTo(this)) {
        form->infoLbl->show();
        form->buttonsFrame->hide();
        form->selectBtn->hide();
        form->deviceList->hide();
        startSearch();
    }
}

void StartWindow::cancelBtnClicked()
{
    pressedButton = QMessageBox::Cancel;
    resultList.prepend(noDevices);
}

void StartWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragOffset = event->pos();
        dragging = true;
    }
}

void StartWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragging = false;
    }
}

void StartWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (dragging) {
        move(event->globalPos() - dragOffset);
    }
}

void StartWindow::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier;
    if ((event->modifiers() & all) == all) {
        form->titleLbl->setText(QStringLiteral("Happy New Year!!!"));
        return;
    }
    // Escape is the Cancel button wherever it is on show: the list, the message.
    if (event->key() == Qt::Key_Escape) {
        if (form->cancelBtn->isVisibleTo(this) && form->cancelBtn->isEnabled()) {
            form->cancelBtn->click();
        }
        return;
    }
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        return;
    }
    // Enter presses the focused button, else Select, as in a dialog; the list passes it on.
    auto* focused = qobject_cast<QPushButton*>(QApplication::focusWidget());
    if (focused && isAncestorOf(focused) && focused->isEnabled()) {
        focused->click();
    } else if (form->selectBtn->isVisibleTo(this) && form->selectBtn->isEnabled()) {
        form->selectBtn->click();
    }
}
