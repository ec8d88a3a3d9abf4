#include "platform/rest/Router.h"
#include "platform/rest/QueryConventions.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace qv::rest;

namespace {

Router::AttributeLookup attributes(const QVariantMap& values)
{
    return [values](const QString& name) {
        return values.value(name);
    };
}

TEST(RouterFilling, GivenItemRoutes_WhenAskedPerMethod_ThenTheMethodsOwnRouteWinsOverTheGeneralOne)
{
    Router router;
    const QString suffix = routeSuffix("2.17");
    router.routeClass("TODOItem", "/item/:serverID/" + suffix);
    router.routeClass("TODOItem", "/item/" + suffix, Method::Post);

    const auto item = attributes({{"serverID", qint64(42)}});
    EXPECT_EQ(router.resourcePathForObject("TODOItem", Method::Put, item),
              "/item/42/?format=json&qv_platform=Halvern&qv_version=2.17");
    EXPECT_EQ(router.resourcePathForObject("TODOItem", Method::Get, item),
              "/item/42/?format=json&qv_platform=Halvern&qv_version=2.17");
    EXPECT_EQ(router.resourcePathForObject("TODOItem", Method::Post, item),
              "/item/?format=json&qv_platform=Halvern&qv_version=2.17");
    EXPECT_FALSE(router.resourcePathForObject("TODOList", Method::Put, item));
}

TEST(RouterFilling,
     GivenAttributesOfEveryKind_WhenFilled_ThenWholeNamesAreLookedUpValuesWrittenAndMissingOnesGiveNoPath)
{
    Router router;
    router.routeClass("TODOList", "/project/:id_/");
    EXPECT_EQ(router.resourcePathForObject("TODOList", Method::Put, attributes({{"id_", 7}, {"id", 99}})),
              "/project/7/");

    EXPECT_FALSE(Router::interpolate("/item/:serverID/", attributes({})));
    EXPECT_FALSE(Router::interpolate("/item/:serverID/", attributes({{"serverID", QString()}})));
    EXPECT_FALSE(Router::interpolate("/item/:serverID/", {}));

    EXPECT_EQ(Router::interpolate("/item/:id/", attributes({{"id", 9007199254740993.0}})),
              "/item/9007199254740992/");
    EXPECT_EQ(Router::interpolate("/item/:id/", attributes({{"id", qint64(9007199254740993)}})),
              "/item/9007199254740993/");
    EXPECT_EQ(Router::interpolate("/user/:name/", attributes({{"name", "a b/c"}})), "/user/a%20b%2Fc/");

    const QString query = "?since=2013-05-01%2010:00:00.000000-00:00&x=:serverID";
    EXPECT_EQ(Router::interpolate("/item/:serverID/" + query, attributes({{"serverID", 3}})),
              "/item/3/" + query);
}

TEST(QueryConventions,
     GivenADateOrAVersion_WhenWrittenForAQuery_ThenUtcWithAnEncodedBlankAndTheEditionWordFirst)
{
    EXPECT_EQ(queryDate(QDateTime(QDate(2013, 5, 1), QTime(10, 0), QTimeZone::utc())),
              "2013-05-01%2010:00:00.000000-00:00");
    const QDateTime berlin(QDate(2013, 5, 1), QTime(12, 0, 5, 250), QTimeZone("Europe/Berlin"));
    EXPECT_EQ(queryDate(berlin), "2013-05-01%2010:00:05.250000-00:00");
    EXPECT_EQ(queryDate(QDateTime()), "");

    EXPECT_EQ(platformVersionPair("1.2"), "&qv_platform=Halvern&qv_version=1.2");
    EXPECT_EQ(routeSuffix("1.2"), "?format=json&qv_platform=Halvern&qv_version=1.2");
    EXPECT_EQ(platformVersionPair("1.2 beta&x"), "&qv_platform=Halvern&qv_version=1.2%20beta%26x");
}

} // namespace
