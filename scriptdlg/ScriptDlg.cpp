#include "scriptdlg/ScriptDlg.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCodec>
#include <QTextEdit>

#include "common/FileChooser.h"
#include "common/FileSaver.h"
#include "common/SettingsWriteReport.h"
#include "common/MessagePrompter.h"
#include "common/Paths.h"
#include "common/WindowPlacement.h"
#include "log/MessageLog.h"
#include "scriptdlg/Highlighter.h"
#include "ui_scriptdlg.h"

namespace {

const QString settingsGroup = QStringLiteral("scriptWindow_params");
const char* const fileFilter = QT_TRANSLATE_NOOP("ScriptDlg", "Text files (*.txt);;Script files (*.js);;All files (*.*)");

// The value of key from settings, else from defaults (fallback when they lack it too); false
// when neither applies and the window keeps its state. A value of the wrong type counts as
// missing.
bool pickValue(QSettings* settings, QSettings* defaults, const QString& key, const QVariant& fallback, QVariant* out)
{
    auto usable = [&fallback](const QVariant& value) {
        return value.isValid() && value.canConvert(fallback.userType())
               && (fallback.userType() == QMetaType::Bool || value.userType() == fallback.userType());
    };
    if (settings->contains(key)) {
        const QVariant value = settings->value(key);
        *out = usable(value) ? value : fallback;
        return true;
    }
    if (!defaults)
        return false;
    const QVariant value = defaults->value(key);
    *out = usable(value) ? value : fallback;
    return true;
}

// A stored size within reason: a broken file must not make a window larger than the screen
// (its backing store alone could exhaust the memory).
QSize boundedWindowSize(const QSize& stored)
{
    const QSize size = stored.isValid() && !stored.isEmpty() ? stored : QSize(615, 260);
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? size.boundedTo(screen->availableGeometry().size()) : size;
}

} // namespace

QString ScriptDlg::defaultScratchPath()
{
    return configDirPath() + QStringLiteral("/scratch.txt");
}

QString ScriptDlg::defaultScriptPath()
{
    return scriptsPath() + QStringLiteral("cyclic.txt");
}

QString ScriptDlg::defaultMultiaxisScriptPath()
{
    return scriptsPath() + QStringLiteral("cyclic_multiaxis.txt");
}

ScriptDlg::ScriptDlg(QWidget* parent, MotorSettings* settings, const QString& axisName, const QString& scratchPath,
                     const QString& defaultScript)
    : QDialog(parent),
      ui(std::make_unique<Ui::ScriptDlgClass>()),
      motorSettings(settings),
      scratchFile(scratchPath),
      defaultScriptFile(defaultScript)
{
    ui->setupUi(this);
    keepOnScreen(this);
    connect(this, &QDialog::finished, this, &ScriptDlg::OnDialogFinished);
    connect(ui->startBtn, &QPushButton::clicked, this, &ScriptDlg::OnStartBtnClicked);
    connect(ui->stopBtn, &QPushButton::clicked, this, &ScriptDlg::OnStopBtnClicked);
    connect(ui->loadBtn, &QPushButton::clicked, this, &ScriptDlg::OnLoadBtnClicked);
    connect(ui->saveBtn, &QPushButton::clicked, this, &ScriptDlg::OnSaveBtnClicked);
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    ui->mainVLayout->addWidget(statusBar, 0);
    statusBar->setFixedHeight(20);
    // The multi-axis window's script window names no axis.
    setWindowTitle(axisName.isEmpty() ? tr("Scripting") : tr("Scripting ") + axisName);
}

ScriptDlg::~ScriptDlg()
{
    // No box from a destructor: the owners save before they let the window go.
    saveScratchBeforeClose(nullptr);
}

void ScriptDlg::InitUI()
{
    statusLabel = new QLabel(this);
    statusLabel->setObjectName(QStringLiteral("statusLabel"));
    statusLabel->setFixedWidth(65);
    statusLabel->setAlignment(Qt::AlignCenter);
    statusBar->addPermanentWidget(statusLabel, 0);

    const bool fromScratch = QFileInfo::exists(scratchFile);
    const QString startFile = fromScratch ? scratchFile : defaultScriptFile;
    QString reason;
    if (QFileInfo::exists(startFile)) {
        if (loadInto(startFile, &reason)) {
            defaultShown = !fromScratch;
        } else {
            keepUnreadScratch = fromScratch;
            showMessage(tr("Loading failed: %1").arg(reason));
        }
    }

    new Highlighter(ui->codeEdit->document());
    connect(ui->startBtn, &QPushButton::clicked, this, &ScriptDlg::start);
    connect(ui->stopBtn, &QPushButton::clicked, this, &ScriptDlg::stop);
}

