#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <map>

class QWebEngineProfile;

namespace qv {

// Serves feed pages too large for QWebEnginePage::setHtml() under "quadrivo-feed:" addresses of
// one web profile, as long as the feed that put them there keeps them.
class FeedPageScheme final : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static constexpr const char* kScheme = "quadrivo-feed";

    // Before the application object, as the web engine requires of its schemes.
    static void registerScheme();
    // The profile's handler, installed on first use and owned by the profile.
    static FeedPageScheme* forProfile(QWebEngineProfile* profile);

    QUrl put(const QByteArray& html);
    void drop(const QUrl& url);
    int pageCount() const { return int(m_pages.size()); }

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    explicit FeedPageScheme(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

    std::map<QString, QByteArray> m_pages;
    quint64 m_lastPage = 0;
};

} // namespace qv
