#include "app/shell/App.h"

#include "app/card/AppServices.h"
#include "app/card/Domain.h"
#include "app/card/MessageTable.h"
#include "app/card/ModalManager.h"
#include "app/shell/AppPaths.h"
#include "app/shell/MainFrame.h"
#include "app/shell/MainView.h"
#include "general_tools/DesktopTypeStore.h"
#include "general_tools/DocumentType.h"
#include "general_tools/Files.h"
#include "general_tools/Mmf.h"
#include "general_tools/StringFunctions.h"
#include "platform/window/Application.h"
#include "platform/window/Image.h"
#include "resources/ResourceIds.h"
#include "ui/ResourcePictures.h"
#include "ui/StringResources.h"

#include <clocale>
#include <memory>

namespace {

constexpr int kRecentFiles = 8;
constexpr int kDocumentIconIndex = 1;
constexpr const char* kFontSection = "Option";
constexpr const char* kFontPrefix = "Font";

std::string FormatWithFamily(const char* format) {
    return GT::FormatString(format, CDomain::GetInstance().GetFamilyName().c_str());
}

}  // namespace

bool CDoc::OnNewDocument() {
    if (!UL::CDocument::OnNewDocument()) return false;
    SetModifiedFlag(false);
    return true;
}

void CDoc::ReportOpenFailure(const std::string& path) {
    CModalManager::GetInstance().ShowText(UL::LoadString(UL::AFX_IDP_FAILED_TO_OPEN_DOC, "Failed to open document.")
                                          + "\n" + path);
}

GT::CMmf& GetInstanceGuard() {
    static GT::CMmf guard;
    return guard;
}

CApp::CApp() : UL::CWinApp(CDomain::GetInstance().GetApplicationName()) {
    SetCommandHandler(ID_MANUAL, [this] { OnManual(); });
    SetCommandHandler(ID_VENDOR_WEB, [this] { OnVendorWeb(); });
    SetCommandHandler(ID_ABOUT, [this] { OnAbout(); });
}

CApp::~CApp() = default;

bool CApp::InitInstance() {
    for (int step = 0; step <= kLastStep; ++step) {
        if (!InitStep(step)) return false;
    }
    return true;
}

bool CApp::InitStep(int step) {
    CDomain& domain = CDomain::GetInstance();
    switch (step) {
        case STEP_LOCALE:
            std::setlocale(LC_CTYPE, "");
            return true;
        case STEP_FRAMEWORK:
            return UL::CWinApp::InitInstance();
        case STEP_SINGLE_INSTANCE: {
            GT::CMmf& guard = GetInstanceGuard();
            // A later instance has asked the first to show itself and ends without a word.
            return guard.CreateInstanceLock(GetAppName()) && guard.IsFirstInstance();
        }
        case STEP_COMMON_CONTROLS:
            return true;  // the window layer needs no set-up of its controls
        case STEP_SETTINGS_KEY:
            SetRegistryKey(domain.GetMakerName());
            return true;
        case STEP_RECENT_FILES:
            LoadStdProfileSettings(kRecentFiles);
            return true;
        case STEP_DOCUMENT_TEMPLATE:
            AddDocTemplate(std::make_unique<UL::CSingleDocTemplate>(
                IDR_MAINFRAME, [] { return std::make_unique<CDoc>(); }, [] { return std::make_unique<CMainFrame>(); },
                [] { return std::make_unique<CViewA>(); }));
            return true;
        case STEP_SHELL_OPEN: {
            EnableShellOpen();
            // The desktop shows the program's name and icon with the document type.
            GT::CDesktopTypeStore& desktop = GT::GetDesktopTypeStore();
            desktop.SetApplicationName(GetAppName());
            const platform::Image icon = UL::LoadIconResource(IDR_MAINFRAME);
            desktop.SetIconWriter(icon.IsEmpty() ? GT::CDesktopTypeStore::IconWriter()
                                                 : [icon](const std::string& path) {
                                                       return icon.Save(path, platform::ImageFileType::Png);
                                                   });
            if (GT::GetClassesRootStore().ProgramHasIcon(kDocumentIconIndex)) {
                GT::RegisterDocumentType(domain.GetDatabaseExtension(), FormatWithFamily("%sConverter.Document"),
                                         FormatWithFamily("%s Converter Document"), kDocumentIconIndex, false);
            }
            return true;
        }
        case STEP_FONT_AND_SAVE_MEMORY:
            CFontA::GetInstance().Load(kFontSection, kFontPrefix);
            domain.LoadSaveMemory();
            return true;
        case STEP_FOLDERS:
            CAppPaths::GetInstance().SetUpFolders();
            return true;
        case STEP_LANGUAGE: {
            const int language = UL::LoadString(IDS_LANGUAGE) == "English" ? 0 : 1;
            platform::ApplyUserLanguage();  // the toolkit's own texts and the dialog font follow
            LoadMessageTable();
            GetTextCodeTable().SetLanguage(language);
            return true;
        }
        case STEP_DEVICE_CHANGES:
            CDeviceChangeHandler::GetInstance().Install();
            return true;
        case STEP_COMMAND_LINE:
            return OpenCommandLineFile();
        case STEP_NEW_DOCUMENT:
            // The frame and the view are made only when the command line made none.
            OnFileNew();
            return true;
        case STEP_SHOW_WINDOW:
            if (UL::CSDIFrameWndEx* frame = GetMainWnd()) {
                frame->ShowWindow(GetShowCommand());
                frame->DragAcceptFiles(true);
                if (platform::Window* window = frame->GetWindow()) {
                    window->UpdateNow();
                    window->SetTitle(GetAppName());
                }
            }
            return true;
        case STEP_STORE_WINDOW:
            return GetInstanceGuard().StoreInstanceWindow();
        case STEP_INITIALISED:
            m_initialised = true;
            return true;
        default:
            return true;
    }
}

int CApp::ExitInstance() {
    if (m_initialised) {
        CFontA::GetInstance().Save(kFontSection, kFontPrefix);
        CDomain::GetInstance().StoreSaveMemory();
    }
    // The view leaves the document model's listeners while that model still exists.
    if (UL::CSingleDocTemplate* docTemplate = GetDocTemplate()) docTemplate->CloseAllDocuments();
    return UL::CWinApp::ExitInstance();
}

bool CApp::OnIdle(long count) { return UL::CWinApp::OnIdle(count); }

bool CApp::OpenCommandLineFile() {
    std::string path = GT::Unquote(m_commandLine, true);
    if (path.empty()) return true;
    path = GT::ResolveDisplayName(GT::ResolveShortcut(path));
    if (path.empty()) return true;
    return OpenDocumentFile(path) != nullptr;
}

void CApp::OnManual() {
    CAppPaths& paths = CAppPaths::GetInstance();
    paths.SetPath(CAppPaths::PROGRAM, GT::GetApplicationDirectory());
    const std::string manual = paths.GetPath(CAppPaths::PROGRAM) + "/" + GetTextCodeTable().GetText(MSG_MANUAL_PATH);
    // The desktop's opener is started without waiting for it: a manual that is not there is told here.
    if (!GT::IsExistingFile(manual) || !GT::OpenWithShell(manual))
        CModalManager::GetInstance().ShowMessageById(MSG_MANUAL_MISSING);
}

void CApp::OnVendorWeb() { GT::OpenWithShell(kVendorWebAddress); }

void CApp::OnAbout() { CModalManager::GetInstance().ShowAboutDialog(); }
