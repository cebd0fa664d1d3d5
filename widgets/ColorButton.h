#ifndef COLORBUTTON_H
#define COLORBUTTON_H

#include <QColor>
#include <QPushButton>

// A push button that shows a colour swatch with the colour's name and lets the user pick
// another colour.
class ColorButton : public QPushButton
{
    Q_OBJECT

public:
    explicit ColorButton(QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QColor color() const;

public slots:
    void openDialog();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor buttonColor;
};

#endif // COLORBUTTON_H
