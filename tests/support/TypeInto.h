#ifndef TYPEINTO_H
#define TYPEINTO_H

#include <QtTest>

#include "widgets/StepSpinBox.h"

// Types text over what the box holds, as the operator does.
inline void typeInto(StepSpinBox* box, const QString& text)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

#endif // TYPEINTO_H
