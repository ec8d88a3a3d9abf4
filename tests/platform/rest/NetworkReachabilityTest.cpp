#include "platform/rest/NetworkReachability.h"
#include "platform/rest/RestClient.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using qv::rest::NetworkReachability;

namespace {

TEST(NetworkReachability,
     GivenTheManualOrNoSystemBackend_WhenTheStateChanges_ThenTheSignalFollowsOnlyRealChanges)
{
    NetworkReachability reachability(NetworkReachability::Backend::Manual);
    QSignalSpy changed(&reachability, &NetworkReachability::reachabilityChanged);
    EXPECT_TRUE(reachability.isNetworkReachable());

    reachability.setReachable(true);
    reachability.setReachable(false);
    reachability.setReachable(false);
    reachability.setReachable(true);
    ASSERT_EQ(changed.size(), 2);
    EXPECT_FALSE(changed[0][0].toBool());
    EXPECT_TRUE(changed[1][0].toBool());

    // Without a system backend the network counts as reachable.
    if (NetworkReachability system; !system.hasSystemBackend()) {
        EXPECT_TRUE(system.isNetworkReachable());
    }
}

TEST(NetworkReachability, GivenAClientWithAReachabilitySource_WhenItChanges_ThenTheClientReportsIt)
{
    qv::rest::RestClient client;
    EXPECT_TRUE(client.isNetworkReachable());
    {
        NetworkReachability reachability(NetworkReachability::Backend::Manual);
        client.setReachability(&reachability);
        reachability.setReachable(false);
        EXPECT_FALSE(client.isNetworkReachable());
    }
    EXPECT_TRUE(client.isNetworkReachable()) << "a destroyed source leaves the default";
}

} // namespace
