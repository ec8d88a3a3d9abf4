#pragma once

#include <QFlags>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <vector>

namespace qv {

namespace store {
class ManagedObject;
}

// A filter condition over objects, written in the store's predicate language and evaluated
// in memory (store objects, or plain QVariantMap records).
//
// Language: comparisons "keyPath OP value" joined with AND / && , OR / || and NOT / !,
// parentheses, TRUEPREDICATE and FALSEPREDICATE. Operators: = == != <> < <= =< > >= =>
// CONTAINS IN, each optionally followed by [c] (case-insensitive), [d] (diacritic-
// insensitive) or [cd]; a comparison may start with ANY / SOME, ALL or NONE to test the
// elements of a collection. Values: NIL / NULL, TRUE / YES, FALSE / NO, numbers, quoted
// texts, {lists}, CAST("ISO date", "date") or CAST(seconds since 1970, "date"), and the
// arguments %@ (any value, substituted as a value: its quotes or percent signs mean
// nothing), %K (a key path), %d / %i / %ld / %lld / %u / %lu (integers), %f / %g (numbers).
// Keywords are case-insensitive. Key paths follow to-one relationships to the related
// object and to-many relationships to the list of related objects; "@count" gives a
// collection's size and "SELF" the object itself.
class Predicate {
public:
    enum class Operator { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual, Contains, In };
    enum class Quantifier { None, Any, All, NoneOf };
    enum Option { NoOption = 0, CaseInsensitive = 1, DiacriticInsensitive = 2 };
    Q_DECLARE_FLAGS(Options, Option)

    // Always true.
    Predicate();
    static Predicate alwaysTrue();
    static Predicate alwaysFalse();
    // A format that does not parse, or whose arguments do not match it, gives an invalid
    // predicate that never matches (see errorString()). A list that is one argument must be
    // wrapped, {QVariant(list)}: braces around a lone QVariantList copy it instead.
    static Predicate withFormat(const QString& format, const QVariantList& arguments = {});
    static Predicate comparison(const QString& keyPath, Operator op, const QVariant& value,
                                Options options = NoOption, Quantifier quantifier = Quantifier::None);
    // No members: always true; one member: that member.
    static Predicate andPredicate(const std::vector<Predicate>& members);
    // No members: always false; one member: that member.
    static Predicate orPredicate(const std::vector<Predicate>& members);

    bool isValid() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    // The predicate's text: every comparison in parentheses, nested compounds in parentheses,
    // operators as they were written, arguments as literals; e.g.
    // "(creationDate >= CAST("2024-03-01T00:00:00.000Z", "date")) AND (dueDate <> NIL)".
    // Parsing the text again gives an equivalent predicate.
    QString format() const;

    bool evaluate(const store::ManagedObject* object) const;
    // object: a store object (objectValue()), a QVariantMap / QVariantHash record, or any
    // value for SELF.
    bool evaluate(const QVariant& object) const;

    // A store object as a value that key paths and evaluate() understand.
    static QVariant objectValue(const store::ManagedObject* object);
    static const store::ManagedObject* objectFromValue(const QVariant& value);
    static QVariant valueForKeyPath(const QVariant& object, const QString& keyPath);

    struct Node;

private:
    // AND (conjunction) or OR over two or more members; the first invalid member's error.
    static Predicate compound(bool conjunction, const std::vector<Predicate>& members);

    std::shared_ptr<const Node> m_root;
    QString m_error;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(Predicate::Options)

} // namespace qv
