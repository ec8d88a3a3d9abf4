#pragma once

#include "core/util/Predicate.h"

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QMap>
#include <QPixmap>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTimeZone>
#include <QUrl>
#include <QVariantList>

#include <compare>
#include <functional>
#include <optional>
#include <vector>

namespace qv {

class Alerts;
class Preferences;

namespace store {
class ManagedObject;
}

// The application's toolbox of stateless operations. Calendar operations work in the user's
// time zone unless one is passed. Operations that read items or projects take store objects
// and read their attributes by name.
class Utils {
public:
    Utils() = delete;

    using ItemList = std::vector<store::ManagedObject*>;
    // The master list's items grouped by its grouping key.
    using ItemDictionary = QMap<QString, ItemList>;

    // ---- Colours ----------------------------------------------------------------------
    // RRGGBB ("0x" allowed); black for text that cannot be read.
    static QColor colorWithHexColorString(const QString& text);
    // Reads "kHidingItemIcons".
    static QColor textColorForOverdue(const Preferences& preferences);
    static QColor textColorForOverdue(bool hidingItemIcons);

    // ---- Dates --------------------------------------------------------------------------
    // The same day at 00:00 (or the day's first moment where midnight does not exist).
    static QDateTime stripTimeOfDay(const QDateTime& date,
                                    const QTimeZone& zone = QTimeZone::systemTimeZone());
    static QDateTime stripSeconds(const QDateTime& date, const QTimeZone& zone = QTimeZone::systemTimeZone());
    // The date's day at hour:00 (hours beyond 0-23 roll into the neighbouring days); a
    // wall time skipped by a daylight-saving change moves forward by the skipped length.
    static QDateTime addHour(int hour, const QDateTime& date,
                             const QTimeZone& zone = QTimeZone::systemTimeZone());
    // The date's day that many years later, at 00:00; 29 February rolls over to 1 March.
    static QDateTime addYear(int years, const QDateTime& date,
                             const QTimeZone& zone = QTimeZone::systemTimeZone());
    // Whole calendar days between the days of the two dates (negative when the second lies
    // on an earlier day); 0 when either is missing.
    static int daysFromDate(const QDateTime& from, const QDateTime& to,
                            const QTimeZone& zone = QTimeZone::systemTimeZone());

    // A missing date, or one less than a second after 1970-01-01 UTC, is no date and sorts
    // after every real date. Seconds are ignored; an all-day side also ignores its time.
    static std::weak_ordering compare(const QDateTime& first, bool firstAllDay, const QDateTime& second,
                                      bool secondAllDay, const QTimeZone& zone = QTimeZone::systemTimeZone());
    // compare() on "startDate" / "allDay", then "completionPercentage" (missing counts as 0).
    static std::weak_ordering compareStartDates(const store::ManagedObject& first,
                                                const store::ManagedObject& second,
                                                const QTimeZone& zone = QTimeZone::systemTimeZone());

    // Whole seconds since 1970 UTC, the transfer format's dates.
    static qint64 secondsSince1970(const QDateTime& date);
    static QDateTime dateFromSecondsSince1970(qint64 seconds);
    // A date in REST query strings: UTC "yyyy-MM-dd%20HH:mm:ss.SSSSSS-00:00".
    static QString restQueryDateString(const QDateTime& date);

    // ---- Sorting (stable; the argument is left as it is) -----------------------------------
    // By "dueDate" ascending; items without due date last, in their original order.
    static ItemList olderFirst(const ItemList& items);
    // By "index" (numbers) / "name" (texts, case-sensitive); missing values sort first when
    // ascending.
    static ItemList sortByIndex(const ItemList& items, bool ascending);
    static ItemList sortByAlphabetical(const ItemList& items, bool ascending);

    // [a, [b, c], d] -> [a, b, c, d]; deeper lists stay as they are.
    static QVariantList processOnDidLoadObjects(const QVariantList& objects);

    // A modal alert with the one button "OK"; returns once it is dismissed.
    static void reportError(Alerts& alerts, const QString& message, const QString& informative);

    // ---- Text -----------------------------------------------------------------------------
    // The first line that is not blank, trimmed of spaces and tabs; a null string when none.
    static QString firstLineWithContent(const QString& text);
    // The text without the prefix (or suffix) when it has it; the text itself otherwise.
    static QString stringByRemovingPrefix(const QString& text, const QString& prefix);
    static QString stringByRemovingSuffix(const QString& text, const QString& suffix);
    // Drops / \ ? % * | " < >.
    static QString sanitizeFileNameString(const QString& text);
    static bool validateEmail(const QString& text);
    // "Name <address>" -> the address; a null string when the last non-empty piece between
    // the angle brackets is not an address.
    static QString validateRichEmail(const QString& text);
    // The number in the last non-empty path component of a resource URI ("/api/v1/item/123/").
    static std::optional<qint64> idFromURI(const QString& uri);

    // ---- The application's URL scheme ----------------------------------------------------
    static QString urlPrefixForItems(const QString& syncHost);
    static QString urlPrefixForProjects(const QString& syncHost);
    // The sync server's HTTPS base address followed by "/qvweb/pr/".
    static QString QVWebUrlPrefixForProjects(const QString& syncBaseUrl);
    // Empty when the item has no server identifier.
    static QUrl urlForItem(const store::ManagedObject& item, const QString& syncHost);
    // Empty when the project's "id_" is missing or below 1.
    static QUrl urlForProject(const store::ManagedObject& project, const QString& syncHost);
    static bool isSyncURL(const QUrl& url);
    static bool isBlankURL(const QUrl& url);
    static std::optional<qint64> itemIDFromURL(const QUrl& url, const QString& syncHost);
    static std::optional<qint64> projectIDFromURL(const QUrl& url, const QString& syncHost);

