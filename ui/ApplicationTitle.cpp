#include "ApplicationTitle.h"

#include <QCoreApplication>
#include <QFileInfo>

QString ApplicationTitleFromPath(const QString& executablePath)
{
    const QString name = QFileInfo(executablePath).fileName();
    const QString stem = name.left(name.indexOf(QLatin1Char('.')) < 0 ? name.size() : name.indexOf(QLatin1Char('.')));
    return stem.left(1) + stem.mid(1).toLower();
}

QString ApplicationTitle() { return ApplicationTitleFromPath(QCoreApplication::applicationFilePath()); }
