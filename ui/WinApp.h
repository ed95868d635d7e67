#pragma once
// The framework's application: the last stop of command routing, the idle update of the main frame,
// the settings location, the recent-file list and the document template. One object per program,
// reached through CWinApp::GetApp.
#include "ui/CmdTarget.h"
#include "ui/Document.h"

#include <memory>
#include <string>
#include <vector>

namespace UL {

class CSDIFrameWndEx;

// The files last opened as documents, newest first, kept in the settings under "Recent File List" as
// "File1", "File2", ...
class CRecentFileList {
public:
    CRecentFileList(const std::string& section, const std::string& entryFormat, int size);

    void ReadList();
    void WriteList() const;
    // The path (made full) goes to the top; a path already listed moves there; the oldest falls off.
    void Add(const std::string& path);
    void Remove(int index);

    int GetSize() const { return m_size; }
    const std::vector<std::string>& GetEntries() const { return m_entries; }

    static constexpr const char* kSection = "Recent File List";
    static constexpr const char* kEntryFormat = "File%d";

private:
    std::string EntryName(int index) const;

    std::string m_section;
    std::string m_entryFormat;
    int m_size;
    std::vector<std::string> m_entries;
};

class CWinApp : public CCmdTarget {
public:
    explicit CWinApp(const std::string& appName);
    ~CWinApp() override;

    // The program's application object; null when there is none.
    static CWinApp* GetApp();
    const std::string& GetAppName() const { return m_appName; }

    // The program's run: InitInstance, then, when it succeeded, the main loop (Run), and ExitInstance
    // in every case (a main window left by a failed start-up is destroyed first). Answers the exit code.
    int WinMain();
    // The framework's own start-up: the window system (false without a display) and the idle work.
    virtual bool InitInstance();
    // The main loop, while the main frame has a window; answers its exit code.
    virtual int Run();
    // Stores the recent-file list when it was loaded; answers the exit code.
    virtual int ExitInstance();
    // Idle work: on the first call after the loop handled what waited (count 0), the main frame's idle
    // update. True asks for another call.
    virtual bool OnIdle(long count);

    // The settings go to the maker's folder, in the file named after the application.
    void SetRegistryKey(const std::string& maker);
    // The recent-file list of that many entries, read from the settings.
    void LoadStdProfileSettings(int maxRecentFiles = 4);
    CRecentFileList* GetRecentFileList() const { return m_recentFiles.get(); }
    virtual void AddToRecentFileList(const std::string& path);
    // Nothing here: files reach the program on its command line.
    void EnableShellOpen() {}

    // The document manager: one single-document template.
    void AddDocTemplate(std::unique_ptr<CSingleDocTemplate> docTemplate);
    CSingleDocTemplate* GetDocTemplate() const { return m_docTemplate.get(); }
    // The template's document read from the file (made full); null when it cannot be.
    virtual CDocument* OpenDocumentFile(const std::string& path);
    // The framework's File New (ID_FILE_NEW): the template's new document.
    void OnFileNew();
    // The framework's Exit (ID_APP_EXIT): the main frame closes as its close box makes it.
    void OnAppExit();

    CSDIFrameWndEx* GetMainWnd() const { return m_mainWnd; }
    // Also the window layer's main window (message boxes and the progress dialog sit over it).
    void SetMainWnd(CSDIFrameWndEx* frame);
    // How the main window is first shown (SW_SHOWNORMAL unless start-up says otherwise).
    int GetShowCommand() const { return m_showCommand; }
    void SetShowCommand(int showCommand) { m_showCommand = showCommand; }

private:
    std::string m_appName;
    std::unique_ptr<CRecentFileList> m_recentFiles;
    std::unique_ptr<CSingleDocTemplate> m_docTemplate;
    CSDIFrameWndEx* m_mainWnd = nullptr;
    int m_showCommand;
    int m_exitCode = 0;
};

}  // namespace UL
