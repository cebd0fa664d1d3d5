#ifndef ELIDINGLABEL_H
#define ELIDINGLABEL_H

#include <QLabel>
#include <QStringList>

// A one-line value label that asks its layout for the room of its widest value but makes do
// with less: on a small screen a text that does not fit is drawn cut with "…" and shown whole
// on hover. Its size hints stay what they were set to whatever it shows, so a new value never
// widens the window.
class ElidingLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ElidingLabel(QWidget* parent = nullptr);

    // The preferred width fits every text of `widest`, the minimum one every text of `fitting`.
    void holdWidths(const QStringList& widest, const QStringList& fitting);
    // Whether the text shown now is drawn cut.
    bool isElided() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int widthFor(const QStringList& texts) const;

    int preferredWidth = 0;
    int smallestWidth = 0;
};

#endif // ELIDINGLABEL_H
