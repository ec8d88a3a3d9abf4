#include "core/util/Utils.h"

#include "platform/Log.h"
#include "tests/core/util/UtilsTestSupport.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSet>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace qv;
using namespace qv::test;

namespace {

const QTimeZone berlin("Europe/Berlin");

QDateTime inBerlin(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms), berlin);
}

QStringList names(const Utils::ItemList& items)
{
    QStringList result;
    for (const auto* item : items)
        result.append(item->value("name").toString());
    return result;
}

const QString kHost = "sync.example.net";

} // namespace

// ---- Colours --------------------------------------------------------------------------------

TEST(UtilsColors, GivenHexTextOrTheIconSetting_WhenAskedForColours_ThenRgbOrTheOverdueGreyOrRed)
{
    EXPECT_EQ(Utils::colorWithHexColorString("FF0000"), QColor(255, 0, 0));
    EXPECT_EQ(Utils::colorWithHexColorString("2C3539"), QColor(44, 53, 57));
    EXPECT_EQ(Utils::colorWithHexColorString(QString()), QColor(0, 0, 0));
    EXPECT_EQ(Utils::colorWithHexColorString("#2C3539"), QColor(0, 0, 0));

    EXPECT_EQ(Utils::textColorForOverdue(false), QColor(44, 53, 57));
    EXPECT_EQ(Utils::textColorForOverdue(true), QColor::fromRgbF(0.7f, 0, 0, 1));
}

// ---- Calendar arithmetic ---------------------------------------------------------------------

TEST(UtilsDates, GivenADate_WhenTheTimeOfDayOrSecondsAreStripped_ThenLocalMidnightOrTheMinuteStays)
{
    EXPECT_EQ(Utils::stripTimeOfDay(inBerlin(2024, 3, 31, 15, 30), berlin), inBerlin(2024, 3, 31));
    // 23:30 UTC is already the next day in Berlin.
    EXPECT_EQ(Utils::stripTimeOfDay(utc(2024, 1, 1, 23, 30), berlin), inBerlin(2024, 1, 2));
    EXPECT_FALSE(Utils::stripTimeOfDay(QDateTime(), berlin).isValid());

    EXPECT_EQ(Utils::stripSeconds(inBerlin(2024, 5, 1, 17, 45, 59, 500), berlin),
              inBerlin(2024, 5, 1, 17, 45));
    // The repeated hour of the autumn change keeps its own offset.
    const QDateTime secondPass = inBerlin(2024, 10, 27, 1, 30).addSecs(2 * 3600 + 42);
    EXPECT_EQ(Utils::stripSeconds(secondPass, berlin), secondPass.addSecs(-42));
}

TEST(UtilsDates, GivenAnHourOrYears_WhenAdded_ThenASkippedHourMovesForwardAndLeapDaysRollOver)
{
    EXPECT_EQ(Utils::addHour(9, inBerlin(2024, 5, 1, 17, 45), berlin), inBerlin(2024, 5, 1, 9));
    EXPECT_EQ(Utils::addHour(25, inBerlin(2024, 5, 1, 17, 45), berlin), inBerlin(2024, 5, 2, 1));
    EXPECT_EQ(Utils::addHour(-1, inBerlin(2024, 5, 1, 17, 45), berlin), inBerlin(2024, 4, 30, 23));

    const QDateTime result = Utils::addHour(2, inBerlin(2024, 3, 31, 12), berlin);
    ASSERT_TRUE(result.isValid());
    EXPECT_EQ(result, inBerlin(2024, 3, 31, 3));

    EXPECT_EQ(Utils::addYear(1, inBerlin(2012, 2, 29, 17, 45), berlin), inBerlin(2013, 3, 1));
    EXPECT_EQ(Utils::addYear(4, inBerlin(2012, 2, 29, 17, 45), berlin), inBerlin(2016, 2, 29));
    EXPECT_EQ(Utils::addYear(-1, inBerlin(2024, 7, 14, 8), berlin), inBerlin(2023, 7, 14));
}

