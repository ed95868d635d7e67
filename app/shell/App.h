// The editor's application object: start-up in numbered steps that stop at the first failure, the
// settings of the whole application stored at exit, and the Help menu's commands. Also the empty
// framework document that the single-document template ties to the main frame and view.
#pragma once

#include "ui/Document.h"
#include "ui/WinApp.h"

#include <string>

namespace GT {
class CMmf;
}

// The framework's document: it holds nothing (the card lives in the document model).
class CDoc : public UL::CDocument {
public:
    bool OnNewDocument() override;

protected:
    // Through the modal-dialog manager, as every message of the program.
    void ReportOpenFailure(const std::string& path) override;
};

class CApp : public UL::CWinApp {
public:
    // Steps with an effect; every other number up to kLastStep does nothing and succeeds.
    enum : int {
        STEP_LOCALE = 0,
        STEP_FRAMEWORK = 2,
        STEP_SINGLE_INSTANCE = 4,
        STEP_COMMON_CONTROLS = 6,
        STEP_SETTINGS_KEY = 8,
        STEP_RECENT_FILES = 10,
        STEP_DOCUMENT_TEMPLATE = 12,
        STEP_SHELL_OPEN = 14,
        STEP_FONT_AND_SAVE_MEMORY = 18,
        STEP_FOLDERS = 24,
        STEP_LANGUAGE = 26,
        STEP_DEVICE_CHANGES = 27,
        STEP_COMMAND_LINE = 28,
        STEP_NEW_DOCUMENT = 29,
        STEP_SHOW_WINDOW = 30,
        STEP_STORE_WINDOW = 32,
        STEP_INITIALISED = 34,
        kLastStep = 99,
    };
    // Help menu commands.
    enum : int { ID_MANUAL = 32858, ID_ABOUT = 32865, ID_VENDOR_WEB = 32904 };

    CApp();
    ~CApp() override;

    // Every step from 0 to kLastStep in order; false at the first that fails.
    bool InitInstance() override;
    // One start-up step; tests override it to make a step fail.
    virtual bool InitStep(int step);
    // The font and "Option/SaveMemory" when start-up completed; then the framework's exit.
    int ExitInstance() override;
    bool OnIdle(long count) override;

    // The whole command line, one path (possibly quoted).
    void SetCommandLine(const std::string& commandLine) { m_commandLine = commandLine; }
    // The path of the command line opened as the document; true when there is none.
    bool OpenCommandLineFile();

    bool IsInitialised() const { return m_initialised; }

    void OnManual();
    void OnVendorWeb();
    void OnAbout();

    // The web page of the metadata vendor.
    static constexpr const char* kVendorWebAddress = "https://www.tunemark.example/";

private:
    bool m_initialised = false;
    std::string m_commandLine;
};

// The single-instance guard of the program, made on first use.
GT::CMmf& GetInstanceGuard();
