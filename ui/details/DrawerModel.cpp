#include "ui/details/DrawerModel.h"

#include "core/document/MyDocument.h"
#include "core/model/ItemReminder.h"
#include "core/model/ItemTag.h"
#include "core/model/TODOItem.h"
#include "core/model/TODOList.h"
#include "core/model/TagManager.h"
#include "core/util/StringToLighterColorTransformer.h"
#include "platform/store/Context.h"
#include "ui/board/ArrayController.h"

namespace qv {

DrawerModel::DrawerModel(QObject* parent) : QObject(parent) {}

DrawerModel::~DrawerModel()
{
    m_observation.stop();
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
    return StringToLighterColorTransformer().transformedValue(colorString).value<QColor>();
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

void DrawerModel::writeLink(TODOItem* item, const QString& link)
{
    if (!item)
        return;
    const QString trimmed = link.trimmed();
    if (item->macResourceURL() == trimmed)
        return;
    if (trimmed.isEmpty())
        item->clearValue(QStringLiteral("macResourceURL"));
    else
        item->setMacResourceURL(trimmed);
}

namespace {

QDateTime dayOrMoment(const TODOItem* item, const QDateTime& date)
{
    if (!date.isValid() || !item->allDay())
        return date;
    const QDateTime local = date.toLocalTime();
    return QDateTime(local.date(), QTime(0, 0));
}

} // namespace

void DrawerModel::writeStartDate(TODOItem* item, const QDateTime& date)
{
    if (!item)
        return;
    const QDateTime wanted = dayOrMoment(item, date);
    if (wanted == item->startDate() || (!wanted.isValid() && !item->startDate().isValid()))
        return;
    if (wanted.isValid())
        item->setStartDate(wanted);
    else
        item->clearValue(QStringLiteral("startDate"));
}

void DrawerModel::writeDueDate(TODOItem* item, const QDateTime& date)
{
    if (!item)
        return;
    const QDateTime wanted = dayOrMoment(item, date);
    if (wanted == item->dueDate() || (!wanted.isValid() && !item->dueDate().isValid()))
        return;
    if (wanted.isValid())
        item->setDueDate(wanted);
    else
        item->clearValue(QStringLiteral("dueDate"));
}

void DrawerModel::writeAllDay(TODOItem* item, bool allDay)
{
    if (!item || item->allDay() == allDay)
        return;
    item->setAllDay(allDay);
    // The dates shown as days are stored as days.
    writeStartDate(item, item->startDate());
    writeDueDate(item, item->dueDate());
}

void DrawerModel::writeCompletion(MyDocument& document, TODOItem* item, int percentage,
                                  ArrayController* controller)
{
    if (!item || isDeleted(item->objectState()))
        return;
    percentage = std::clamp(percentage, 0, 100);
    const bool completed = item->objectState() == ObjectState::Completed;
    if (item->completionPercentage() == percentage && completed == (percentage >= 100))
        return;
    document.markTODOItem(item, item->list(), controller, percentage);
}

void DrawerModel::writeEffort(TODOItem* item, qint64 effort)
{
    if (item && item->effort() != effort)
        item->setEffort(effort);
}

const QStringList& DrawerModel::recurrenceTexts()
{
    static const QStringList texts = {
        QStringLiteral("Never"),     QStringLiteral("Daily"),      QStringLiteral("Weekly"),
        QStringLiteral("Biweekly"),  QStringLiteral("4-weekly"),   QStringLiteral("Monthly"),
        QStringLiteral("Quarterly"), QStringLiteral("Semesterly"), QStringLiteral("Yearly")};
    return texts;
}

void DrawerModel::writeRecurrence(TODOItem* item, TODOItem::Recurrence recurrence)
{
    const auto index = qsizetype(recurrence);
    if (!item || index >= recurrenceTexts().size() || item->recurrence() == recurrence)
        return;
    item->setFrequency(recurrenceTexts().at(index));
}

void DrawerModel::writeIcon(TODOItem* item, const QString& icon)
{
    if (item && !icon.isEmpty() && item->icon() != icon)
        item->setIcon(icon);
}

QStringList DrawerModel::tagNamesFromText(const QString& text)
{
    QStringList names;
    for (const QString& part : text.split(u',')) {
        const QString name = part.trimmed().toLower();
        if (!name.isEmpty() && !names.contains(name))
            names << name;
    }
    return names;
}

void DrawerModel::writeTags(TagManager& tags, TODOItem* item, const QStringList& names)
{
    if (!item)
        return;
    QStringList wanted;
    for (const QString& name : names) {
        const QString lower = name.trimmed().toLower();
        if (!lower.isEmpty() && !wanted.contains(lower))
            wanted << lower;
    }
    const QStringList present = item->getTagNames();
    for (const QString& name : present) {
        if (!wanted.contains(name))
            tags.removeTagName(name, item);
    }
    for (const QString& name : wanted) {
        if (!present.contains(name))
            tags.addTagName(name, item);
    }
}

void DrawerModel::observeItemContext()
{
    TODOItem* item = getItem();
    // Edits made elsewhere (the table, a sync merge) show in the drawer too.
    m_observation.observe(item ? item->context() : nullptr, [this](const store::ChangeEvent& event) {
        const TODOItem* shown = getItem();
        if (!shown)
            return;
        // A theme or a colour well recolours the project: the drawer takes its quadrant's colour.
        static const QSet<QString> kColorKeys = {
            QStringLiteral("colorFirstQuadrant"), QStringLiteral("colorSecondQuadrant"),
            QStringLiteral("colorThirdQuadrant"), QStringLiteral("colorFourthQuadrant")};
        const auto project = event.changedKeys.constFind(shown->list());
        const bool recoloured = project != event.changedKeys.constEnd() && project->intersects(kColorKeys);
        if (recoloured || event.changedKeys.contains(shown) || event.changedKeys.contains(shown->reminder()))
            emit changed();
    });
}

} // namespace qv
