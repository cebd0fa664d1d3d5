#include "widgets/InfoBox.h"

#include "widgets/ProgramResources.h"
#include "common/WindowPlacement.h"
#include "ui_infobox.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMovie>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

InfoBox::InfoBox(QWidget* parent)
    : QDialog(parent), closeOnCancel(true), form(new Ui::InfoBoxClass), movie(nullptr), inShowNow(false)
{
    loadProgramResources();
    form->setupUi(this);
    keepOnScreen(this);
    // A title bar without close, minimise or maximise buttons.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);

    form->iconLabel->clear();
    form->iconLabel->hide();
    form->movieLabel->clear();
    form->textLabel->clear();

    movie = new QMovie(QStringLiteral(":/devicedlg/images/devicedlg/wait.gif"), QByteArray(), this);
    form->movieLabel->setMovie(movie);
    movie->setSpeed(250);
    movie->start();
    // Turns only while shown: a window keeps its boxes for its whole life, mostly hidden.
    movie->setPaused(true);

    form->buttonBox->setStandardButtons(QDialogButtonBox::NoButton);
    form->buttonBox->hide();
    connect(form->buttonBox, SIGNAL(clicked(QAbstractButton*)), this, SLOT(buttonPressed(QAbstractButton*)));

    const QList<QScreen*> screens = QGuiApplication::screens();
    if (!screens.isEmpty()) {
        const QRect screen = screens.first()->geometry();
        move(screen.x() + screen.width() / 2 - width() / 2, screen.y() + screen.height() / 2 - height());
    }
}

InfoBox::~InfoBox()
{
    delete form;
}

void InfoBox::setIconType(int type)
{
    QStyle::StandardPixmap icon;
    switch (type) {
    case 0:
        form->iconLabel->clear();
        form->iconLabel->hide();
        adjustSize();
        return;
    case 1: icon = QStyle::SP_MessageBoxInformation; break;
    case 2: icon = QStyle::SP_MessageBoxWarning; break;
    case 3: icon = QStyle::SP_MessageBoxCritical; break;
    case 4: icon = QStyle::SP_MessageBoxQuestion; break;
    default: return;
    }
    form->iconLabel->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(32, 32));
    form->iconLabel->show();
    adjustSize();
}

void InfoBox::setText(const QString& text)
{
    form->textLabel->setText(text);
    adjustSize();
}

void InfoBox::setButtons(QDialogButtonBox::StandardButtons buttons)
{
    form->buttonBox->setStandardButtons(buttons);
    form->buttonBox->show();
    // A button added to a box already showing is neither default nor focused by Qt, so a
    // result would answer only the mouse.
    if (QPushButton* ok = form->buttonBox->button(QDialogButtonBox::Ok)) {
        ok->setDefault(true);
        ok->setFocus(Qt::OtherFocusReason);
    }
    adjustSize();
}

void InfoBox::setButtonsVisible(bool visible)
{
    // Qt leaves a hidden window's focus on a button it hides: the next wait would pass Return to
    // the last result's Ok.
    QWidget* focused = focusWidget();
    if (!visible && focused && form->buttonBox->isAncestorOf(focused)) {
        focused->clearFocus();
    }
    form->buttonBox->setVisible(visible);
    adjustSize();
}

void InfoBox::setIconVisible(bool visible)
{
    form->iconLabel->setVisible(visible);
    adjustSize();
}

void InfoBox::setMovieVisible(bool visible)
{
    form->movieLabel->setVisible(visible);
    adjustSize();
}

void InfoBox::setTextVisible(bool visible)
{
    form->textLabel->setVisible(visible);
    adjustSize();
}

void InfoBox::showNow()
{
    // Once shown, or while an earlier call still processes events, there is nothing to paint
    // and processing again could run the caller's own slots inside the caller.
    if (isVisible() || inShowNow) {
        return;
    }
    inShowNow = true;
    show();
    // User input waits, so a click cannot reach the owner before its operation has started.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    inShowNow = false;
}

void InfoBox::showResult(bool ok, const QString& text)
{
    setMovieVisible(false);
    setButtons(QDialogButtonBox::Ok);
    setIconType(ok ? 1 : 3);
    setText(text);
    show();
}

void InfoBox::buttonPressed(QAbstractButton* button)
{
    switch (form->buttonBox->standardButton(button)) {
    case QDialogButtonBox::Ok:
        accept();                    // hides the box, emits finished() and accepted() once
        break;
    case QDialogButtonBox::Cancel:
        cancel();
        break;
    default:
        close();
        break;
    }
}

void InfoBox::reject()
{
    if (buttonShown(QDialogButtonBox::Cancel)) {
        cancel();
    } else if (buttonShown(QDialogButtonBox::Ok)) {
        accept();                    // a result: Escape and the close answer it as its Ok does
    }
}

void InfoBox::closeEvent(QCloseEvent* event)
{
    if (event->spontaneous()) {
        // The window manager: a wait stays unless it offers Cancel, which then runs.
        event->ignore();
        reject();
        return;
    }
    // The owner closes the box: that ends it like hiding it, with nothing reported.
    event->accept();
}

void InfoBox::showEvent(QShowEvent* event)
{
    if (movie->state() == QMovie::Paused) {
        movie->setPaused(false);
    }
    QDialog::showEvent(event);
}

void InfoBox::hideEvent(QHideEvent* event)
{
    // No timer ticks for a picture nobody sees.
    if (movie->state() == QMovie::Running) {
        movie->setPaused(true);
    }
    QDialog::hideEvent(event);
}

bool InfoBox::buttonShown(QDialogButtonBox::StandardButton which) const
{
    const QPushButton* shown = form->buttonBox->button(which);
    return shown && form->buttonBox->isVisibleTo(this) && shown->isVisibleTo(form->buttonBox);
}

void InfoBox::cancel()
{
    QPointer<InfoBox> self(this);
    if (closeOnCancel) {
        QDialog::reject();           // hides the box, emits finished() and rejected() once
    } else {
        setResult(QDialog::Rejected);
        emit rejected();
    }
    if (!self) {
        return;
    }
    emit cancelled();
    if (self && !closeOnCancel) {
        hide();
    }
}
