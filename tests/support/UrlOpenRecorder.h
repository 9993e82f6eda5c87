#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

namespace testsupport {

// Takes over QDesktopServices::openUrl for the given schemes while it lives:
// the pages the program would open in the user's browser are recorded here
// instead, so no test ever starts a browser.
class UrlOpenRecorder : public QObject
{
    Q_OBJECT

public:
    explicit UrlOpenRecorder(const QStringList &schemes = {QStringLiteral("http"),
                                                           QStringLiteral("https")},
                             QObject *parent = nullptr);
    ~UrlOpenRecorder() override;

    QList<QUrl> urls() const { return m_urls; }
    void clear() { m_urls.clear(); }

public slots:
    void open(const QUrl &url);

signals:
    void opened(const QUrl &url);

private:
    QStringList m_schemes;
    QList<QUrl> m_urls;
};

} // namespace testsupport