QTextEdit* ScriptDlg::editor() const
{
    return ui->codeEdit;
}

QString ScriptDlg::statusMessage() const
{
    return statusBar->currentMessage();
}

bool ScriptDlg::saveScratch()
{
    QString reason;
    if (writeScratch(&reason))
        return true;
    showMessage(tr("Saving failed: %1").arg(reason));
    return false;
}

bool ScriptDlg::saveScratchBeforeClose(QWidget* messageParent)
{
    QString reason;
    if (writeScratch(&reason))
        return true;
    showMessage(tr("Saving failed: %1").arg(reason));
    // The shut-down and the window's end both try: the operator hears of one text once.
    const QString text = ui->codeEdit->toPlainText();
    if (scratchFailureTold && text == toldText)
        return false;
    scratchFailureTold = true;
    toldText = text;
    // A folder the start-up already said cannot keep anything gets no second box, only the log line.
    tellFailure(SettingsWriteReport::folderReported(scratchFile) ? nullptr : messageParent,
                tr("The script could not be written to %1.\n%2"), scratchFile, reason);
    return false;
}

bool ScriptDlg::writeScratch(QString* reason)
{
    if (keepUnreadScratch && !ui->codeEdit->document()->isModified())
        return true;
    const QString folder = QFileInfo(scratchFile).absolutePath();
    if (!QDir().mkpath(folder)) {
        *reason = tr("cannot create the folder %1").arg(folder);
        return false;
    }
    if (!writeFile(scratchFile, reason))
        return false;
    keepUnreadScratch = false;
    scratchFailureTold = false;
    return true;
}

void ScriptDlg::done(int result)
{
    // Told while the window is still there.
    saveScratchBeforeClose(this);
    QDialog::done(result);
}

void ScriptDlg::FromUiToSettings(QSettings* settings) const
{
    settings->beginGroup(settingsGroup);
    settings->setValue(QStringLiteral("position"), pos());
    settings->setValue(QStringLiteral("size"), sizeToStore(*this));
    settings->setValue(QStringLiteral("last_visible"), isVisible());
    settings->setValue(QStringLiteral("load_path"), load_path);
    settings->setValue(QStringLiteral("save_path"), save_path);
    settings->endGroup();
}

void ScriptDlg::FromSettingsToUi(QSettings* settings, QSettings* defaults)
{
    settings->beginGroup(settingsGroup);
    if (defaults)
        defaults->beginGroup(settingsGroup);
    QVariant value;
    QPoint position = pos();
    QSize size = this->size();
    if (pickValue(settings, defaults, QStringLiteral("position"), QPoint(100, 200), &value))
        position = value.toPoint();
    if (pickValue(settings, defaults, QStringLiteral("size"), QSize(615, 260), &value))
        size = boundedWindowSize(value.toSize());
    // A place on no screen gives the default one; the size fits the screen and the form.
    const QRect placed = placeWindow(position, size, minimumSize(), screenGeometries(), QPoint(100, 200));
    applyPlace(*this, placed, size);
    if (pickValue(settings, defaults, QStringLiteral("last_visible"), false, &value))
        setVisible(value.toBool());
    load_path = settings->value(QStringLiteral("load_path"), QString()).toString();
    save_path = settings->value(QStringLiteral("save_path"), QString()).toString();
    settings->endGroup();
    if (defaults)
        defaults->endGroup();
}

void ScriptDlg::OnDialogFinished()
{
    // Closing is the owner's stop (it connects finished(int)); the window itself has nothing to do.
}

void ScriptDlg::OnStartBtnClicked()
{
    saveScratch();
    showMessage(tr("Script started"));
    OnScriptExecPositionChanged(0);
}

void ScriptDlg::OnStopBtnClicked()
{
    showMessage(tr("Script stopped"));
}

