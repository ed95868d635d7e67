// The program's three folders, reached from anywhere through one process-wide record.
#pragma once

#include <string>

class CAppPaths {
public:
    enum Folder : int {
        USER_DATA = 0,  // the per-user data folder, ending with "/": the metadata client's cached files
        PROGRAM = 1,    // the program's own folder, set when the manual is opened
        PICTURES = 2,   // the program's folder + "/Script": button pictures and the vendor logo
        FOLDER_COUNT = 3
    };

    static CAppPaths& GetInstance();

    // Empty until set; an unknown folder number answers the empty text too.
    const std::string& GetPath(int folder) const;
    void SetPath(int folder, const std::string& path);

    // Start-up's share: the pictures folder from the program's folder, and the per-user data folder
    // (the application-data folder, then the maker's and the program's names) made when missing. The
    // data folder stays private to the user: it holds the user's service identity.
    void SetUpFolders();

private:
    CAppPaths() = default;
    CAppPaths(const CAppPaths&) = delete;
    CAppPaths& operator=(const CAppPaths&) = delete;

    std::string m_paths[FOLDER_COUNT];
};