TEST(
    UtilsDaysBetween,
    GivenDaysAcrossMidnightDaylightSavingOrZones_WhenCountedOrOffset_ThenTheUsersCalendarDaysAndWholeHoursCount)
{
    const QDateTime before = inBerlin(2024, 5, 1, 23, 59);
    const QDateTime after = inBerlin(2024, 5, 2, 0, 1);
    EXPECT_EQ(Utils::daysFromDate(before, after, berlin), 1);
    EXPECT_EQ(Utils::daysFromDate(after, before, berlin), -1);
    EXPECT_EQ(Utils::daysFromDate(before, inBerlin(2024, 5, 1, 0, 0), berlin), 0);

    // 23 hours apart across the spring change, 49 across the autumn one.
    EXPECT_EQ(Utils::daysFromDate(inBerlin(2024, 3, 30, 12), inBerlin(2024, 3, 31, 12), berlin), 1);
    EXPECT_EQ(Utils::daysFromDate(inBerlin(2024, 3, 31, 0, 30), inBerlin(2024, 3, 31, 23, 30), berlin), 0);
    EXPECT_EQ(Utils::daysFromDate(inBerlin(2024, 10, 26, 0, 30), inBerlin(2024, 10, 28, 0, 30), berlin), 2);
    EXPECT_EQ(Utils::daysFromDate(inBerlin(2024, 10, 27, 23, 30), inBerlin(2024, 10, 27, 0, 30), berlin), 0);

    // Yesterday 23:59 is overdue, today 00:00 is not: the overdue rule built on this count.
    const QDateTime now = inBerlin(2024, 5, 2, 10);
    EXPECT_EQ(Utils::daysFromDate(now, inBerlin(2024, 5, 1, 23, 59), berlin), -1);
    EXPECT_EQ(Utils::daysFromDate(now, inBerlin(2024, 5, 2, 0, 0), berlin), 0);
    EXPECT_EQ(Utils::daysFromDate(utc(2024, 1, 1, 12), utc(2024, 1, 1, 23, 30), berlin), 1);
    EXPECT_EQ(Utils::daysFromDate(QDateTime(), now, berlin), 0);

    // Offsets from UTC are whole hours toward zero.
    const QDateTime at = utc(2024, 1, 15, 12);
    EXPECT_EQ(Utils::offsetFromUTC(QTimeZone(5 * 3600 + 1800), at), 5);
    EXPECT_EQ(Utils::offsetFromUTC(QTimeZone(-(3 * 3600 + 1800)), at), -3);
    EXPECT_EQ(Utils::offsetFromUTC(QTimeZone::utc(), at), 0);
    EXPECT_EQ(Utils::offsetFromUTC(berlin, utc(2024, 7, 1)), 2);
}

// ---- Date comparison ---------------------------------------------------------------------

TEST(UtilsCompareDates,
     GivenDatesMissingOrWithinAMinuteOrAnAllDayDay_WhenCompared_ThenDatedFirstAndTheSameAlike)
{
    const QDateTime dated = inBerlin(2040, 1, 1, 12);
    EXPECT_EQ(Utils::compare(dated, false, QDateTime(), false, berlin), std::weak_ordering::less);
    EXPECT_EQ(Utils::compare(QDateTime(), false, dated, false, berlin), std::weak_ordering::greater);
    EXPECT_EQ(Utils::compare(QDateTime(), false, QDateTime(), true, berlin), std::weak_ordering::equivalent);

    const QDateTime epoch = utc(1970, 1, 1);
    EXPECT_EQ(Utils::compare(epoch, false, QDateTime(), false, berlin), std::weak_ordering::equivalent);
    EXPECT_EQ(Utils::compare(utc(1970, 1, 1, 0, 0, 0, 999), false, QDateTime(), false, berlin),
              std::weak_ordering::equivalent);
    EXPECT_EQ(Utils::compare(epoch, false, utc(2040, 6, 1), false, berlin), std::weak_ordering::greater);
    EXPECT_EQ(Utils::compare(utc(1970, 1, 1, 0, 0, 1), false, epoch, false, berlin),
              std::weak_ordering::less);

    EXPECT_EQ(
        Utils::compare(inBerlin(2024, 5, 1, 9, 30, 5), false, inBerlin(2024, 5, 1, 9, 30, 55), false, berlin),
        std::weak_ordering::equivalent);
    EXPECT_EQ(Utils::compare(inBerlin(2024, 5, 1, 9, 30), false, inBerlin(2024, 5, 1, 9, 31), false, berlin),
              std::weak_ordering::less);
    EXPECT_EQ(Utils::compare(inBerlin(2024, 5, 1, 8), true, inBerlin(2024, 5, 1, 20), true, berlin),
              std::weak_ordering::equivalent);
    // Only the all-day side loses its time of day.
    EXPECT_EQ(Utils::compare(inBerlin(2024, 5, 1, 20), true, inBerlin(2024, 5, 1, 0, 1), false, berlin),
              std::weak_ordering::less);
}

