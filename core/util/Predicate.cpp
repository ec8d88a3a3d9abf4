#include "core/util/Predicate.h"

#include "platform/store/ManagedObject.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QMap>
#include <QStringList>
#include <QTimeZone>

#include <algorithm>
#include <optional>

namespace qv {

namespace {

struct Expression {
    enum class Kind { KeyPath, Constant };
    Kind kind = Kind::Constant;
    QString keyPath;
    QVariant constant;
};

bool isNullValue(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}

bool isList(const QVariant& v)
{
    return v.typeId() == QMetaType::QVariantList || v.typeId() == QMetaType::QStringList;
}

bool isString(const QVariant& v)
{
    return v.typeId() == QMetaType::QString;
}

// Arguments and constants are normalised so that evaluation sees one form per kind.
QVariant normalizedValue(const QVariant& v)
{
    if (v.typeId() == QMetaType::QStringList) {
        QVariantList list;
        for (const QString& s : v.toStringList())
            list.append(s);
        return list;
    }
    if (v.metaType() == QMetaType::fromType<store::ManagedObject*>())
        return Predicate::objectValue(v.value<store::ManagedObject*>());
    if (v.typeId() == QMetaType::QVariantList) {
        QVariantList list;
        for (const QVariant& e : v.toList())
            list.append(normalizedValue(e));
        return list;
    }
    return v;
}

QString fold(const QString& text, Predicate::Options options)
{
    // ASCII text, the common case, has nothing to decompose and folds to ASCII lower case:
    // done without the Unicode tables, which a search pays for every item.
    if (QtPrivate::isAscii(QStringView(text))) {
        if (!(options & Predicate::CaseInsensitive))
            return text;
        QString lower(text.size(), Qt::Uninitialized);
        QChar* out = lower.data();
        for (const QChar c : text)
            *out++ = c >= u'A' && c <= u'Z' ? QChar(c.unicode() + (u'a' - u'A')) : c;
        return lower;
    }
    QString result = text;
    if (options & Predicate::DiacriticInsensitive) {
        result = result.normalized(QString::NormalizationForm_D);
        result.removeIf([](QChar c) {
            const auto category = c.category();
            return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
                   category == QChar::Mark_Enclosing;
        });
    }
    if (options & Predicate::CaseInsensitive)
        result = result.toCaseFolded();
    return result;
}

bool valuesEqual(const QVariant& a, const QVariant& b, Predicate::Options options)
{
    const bool aNull = isNullValue(a);
    const bool bNull = isNullValue(b);
    if (aNull || bNull)
        return aNull && bNull;
    const store::ManagedObject* objectA = Predicate::objectFromValue(a);
    const store::ManagedObject* objectB = Predicate::objectFromValue(b);
    if (objectA || objectB)
        return objectA == objectB;
    if (isString(a) && isString(b))
        return fold(a.toString(), options) == fold(b.toString(), options);
    if (isList(a) && isList(b)) {
        const QVariantList la = a.toList();
        const QVariantList lb = b.toList();
        if (la.size() != lb.size())
            return false;
        for (qsizetype i = 0; i < la.size(); ++i)
            if (!valuesEqual(la[i], lb[i], options))
                return false;
        return true;
    }
    return QVariant::compare(a, b) == QPartialOrdering::Equivalent;
}

// Missing values and values of kinds that do not order are unordered: every ordering test
// on them is false.
std::optional<int> valuesOrder(const QVariant& a, const QVariant& b, Predicate::Options options)
{
    if (isNullValue(a) || isNullValue(b))
        return std::nullopt;
    if (isString(a) && isString(b)) {
        const int c = fold(a.toString(), options).compare(fold(b.toString(), options));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    const QPartialOrdering order = QVariant::compare(a, b);
    if (order == QPartialOrdering::Less)
        return -1;
    if (order == QPartialOrdering::Greater)
        return 1;
    if (order == QPartialOrdering::Equivalent)
        return 0;
    return std::nullopt;
}

bool compareValues(Predicate::Operator op, const QVariant& left, const QVariant& right,
                   Predicate::Options options)
{
    using Op = Predicate::Operator;
    switch (op) {
    case Op::Equal:
        return valuesEqual(left, right, options);
    case Op::NotEqual:
        return !valuesEqual(left, right, options);
    case Op::Contains:
        if (isList(left)) {
            for (const QVariant& e : left.toList())
                if (valuesEqual(e, right, options))
                    return true;
            return false;
        }
        if (isString(left) && isString(right))
            return fold(left.toString(), options).contains(fold(right.toString(), options));
        return false;
    case Op::In:
        if (isList(right)) {
            for (const QVariant& e : right.toList())
                if (valuesEqual(left, e, options))
                    return true;
            return false;
        }
        if (isString(left) && isString(right))
            return fold(right.toString(), options).contains(fold(left.toString(), options));
        return false;
    case Op::Less:
    case Op::LessOrEqual:
    case Op::Greater:
    case Op::GreaterOrEqual: {
        const std::optional<int> order = valuesOrder(left, right, options);
        if (!order)
            return false;
        if (op == Op::Less)
            return *order < 0;
        if (op == Op::LessOrEqual)
            return *order <= 0;
        if (op == Op::Greater)
            return *order > 0;
        return *order >= 0;
    }
    }
    return false;
}

QString quoted(const QString& text)
{
    QString out = QStringLiteral("\"");
    for (QChar c : text) {
        if (c == u'"' || c == u'\\')
            out += u'\\';
        if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    out += u'"';
    return out;
}

QString literal(const QVariant& v)
{
    if (isNullValue(v))
        return QStringLiteral("NIL");
    if (const store::ManagedObject* object = Predicate::objectFromValue(v))
        return quoted(object->uri());
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
        return QString::number(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
        return QString::number(v.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QDateTime:
        return QStringLiteral("CAST(%1, \"date\")")
            .arg(quoted(v.toDateTime().toUTC().toString(Qt::ISODateWithMs)));
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        QStringList parts;
        for (const QVariant& e : v.toList())
            parts.append(literal(e));
        return u'{' + parts.join(QStringLiteral(", ")) + u'}';
    }
    default:
        return quoted(v.toString());
    }
}

} // namespace

struct Predicate::Node {
    enum class Kind { True, False, Comparison, And, Or, Not };
    Kind kind = Kind::True;
    // Comparison.
    Quantifier quantifier = Quantifier::None;
    Expression left;
    Expression right;
    Operator op = Operator::Equal;
    Options options;
    QString opSpelling;
    // And, Or, Not.
    std::vector<std::shared_ptr<const Node>> members;
};

namespace {

using NodePtr = std::shared_ptr<const Predicate::Node>;

NodePtr makeConstant(bool value)
{
    auto node = std::make_shared<Predicate::Node>();
    node->kind = value ? Predicate::Node::Kind::True : Predicate::Node::Kind::False;
    return node;
}

QString defaultSpelling(Predicate::Operator op, Predicate::Options options)
{
    using Op = Predicate::Operator;
    QString s;
    switch (op) {
    case Op::Equal:
        s = QStringLiteral("=");
        break;
    case Op::NotEqual:
        s = QStringLiteral("<>");
        break;
    case Op::Less:
        s = QStringLiteral("<");
        break;
    case Op::LessOrEqual:
        s = QStringLiteral("<=");
        break;
    case Op::Greater:
        s = QStringLiteral(">");
        break;
    case Op::GreaterOrEqual:
        s = QStringLiteral(">=");
        break;
    case Op::Contains:
        s = QStringLiteral("CONTAINS");
        break;
    case Op::In:
        s = QStringLiteral("IN");
        break;
    }
    QString flags;
    if (options & Predicate::CaseInsensitive)
        flags += u'c';
    if (options & Predicate::DiacriticInsensitive)
        flags += u'd';
    if (!flags.isEmpty())
        s += u'[' + flags + u']';
    return s;
}

QString expressionText(const Expression& e)
{
    return e.kind == Expression::Kind::KeyPath ? e.keyPath : literal(e.constant);
}

QString render(const Predicate::Node& node, bool nested)
{
    using Kind = Predicate::Node::Kind;
    switch (node.kind) {
    case Kind::True:
        return QStringLiteral("TRUEPREDICATE");
    case Kind::False:
        return QStringLiteral("FALSEPREDICATE");
    case Kind::Comparison: {
        QString quantifier;
        switch (node.quantifier) {
        case Predicate::Quantifier::None:
            break;
        case Predicate::Quantifier::Any:
            quantifier = QStringLiteral("ANY ");
            break;
        case Predicate::Quantifier::All:
            quantifier = QStringLiteral("ALL ");
            break;
        case Predicate::Quantifier::NoneOf:
            quantifier = QStringLiteral("NONE ");
            break;
        }
        return u'(' + quantifier + expressionText(node.left) + u' ' + node.opSpelling + u' ' +
               expressionText(node.right) + u')';
    }
    case Kind::And:
    case Kind::Or: {
        QStringList parts;
        for (const auto& member : node.members)
            parts.append(render(*member, true));
        const QString joined =
            parts.join(node.kind == Kind::And ? QStringLiteral(" AND ") : QStringLiteral(" OR "));
        return nested ? u'(' + joined + u')' : joined;
    }
    case Kind::Not:
        return QStringLiteral("NOT ") + render(*node.members.front(), true);
    }
    return {};
}

// How deep render()'s text for a node nests (brackets, braces, NOT and CAST), the brackets
// around a comparison left out.
int literalDepth(const QVariant& v)
{
    if (isNullValue(v) || Predicate::objectFromValue(v))
        return 0;
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return 1;
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        int deepest = 0;
        for (const QVariant& e : v.toList())
            deepest = std::max(deepest, literalDepth(e));
        return 1 + deepest;
    }
    default:
        return 0;
    }
}

int writtenDepth(const Predicate::Node& node)
{
    using Kind = Predicate::Node::Kind;
    const auto bracketed = [](const Predicate::Node& member) {
        return (member.kind == Kind::And || member.kind == Kind::Or ? 1 : 0) + writtenDepth(member);
    };
    switch (node.kind) {
    case Kind::True:
    case Kind::False:
        return 0;
    case Kind::Comparison: {
        const auto depth = [](const Expression& e) {
            return e.kind == Expression::Kind::Constant ? literalDepth(e.constant) : 0;
        };
        return std::max(depth(node.left), depth(node.right));
    }
    case Kind::And:
    case Kind::Or: {
        int deepest = 0;
        for (const auto& member : node.members)
            deepest = std::max(deepest, bracketed(*member));
        return deepest;
    }
    case Kind::Not:
        return 1 + bracketed(*node.members.front());
    }
    return 0;
}

bool isObjectType(const QVariant& v)
{
    return v.metaType() == QMetaType::fromType<const store::ManagedObject*>();
}

QVariant valueForKey(const QVariant& object, const QString& key)
{
    if (const store::ManagedObject* managed = Predicate::objectFromValue(object)) {
        const store::EntityDescription& entity = managed->entity();
        if (const int attribute = entity.attributeIndex(key); attribute >= 0)
            return managed->value(attribute);
        const int relationship = entity.relationshipIndex(key);
        if (relationship < 0)
            return {};
        if (entity.relationships()[std::size_t(relationship)].toMany) {
            QVariantList list;
            for (const store::ManagedObject* related : managed->toMany(key))
                list.append(Predicate::objectValue(related));
            return list;
        }
        return Predicate::objectValue(managed->toOne(key));
    }
    switch (object.typeId()) {
    case QMetaType::QVariantMap:
        return normalizedValue(object.toMap().value(key));
    case QMetaType::QVariantHash:
        return normalizedValue(object.toHash().value(key));
    case QMetaType::QVariantList: {
        QVariantList values;
        for (const QVariant& element : object.toList())
            values.append(valueForKey(element, key));
        return values;
    }
    default:
        return {};
    }
}

bool evaluateNode(const Predicate::Node& node, const QVariant& object)
{
    using Kind = Predicate::Node::Kind;
    switch (node.kind) {
    case Kind::True:
        return true;
    case Kind::False:
        return false;
    case Kind::And:
        for (const auto& member : node.members)
            if (!evaluateNode(*member, object))
                return false;
        return true;
    case Kind::Or:
        for (const auto& member : node.members)
            if (evaluateNode(*member, object))
                return true;
        return false;
    case Kind::Not:
        return !evaluateNode(*node.members.front(), object);
    case Kind::Comparison:
        break;
    }
    const auto valueOf = [&](const Expression& e) {
        return e.kind == Expression::Kind::KeyPath ? Predicate::valueForKeyPath(object, e.keyPath)
                                                   : e.constant;
    };
    const QVariant left = valueOf(node.left);
    const QVariant right = valueOf(node.right);
    if (node.quantifier == Predicate::Quantifier::None)
        return compareValues(node.op, left, right, node.options);

    QVariantList elements;
    if (isList(left))
        elements = left.toList();
    else if (!isNullValue(left))
        elements.append(left);
    bool any = false;
    bool all = true;
    for (const QVariant& element : elements) {
        const bool result = compareValues(node.op, element, right, node.options);
        any = any || result;
        all = all && result;
    }
    switch (node.quantifier) {
    case Predicate::Quantifier::Any:
        return any;
    case Predicate::Quantifier::All:
        return all;
    case Predicate::Quantifier::NoneOf:
        return !any;
    case Predicate::Quantifier::None:
        break;
    }
    return false;
}

// Recursive descent over the predicate language; see the header for the grammar.
class Parser {
public:
    Parser(const QString& text, const QVariantList& arguments) : m_text(text), m_arguments(arguments) {}

