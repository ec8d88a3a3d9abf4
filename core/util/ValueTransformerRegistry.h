#pragma once

#include "core/util/ValueTransformer.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace qv {

// A text with the look a control gives it: the side-panel switcher shows its counts in red.
// Converts to its plain text (QVariant::toString()) for controls that show text only.
struct AttributedText {
    enum class Size { Small, Mini };

    QString text;
    QColor color;
    Size size = Size::Small;
    Qt::Alignment alignment = Qt::AlignCenter;

    bool operator==(const AttributedText&) const = default;
};

// The value transformers the views bind, found by their names. The standard set is registered
// by whoever builds the window; features that come later register theirs under their own names
// (a name registered again replaces the earlier transformer).
class ValueTransformerRegistry {
public:
    ValueTransformerRegistry();

    void registerTransformer(const QString& name, std::shared_ptr<const ValueTransformer> transformer);
    // nullptr for a name nobody registered.
    const ValueTransformer* transformer(const QString& name) const;
    // The transformer's value for the input; an invalid value for an unknown name.
    QVariant transformedValue(const QString& name, const QVariant& value) const;
    QStringList names() const;

private:
    QHash<QString, std::shared_ptr<const ValueTransformer>> m_transformers;
};

// What the standard transformers read beyond their input. Every part may be left empty: images
// are then null, the sync engine counts as offline without a store or a signed-in user.
struct TransformerServices {
    // The application's image of that name (the image factory); a null image when there is none.
    std::function<QImage(const QString&)> imageNamed;
    // The sync engine: whether it has its store, the signed-in user's e-mail, the online flag.
    std::function<bool()> syncHasStore;
    std::function<QString()> currentUserEmail;
    std::function<bool()> isOnline;
    // The signed-in user's own avatar; a null image while there is none.
    std::function<QImage()> avatarForMe;
};

// Registers the transformers of the colour strings, the counters and panel titles, the sync
// and sign-in status, dates, numbers, item details and the enabling tests, under their names.
void registerStandardTransformers(ValueTransformerRegistry& registry, const TransformerServices& services);

} // namespace qv

Q_DECLARE_METATYPE(qv::AttributedText)
