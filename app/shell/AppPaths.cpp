#include "app/shell/AppPaths.h"

#include "app/card/Domain.h"
#include "general_tools/Files.h"

namespace {

constexpr int kAppDataFolder = 26;  // the per-user application-data folder's number

}  // namespace

CAppPaths& CAppPaths::GetInstance() {
    static CAppPaths paths;
    return paths;
}

const std::string& CAppPaths::GetPath(int folder) const {
    static const std::string none;
    return folder >= 0 && folder < FOLDER_COUNT ? m_paths[folder] : none;
}

void CAppPaths::SetPath(int folder, const std::string& path) {
    if (folder >= 0 && folder < FOLDER_COUNT) m_paths[folder] = path;
}

void CAppPaths::SetUpFolders() {
    m_paths[PICTURES] = GT::GetApplicationDirectory() + "/Script";
    const std::string appData = GT::GetSpecialFolderPath(kAppDataFolder);
    if (appData.empty()) {
        // Nowhere to keep per-user files: the client then keeps none.
        m_paths[USER_DATA].clear();
        return;
    }
    CDomain& domain = CDomain::GetInstance();
    m_paths[USER_DATA] = appData + "/" + domain.GetMakerName() + "/" + domain.GetApplicationName() + "/";
    GT::CreateDirectoryPath(m_paths[USER_DATA], false);
}