TEST(UtilsCompareStartDates,
     GivenEqualStartDatesOrAllDayFlags_WhenCompared_ThenLowerCompletionFirstAndTheFlagFromTheItem)
{
    ModelStore store;
    auto* a = ItemBuilder()
                  .starting(inBerlin(2024, 5, 1, 9))
                  .withValue("completionPercentage", 60)
                  .in(store.context);
    auto* b = ItemBuilder()
                  .starting(inBerlin(2024, 5, 1, 9, 0, 30))
                  .withValue("completionPercentage", 20)
                  .in(store.context);
    auto* none = ItemBuilder().starting(inBerlin(2024, 5, 1, 9)).in(store.context);
    EXPECT_EQ(Utils::compareStartDates(*a, *b, berlin), std::weak_ordering::greater);
    EXPECT_EQ(Utils::compareStartDates(*b, *a, berlin), std::weak_ordering::less);
    // A missing percentage counts as 0.
    EXPECT_EQ(Utils::compareStartDates(*none, *b, berlin), std::weak_ordering::less);

    auto* allDayLate =
        ItemBuilder().starting(inBerlin(2024, 5, 1, 20)).withValue("allDay", true).in(store.context);
    auto* early = ItemBuilder().starting(inBerlin(2024, 5, 1, 6)).in(store.context);
    auto* undated = ItemBuilder().in(store.context);
    EXPECT_EQ(Utils::compareStartDates(*allDayLate, *early, berlin), std::weak_ordering::less);
    EXPECT_EQ(Utils::compareStartDates(*undated, *early, berlin), std::weak_ordering::greater);
}

// ---- Transfer and query dates ----------------------------------------------------------------

TEST(UtilsTransferDates, GivenADate_WhenWrittenForAQueryOrTransfer_ThenUtcWithSixFractionDigitsOrWholeSeconds)
{
    EXPECT_EQ(Utils::restQueryDateString(utc(2024, 3, 5, 7, 8, 9, 123)),
              "2024-03-05%2007:08:09.123000-00:00");
    EXPECT_EQ(Utils::restQueryDateString(inBerlin(2024, 7, 1, 1, 0)), "2024-06-30%2023:00:00.000000-00:00");

    EXPECT_EQ(Utils::secondsSince1970(utc(2023, 11, 14, 22, 13, 20, 999)), 1700000000);
    EXPECT_EQ(Utils::secondsSince1970(utc(1969, 12, 31, 23, 59, 59, 500)), -1);
    EXPECT_EQ(Utils::dateFromSecondsSince1970(1700000000), utc(2023, 11, 14, 22, 13, 20));
}

// ---- Sorting ---------------------------------------------------------------------------------

TEST(UtilsOlderFirst, GivenItemsWithAndWithoutDueDates_WhenSorted_ThenUndatedOnesKeepTheirOrderAtTheEnd)
{
    ModelStore store;
    Utils::ItemList items;
    items.push_back(ItemBuilder("u1").in(store.context));
    items.push_back(ItemBuilder("late").due(utc(2024, 6, 1)).in(store.context));
    items.push_back(ItemBuilder("u2").in(store.context));
    items.push_back(ItemBuilder("early").due(utc(2024, 1, 1)).in(store.context));
    items.push_back(ItemBuilder("u3").in(store.context));
    items.push_back(ItemBuilder("mid").due(utc(2024, 3, 1)).in(store.context));
    const Utils::ItemList before = items;

    const Utils::ItemList sorted = Utils::olderFirst(items);
    EXPECT_EQ(names(sorted), (QStringList{"early", "mid", "late", "u1", "u2", "u3"}));
    EXPECT_EQ(items, before);

    Utils::ItemList undated;
    for (int i = 0; i < 40; ++i)
        undated.push_back(ItemBuilder(QString::number(i)).in(store.context));
    EXPECT_EQ(Utils::olderFirst(undated), undated);
}

