#include "platform/NotificationCenter.h"

#include <gtest/gtest.h>

#include <memory>

using namespace qv;

namespace {

// An observer whose handler touches its own state, so a call after its removal would be
// a use after free under the sanitizers.
struct Owner {
    QStringList received;
};

} // namespace

TEST(NotificationDelivery, GivenObserversThenOnlyMatchingNamesAndSendersReceiveSynchronously)
{
    NotificationCenter center;
    const int senderA = 0;
    const int senderB = 0;
    Owner any;
    Owner onlyA;
    center.addObserver(&any, "kNotificationX",
                       [&](const Notification& n) { any.received << n.userInfo.value("k").toString(); });
    center.addObserver(
        &onlyA, "kNotificationX",
        [&](const Notification& n) { onlyA.received << n.userInfo.value("k").toString(); }, &senderA);

    center.post("kNotificationX", &senderA, {{"k", "1"}});
    center.post("kNotificationX", &senderB, {{"k", "2"}});
    center.post("kNotificationX", nullptr, {{"k", "3"}});
    center.post("kNotificationOther", &senderA, {{"k", "4"}});

    EXPECT_EQ(any.received, QStringList({"1", "2", "3"}));
    EXPECT_EQ(onlyA.received, QStringList({"1"}));
}

TEST(NotificationRemoval, GivenAnEarlierHandlerRemovesAndDestroysALaterObserverThenItIsNotCalled)
{
    NotificationCenter center;
    auto victim = std::make_unique<Owner>();
    int first = 0;
    center.addObserver(&first, "n", [&](const Notification&) {
        center.removeObserver(victim.get());
        victim.reset();
    });
    Owner* raw = victim.get();
    center.addObserver(raw, "n", [raw](const Notification&) { raw->received << "called"; });

    center.post("n");
    EXPECT_EQ(victim, nullptr);
    EXPECT_EQ(center.observerCount("n"), 1);
}

TEST(NotificationRemoval, GivenRemovalByNameOrFromItsOwnHandlerThenOtherNamesStayAndTheHandlerFinishes)
{
    NotificationCenter center;
    Owner owner;
    center.addObserver(&owner, "a", [&](const Notification&) { owner.received << "a"; });
    center.addObserver(&owner, "b", [&](const Notification&) { owner.received << "b"; });
    center.removeObserver(&owner, "a");
    center.post("a");
    center.post("b");
    EXPECT_EQ(owner.received, QStringList({"b"}));
    center.removeObserver(&owner);
    EXPECT_EQ(center.observerCount("b"), 0);

    center.addObserver(&owner, "n", [&](const Notification&) {
        center.removeObserver(&owner);
        owner.received << "once";
    });
    center.post("n");
    center.post("n");
    EXPECT_EQ(owner.received, QStringList({"b", "once"}));
}

TEST(NotificationAddition, GivenObserverAddedDuringAPostThenItReceivesOnlyLaterPosts)
{
    NotificationCenter center;
    Owner adder;
    Owner added;
    center.addObserver(&adder, "n", [&](const Notification&) {
        if (adder.received.isEmpty())
            center.addObserver(&added, "n", [&](const Notification&) { added.received << "added"; });
        adder.received << "adder";
    });
    center.post("n");
    EXPECT_TRUE(added.received.isEmpty());
    center.post("n");
    EXPECT_EQ(added.received, QStringList({"added"}));
}

TEST(NotificationLifetime, GivenHandlerDestroyingTheCenterThenRemainingObserversAreSkipped)
{
    auto center = std::make_unique<NotificationCenter>();
    Owner first;
    Owner second;
    center->addObserver(&first, "n", [&](const Notification&) { center.reset(); });
    center->addObserver(&second, "n", [&](const Notification&) { second.received << "called"; });
    center->post("n");
    EXPECT_TRUE(second.received.isEmpty());
}