    NodePtr parse()
    {
        NodePtr node = parseOr();
        skipBlanks();
        if (m_error.isEmpty() && m_pos < m_text.size())
            fail(QStringLiteral("unexpected text"));
        if (m_error.isEmpty() && m_nextArgument != m_arguments.size())
            fail(QStringLiteral("%1 arguments given, %2 used").arg(m_arguments.size()).arg(m_nextArgument));
        // What is taken must parse again once written: the limit holds for the written form.
        if (m_error.isEmpty() && writtenDepth(*node) > kMaxDepth)
            failTooDeep();
        return m_error.isEmpty() ? node : nullptr;
    }
    QString error() const { return m_error; }

private:
    // Far deeper than any filter; a text nested deeper would exhaust the stack before it ends.
    // It holds for the written form, where the brackets around a comparison count for nothing:
    // the text may nest one level deeper, since every comparison is written in brackets.
    static constexpr int kMaxDepth = 100;
    static constexpr int kMaxTextDepth = kMaxDepth + 1;

    // One level of brackets, braces, NOT or CAST for its lifetime.
    class Nesting {
    public:
        explicit Nesting(Parser& parser) : m_parser(parser)
        {
            if (++m_parser.m_depth > kMaxTextDepth)
                m_parser.failTooDeep();
        }
        ~Nesting() { --m_parser.m_depth; }
        Nesting(const Nesting&) = delete;
        Nesting& operator=(const Nesting&) = delete;
        bool tooDeep() const { return m_parser.m_depth > kMaxTextDepth; }