TEST(UtilsSortByKey, GivenIndexesOrNames_WhenSorted_ThenStableInBothDirectionsAndCaseSensitive)
{
    ModelStore store;
    Utils::ItemList items;
    items.push_back(ItemBuilder("a").atIndex(200).in(store.context));
    items.push_back(ItemBuilder("b").atIndex(100).in(store.context));
    items.push_back(ItemBuilder("c").atIndex(200).in(store.context));
    items.push_back(ItemBuilder("none").in(store.context));
    EXPECT_EQ(names(Utils::sortByIndex(items, true)), (QStringList{"none", "b", "a", "c"}));
    EXPECT_EQ(names(Utils::sortByIndex(items, false)), (QStringList{"a", "c", "b", "none"}));

    Utils::ItemList named;
    for (const char* name : {"banana", "Cherry", "apple"})
        named.push_back(ItemBuilder(name).in(store.context));
    EXPECT_EQ(names(Utils::sortByAlphabetical(named, true)), (QStringList{"Cherry", "apple", "banana"}));
    EXPECT_EQ(names(Utils::sortByAlphabetical(named, false)), (QStringList{"banana", "apple", "Cherry"}));
}

// ---- Text helpers ----------------------------------------------------------------------------

TEST(UtilsFirstLine, GivenText_WhenItsFirstLineOrAFileNameIsTaken_ThenTrimmedOrWithoutForbiddenCharacters)
{
    EXPECT_EQ(Utils::firstLineWithContent("\n \t\r\n\t Buy milk \nand eggs"), "Buy milk");
    EXPECT_TRUE(Utils::firstLineWithContent(" \n\t\n").isNull());
    EXPECT_TRUE(Utils::firstLineWithContent(QString()).isNull());
    EXPECT_EQ(Utils::stringByRemovingPrefix("44flag.png", "44"), "flag.png");
    EXPECT_EQ(Utils::stringByRemovingSuffix("flag.png", ".jpg"), "flag.png");
    EXPECT_EQ(Utils::stringByRemovingSuffix("flag.png", ".png"), "flag");

    EXPECT_EQ(Utils::sanitizeFileNameString("Plan/2024?.txt"), "Plan2024.txt");
    EXPECT_EQ(Utils::sanitizeFileNameString("a/b\\c?d%e*f|g\"h<i>j"), "abcdefghij");
}

TEST(UtilsEmail, GivenAddresses_WhenValidated_ThenTheWholeTextMustMatchOrTheBracketedAddressIsReturned)
{
    qv::LogCapture log;
    EXPECT_TRUE(Utils::validateEmail("jane.doe+work@mail.example.com"));
    EXPECT_TRUE(Utils::validateEmail("x@firm.consulting"));
    EXPECT_TRUE(Utils::validateEmail("jane@example.museum"));
    EXPECT_FALSE(Utils::validateEmail("jane@example.c"));
    EXPECT_FALSE(Utils::validateEmail("jane@example.com "));
    EXPECT_FALSE(Utils::validateEmail("jane@example.com\n"));
    EXPECT_FALSE(Utils::validateEmail("Jane <jane@example.com>"));
    EXPECT_FALSE(Utils::validateEmail(QString()));

    EXPECT_EQ(Utils::validateRichEmail("Jane Doe <jane@example.com>"), "jane@example.com");
    EXPECT_EQ(Utils::validateRichEmail("jane@example.com"), "jane@example.com");
    // The blank after the bracket is the last non-empty piece, and no address.
    EXPECT_TRUE(Utils::validateRichEmail("Jane <jane@example.com> ").isNull());
    EXPECT_TRUE(Utils::validateRichEmail("<>").isNull());
    // The address is logged by its pieces' lengths only.
    EXPECT_TRUE(log.contains("components: (<9 chars>, <16 chars>, <0 chars>)"));
}

