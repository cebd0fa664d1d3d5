#ifndef PAGERENDER_H
#define PAGERENDER_H

// Renders a page offscreen to a PNG (into $TOLMO_RENDER_DIR when set, for looking at it, else a
// temporary folder) and checks the object names of its form.

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

inline QString renderPage(QWidget* page, const QString& name)
{
    static QTemporaryDir folder;
    const QByteArray chosen = qgetenv("TOLMO_RENDER_DIR");
    const QString path = QDir(chosen.isEmpty() ? folder.path() : QString::fromLocal8Bit(chosen)).filePath(name + ".png");
    page->resize(page->sizeHint().expandedTo(QSize(400, 300)));
    page->show();
    if (!QTest::qWaitForWindowExposed(page))
        return QString();
    return page->grab().save(path) ? path : QString();
}

// The names missing from the page's children, joined for the failure message.
inline QString missingObjectNames(const QObject* page, const QStringList& names)
{
    QStringList missing;
    for (const QString& name : names) {
        if (page->objectName() != name && !page->findChild<QObject*>(name))
            missing << name;
    }
    return missing.join(QStringLiteral(", "));
}

// Empty when the keyboard focus runs through the named widgets in this order (other widgets may
// come between them), else the first name out of place.
inline QString focusOrderMismatch(QWidget* page, const QStringList& names)
{
    QWidget* at = page->findChild<QWidget*>(names.value(0));
    for (int i = 1; at && i < names.size(); ++i) {
        QWidget* next = at->nextInFocusChain();
        while (next != at && (next->focusPolicy() == Qt::NoFocus || !names.contains(next->objectName())))
            next = next->nextInFocusChain();
        if (next->objectName() != names[i])
            return names[i];
        at = next;
    }
    return at ? QString() : names.value(0);
}

#endif // PAGERENDER_H