    private:
        Parser& m_parser;
    };

    void fail(const QString& why)
    {
        if (m_error.isEmpty())
            m_error = QStringLiteral("%1 at offset %2 of \"%3\"").arg(why).arg(m_pos).arg(m_text);
    }
    void failTooDeep() { fail(QStringLiteral("nested more than %1 deep").arg(kMaxDepth)); }
    bool failed() const { return !m_error.isEmpty(); }

    void skipBlanks()
    {
        while (m_pos < m_text.size() && m_text[m_pos].isSpace())
            ++m_pos;
    }
    QChar peek(qsizetype ahead = 0) const
    {
        return m_pos + ahead < m_text.size() ? m_text[m_pos + ahead] : QChar();
    }
    static bool isIdentifierStart(QChar c) { return c.isLetter() || c == u'_' || c == u'@' || c == u'$'; }
    static bool isIdentifierChar(QChar c) { return isIdentifierStart(c) || c.isDigit(); }

    bool matchPunct(QStringView punct)
    {
        skipBlanks();
        if (QStringView(m_text).mid(m_pos).startsWith(punct)) {
            m_pos += punct.size();
            return true;
        }
        return false;
    }
    bool matchKeyword(QStringView word)
    {
        skipBlanks();
        const QStringView rest = QStringView(m_text).mid(m_pos);
        if (!rest.startsWith(word, Qt::CaseInsensitive))
            return false;
        if (rest.size() > word.size() && isIdentifierChar(rest[word.size()]))
            return false;
        m_pos += word.size();
        return true;
    }