// ---- The application's URL scheme --------------------------------------------------------------

TEST(UtilsUrls, GivenTheSyncHost_WhenLinksAreBuiltClassifiedOrParsed_ThenSchemePathAndOwnPrefixRule)
{
    EXPECT_EQ(Utils::urlPrefixForItems(kHost), "quadrivo://sync.example.net/api/v1/item/");
    EXPECT_EQ(Utils::urlPrefixForProjects(kHost), "quadrivo://sync.example.net/api/v1/project/");
    EXPECT_EQ(Utils::QVWebUrlPrefixForProjects("https://sync.example.net"),
              "https://sync.example.net/qvweb/pr/");

    EXPECT_TRUE(Utils::isSyncURL(QUrl("quadrivo://sync.example.net/sync/")));
    EXPECT_FALSE(Utils::isSyncURL(QUrl("quadrivo://sync.example.net/api/v1/item/1")));
    EXPECT_TRUE(Utils::isBlankURL(QUrl("quadrivo://")));
    EXPECT_TRUE(Utils::isBlankURL(QUrl("quadrivo:///")));
    EXPECT_FALSE(Utils::isBlankURL(QUrl("quadrivo://x")));

    ModelStore store;
    EXPECT_TRUE(Utils::urlForItem(*ItemBuilder().in(store.context), kHost).isEmpty());
    EXPECT_TRUE(Utils::urlForItem(*ItemBuilder().withServerID(0).in(store.context), kHost).isEmpty());
    EXPECT_EQ(Utils::urlForItem(*ItemBuilder().withServerID(42).in(store.context), kHost),
              QUrl("quadrivo://sync.example.net/api/v1/item/42"));
    EXPECT_TRUE(Utils::urlForProject(*ProjectBuilder(store.context, "p").get(), kHost).isEmpty());
    EXPECT_TRUE(Utils::urlForProject(*ProjectBuilder(store.context, "p").withId(-5).get(), kHost).isEmpty());
    EXPECT_EQ(Utils::urlForProject(*ProjectBuilder(store.context, "p").withId(7).get(), kHost),
              QUrl("quadrivo://sync.example.net/api/v1/project/7"));

    const QUrl item("quadrivo://sync.example.net/api/v1/item/42");
    const QUrl project("quadrivo://sync.example.net/api/v1/project/7/");
    EXPECT_EQ(Utils::itemIDFromURL(item, kHost), 42);
    EXPECT_FALSE(Utils::itemIDFromURL(project, kHost).has_value());
    EXPECT_EQ(Utils::projectIDFromURL(project, kHost), 7);
    EXPECT_FALSE(Utils::projectIDFromURL(item, kHost).has_value());
    EXPECT_FALSE(Utils::itemIDFromURL(QUrl("quadrivo://sync.example.net/api/v1/item/x"), kHost));
    EXPECT_FALSE(Utils::itemIDFromURL(QUrl("quadrivo://other.host/api/v1/item/42"), kHost));
    // Host names arrive lower-cased.
    EXPECT_EQ(Utils::itemIDFromURL(item, "Sync.Example.NET"), 42);
    // A resource path's id is its last non-empty piece.
    EXPECT_EQ(Utils::idFromURI("/api/v1/item/123/"), 123);
    EXPECT_EQ(Utils::idFromURI("/api/v1/item/123"), 123);
    EXPECT_FALSE(Utils::idFromURI("/api/v1/item/abc/").has_value());
    EXPECT_FALSE(Utils::idFromURI("/api/v1/item/123/abc").has_value());
    EXPECT_FALSE(Utils::idFromURI("").has_value());
    EXPECT_FALSE(Utils::idFromURI(QString()).has_value());
}

TEST(UtilsSignatures, GivenAVariantOrARandomPick_WhenWritten_ThenTheSloganLinksWithItsTrackingQuery)
{
    const QString page = "https://www.example.com/app";
    EXPECT_EQ(Utils::signatureMessage(page, 0),
              QStringLiteral(
                  "<p><br><br><i><a href=\"https://www.example.com/app?b2\">Quadrivo</a>, the task manager "
                  "for managers.</i>\n"));
    EXPECT_EQ(Utils::signatureMessageTextFormat(page, 3),
              "Quadrivo, your second brain for tasks: https://www.example.com/app?c1\n");
    QSet<QString> all, seen;
    for (int v = 0; v < 4; ++v)
        all.insert(Utils::signatureMessageTextFormat(page, v));
    for (int i = 0; i < 200; ++i)
        seen.insert(Utils::signatureMessageTextFormat(page));
    EXPECT_EQ(seen, all);
}

