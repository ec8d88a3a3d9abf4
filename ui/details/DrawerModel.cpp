#include "ui/details/DrawerModel.h"

#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/util/ColorString.h"
#include "platform/store/Context.h"
#include "ui/board/ArrayController.h"

namespace qv {

DrawerModel::DrawerModel(QObject* parent) : QObject(parent) {}

DrawerModel::~DrawerModel()
{
    stopObservingContext();
}

void DrawerModel::setArrayController(ArrayController* controller)
{
    if (controller == m_controller)
        return;
    disconnect(m_selectionConnection);
    disconnect(m_arrangedConnection);
    m_controller = controller;
    if (controller) {
        m_selectionConnection = connect(controller, &ArrayController::selectionChanged, this, [this] {
            observeItemContext();
            emit changed();
        });
        m_arrangedConnection =
            connect(controller, &ArrayController::arrangedObjectsChanged, this, &DrawerModel::changed);
    }
    observeItemContext();
    emit changed();
}

TODOItem* DrawerModel::getItem() const
{
    if (!m_controller)
        return nullptr;
    const std::vector<store::ManagedObject*> selected = m_controller->selectedObjects();
    return selected.empty() ? nullptr : store::as<TODOItem>(selected.front());
}

QString DrawerModel::quadrantColorString(const TODOItem* item)
{
    const TODOList* project = item ? item->list() : nullptr;
    if (!project)
        return {};
    switch (item->quadrant()) {
    case 0:
        return project->colorFirstQuadrant();
    case 1:
        return project->colorSecondQuadrant();
    case 2:
        return project->colorThirdQuadrant();
    case 3:
        return project->colorFourthQuadrant();
    default:
        return {};
    }
}

QColor DrawerModel::lighterColor(const QString& colorString)
{
    const std::optional<QColor> color = ColorString::colorWithString(colorString);
    if (!color)
        return Qt::white;
    float hue = 0, saturation = 0, brightness = 0, alpha = 1;
    color->toHsv().getHsvF(&hue, &saturation, &brightness, &alpha);
    if (hue < 0)
        hue = 0; // achromatic
    return QColor::fromHsvF(hue, saturation / 5.0f, (brightness + 4.0f) / 5.0f, alpha);
}

QColor DrawerModel::backgroundColor() const
{
    return lighterColor(quadrantColorString(getItem()));
}

bool DrawerModel::writeName(TODOItem* item, const QString& name)
{
    if (!item || name.trimmed().isEmpty())
        return false;
    if (item->name() != name)
        item->setName(name);
    return true;
}

bool DrawerModel::writeNotes(TODOItem* item, const QString& notes)
{
    if (!item)
        return false;
    if (item->descriptionText() != notes && !(notes.isEmpty() && item->descriptionText().isEmpty()))
        item->setDescriptionText(notes);
    return true;
}

void DrawerModel::observeItemContext()
{
    TODOItem* item = getItem();
    store::Context* context = item ? item->context() : nullptr;
    if (context == m_observedContext)
        return;
    stopObservingContext();
    if (!context)
        return;
    m_observedContext = context;
    // Edits made elsewhere (the table, a sync merge) show in the drawer too.
    m_observer = context->addChangeObserver([this](const store::ChangeEvent& event) {
        const TODOItem* shown = getItem();
        if (shown && event.changedKeys.contains(shown))
            emit changed();
    });
}

void DrawerModel::stopObservingContext()
{
    if (m_observedContext && m_observer)
        m_observedContext->removeChangeObserver(*m_observer);
    m_observedContext = nullptr;
    m_observer.reset();
}

} // namespace qv
