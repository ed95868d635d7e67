#include "app/card/DocumentModel.h"

#include "tests/app/card/CardTestSupport.h"

#include <gtest/gtest.h>

namespace {

using cardtest::CCardEnvironment;
using cardtest::CRecordingListener;

// Records every event into one shared log under a name.
class CLoggingListener : public IModelEventListener {
public:
    CLoggingListener(std::string name, std::vector<std::string>& log) : m_name(std::move(name)), m_log(log) {}
    void OnModelEvent(const CModelEvent& event) override {
        m_log.push_back(m_name + ":" + std::to_string(event.id));
        if (onEvent) onEvent(event);
    }
    std::function<void(const CModelEvent&)> onEvent;

private:
    std::string m_name;
    std::vector<std::string>& m_log;
};

TEST(DocumentModel, StartsWithTheDocumentAsFirstListener) {
    CCardEnvironment environment;
    CDocumentModel& model = CDocumentModel::GetInstance();
    ASSERT_EQ(model.GetListeners().size(), 1u);
    EXPECT_EQ(model.GetListeners()[0], &model.GetDocument());
    EXPECT_EQ(model.GetShownTab(), 0);
    model.SetShownTab(2);
    model.Reset();
    EXPECT_EQ(model.GetShownTab(), 0);
}

TEST(DocumentModel, DeliveryInListOrderOverACopy) {
    CCardEnvironment environment;
    CDocumentModel& model = CDocumentModel::GetInstance();
    std::vector<std::string> log;
    CLoggingListener a("a", log), b("b", log), late("late", log), nested("nested", log);

    model.AddListener(&a);
    model.AddListener(&b);
    model.AddListener(&a);  // twice: receives twice
    model.Notify(CModelEvent(10));
    EXPECT_EQ(log, (std::vector<std::string>{"a:10", "b:10", "a:10"}));

    // One removal takes the first entry only; a pointer not listed changes nothing.
    log.clear();
    model.RemoveListener(&a);
    model.RemoveListener(&late);
    model.Notify(CModelEvent(11));
    EXPECT_EQ(log, (std::vector<std::string>{"b:11", "a:11"}));

    // A listener added during a delivery sees only the next event; one removed during a
    // delivery still gets the event it was copied for.
    log.clear();
    b.onEvent = [&](const CModelEvent& event) {
        if (event.id == 12) {
            model.AddListener(&late);
            model.RemoveListener(&a);
        }
    };
    model.Notify(CModelEvent(12));
    EXPECT_EQ(log, (std::vector<std::string>{"b:12", "a:12"}));
    log.clear();
    model.Notify(CModelEvent(3, "/media/x"));
    EXPECT_EQ(log, (std::vector<std::string>{"b:3", "late:3"}));

    // A handler that sends an event: the nested delivery completes before the next listener.
    log.clear();
    b.onEvent = [&](const CModelEvent& event) {
        if (event.id == 5) model.Notify(CModelEvent(2));
    };
    model.AddListener(&nested);
    model.Notify(CModelEvent(5, "/media/y"));
    EXPECT_EQ(log, (std::vector<std::string>{"b:5", "b:2", "late:2", "nested:2", "late:5", "nested:5"}));

    model.RemoveListener(&b);
    model.RemoveListener(&late);
    model.RemoveListener(&nested);
}

TEST(DocumentModel, TheDocumentReactsBeforeOtherListeners) {
    CCardEnvironment environment;
    CDocumentModel& model = CDocumentModel::GetInstance();
    environment.Connect();
    bool connectedWhenSeen = true;
    CRecordingListener view;
    view.onEvent = [&](const CModelEvent&) { connectedWhenSeen = model.GetDocument().IsConnected(); };
    model.AddListener(&view);
    model.Notify(CModelEvent(CModelEvent::CARD_GONE));
    EXPECT_FALSE(connectedWhenSeen);
    model.RemoveListener(&view);
}

TEST(DocumentModel, EventTextAndIds) {
    const CModelEvent event(CModelEvent::DRIVE_REMOVED, "/media/u/STICK");
    EXPECT_EQ(event.id, 3);
    EXPECT_EQ(event.GetText(), "/media/u/STICK");
    EXPECT_EQ(CModelEvent(7).GetText(), "");
    const int ids[] = {
        CModelEvent::CONNECT_FINISHED,      CModelEvent::DRIVE_REMOVED,    CModelEvent::CARD_GONE,
        CModelEvent::VOLUME_ARRIVED,        CModelEvent::AUDIO_CD_ARRIVED, CModelEvent::MODAL_CLOSED_WITHOUT_CARD,
        CModelEvent::CARD_REMOVED_IN_MODAL, CModelEvent::RIPPING_ENDED_OK, CModelEvent::IMPORT_ENDED,
        CModelEvent::SONGS_DELETED};
    EXPECT_EQ(std::vector<int>(std::begin(ids), std::end(ids)), (std::vector<int>{2, 3, 4, 5, 6, 7, 8, 10, 11, 12}));
}

}  // namespace
