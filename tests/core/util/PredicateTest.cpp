#include "core/util/Predicate.h"
#include "core/util/Utils.h"

#include "core/model/ItemFile.h"

#include "tests/core/util/UtilsTestSupport.h"

#include <gtest/gtest.h>

using namespace qv;
using namespace qv::test;

namespace {

QVariantMap record(std::initializer_list<std::pair<const char*, QVariant>> pairs)
{
    QVariantMap map;
    for (const auto& [key, value] : pairs)
        map.insert(QString::fromLatin1(key), value);
    return map;
}

bool matches(const QString& format, const QVariantList& arguments, const QVariantMap& object)
{
    const Predicate p = Predicate::withFormat(format, arguments);
    EXPECT_TRUE(p.isValid()) << p.errorString().toStdString();
    return p.evaluate(object);
}

const QString kJan1 = "CAST(\"2024-01-01T00:00:00.000Z\", \"date\")";
const QString kFeb1 = "CAST(\"2024-02-01T00:00:00.000Z\", \"date\")";

} // namespace

// ---- The texts of the filter predicates ---------------------------------------------------------

TEST(PredicateFormats,
     GivenTheFixedFiltersAndUserLists_WhenWritten_ThenTheTextsAreExactAndNamesOredOrNegatedAndAnded)
{
    EXPECT_EQ(Utils::filterForItemsThatHaveDueDate().format(), "(dueDate <> NIL)");
    EXPECT_EQ(Utils::filterForItemsThatHaveFiles().format(), "(files.@count > 0)");
    EXPECT_EQ(Utils::filterItemsWithCompletionDatesBetweenMinDate({}, {}).format(),
              "(completionDate <> NIL)");

    const QStringList two{"ann@example.com", "bob@example.com"};
    EXPECT_EQ(Utils::filterByOwnerUsernames(two, false).format(),
              "(ownerUsername = \"ann@example.com\") OR (ownerUsername = \"bob@example.com\")");
    EXPECT_EQ(Utils::filterByCreators(two, true).format(),
              QStringLiteral(
                  "(creatorUsername <> \"ann@example.com\") AND (creatorUsername <> \"bob@example.com\")"));
    EXPECT_EQ(Utils::filterByCompletedBy({"ann@example.com"}, false).format(),
              "(completedByUsername = \"ann@example.com\")");
    EXPECT_EQ(Utils::filterByOwnerUsernames({}, true).format(), "TRUEPREDICATE");
}

TEST(PredicateFormats, GivenDateRanges_WhenWritten_ThenBoundsAreJoinedWithAnd)
{
    const QDateTime jan1 = utc(2024, 1, 1);
    const QDateTime feb1 = utc(2024, 2, 1);
    EXPECT_EQ(Utils::filterItemsWithCreationBetweenMinDate(jan1, feb1).format(),
              QStringLiteral("(creationDate >= %1) AND (creationDate < %2)").arg(kJan1, kFeb1));
    EXPECT_EQ(Utils::filterItemsWithCreationBetweenMinDate(jan1, {}).format(),
              QStringLiteral("(creationDate >= %1)").arg(kJan1));
    EXPECT_EQ(Utils::filterItemsWithCreationBetweenMinDate({}, Utils::distantFuture()).format(),
              "TRUEPREDICATE");
    EXPECT_EQ(Utils::filterItemsWithTimestampBetweenMinDate(jan1, feb1).format(),
              "(lastModifiedTimestamp >= 1704067200) AND (lastModifiedTimestamp < 1706745600)");
    EXPECT_EQ(Utils::filterItemsWithDueDatesBetweenMinDate({}, {}).format(),
              "TRUEPREDICATE AND (dueDate <> NIL)");
    EXPECT_EQ(Utils::filterItemsWithDueDatesBetweenMinDate(jan1, feb1).format(),
              QStringLiteral("((dueDate >= %1) AND (dueDate < %2)) AND (dueDate <> NIL)").arg(kJan1, kFeb1));
    EXPECT_EQ(Utils::filterItemsWithCompletionDatesBetweenMinDate({}, feb1).format(),
              QStringLiteral("(completionDate < %1)").arg(kFeb1));
}

