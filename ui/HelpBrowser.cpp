#include "HelpBrowser.h"

#include "HelpColours.h"
#include "ui/widgets/Look.h"

#include <QScrollBar>
#include <QTextDocument>

void HelpBrowser::Recolour()
{
    if (source().isEmpty())
        return;
    const int at = verticalScrollBar()->value();
    reload();
    verticalScrollBar()->setValue(at);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name)
{
    const QVariant resource = QTextBrowser::loadResource(type, name);
    const Look& look = Appearance::Of(this);
    if (type != QTextDocument::HtmlResource || look.colours == ColourScheme::Classic)
        return resource;
    const QString html =
        resource.typeId() == QMetaType::QByteArray ? QString::fromUtf8(resource.toByteArray()) : resource.toString();
    return HelpInColours(html, look);
}
