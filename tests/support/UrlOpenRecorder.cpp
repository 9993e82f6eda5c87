#include "UrlOpenRecorder.h"

#include <QDesktopServices>

namespace testsupport {

UrlOpenRecorder::UrlOpenRecorder(const QStringList &schemes, QObject *parent)
    : QObject(parent)
    , m_schemes(schemes)
{
    for (const QString &s : m_schemes)
        QDesktopServices::setUrlHandler(s, this, "open");
}

UrlOpenRecorder::~UrlOpenRecorder()
{
    for (const QString &s : m_schemes)
        QDesktopServices::unsetUrlHandler(s);
}

void UrlOpenRecorder::open(const QUrl &url)
{
    m_urls << url;
    emit opened(url);
}

} // namespace testsupport