    NodePtr makeCompound(Predicate::Node::Kind kind, std::vector<NodePtr> members)
    {
        if (members.size() == 1)
            return members.front();
        auto node = std::make_shared<Predicate::Node>();
        node->kind = kind;
        node->members = std::move(members);
        return node;
    }

    NodePtr parseOr()
    {
        std::vector<NodePtr> members{parseAnd()};
        while (!failed() && (matchKeyword(u"OR") || matchPunct(u"||")))
            members.push_back(parseAnd());
        return failed() ? nullptr : makeCompound(Predicate::Node::Kind::Or, std::move(members));
    }
    NodePtr parseAnd()
    {
        std::vector<NodePtr> members{parseNot()};
        while (!failed() && (matchKeyword(u"AND") || matchPunct(u"&&")))
            members.push_back(parseNot());
        return failed() ? nullptr : makeCompound(Predicate::Node::Kind::And, std::move(members));
    }
    NodePtr parseNot()
    {
        skipBlanks();
        if (matchKeyword(u"NOT") || (peek() == u'!' && peek(1) != u'=' && matchPunct(u"!"))) {
            const Nesting nesting(*this);
            if (nesting.tooDeep())
                return nullptr;
            NodePtr member = parseNot();
            if (failed())
                return nullptr;
            auto node = std::make_shared<Predicate::Node>();
            node->kind = Predicate::Node::Kind::Not;
            node->members.push_back(member);
            return node;
        }
        return parsePrimary();
    }
    NodePtr parsePrimary()
    {
        if (matchPunct(u"(")) {
            const Nesting nesting(*this);
            if (nesting.tooDeep())
                return nullptr;
            NodePtr inner = parseOr();
            if (!failed() && !matchPunct(u")"))
                fail(QStringLiteral("expected \")\""));
            return failed() ? nullptr : inner;
        }
        if (matchKeyword(u"TRUEPREDICATE"))
            return makeConstant(true);
        if (matchKeyword(u"FALSEPREDICATE"))
            return makeConstant(false);
        return parseComparison();
    }

