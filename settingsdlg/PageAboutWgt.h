#ifndef PAGEABOUTWGT_H
#define PAGEABOUTWGT_H

#include <QWidget>

class QLabel;
namespace Ui { class PageAboutWgtClass; }

// "About": the program's version and a link to the page where the latest version is found.
class PageAboutWgt : public QWidget
{
    Q_OBJECT

public:
    // An empty address shows no link.
    explicit PageAboutWgt(QWidget* parent, const QString& pageAddress = projectPageUrl());
    ~PageAboutWgt() override;

    // The download page the build was given; empty when it has none.
    static QString projectPageUrl();

private:
    Ui::PageAboutWgtClass* form;
    QLabel* link = nullptr;
};

#endif // PAGEABOUTWGT_H
