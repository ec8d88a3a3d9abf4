#include "core/model/ItemFile.h"
#include "tests/support/FileFixture.h"
#include "ui/board/widgets/WidgetAlerts.h"
#include "ui/details/ItemFilesController.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <type_traits>

namespace qv::test {
namespace {

// --- A question cannot be put without saying which answers are safe.

template <class A>
concept AsksWithoutRoles = requires(A& alerts, const QString& text, const QStringList& buttons)
{
    alerts.choose(text, text, buttons);
}
|| requires(A& alerts, const QString& text, const QStringList& buttons)
{
    alerts.choose(text, text, buttons, Alerts::Style::Warning);
}
|| requires(A& alerts, const QString& text)
{
    alerts.confirm(text);
}
|| requires(A& alerts, const QString& text)
{
    alerts.confirm(text, text, text, text);
}
|| requires(A& alerts, const QString& text, const QStringList& buttons)
{
    alerts.choose({text, text, buttons});
};
static_assert(!AsksWithoutRoles<Alerts>);
static_assert(!AsksWithoutRoles<WidgetAlerts>);
static_assert(!AsksWithoutRoles<ScriptedAlerts>);
using Question = Alerts::Question;
static_assert(!std::is_constructible_v<Question, QString, QString, QStringList>);
static_assert(!std::is_constructible_v<Question, QString, QString, QStringList, Alerts::DefaultButton>);
static_assert(!std::is_constructible_v<Question, QString, QString, QStringList, Alerts::SafeButton>);
static_assert(!std::is_constructible_v<Question, QString, QString, QStringList, int, int>);
static_assert(!std::is_constructible_v<Question, QString, QString, QStringList, Alerts::SafeButton,
                                       Alerts::DefaultButton>);
static_assert(!std::is_default_constructible_v<Alerts::SafeButton>);
static_assert(!std::is_default_constructible_v<Alerts::DefaultButton>);
static_assert(!std::is_convertible_v<int, Alerts::SafeButton>);
static_assert(std::is_constructible_v<Question, QString, QString, QStringList, Alerts::DefaultButton,
                                      Alerts::SafeButton>);

// --- What the user does to the message box.

enum class Act { Escape, Close, Return };

const char* nameOf(Act act)
{
    switch (act) {
    case Act::Escape:
        return "Escape";
    case Act::Close:
        return "closing";
    case Act::Return:
        return "Return";
    }
    return "?";
}

// Waits for the next message box, notes its buttons as seen from left to right, then answers it.
// A question that never comes leaves nothing behind: the wait ends when the answerer is armed
// again or goes, so it cannot answer a later test's box through an answerer that is gone.
class Answerer {
public:
    void arm(Act act)
    {
        seen.clear();
        m_timer = std::make_unique<QTimer>();
        QTimer* timer = m_timer.get();
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, timer, [this, act, timer] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            timer->stop();
            QList<QAbstractButton*> buttons = box->buttons();
            std::sort(buttons.begin(), buttons.end(), [](QAbstractButton* a, QAbstractButton* b) {
                return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
            });
            for (QAbstractButton* button : buttons)
                seen << button->text();
            if (act == Act::Close)
                box->close();
            else
                QTest::keyClick(box->focusWidget() ? box->focusWidget() : box,
                                act == Act::Escape ? Qt::Key_Escape : Qt::Key_Return);
        });
        timer->start();
    }
    QStringList seen;

private:
    std::unique_ptr<QTimer> m_timer;
};

TEST(WidgetAlertsAnswers, GivenAQuestion_ThenEscapeAndClosingAnswerTheSafeButtonAndReturnTheDefault)
{
    WidgetAlerts alerts;
    Answerer answerer;
    const Question question("Q", {}, {"Upload", "Always upload", "Don't upload"}, Alerts::DefaultButton(0),
                            Alerts::SafeButton(2));
    for (const auto& [act, expected] : {std::pair{Act::Escape, 2}, {Act::Close, 2}, {Act::Return, 0}}) {
        answerer.arm(act);
        EXPECT_EQ(alerts.choose(question), expected) << nameOf(act);
        EXPECT_EQ(answerer.seen, question.buttons()) << nameOf(act);
    }
    // A destructive question defaults to the safe answer whatever place it takes.
    answerer.arm(Act::Return);
    EXPECT_EQ(alerts.choose(Question::destructive("Q", {}, {"Remove", "Cancel"}, Alerts::SafeButton(1))), 1);
}

// --- Each question about the user's files, answered by Escape, closing and Return.

class SafeAnswers : public FileFixture, public ::testing::WithParamInterface<Act> {
protected:
    SafeAnswers()
    {
        device->services.alerts = &alerts;
        openWithFiles();
        controller = std::make_unique<ItemFilesController>(
            device->services, *files, server.baseUrl().toString(), [](const QString&) {},
            [](const QString&) {});
        controller->setItem(syncedItem());
        controller->uploadFiles({localFile("a.txt", "first")});
        finish();
    }
    ~SafeAnswers() override
    {
        controller.reset();
        files.reset();
        device->kill();
    }
    qint64 idd() const { return controller->entries().at(0).idd; }

    WidgetAlerts alerts;
    Answerer answerer;
    std::unique_ptr<ItemFilesController> controller;
};

TEST_P(SafeAnswers, GivenTheUploadQuestion_ThenOnlyAButtonTurnsItOff)
{
    const Act act = GetParam();
    answerer.arm(act);
    EXPECT_EQ(files->askUploadFile(QStringLiteral("dropped.txt")), act == Act::Return);
    EXPECT_EQ(answerer.seen, QStringList({"Upload", "Always upload", "Don't upload"}));
    EXPECT_FALSE(device->preferences.boolValue(QStringLiteral("_always_upload_url_file")));
}

TEST_P(SafeAnswers, GivenTheFilesTabQuestions_ThenNeitherAKeyNorClosingLosesAFile)
{
    const Act act = GetParam();
    const qint64 before = idd();

    answerer.arm(act);
    controller->uploadFiles({localFile("a.txt", "second")});
    finish();
    EXPECT_EQ(answerer.seen, QStringList({"Cancel", "Yes"}));
    EXPECT_EQ(server.fileContent(before), "first");

    answerer.arm(act);
    controller->deleteFiles({0});
    finish();
    EXPECT_EQ(answerer.seen, QStringList({"No", "Yes"}));
    EXPECT_EQ(server.fileCount(), 1);

    answerer.arm(act);
    controller->renameFile(0, QStringLiteral("b.txt"));
    settle();
    finish();
    EXPECT_EQ(answerer.seen, QStringList({"No", "Yes"}));
    EXPECT_EQ(server.file(before).value("filename").toString(), "a.txt");
}

INSTANTIATE_TEST_SUITE_P(Acts, SafeAnswers, ::testing::Values(Act::Escape, Act::Close, Act::Return),
                         [](const ::testing::TestParamInfo<Act>& param) {
                             return std::string(nameOf(param.param));
                         });

} // namespace
} // namespace qv::test