// ---- Digests and device identity -------------------------------------------------------------

TEST(UtilsDigests, GivenKnownMessages_WhenDigested_ThenTheStandardLowercaseSha1Results)
{
    EXPECT_EQ(Utils::SHA1(""), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Utils::SHA1fromString(QString()), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
    EXPECT_EQ(Utils::SHA1("abc"), "a9993e364706816aba3e25717850c26c9cd0d89d");
    // The byte string ends at its first NUL.
    EXPECT_EQ(Utils::SHA1("abc\0def"), Utils::SHA1("abc"));
    EXPECT_EQ(Utils::SHA1fromString("é"),
              QString::fromLatin1(QCryptographicHash::hash("\xc3\xa9", QCryptographicHash::Sha1).toHex()));
}

TEST(UtilsDeviceIdentity,
     GivenAHostNameOrMachineIdentifier_WhenTheIdentifierIsComputed_ThenTheMachineIdWinsOverTheHost)
{
    const QByteArray expected =
        QCryptographicHash::hash("plumfeatherdrumsbuild-host.example.orgHalvern", QCryptographicHash::Sha1)
            .toHex();
    EXPECT_EQ(Utils::deviceUIDForHostName("Build-Host.Example.ORG"), QString::fromLatin1(expected));
    EXPECT_EQ(Utils::deviceUIDForHostName("build-host.example.org"), QString::fromLatin1(expected));
    EXPECT_EQ(Utils::HashAndSalt("build-host.example.orgHalvern"), QString::fromLatin1(expected));
    EXPECT_EQ(Utils::deviceUIDForHostName("other-host").size(), 40);
    EXPECT_NE(Utils::deviceUIDForHostName("other-host"), QString::fromLatin1(expected));

    const QByteArray id = "4c4c4544004d3510804bb4c04f4e3532";
    const QString digest = QString::fromLatin1(
        QCryptographicHash::hash("plumfeatherdrums" + id + "Halvern", QCryptographicHash::Sha1).toHex());
    // Two machines both called localhost are told apart; one machine keeps its identifier
    // whatever it is called.
    EXPECT_EQ(Utils::deviceUIDFor({id, QStringLiteral("localhost")}), digest);
    EXPECT_EQ(Utils::deviceUIDFor({id.toUpper() + "\n", QStringLiteral("renamed")}), digest);
    EXPECT_NE(Utils::deviceUIDFor({"0f2c9a1e5b7d4c3a8e6f1b2d3c4a5e6f", QStringLiteral("localhost")}), digest);
    EXPECT_EQ(Utils::deviceUIDFor({{}, QStringLiteral("Debian")}),
              Utils::deviceUIDForHostName(QStringLiteral("debian")));
    EXPECT_EQ(Utils::deviceUIDFor({" \n", QStringLiteral("debian")}),
              Utils::deviceUIDForHostName(QStringLiteral("debian")));
}

TEST(UtilsDeviceIdentity,
     GivenAMachineIdFile_WhenThisMachineIsIdentified_ThenTheIdentifierComesFromItNotFromTheHostName)
{
    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("machine-id"));
    const auto write = [&path](const QByteArray& content) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    };
    const auto readFile = [&path] {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    write("4C4C4544004D3510804BB4C04F4E3532\n");
    const Utils::MachineIdentity machine = Utils::MachineIdentity::ofThisMachine(readFile);
    EXPECT_EQ(machine.hostName, QSysInfo::machineHostName());
    const QString uid = Utils::deviceUIDFor(machine);
    EXPECT_EQ(uid, "aeb46a05c11fbc6126fac9117a8e9add52b3092a");
    EXPECT_NE(uid, Utils::deviceUIDForHostName(machine.hostName));

    // Where the system keeps no identifier, the host name is all there is.
    write("");
    EXPECT_EQ(Utils::deviceUIDFor(Utils::MachineIdentity::ofThisMachine(readFile)),
              Utils::deviceUIDForHostName(QSysInfo::machineHostName()));
}

