#pragma once
// The framework's document and the single-document template that ties one document, its main frame
// and its view together.
#include "ui/CmdTarget.h"

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

namespace UL {

class CFormViewEx;
class CSDIFrameWndEx;

// The framework's string ids the library shows (the resources give their texts; English otherwise).
enum : int { AFX_IDP_FAILED_TO_OPEN_DOC = 0xF102 };

class CDocument : public CCmdTarget {
public:
    CDocument() = default;

    // A new, empty document: DeleteContents, no path, not modified.
    virtual bool OnNewDocument();
    // The file read as the document: it must open for reading (ReportOpenFailure otherwise), then
    // DeleteContents and Serialize read it; not modified afterwards.
    virtual bool OnOpenDocument(const std::string& path);
    // Whether the document may be replaced or closed; a document without unsaved changes may.
    virtual bool SaveModified() { return true; }
    virtual void DeleteContents() {}
    // Reads the document from the open file; the default reads nothing.
    virtual void Serialize(std::istream&) {}

    void SetModifiedFlag(bool modified = true) { m_modified = modified; }
    bool IsModified() const { return m_modified; }
    const std::string& GetPathName() const { return m_pathName; }
    // With addToRecentFiles, the application's recent-file list takes the path.
    void SetPathName(const std::string& path, bool addToRecentFiles = true);

protected:
    // The file that could not be opened: "Failed to open document." in a message box.
    virtual void ReportOpenFailure(const std::string& path);

private:
    bool m_modified = false;
    std::string m_pathName;
};

// A path as the framework keeps it: absolute, with links and "." and ".." resolved where it exists.
std::string MakeFullPath(const std::string& path);

class CSingleDocTemplate {
public:
    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    using FrameFactory = std::function<std::unique_ptr<CSDIFrameWndEx>()>;
    using ViewFactory = std::function<std::unique_ptr<CFormViewEx>()>;

    // The resource id names the frame's menu, accelerator table and icon.
    CSingleDocTemplate(int resourceId, DocumentFactory document, FrameFactory frame, ViewFactory view);
    ~CSingleDocTemplate();
    CSingleDocTemplate(const CSingleDocTemplate&) = delete;
    CSingleDocTemplate& operator=(const CSingleDocTemplate&) = delete;

    // The one document, new (empty path) or read from the file. The first time, the document, its
    // frame and its view are made, the view's initial update runs and the frame is shown (makeVisible,
    // with the application's show command); later calls give the same document again, read anew, and
    // make nothing more. Null when the document refuses (a file that cannot be opened): what this call
    // made goes again. An opened file goes to the recent-file list.
    CDocument* OpenDocumentFile(const std::string& path, bool makeVisible = true);
    // Destroys the frame's window, the view and the document.
    void CloseAllDocuments();

    int GetResourceId() const { return m_resourceId; }
    CDocument* GetDocument() const { return m_document.get(); }
    CSDIFrameWndEx* GetFrame() const { return m_frame.get(); }
    CFormViewEx* GetView() const { return m_view.get(); }

private:
    bool CreateFrame();
    void DestroyFrame();

    int m_resourceId;
    DocumentFactory m_makeDocument;
    FrameFactory m_makeFrame;
    ViewFactory m_makeView;
    std::unique_ptr<CDocument> m_document;
    std::unique_ptr<CFormViewEx> m_view;
    std::unique_ptr<CSDIFrameWndEx> m_frame;
};

}  // namespace UL