    NodePtr parseComparison()
    {
        auto node = std::make_shared<Predicate::Node>();
        node->kind = Predicate::Node::Kind::Comparison;
        if (matchKeyword(u"ANY") || matchKeyword(u"SOME"))
            node->quantifier = Predicate::Quantifier::Any;
        else if (matchKeyword(u"ALL"))
            node->quantifier = Predicate::Quantifier::All;
        else if (matchKeyword(u"NONE"))
            node->quantifier = Predicate::Quantifier::NoneOf;
        node->left = parseExpression();
        if (failed())
            return nullptr;
        if (!parseOperator(*node))
            return nullptr;
        node->right = parseExpression();
        return failed() ? nullptr : node;
    }

    bool parseOperator(Predicate::Node& node)
    {
        using Op = Predicate::Operator;
        skipBlanks();
        const qsizetype start = m_pos;
        struct Spelling {
            const char16_t* text;
            Op op;
            bool keyword;
        };
        // Longest first, so "<=" is not read as "<".
        static const Spelling spellings[] = {
            {u"==", Op::Equal, false},
            {u"=<", Op::LessOrEqual, false},
            {u"=>", Op::GreaterOrEqual, false},
            {u"!=", Op::NotEqual, false},
            {u"<>", Op::NotEqual, false},
            {u"<=", Op::LessOrEqual, false},
            {u">=", Op::GreaterOrEqual, false},
            {u"=", Op::Equal, false},
            {u"<", Op::Less, false},
            {u">", Op::Greater, false},
            {u"CONTAINS", Op::Contains, true},
            {u"IN", Op::In, true},
        };
        bool found = false;
        for (const Spelling& s : spellings) {
            if (s.keyword ? matchKeyword(s.text) : matchPunct(s.text)) {
                node.op = s.op;
                found = true;
                break;
            }
        }
        if (!found) {
            fail(QStringLiteral("expected an operator"));
            return false;
        }
        if (peek() == u'[') {
            ++m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] != u']') {
                const QChar flag = m_text[m_pos].toLower();
                if (flag == u'c')
                    node.options |= Predicate::CaseInsensitive;
                else if (flag == u'd')
                    node.options |= Predicate::DiacriticInsensitive;
                else {
                    fail(QStringLiteral("unknown operator option"));
                    return false;
                }
                ++m_pos;
            }
            if (!matchPunct(u"]")) {
                fail(QStringLiteral("expected \"]\""));
                return false;
            }
        }
        node.opSpelling = m_text.mid(start, m_pos - start);
        return true;
    }