TEST(UtilsDeviceIdentity, GivenThisMachine_WhenAskedTwice_ThenTheSameIdentifierIsComputedOnce)
{
    qv::LogCapture log;
    const QString first = Utils::getDeviceUID();
    const QString second = Utils::getDeviceUID();
    EXPECT_EQ(first, second);
    EXPECT_EQ(
        log.count(
            QStringLiteral("host for authentication: '%1'").arg(QSysInfo::machineHostName().toLower())) +
            log.count(QStringLiteral("machine identifier for authentication")),
        1);
    EXPECT_EQ(first, Utils::deviceUIDFor(Utils::MachineIdentity::ofThisMachine()));
}

TEST(UtilsSystemVersion, GivenVersionTexts_WhenParsedOrPacked_ThenMissingPartsAreZeroAndFieldsSaturate)
{
    unsigned major = 1, minor = 1, bugFix = 1;
    EXPECT_TRUE(Utils::parseSystemVersion("12", &major, &minor, &bugFix));
    EXPECT_EQ(std::tuple(major, minor, bugFix), std::tuple(12u, 0u, 0u));
    EXPECT_TRUE(Utils::parseSystemVersion("22.04", &major, &minor, &bugFix));
    EXPECT_EQ(std::tuple(major, minor, bugFix), std::tuple(22u, 4u, 0u));
    EXPECT_TRUE(Utils::parseSystemVersion("10.6.8", &major, nullptr, &bugFix));
    EXPECT_EQ(std::tuple(major, bugFix), std::tuple(10u, 8u));
    EXPECT_FALSE(Utils::parseSystemVersion("unknown", &major, &minor, &bugFix));
    EXPECT_FALSE(Utils::parseSystemVersion("1.2.3.4", &major, &minor, &bugFix));

    EXPECT_EQ(Utils::systemVersionCode(10, 6, 8), 0x1068u);
    EXPECT_EQ(Utils::systemVersionCode(10, 7, 0), 0x1070u);
    EXPECT_EQ(Utils::systemVersionCode(12, 0, 0), 0x1200u);
    EXPECT_EQ(Utils::systemVersionCode(10, 15, 7), 0x1097u);
    EXPECT_EQ(Utils::systemVersionCode(150, 1, 0), 0x9910u);
}

// ---- Hexadecimal text ------------------------------------------------------------------------

TEST(UtilsHex, GivenTexts_WhenTestedOrDecodedAsHex_ThenFiveCharactersCountAndBadDigitsEndAPair)
{
    for (const char* yes : {"0a1b2c", "ABCDEF", "12", "", "12345z"})
        EXPECT_TRUE(Utils::isHex(QString::fromLatin1(yes))) << yes;
    for (const char* no : {"xyz", "12g45", "1234z", " 12"})
        EXPECT_FALSE(Utils::isHex(QString::fromLatin1(no))) << no;
    EXPECT_FALSE(Utils::isHex("1é"));

    EXPECT_EQ(Utils::hexToBinary("0a1bff"), QByteArray("\x0a\x1b\xff", 3));
    EXPECT_EQ(Utils::hexToBinary("1gg1"), QByteArray("\x01\x00", 2));
    EXPECT_EQ(Utils::hexToBinary("abc"), QByteArray("\xab", 1));
    EXPECT_TRUE(Utils::hexToBinary("a").isEmpty());

    // In place: the first half holds the bytes, the rest is left as it was.
    char buffer[] = "0a1Bf";
    Utils::hexToBinary(buffer, 5);
    EXPECT_EQ(QByteArray(buffer, 3), QByteArray("\x0a\x1b"
                                                "1",
                                                3));
    char tooShort[] = "a";
    Utils::hexToBinary(tooShort, 1);
    EXPECT_EQ(tooShort[0], 'a');
    char bad[] = "zz";
    Utils::hexToBinary(bad, 2);
    EXPECT_EQ(bad[0], 0);
}
