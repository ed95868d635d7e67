// The hub of the editor: the card document, the listeners of model events and the shown tab.
#pragma once

#include "app/card/CardDocument.h"
#include "app/card/ModelEvents.h"

#include <vector>

class CDocumentModel {
public:
    // Tabs of the main view.
    enum : int { TAB_SONG = 0, TAB_RHYTHM = 1, TAB_USER = 2 };

    static CDocumentModel& GetInstance();

    CDocX& GetDocument() { return m_document; }
    const CDocX& GetDocument() const { return m_document; }

    // The listeners become the card document alone; the shown tab becomes 0.
    void Reset();
    // Appends, also a pointer already listed.
    void AddListener(IModelEventListener* listener);
    // Erases the first entry equal to the pointer, if any.
    void RemoveListener(IModelEventListener* listener);
    // Calls every listener of a copy of the list, in order: listeners added or removed during a
    // delivery change only later deliveries, and a listener may send an event from its handler.
    void Notify(const CModelEvent& event);
    const std::vector<IModelEventListener*>& GetListeners() const { return m_listeners; }

    int GetShownTab() const { return m_shownTab; }
    void SetShownTab(int tab) { m_shownTab = tab; }

private:
    CDocumentModel();
    CDocumentModel(const CDocumentModel&) = delete;
    CDocumentModel& operator=(const CDocumentModel&) = delete;

    CDocX m_document;
    std::vector<IModelEventListener*> m_listeners;
    int m_shownTab = TAB_SONG;
};
