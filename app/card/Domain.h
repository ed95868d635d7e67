// The product's names and constants: maker, family and program names, the card's file names and
// extensions, the model name and label word that recognise the card, the list tags, the
// "Option/SaveMemory" setting and the work folder.
#pragma once

#include <string>

class CDomain {
public:
    static CDomain& GetInstance();

    virtual const std::string& GetMakerName();        // "Corvane"
    virtual const std::string& GetFamilyName();       // "Gigbox"
    virtual const std::string& GetApplicationName();  // "Gigbox Setlister"
    virtual const std::string& GetWaveExtension();    // ".WAV"
    virtual const std::string& GetDatabaseExtension();
    virtual const std::string& GetVoxaExtension();
    virtual const std::string& GetIconExtension();
    virtual const std::string& GetQ3sExtension();
    virtual const std::string& GetSongFilenameListFileName();  // "SONGNAME.Q3D"
    virtual const std::string& GetPlayListFileName();          // "PLAYLIST.Q3D"
    virtual const std::string& GetAlbumListFileName();
    virtual const std::string& GetArtistListFileName();
    virtual const std::string& GetBestListFileName();
    virtual const std::string& GetMySongListFileName();
    virtual const std::string& GetRhythmListFileName();
    virtual const std::string& GetModelName();        // "QM-3"
    virtual const std::string& GetVolumeLabelWord();  // "Gigbox"
    virtual const std::string& GetRhythmTag();        // "~RHYTHM"
    virtual const std::string& GetUserTag();          // "~USER"
    // "Option/SaveMemory" (default 1) into the card document's SaveMemory flag.
    virtual void LoadSaveMemory();
    // The card document's SaveMemory flag, 0 or 1, to "Option/SaveMemory".
    virtual void StoreSaveMemory();
    // The user's private work folder for temporary files: the temporary-files folder + "/V2PN-"
    // + the user id, made with mode 0700 and used only while it is a real folder (not a link)
    // that the user owns and no one else can enter; otherwise a fresh private folder beside it.
    // Made again on every call; no trailing "/".
    virtual std::string GetWorkFolder();

protected:
    CDomain() = default;
    CDomain(const CDomain&) = delete;
    CDomain& operator=(const CDomain&) = delete;
};
