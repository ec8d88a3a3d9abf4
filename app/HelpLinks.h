#pragma once

#include <QString>
#include <QUrl>

#include <functional>

namespace qv {

// The Help menu's pages on our web host, opened in the default browser. Without a web
// host (QUADRIVO_WEB_URL or the build's default) the commands are disabled.
class HelpLinks {
public:
    enum class Link {
        Facebook,
        Twitter,
        WWW,
        GetStarted,
        UseTags,
        ShareFiles,
        Collaborate,
        ShareCalendars,
        ItemInbox,
        ManagerTips,
        OtherProductivityTips,
        Knowledgebase,
    };

    using Opener = std::function<bool(const QUrl&)>;
    // opener empty: the desktop's default browser.
    explicit HelpLinks(QString webOrigin, Opener opener = {});

    // Invalid when the command has no address (it is then disabled).
    QUrl url(Link link) const;
    bool isEnabled(Link link) const { return url(link).isValid(); }
    // False when disabled or when the browser could not be started.
    bool open(Link link) const;

    bool openFacebook() const { return open(Link::Facebook); }
    bool openTwitter() const { return open(Link::Twitter); }
    bool openWWW() const { return open(Link::WWW); }
    bool openWWWgetStarted() const { return open(Link::GetStarted); }
    bool openWWWuseTags() const { return open(Link::UseTags); }
    bool openWWWshareFiles() const { return open(Link::ShareFiles); }
    bool openWWWcollaborate() const { return open(Link::Collaborate); }
    bool openWWWshareCalendars() const { return open(Link::ShareCalendars); }
    bool openWWWitemInbox() const { return open(Link::ItemInbox); }
    bool openWWWmanagerTips() const { return open(Link::ManagerTips); }
    bool openWWWotherProductivityTips() const { return open(Link::OtherProductivityTips); }
    bool openWWWknowledgebase() const { return open(Link::Knowledgebase); }

private:
    QString m_origin;
    Opener m_opener;
};

} // namespace qv
