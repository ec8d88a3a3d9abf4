#include "app/HelpLinks.h"

#include <QList>

#include <gtest/gtest.h>

namespace qv::test {

TEST(HelpLinksTest, GivenNoWebHostOrOneThatIsNoWebAddress_WhenAnyCommandRuns_ThenItIsDisabledAndNothingOpens)
{
    QList<QUrl> opened;
    const HelpLinks links(QString(), [&](const QUrl& url) {
        opened << url;
        return true;
    });
    EXPECT_FALSE(links.isEnabled(HelpLinks::Link::WWW));
    EXPECT_FALSE(links.openWWWknowledgebase());
    EXPECT_TRUE(opened.isEmpty());

    for (const QString& origin : {QStringLiteral("file:///etc"), QStringLiteral("javascript:alert(1)")}) {
        const HelpLinks unsafe(origin, [](const QUrl&) { return true; });
        EXPECT_FALSE(unsafe.isEnabled(HelpLinks::Link::WWW)) << origin.toStdString();
    }
}

TEST(HelpLinksTest, GivenAWebHost_WhenTheCommandsRun_ThenTheirPagesOpenThere)
{
    QList<QUrl> opened;
    const HelpLinks links(QStringLiteral("https://www.quadrivo.test/"), [&](const QUrl& url) {
        opened << url;
        return true;
    });
    EXPECT_TRUE(links.openWWW());
    EXPECT_TRUE(links.openWWWgetStarted());
    EXPECT_TRUE(links.openWWWknowledgebase());
    EXPECT_EQ(opened,
              (QList<QUrl>{QUrl(QStringLiteral("https://www.quadrivo.test/?qv-mac")),
                           QUrl(QStringLiteral("https://www.quadrivo.test/help/"
                                               "how-to-get-started-with-quadrivo-for-mac/?qv-mac-menu")),
                           QUrl(QStringLiteral("https://www.quadrivo.test/help/?qv-mac-menu"))}));
    // The social pages have no address in this build.
    EXPECT_FALSE(links.openFacebook());
    EXPECT_FALSE(links.isEnabled(HelpLinks::Link::Twitter));
}

} // namespace qv::test