    Expression constant(const QVariant& value)
    {
        Expression e;
        e.kind = Expression::Kind::Constant;
        e.constant = normalizedValue(value);
        return e;
    }

    QVariant nextArgument()
    {
        if (m_nextArgument >= m_arguments.size()) {
            fail(QStringLiteral("too few arguments"));
            return {};
        }
        return m_arguments[m_nextArgument++];
    }

    Expression parseArgument()
    {
        ++m_pos; // '%'
        while (peek() == u'l' || peek() == u'h' || peek() == u'q')
            ++m_pos;
        const QChar conversion = peek();
        ++m_pos;
        switch (conversion.unicode()) {
        case u'@':
            return constant(nextArgument());
        case u'K': {
            Expression e;
            e.kind = Expression::Kind::KeyPath;
            e.keyPath = nextArgument().toString();
            if (e.keyPath.isEmpty())
                fail(QStringLiteral("empty key path argument"));
            return e;
        }
        case u'd':
        case u'i':
            return constant(nextArgument().toLongLong());
        case u'u':
            return constant(nextArgument().toULongLong());
        case u'f':
        case u'g':
        case u'e':
            return constant(nextArgument().toDouble());
        default:
            fail(QStringLiteral("unknown argument conversion"));
            return {};
        }
    }

    Expression parseString()
    {
        const QChar quote = peek();
        ++m_pos;
        QString text;
        while (m_pos < m_text.size() && m_text[m_pos] != quote) {
            QChar c = m_text[m_pos++];
            if (c == u'\\' && m_pos < m_text.size()) {
                c = m_text[m_pos++];
                if (c == u'n')
                    c = u'\n';
                else if (c == u'r')
                    c = u'\r';
                else if (c == u't')
                    c = u'\t';
            }
            text += c;
        }
        if (m_pos >= m_text.size()) {
            fail(QStringLiteral("unterminated text"));
            return {};
        }
        ++m_pos;
        return constant(text);
    }

