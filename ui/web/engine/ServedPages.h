#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

#include <map>

class QWebEngineProfile;

namespace qv::web {

// Serves pages too large for QWebEnginePage::setHtml() under "quadrivo-feed:" addresses of one
// profile, as long as the page that put them there keeps them.
class ServedPages final : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    static constexpr const char* kScheme = "quadrivo-feed";

    // Before the engine's first profile, which fixes the schemes it knows.
    static void registerScheme();
    // The profile's handler, installed on first use and owned by the profile.
    static ServedPages* forProfile(QWebEngineProfile* profile);

    QUrl put(const QByteArray& html);
    void drop(const QUrl& url);
    int pageCount() const { return int(m_pages.size()); }

    void requestStarted(QWebEngineUrlRequestJob* job) override;

private:
    explicit ServedPages(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

    std::map<QString, QByteArray> m_pages;
    quint64 m_lastPage = 0;
};

} // namespace qv::web