void ScriptDlg::OnLoadBtnClicked()
{
    if (load_path.isEmpty())
        load_path = scriptsPath();
    const QString path = FileChooser::current()->openFileName(this, tr("Open script file"), load_path, tr(fileFilter));
    if (path.isEmpty()) {
        showMessage(tr("Loading cancelled"));
        return;
    }
    QString reason;
    if (!loadInto(path, &reason)) {
        showMessage(tr("Loading failed: %1").arg(reason));
        tellFailure(this, tr("The script could not be read from %1.\n%2"), path, reason);
    }
}

void ScriptDlg::OnSaveBtnClicked()
{
    if (save_path.isEmpty())
        save_path = scriptsPath();
    const QString path = FileChooser::current()->saveFileName(this, tr("Save script file"), save_path, tr(fileFilter));
    if (path.isEmpty()) {
        showMessage(tr("Saving cancelled"));
        return;
    }
    QString reason;
    if (!writeFile(path, &reason)) {
        showMessage(tr("Saving failed: %1").arg(reason));
        tellFailure(this, tr("The script could not be written to %1.\n%2"), path, reason);
    }
}

void ScriptDlg::tellFailure(QWidget* parent, const QString& text, const QString& path, const QString& reason)
{
    // The log line is the box's text on one line.
    const QString told = text.arg(path, reason);
    MessageLog::insertProgramLine(told.simplified(), 1);
    if (parent)
        MessagePrompter::current()->prompt(parent, QMessageBox::Critical, tr("Error"), told, QMessageBox::Ok,
                                           QMessageBox::Ok);
}

void ScriptDlg::OnScriptExecPositionChanged(int line)
{
    // An extra selection, not a block format: the mark must not enter the undo history or the
    // modified flag.
    QList<QTextEdit::ExtraSelection> marks;
    if (line != 0) {
        const QTextDocument* document = ui->codeEdit->document();
        QTextEdit::ExtraSelection mark;
        mark.cursor = QTextCursor(document->findBlockByNumber(qBound(0, line - 1, document->blockCount() - 1)));
        mark.format.setBackground(Qt::lightGray);
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        marks << mark;
    }
    ui->codeEdit->setExtraSelections(marks);
}

void ScriptDlg::OnExceptionThrown(const QString& text, int line)
{
    // A thrown empty string, or an object whose toString fails, has no text of its own.
    const QString shown = text.isEmpty() ? tr("exception with no text") : text;
    const QString message = line > 0 ? tr("Line %1: %2").arg(line).arg(shown) : shown;
    // An error stays until the next message: it is often longer than the bar, so it is cut
    // visibly there and shown whole on hover.
    shownError = message;
    showError();
    emit script_exception(message);
    OnScriptExecPositionChanged(qMax(0, line));
}

bool ScriptDlg::loadInto(const QString& path, QString* reason)
{
    QFile file(path);
    if (QFileInfo(path).isDir()) {
        *reason = tr("%1 is a folder").arg(path);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *reason = file.errorString();
        return false;
    }
    const QString tooLarge = tr("%1 is larger than 10 MB").arg(path);
    if (file.size() > maxScriptBytes) {
        *reason = tooLarge;
        return false;
    }
    // Read one byte beyond the limit: files that report no size are bounded too.
    const QByteArray bytes = file.read(maxScriptBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *reason = file.errorString();
        return false;
    }
    if (bytes.size() > maxScriptBytes) {
        *reason = tooLarge;
        return false;
    }
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0) {
        *reason = tr("%1 is not UTF-8 text").arg(path);
        return false;
    }
    ui->codeEdit->setPlainText(text);
    return true;
}

bool ScriptDlg::writeFile(const QString& path, QString* reason)
{
    return FileSaver::save(path, ui->codeEdit->toPlainText().toUtf8(), reason);
}

void ScriptDlg::showMessage(const QString& text)
{
    shownError.clear();
    statusBar->setToolTip(QString());
    statusBar->showMessage(text, messageMs);
}

void ScriptDlg::showError()
{
    // Where the bar draws its message: from 6 pixels in to 2 before the status label.
    const int right = statusLabel && statusLabel->isVisible() ? statusLabel->x() - 2 : statusBar->width() - 12;
    const int room = qMax(0, right - 6);
    statusBar->showMessage(statusBar->fontMetrics().elidedText(shownError.simplified(), Qt::ElideRight, room));
    statusBar->setToolTip(shownError);
}

void ScriptDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (!shownError.isEmpty())
        showError();
}