    Expression parseNumber()
    {
        const qsizetype start = m_pos;
        if (peek() == u'-' || peek() == u'+')
            ++m_pos;
        bool fraction = false;
        while (peek().isDigit() || peek() == u'.' || peek() == u'e' || peek() == u'E' ||
               ((peek() == u'-' || peek() == u'+') &&
                (m_text[m_pos - 1] == u'e' || m_text[m_pos - 1] == u'E'))) {
            if (!peek().isDigit())
                fraction = true;
            ++m_pos;
        }
        const QStringView number = QStringView(m_text).mid(start, m_pos - start);
        bool ok = false;
        if (!fraction) {
            const qlonglong integer = number.toLongLong(&ok);
            if (ok)
                return constant(integer);
        }
        const double real = number.toDouble(&ok);
        if (!ok)
            fail(QStringLiteral("bad number"));
        return constant(real);
    }

    Expression parseList()
    {
        ++m_pos; // '{'
        const Nesting nesting(*this);
        if (nesting.tooDeep())
            return {};
        QVariantList values;
        if (!matchPunct(u"}")) {
            do {
                const Expression e = parseExpression();
                if (failed())
                    return {};
                if (e.kind != Expression::Kind::Constant) {
                    fail(QStringLiteral("a list holds values only"));
                    return {};
                }
                values.append(e.constant);
            } while (matchPunct(u","));
            if (!matchPunct(u"}")) {
                fail(QStringLiteral("expected \"}\""));
                return {};
            }
        }
        return constant(values);
    }

    Expression parseCast()
    {
        const Nesting nesting(*this);
        if (nesting.tooDeep())
            return {};
        if (!matchPunct(u"(")) {
            fail(QStringLiteral("expected \"(\""));
            return {};
        }
        const Expression value = parseExpression();
        if (failed())
            return {};
        if (!matchPunct(u",")) {
            fail(QStringLiteral("expected \",\""));
            return {};
        }
        const Expression type = parseExpression();
        if (failed())
            return {};
        if (!matchPunct(u")")) {
            fail(QStringLiteral("expected \")\""));
            return {};
        }
        if (type.kind != Expression::Kind::Constant ||
            type.constant.toString().compare(u"date", Qt::CaseInsensitive) != 0 ||
            value.kind != Expression::Kind::Constant) {
            fail(QStringLiteral("only CAST(value, \"date\") is known"));
            return {};
        }
        QDateTime date;
        if (isString(value.constant)) {
            date = QDateTime::fromString(value.constant.toString(), Qt::ISODateWithMs);
        } else {
            bool ok = false;
            const double seconds = value.constant.toDouble(&ok);
            // The years 1 to 9999; beyond them the milliseconds would not fit in 64 bits.
            if (ok && seconds >= -62135596800.0 && seconds <= 253402300799.0)
                date = QDateTime::fromMSecsSinceEpoch(qint64(seconds * 1000.0), QTimeZone::utc());
        }
        if (!date.isValid()) {
            fail(QStringLiteral("bad date"));
            return {};
        }
        return constant(date.toUTC());
    }

    Expression parseExpression()
    {
        skipBlanks();
        const QChar c = peek();
        if (c == u'%')
            return parseArgument();
        if (c == u'"' || c == u'\'')
            return parseString();
        if (c.isDigit() || ((c == u'-' || c == u'+' || c == u'.') && (peek(1).isDigit() || peek(1) == u'.')))
            return parseNumber();
        if (c == u'{')
            return parseList();
        if (matchKeyword(u"NIL") || matchKeyword(u"NULL"))
            return constant(QVariant());
        if (matchKeyword(u"TRUE") || matchKeyword(u"YES"))
            return constant(true);
        if (matchKeyword(u"FALSE") || matchKeyword(u"NO"))
            return constant(false);
        if (matchKeyword(u"CAST"))
            return parseCast();
        if (!isIdentifierStart(c)) {
            fail(QStringLiteral("expected a value or key path"));
            return {};
        }
        const qsizetype start = m_pos;
        while (true) {
            if (!isIdentifierStart(peek())) {
                fail(QStringLiteral("bad key path"));
                return {};
            }
            while (isIdentifierChar(peek()))
                ++m_pos;
            if (peek() != u'.')
                break;
            ++m_pos;
        }
        Expression e;
        e.kind = Expression::Kind::KeyPath;
        e.keyPath = m_text.mid(start, m_pos - start);
        return e;
    }

