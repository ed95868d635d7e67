// Events that the document model hands to its listeners, and the listener interface.
#pragma once

#include <string>

class CModelEvent {
public:
    // Event ids; the text is the drive (volume id) for events caused by a volume notice.
    enum : int {
        CONNECT_FINISHED = 2,           // a connect attempt finished, whether or not a card was found
        DRIVE_REMOVED = 3,              // a drive other than the card's was removed
        CARD_GONE = 4,                  // the card was removed or disconnected
        VOLUME_ARRIVED = 5,             // a volume arrived that is not an audio CD
        AUDIO_CD_ARRIVED = 6,           // a CD-ROM volume with an audio disc arrived
        MODAL_CLOSED_WITHOUT_CARD = 7,  // the outermost modal window closed and no card is connected
        CARD_REMOVED_IN_MODAL = 8,      // the card was removed while a modal window was open
        RIPPING_ENDED_OK = 10,
        IMPORT_ENDED = 11,
        SONGS_DELETED = 12,
    };

    explicit CModelEvent(int eventId, std::string eventText = std::string())
        : id(eventId), text(std::move(eventText)) {}
    virtual ~CModelEvent() = default;

    std::string GetText() const { return text; }

    int id;
    std::string text;
};

class IModelEventListener {
public:
    virtual ~IModelEventListener() = default;
    // The event lives only for the call.
    virtual void OnModelEvent(const CModelEvent& event) { (void)event; }
};
