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

#endif // PAGERENDER_H