    const QString& m_text;
    const QVariantList& m_arguments;
    qsizetype m_pos = 0;
    qsizetype m_nextArgument = 0;
    QString m_error;
    int m_depth = 0;
};

} // namespace

Predicate::Predicate() : m_root(makeConstant(true)) {}

Predicate Predicate::alwaysTrue()
{
    return Predicate();
}

Predicate Predicate::alwaysFalse()
{
    Predicate p;
    p.m_root = makeConstant(false);
    return p;
}

Predicate Predicate::withFormat(const QString& format, const QVariantList& arguments)
{
    Parser parser(format, arguments);
    Predicate p;
    p.m_root = parser.parse();
    if (!p.m_root) {
        p.m_root = makeConstant(false);
        p.m_error = parser.error();
    }
    return p;
}

Predicate Predicate::comparison(const QString& keyPath, Operator op, const QVariant& value, Options options,
                                Quantifier quantifier)
{
    auto node = std::make_shared<Node>();
    node->kind = Node::Kind::Comparison;
    node->quantifier = quantifier;
    node->left.kind = Expression::Kind::KeyPath;
    node->left.keyPath = keyPath;
    node->right.kind = Expression::Kind::Constant;
    node->right.constant = normalizedValue(value);
    node->op = op;
    node->options = options;
    node->opSpelling = defaultSpelling(op, options);
    Predicate p;
    p.m_root = node;
    return p;
}

Predicate Predicate::andPredicate(const std::vector<Predicate>& members)
{
    return members.empty() ? alwaysTrue() : compound(true, members);
}

Predicate Predicate::orPredicate(const std::vector<Predicate>& members)
{
    return members.empty() ? alwaysFalse() : compound(false, members);
}

Predicate Predicate::compound(bool conjunction, const std::vector<Predicate>& members)
{
    if (members.size() == 1)
        return members.front();
    auto node = std::make_shared<Node>();
    node->kind = conjunction ? Node::Kind::And : Node::Kind::Or;
    Predicate p;
    for (const Predicate& member : members) {
        node->members.push_back(member.m_root);
        if (!member.isValid() && p.m_error.isEmpty())
            p.m_error = member.m_error;
    }
    p.m_root = node;
    return p;
}

QString Predicate::format() const
{
    if (!isValid())
        return {};
    return render(*m_root, false);
}

bool Predicate::evaluate(const store::ManagedObject* object) const
{
    return evaluate(objectValue(object));
}

bool Predicate::evaluate(const QVariant& object) const
{
    if (!isValid())
        return false;
    return evaluateNode(*m_root, normalizedValue(object));
}

QVariant Predicate::objectValue(const store::ManagedObject* object)
{
    if (!object)
        return {};
    return QVariant::fromValue(object);
}

const store::ManagedObject* Predicate::objectFromValue(const QVariant& value)
{
    if (isObjectType(value))
        return value.value<const store::ManagedObject*>();
    if (value.metaType() == QMetaType::fromType<store::ManagedObject*>())
        return value.value<store::ManagedObject*>();
    return nullptr;
}

QVariant Predicate::valueForKeyPath(const QVariant& object, const QString& keyPath)
{
    QVariant current = normalizedValue(object);
    const auto follow = [&current](const QString& key) {
        if (key.compare(u"SELF", Qt::CaseInsensitive) == 0)
            return;
        if (key == u"@count") {
            if (isList(current))
                current = qlonglong(current.toList().size());
            else if (current.typeId() == QMetaType::QVariantMap)
                current = qlonglong(current.toMap().size());
            else
                current = qlonglong(isNullValue(current) ? 0 : 1);
            return;
        }
        current = valueForKey(current, key);
    };
    // Most paths are one key, asked about every item a filter sees: no list to split them into.
    if (!keyPath.contains(u'.')) {
        follow(keyPath);
        return current;
    }
    for (const QString& key : keyPath.split(u'.'))
        follow(key);
    return current;
}

} // namespace qv
