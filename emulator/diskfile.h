// A file on the PVR's disk as a stream of bytes: either one host file, or a
// recording whose bytes are spread over its part files in part order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "emulator/filedescriptor.h"

namespace pvrd {

class CDiskFile {
public:
    struct Part {
        std::string name;   // host name in the folder
        int number = 0;     // the part number; 0 for a plain file
        std::string label;  // the part's three characters as its name writes them
    };

    // A plain file. create: made anew (emptied when it exists).
    static std::unique_ptr<CDiskFile> OpenPlain(const std::filesystem::path& path, bool forWrite,
                                                bool create);
    // A recording's parts in part order. With none, part #001 is created.
    // New parts are named from title and stamp and hold at most partSize bytes.
    static std::unique_ptr<CDiskFile> OpenParts(const std::filesystem::path& folder,
                                                const std::vector<Part>& parts,
                                                const std::string& title, const std::string& stamp,
                                                std::int64_t partSize, bool forWrite);
    ~CDiskFile() = default;
    CDiskFile(const CDiskFile&) = delete;
    CDiskFile& operator=(const CDiskFile&) = delete;

    std::int64_t Size() const;
    // Bytes read at offset (fewer at the end), -1 on a host error.
    std::int64_t ReadAt(std::int64_t offset, void* buffer, std::size_t length);
    // Drops everything from size on; false when size is beyond the end.
    bool Truncate(std::int64_t size);
    // Bytes written at the end; fewer than length when the host refused more.
    std::int64_t Append(const void* buffer, std::size_t length);
    std::string HostPath() const;

private:
    struct Piece {
        std::filesystem::path path;
        int number = 0;
        CFileDescriptor fd;
        std::int64_t size = 0;
    };
    CDiskFile() = default;
    bool AddPart(int number);

    std::filesystem::path m_folder;
    std::string m_title;
    std::string m_stamp;
    std::int64_t m_partSize = 0;  // 0: no parts, one plain file
    bool m_forWrite = false;
    std::vector<Piece> m_pieces;
};

}  // namespace pvrd
