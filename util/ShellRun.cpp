#include "util/Utils1.h"

#include <QDesktopServices>
#include <QDir>
#include <QString>
#include <QUrl>

namespace tovra {

void ShellRun(const std::string& file, const std::string& /*parameters*/,
              const std::string& /*folder*/, int /*showCommand*/)
{
    const QString text = QString::fromStdString(file).trimmed();
    if (text.isEmpty())
        return;
    // A relative name is tried as a file of the current folder, anything else as an address;
    // openUrl starts the handler detached, so nothing here waits for it.
    QDesktopServices::openUrl(QUrl::fromUserInput(text, QDir::currentPath()));
}

} // namespace tovra
