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
    explicit PageAboutWgt(QWidget* parent);
    ~PageAboutWgt() override;

    // Where the link goes.
    static const char* const projectPageUrl;

private:
    Ui::PageAboutWgtClass* form;
    QLabel* link;
};

#endif // PAGEABOUTWGT_H
