#ifndef INFOBOX_H
#define INFOBOX_H

#include <QDialog>
#include <QDialogButtonBox>

class QAbstractButton;
class QMovie;
namespace Ui { class InfoBoxClass; }

// The small modal box of "please wait" situations and short notices: a text line, an optional
// message icon, the turning wait picture and optional buttons.
class InfoBox : public QDialog
{
    Q_OBJECT

public:
    explicit InfoBox(QWidget* parent = nullptr);
    ~InfoBox() override;

    // 0 hides the icon; 1 to 4 show the information, warning, critical or question icon.
    void setIconType(int type);
    void setText(const QString& text);
    // An Ok among them becomes the default button and takes the focus.
    void setButtons(QDialogButtonBox::StandardButtons buttons);
    void setButtonsVisible(bool visible);
    void setIconVisible(bool visible);
    void setMovieVisible(bool visible);
    void setTextVisible(bool visible);
    // Shows the box without blocking and lets it paint once before a long operation starts.
    void showNow();
    // Ends a wait with its result: the information or the critical icon, the text and an Ok.
    void showResult(bool ok, const QString& text);

    // Cancel closes the box; when cleared, Cancel only hides it so that it can be shown again.
    bool closeOnCancel;

public slots:
    void buttonPressed(QAbstractButton* button);
    // Escape and the window manager's close: they act as Cancel while a Cancel button is
    // shown, as Ok while only an Ok is shown (a result), and do nothing otherwise, so a wait
    // cannot vanish without its cancel action.
    void reject() override;

signals:
    void cancelled();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool buttonShown(QDialogButtonBox::StandardButton which) const;
    void cancel();

    Ui::InfoBoxClass* form;
    QMovie* movie;
    bool inShowNow;
};

#endif // INFOBOX_H
