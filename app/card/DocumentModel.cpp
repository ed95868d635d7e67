#include "app/card/DocumentModel.h"

#include <algorithm>

CDocumentModel::CDocumentModel() { Reset(); }

CDocumentModel& CDocumentModel::GetInstance() {
    static CDocumentModel model;
    return model;
}

void CDocumentModel::Reset() {
    m_listeners.assign(1, &m_document);
    m_shownTab = TAB_SONG;
}

void CDocumentModel::AddListener(IModelEventListener* listener) { m_listeners.push_back(listener); }

void CDocumentModel::RemoveListener(IModelEventListener* listener) {
    const auto found = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (found != m_listeners.end()) m_listeners.erase(found);
}

void CDocumentModel::Notify(const CModelEvent& event) {
    const std::vector<IModelEventListener*> listeners = m_listeners;
    for (IModelEventListener* listener : listeners) listener->OnModelEvent(event);
}