TEST(PredicateFormats, GivenAFormattedPredicate_WhenItsTextIsParsedAgain_ThenTheTextIsTheSame)
{
    const Predicate p = Predicate::withFormat(
        QStringLiteral("quadrant == %d and (state <> 2 or NOT name contains[cd] %@) AND ANY tags.name IN %@ "
                       "AND due < %@ AND ratio >= %f AND flag = YES AND owner = nil"),
        {2, "say \"hi\" \\ 100%", QStringList{"a", "b"}, utc(2024, 1, 1), 0.25});
    ASSERT_TRUE(p.isValid()) << p.errorString().toStdString();
    const QString text = p.format();
    EXPECT_EQ(text,
              QStringLiteral("(quadrant == 2) AND ((state <> 2) OR NOT (name contains[cd] \"say \\\"hi\\\" "
                             "\\\\ 100%\")) AND (ANY tags.name IN {\"a\", \"b\"}) AND (due < %1) AND "
                             "(ratio >= 0.25) AND (flag = TRUE) AND (owner = NIL)")
                  .arg(kJan1));
    const Predicate again = Predicate::withFormat(text);
    ASSERT_TRUE(again.isValid()) << again.errorString().toStdString();
    EXPECT_EQ(again.format(), text);
}

TEST(PredicateFormats,
     GivenNestingDeeperThanAnyFilterOrACastOutsideTheYears1To9999_WhenParsed_ThenItIsRefused)
{
    const auto nested = [](const char* open, const QString& inner, const char* close, int depth) {
        return QString::fromLatin1(open).repeated(depth) + inner + QString::fromLatin1(close).repeated(depth);
    };
    // Brackets around a comparison are no level: the written form puts every comparison in them.
    for (const QString& text : {nested("(", QStringLiteral("a = 1"), ")", 102),
                                QStringLiteral("a IN ") + nested("{", QStringLiteral("1"), "}", 101),
                                nested("NOT ", QStringLiteral("a = 1"), "", 101),
                                nested("(", QStringLiteral("a = 1"), ")", 50'000)}) {
        const Predicate predicate = Predicate::withFormat(text);
        EXPECT_FALSE(predicate.isValid()) << text.left(20).toStdString();
        EXPECT_TRUE(predicate.errorString().startsWith(QStringLiteral("nested more than 100 deep")));
    }
    EXPECT_TRUE(Predicate::withFormat(nested("(", QStringLiteral("a = 1"), ")", 100)).isValid());

    for (const char* seconds : {"1e300", "-1e300", "1e19", "253402300800", "-62135596801"}) {
        const Predicate predicate =
            Predicate::withFormat(QStringLiteral("dueDate < CAST(%1, \"date\")").arg(QLatin1String(seconds)));
        EXPECT_FALSE(predicate.isValid()) << seconds;
    }
    for (const char* seconds : {"253402300799", "-62135596800", "0.5"})
        EXPECT_TRUE(
            Predicate::withFormat(QStringLiteral("dueDate < CAST(%1, \"date\")").arg(QLatin1String(seconds)))
                .isValid())
            << seconds;
}

TEST(PredicateFormats, GivenNestingUpToTheLimit_WhenWrittenAndParsedAgain_ThenTheTextParsesToItself)
{
    const QString nots = QStringLiteral("NOT ").repeated(100);
    for (const auto& [text, arguments] : std::vector<std::pair<QString, QVariantList>>{
             {nots + QStringLiteral("a = 1"), {}},
             {QStringLiteral("NOT ").repeated(99) + QStringLiteral("(a = 1 OR b = 2 AND c = 3)"), {}},
             {nots + QStringLiteral("a IN %@"), {QVariant(QVariantList{1, 2})}},
             {QStringLiteral("(").repeated(101) + QStringLiteral("a = 1") + QStringLiteral(")").repeated(101),
              {}}}) {
        const Predicate predicate = Predicate::withFormat(text, arguments);
        if (!predicate.isValid())
            continue; // refused as too deep: nothing is written
        const QString written = predicate.format();
        const Predicate again = Predicate::withFormat(written);
        EXPECT_TRUE(again.isValid()) << again.errorString().left(60).toStdString();
        EXPECT_EQ(again.format(), written);
    }
    EXPECT_TRUE(Predicate::withFormat(nots + QStringLiteral("a = 1")).isValid());
}

TEST(PredicateFormats, GivenBrokenFormats_WhenParsed_ThenThePredicateIsInvalidAndMatchesNothing)
{
    for (const char* bad : {"(name = %@", "name %@", "name = ", "= 3", "name = 'open", "a = 1 AND",
                            "a = {1, b}", "a contains[x] 1", "a = CAST(1, \"number\")"}) {
        const Predicate p = Predicate::withFormat(QString::fromLatin1(bad), {"x"});
        EXPECT_FALSE(p.isValid()) << bad;
        EXPECT_FALSE(p.errorString().isEmpty()) << bad;
        EXPECT_FALSE(p.evaluate(record({{"name", "x"}}))) << bad;
        EXPECT_TRUE(p.format().isEmpty()) << bad;
    }
    EXPECT_FALSE(Predicate::withFormat("a = %@ AND b = %@", {1}).isValid());
    EXPECT_FALSE(Predicate::withFormat("a = %@", {1, 2}).isValid());
    EXPECT_FALSE(Predicate::andPredicate({Predicate::withFormat("("), Predicate()}).isValid());
}

// ---- Evaluation -----------------------------------------------------------------------------------

TEST(PredicateEvaluation,
     GivenComparisonsOrMissingValues_WhenEvaluated_ThenValuesCompareAndOnlyNilTestsAndInequalityPassOnNothing)
{
    const QVariantMap item =
        record({{"index", 200}, {"ratio", 0.5}, {"name", "Plan"}, {"due", utc(2024, 5, 1)}});
    EXPECT_TRUE(matches("index = 200.0", {}, item));
    EXPECT_TRUE(matches("index > %d AND index <= 200", {199}, item));
    EXPECT_TRUE(matches("ratio < 1 && ratio => 0.5", {}, item));
    EXPECT_TRUE(matches("name == 'Plan'", {}, item));
    EXPECT_FALSE(matches("name = 'plan'", {}, item));
    EXPECT_TRUE(matches("name =[c] 'plan'", {}, item));
    EXPECT_TRUE(matches("due >= %@ AND due < %@", {utc(2024, 5, 1), utc(2024, 5, 2)}, item));
    EXPECT_TRUE(matches("NOT due < CAST(1714521600, \"date\")", {}, item));
    EXPECT_TRUE(matches("TRUEPREDICATE OR FALSEPREDICATE", {}, item));
    EXPECT_FALSE(matches("name > 3", {}, item));

    const QVariantMap empty;
    EXPECT_TRUE(matches("dueDate = NIL", {}, empty));
    EXPECT_FALSE(matches("dueDate <> nil", {}, empty));
    EXPECT_FALSE(matches("dueDate >= %@", {utc(2024, 1, 1)}, empty));
    EXPECT_FALSE(matches("dueDate < %@", {utc(2024, 1, 1)}, empty));
    EXPECT_TRUE(matches("ownerUsername != %@", {"ann"}, empty));
    EXPECT_FALSE(matches("name contains[cd] 'a'", {}, empty));
    EXPECT_TRUE(matches("files.@count = 0", {}, empty));
}

TEST(
    PredicateEvaluation,
    GivenATextSearchOrAnArgumentWithQuotes_WhenEvaluated_ThenCaseAndAccentsAreIgnoredAndTheArgumentIsOnlyAValue)
{
    const QVariantMap cafe = record({{"name", "Café Crème"}});
    EXPECT_TRUE(matches("name contains[cd] %@", {"cafe"}, cafe));
    EXPECT_TRUE(matches("name contains[cd] %@", {"CRÈME"}, cafe));
    EXPECT_FALSE(matches("name contains[c] %@", {"cafe"}, cafe));
    EXPECT_FALSE(matches("name contains[d] %@", {"CAFE"}, cafe));
    EXPECT_TRUE(matches("name contains %@", {"é C"}, cafe));
    // Decomposed input matches precomposed text.
    EXPECT_TRUE(matches("name contains[cd] %@", {"cafe\u0301"}, cafe));

    const QVariantMap item = record({{"name", "100% \"sure\""}});
    EXPECT_TRUE(matches("name = %@", {"100% \"sure\""}, item));
    EXPECT_FALSE(matches("name = %@", {"x\" OR name != \"x"}, item));
    EXPECT_TRUE(matches("%K = %@", {"name", "100% \"sure\""}, item));

    // ASCII text takes a shorter way to fold, to the same result as Unicode case folding.
    QString ascii;
    for (char16_t c = 0x20; c < 0x7f; ++c)
        ascii += QChar(c);
    const QVariantMap printable = record({{"name", ascii}, {"accented", ascii + QStringLiteral("É")}});
    EXPECT_TRUE(matches("name ==[c] %@", {ascii.toCaseFolded()}, printable));
    EXPECT_TRUE(matches("name ==[c] %@", {ascii.toUpper()}, printable));
    EXPECT_TRUE(matches("accented contains[cd] %@", {ascii.toUpper()}, printable));
    EXPECT_FALSE(matches("name ==[d] %@", {ascii.toCaseFolded()}, printable));
}

TEST(PredicateEvaluation, GivenCollections_WhenQuantified_ThenAnyAllAndNoneTestTheElements)
{
    const QVariantMap item = record({{"tags", QStringList{"work", "home"}}, {"state", 2}});
    EXPECT_TRUE(matches("ANY tags = 'work'", {}, item));
    EXPECT_FALSE(matches("ALL tags = 'work'", {}, item));
    EXPECT_TRUE(matches("NONE tags = 'garden'", {}, item));
    EXPECT_TRUE(matches("tags CONTAINS 'home'", {}, item));
    EXPECT_TRUE(matches("state IN %@", {QVariant(QVariantList{2, 3})}, item));
    EXPECT_FALSE(matches("state IN {0, 1}", {}, item));
    EXPECT_TRUE(matches("tags.@count == 2", {}, item));
}

TEST(PredicateEvaluation, GivenStoreObjects_WhenKeyPathsFollowRelationships_ThenRelatedValuesAreRead)
{
    ModelStore store;
    // Objects travel in arguments as store objects.
    TODOList* list = ProjectBuilder(store.context, "Q3 Planning");
    TODOItem* item = ItemBuilder("Report").taggedWith("Urgent").taggedWith("Home").in(list);
    qv::store::ManagedObject* project = list;
    qv::store::ManagedObject* urgent = item->tags().front();
    item->addFilesObject(store.context.insert<ItemFile>(ItemFile::staticEntityName()));
    auto* bare = ItemBuilder("Bare").in(store.context);

    const auto eval = [](const QString& format, const QVariantList& args, const qv::store::ManagedObject* o) {
        const Predicate p = Predicate::withFormat(format, args);
        EXPECT_TRUE(p.isValid()) << p.errorString().toStdString();
        return p.evaluate(o);
    };
    EXPECT_TRUE(eval("list.name = 'Q3 Planning'", {}, item));
    EXPECT_FALSE(eval("list.name = 'Q3 Planning'", {}, bare));
    EXPECT_TRUE(eval("list = nil", {}, bare));
    EXPECT_TRUE(eval("list = %@", {QVariant::fromValue(project)}, item));
    EXPECT_TRUE(eval("ANY tags.name contains[cd] 'urg'", {}, item));
    EXPECT_TRUE(eval("ANY tags IN %@", {QVariant(QVariantList{QVariant::fromValue(urgent)})}, item));
    EXPECT_FALSE(eval("ANY tags IN %@", {QVariant(QVariantList{QVariant::fromValue(urgent)})}, bare));
    EXPECT_TRUE(eval("(files.@count > 0)", {}, item));
    EXPECT_FALSE(eval("(files.@count > 0)", {}, bare));
    EXPECT_TRUE(eval("SELF.name = 'Bare'", {}, bare));
    // Unknown keys read as missing instead of failing.
    EXPECT_TRUE(eval("noSuchKey = nil", {}, item));
}

// ---- The filters on items ----------------------------------------------------------------------

TEST(ItemFilterDateRanges, GivenNoUsableBounds_WhenCreationIsFiltered_ThenEverythingPasses)
{
    ModelStore store;
    auto* undated = ItemBuilder().in(store.context);
    EXPECT_TRUE(Utils::filterItemsWithCreationBetweenMinDate({}, {}).evaluate(undated));
    EXPECT_TRUE(Utils::filterItemsWithCreationBetweenMinDate(Utils::distantPast(), Utils::distantFuture())
                    .evaluate(undated));
}

TEST(ItemFilterDateRanges, GivenDueBounds_WhenFiltered_ThenLowerIsInclusiveUpperExclusiveAndUndatedFail)
{
    ModelStore store;
    const QDateTime from = utc(2024, 3, 1);
    const QDateTime before = utc(2024, 4, 1);
    auto* atLower = ItemBuilder().due(from).in(store.context);
    auto* atUpper = ItemBuilder().due(before).in(store.context);
    auto* undated = ItemBuilder().in(store.context);
    const Predicate range = Utils::filterItemsWithDueDatesBetweenMinDate(from, before);
    EXPECT_TRUE(range.evaluate(atLower));
    EXPECT_FALSE(range.evaluate(atUpper));
    EXPECT_FALSE(range.evaluate(undated));
    const Predicate open = Utils::filterItemsWithDueDatesBetweenMinDate({}, {});
    EXPECT_TRUE(open.evaluate(atUpper));
    EXPECT_FALSE(open.evaluate(undated));
}

TEST(ItemFilterDateRanges, GivenCompletionAndModification_WhenFiltered_ThenOnlyCompletedAndInRangePass)
{
    ModelStore store;
    auto* done = ItemBuilder()
                     .withValue("completionDate", utc(2024, 3, 5))
                     .withValue("lastModifiedTimestamp", 1704067200)
                     .in(store.context);
    auto* open = ItemBuilder().withValue("lastModifiedTimestamp", 1704067199).in(store.context);
    EXPECT_TRUE(Utils::filterItemsWithCompletionDatesBetweenMinDate({}, {}).evaluate(done));
    EXPECT_FALSE(Utils::filterItemsWithCompletionDatesBetweenMinDate({}, {}).evaluate(open));
    EXPECT_FALSE(Utils::filterItemsWithCompletionDatesBetweenMinDate({}, utc(2025, 1, 1)).evaluate(open));
    const Predicate modified = Utils::filterItemsWithTimestampBetweenMinDate(utc(2024, 1, 1), {});
    EXPECT_TRUE(modified.evaluate(done));
    EXPECT_FALSE(modified.evaluate(open));
}

TEST(ItemFilterUsers, GivenOwnerLists_WhenFiltered_ThenEitherNeitherOrEveryoneMatches)
{
    ModelStore store;
    auto* ann = ItemBuilder().ownedBy("ann").in(store.context);
    auto* bob = ItemBuilder().ownedBy("bob").in(store.context);
    auto* cid = ItemBuilder().ownedBy("cid").in(store.context);
    auto* nobody = ItemBuilder().in(store.context);
    const QStringList annAndBob{"ann", "bob"};
    const Predicate either = Utils::filterByOwnerUsernames(annAndBob, false);
    const Predicate neither = Utils::filterByOwnerUsernames(annAndBob, true);
    EXPECT_TRUE(either.evaluate(ann));
    EXPECT_TRUE(either.evaluate(bob));
    EXPECT_FALSE(either.evaluate(cid));
    EXPECT_FALSE(neither.evaluate(ann));
    EXPECT_TRUE(neither.evaluate(cid));
    EXPECT_TRUE(neither.evaluate(nobody));
    for (bool negate : {false, true})
        for (auto* item : {ann, nobody})
            EXPECT_TRUE(Utils::filterByOwnerUsernames({}, negate).evaluate(item));
}

TEST(ItemFilterSearch, GivenAWordWithAnApostrophe_WhenSearched_ThenCaseAndAccentsDoNotMatter)
{
    ModelStore store;
    auto* french = ItemBuilder("Préparer l'Été").in(store.context);
    auto* notes = ItemBuilder("Other").withValue("descriptionText", "CAFÉ with Ann").in(store.context);
    auto* miss = ItemBuilder("Nothing here").in(store.context);
    Utils::ItemDictionary groups{{"Do Now", {french, miss}}, {"Later", {notes}}, {"Empty", {miss}}};

    const auto found = Utils::filterItemsBySearchField("L'ETE", groups);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->keys(), QStringList{"Do Now"});
    EXPECT_EQ(found->value("Do Now"), (Utils::ItemList{french}));
    // The argument's lists were filtered too; emptied ones stay in the argument.
    EXPECT_EQ(groups.value("Do Now"), (Utils::ItemList{french}));
    EXPECT_TRUE(groups.value("Empty").empty());
    EXPECT_EQ(groups.size(), 3);
}

TEST(ItemFilterSearch, GivenNotesAndSpecialCharacters_WhenSearched_ThenTheyAreSearchedLiterally)
{
    ModelStore store;
    auto* notes = ItemBuilder("Other").withValue("descriptionText", "CAFÉ \"50%\" off").in(store.context);
    Utils::ItemDictionary groups{{"q", {notes}}};
    EXPECT_EQ(Utils::filterItemsBySearchField("cafe", groups)->size(), 1);
    EXPECT_EQ(Utils::filterItemsBySearchField("\"50%\"", groups)->size(), 1);
    EXPECT_TRUE(Utils::filterItemsBySearchField("50%%", groups)->isEmpty());
}

TEST(ItemFilterSearch, GivenAnEmptyTextOrDictionary_WhenSearched_ThenTheDictionaryOrNothingComesBack)
{
    ModelStore store;
    auto* item = ItemBuilder("x").in(store.context);
    Utils::ItemDictionary groups{{"q", {item}}, {"r", {}}};
    const auto same = Utils::filterItemsBySearchField(QString(), groups);
    ASSERT_TRUE(same.has_value());
    EXPECT_EQ(*same, groups);
    Utils::ItemDictionary empty;
    EXPECT_FALSE(Utils::filterItemsBySearchField("x", empty).has_value());
}

TEST(ItemFilterOwner, GivenAnOwner_WhenFiltered_ThenCopiesAreMadeAndTheArgumentIsUnchanged)
{
    ModelStore store;
    auto* ann = ItemBuilder().ownedBy("ann").in(store.context);
    auto* nobody = ItemBuilder().in(store.context);
    const Utils::ItemDictionary groups{{"a", {ann, nobody}}, {"b", {nobody}}};
    const Utils::ItemDictionary anns = Utils::filterItemsByOwner("ann", groups);
    EXPECT_EQ(anns, (Utils::ItemDictionary{{"a", {ann}}}));
    EXPECT_EQ(groups.value("a").size(), 2u);
    const Utils::ItemDictionary unowned = Utils::filterItemsByOwner(QString(), groups);
    EXPECT_EQ(unowned, (Utils::ItemDictionary{{"a", {nobody}}, {"b", {nobody}}}));
    EXPECT_TRUE(Utils::filterItemsByOwner("ann", {}).isEmpty());
}