    // Mail signatures linking to the product page; a random one of four, or the given one (0-3).
    static QString signatureMessage(const QString& productPage);
    static QString signatureMessage(const QString& productPage, int variant);
    static QString signatureMessageTextFormat(const QString& productPage);
    static QString signatureMessageTextFormat(const QString& productPage, int variant);

    // ---- Digests, device identity, user agent, system version ----------------------------
    // 40 lowercase hexadecimal characters of the bytes up to the first NUL.
    static QString SHA1(const char* bytes);
    static QString SHA1fromString(const QString& text);
    // SHA1fromString of the fixed salt followed by text.
    static QString HashAndSalt(const QString& text);
    // What tells machines apart: the machine identifier the system keeps (/etc/machine-id; empty
    // where there is none) and the network host name, which many machines share ("localhost").
    struct MachineIdentity {
        QByteArray machineId;
        QString hostName;
        // readMachineId gives the machine identifier; none: the one the system keeps.
        static MachineIdentity ofThisMachine(const std::function<QByteArray()>& readMachineId = {});
    };
    // The identifier of such a machine: from its machine identifier, or from its host name when it
    // has none (upper case makes no difference to either).
    static QString deviceUIDFor(const MachineIdentity& machine);
    // The identifier a machine with this host name and no machine identifier has; earlier versions
    // gave it to every machine.
    static QString deviceUIDForHostName(const QString& hostName);
    // This machine's identifier, computed once per process.
    static QString getDeviceUID();
    // "<application name>/<version>".
    static QString appUserAgent();
    // Whole hours (toward zero) of the zone's offset from UTC at that moment.
    static long offsetFromUTC(const QTimeZone& zone = QTimeZone::systemTimeZone(),
                              const QDateTime& at = QDateTime::currentDateTimeUtc());
    // The operating system's version; 10.0.0 when it cannot be told. Null pointers are skipped.
    static void getSystemVersionMajor(unsigned* major, unsigned* minor, unsigned* bugFix);
    // The version as a packed decimal code (major in bits 8-15 as two decimal digits, minor
    // in bits 4-7, bug-fix in bits 0-3, each field saturated), computed once.
    static unsigned macVersion();
    static bool parseSystemVersion(const QString& text, unsigned* major, unsigned* minor, unsigned* bugFix);
    static unsigned systemVersionCode(unsigned major, unsigned minor, unsigned bugFix);

    // Hexadecimal text; characters that are no hexadecimal digit count as 0.
    // Only the first five characters are looked at; empty text is hexadecimal.
    static bool isHex(const QString& text);
    // Decodes length/2 pairs in place into the first length/2 bytes.
    static void hexToBinary(char* buffer, qsizetype length);
    static QByteArray hexToBinary(const QString& text);

    // ---- Images and text measure (UtilsImages.cpp) -------------------------------------
    // Sizes are in points, one pixel per point; fractions are truncated.
    // A new image of that size with the source drawn over it; a null image for a null source.
    // The source is left as it is.
    static QImage imageResize(const QImage& image, const QSizeF& newSize);
    // A copy clipped to a rounded rectangle (radii a sixth of the width and of the height); the
    // argument itself when its height is 0.
    static QImage roundCorners(const QImage& image);
    // A grey copy that keeps the source's transparency.
    static QImage imageToGreyImage(const QImage& image);
    // Between the window system's image (QPixmap) and a bitmap (QImage); null gives null.
    static QImage nsImageToCGImageRef(const QPixmap& image);
    static QPixmap imageFromCGImageRef(const QImage& bitmap);
    // The height the text needs when laid out at that width in that font; 0 for no text.
    static float heightForString(const QString& text, const QFont& font, float width);

    // ---- Item filters ----------------------------------------------------------------------
    // The bounds a date range leaves open.
    static QDateTime distantPast();
    static QDateTime distantFuture();
    // Lower bound inclusive, upper exclusive; a null, distant-past or distant-future bound
    // is not used.
    static Predicate filterItemsWithCreationBetweenMinDate(const QDateTime& minDate,
                                                           const QDateTime& maxDate);
    static Predicate filterItemsWithTimestampBetweenMinDate(const QDateTime& minDate,
                                                            const QDateTime& maxDate);
    // Only items with a due date pass, bounds or not.
    static Predicate filterItemsWithDueDatesBetweenMinDate(const QDateTime& minDate,
                                                           const QDateTime& maxDate);
    // Only completed items pass, bounds or not.
    static Predicate filterItemsWithCompletionDatesBetweenMinDate(const QDateTime& minDate,
                                                                  const QDateTime& maxDate);
    // Items of any of the names, or with negate of none of them; an empty list passes all.
    static Predicate filterByOwnerUsernames(const QStringList& usernames, bool negate);
    static Predicate filterByCreators(const QStringList& usernames, bool negate);
    static Predicate filterByCompletedBy(const QStringList& usernames, bool negate);
    static Predicate filterForItemsThatHaveDueDate();
    static Predicate filterForItemsThatHaveFiles();
    // Items whose name or notes contain the text, ignoring case and accents. The lists of
    // the argument are filtered in place; the result holds the keys with items left.
    // nullopt for an empty dictionary; an empty text gives the dictionary as it is.
    static std::optional<ItemDictionary> filterItemsBySearchField(const QString& searchText,
                                                                  ItemDictionary& itemDictionary);
    // Items of that owner (an empty name: items without owner); the argument is unchanged.
    static ItemDictionary filterItemsByOwner(const QString& username, const ItemDictionary& itemDictionary);
};

} // namespace qv
