// The document of the one document type. It holds no data: the panes show the
// PC and the PVR, not a file. Only the standard file keys touch it.
#pragma once

#include <string>

class CTavrixDoc {
public:
    CTavrixDoc() = default;
    virtual ~CTavrixDoc() = default;
    CTavrixDoc(const CTavrixDoc&) = delete;
    CTavrixDoc& operator=(const CTavrixDoc&) = delete;

    // A new, empty document: nothing to prepare.
    virtual bool OnNewDocument();
    // Takes the file as the document without reading it. False when it does not
    // exist. path is a PC path (C:\...) or a host path.
    virtual bool OnOpenDocument(const std::string& path);
    // Stores the (empty) document: a new name gets an empty file; an existing
    // file is never truncated or replaced. False when neither is possible.
    virtual bool OnSaveDocument(const std::string& path);

    // The file the document was opened from or last saved to; empty for a new one.
    const std::string& GetPathName() const { return m_pathName; }
    void SetPathName(const std::string& path) { m_pathName = path; }

private:
    std::string m_pathName;
};
