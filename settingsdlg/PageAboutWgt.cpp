#include "settingsdlg/PageAboutWgt.h"

#include "device/StartupGlobals.h"
#include "common/ProgramVersion.h"
#include "ui_pageaboutwgt.h"

#include <QDesktopServices>
#include <QUrl>

QString PageAboutWgt::projectPageUrl()
{
    return QStringLiteral(TOLMO_PROJECT_URL);
}

PageAboutWgt::PageAboutWgt(QWidget* parent, const QString& pageAddress)
    : QWidget(parent), form(new Ui::PageAboutWgtClass)
{
    form->setupUi(this);
    // The multi-axis window publishes no version text; the build's own stands in.
    form->versionValue->setText(programVersion.isEmpty() ? programVersionText() : programVersion);
    form->gridLayout->setColumnStretch(1, 1);    // the version right beside its label
    // No link to a page that does not exist.
    if (pageAddress.isEmpty())
        return;

    link = new QLabel(this);
    link->setObjectName(QStringLiteral("linkLbl"));
    link->setTextFormat(Qt::RichText);
    link->setText(QStringLiteral("<a href=\"%1\"><span style=\"text-decoration: underline; color:#0000ff;\">%2</span></a>")
                      .arg(pageAddress.toHtmlEscaped(), tr("Latest Tolmo software can be found here")));
    link->setTextInteractionFlags(Qt::TextBrowserInteraction);
    // Through QDesktopServices, so that the program's URL handlers (and tests) see the address.
    connect(link, &QLabel::linkActivated, this, [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); });
    form->gridLayout->addWidget(link, form->gridLayout->rowCount(), 0, 1, 2);
}

PageAboutWgt::~PageAboutWgt()
{
    delete form;
}
