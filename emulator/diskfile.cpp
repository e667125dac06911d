#include "emulator/diskfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/recordingname.h"

namespace pvrd {

namespace {

// The disk never follows a link: a link could lead out of the disk folder.
int OpenNoFollow(const std::filesystem::path& path, int flags) {
    return ::open(path.c_str(), flags | O_CLOEXEC | O_NOFOLLOW, 0644);
}

std::int64_t FdSize(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

}  // namespace

std::unique_ptr<CDiskFile> CDiskFile::OpenPlain(const std::filesystem::path& path, bool forWrite,
                                                bool create) {
    std::unique_ptr<CDiskFile> file(new CDiskFile);
    file->m_forWrite = forWrite;
    int flags = forWrite ? O_RDWR : O_RDONLY;
    if (create) {
        flags |= O_CREAT | O_TRUNC;
    }
    Piece piece;
    piece.path = path;
    piece.fd.Reset(OpenNoFollow(path, flags));
    if (!piece.fd.Valid()) {
        return nullptr;
    }
    struct stat st {};
    if (::fstat(piece.fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return nullptr;
    }
    piece.size = st.st_size;
    file->m_pieces.push_back(std::move(piece));
    return file;
}

std::unique_ptr<CDiskFile> CDiskFile::OpenParts(const std::filesystem::path& folder,
                                                const std::vector<Part>& parts,
                                                const std::string& title, const std::string& stamp,
                                                std::int64_t partSize, bool forWrite) {
    std::unique_ptr<CDiskFile> file(new CDiskFile);
    file->m_folder = folder;
    file->m_title = title;
    file->m_stamp = stamp;
    file->m_partSize = partSize > 0 ? partSize : 1;
    file->m_forWrite = forWrite;
    for (const Part& part : parts) {
        Piece piece;
        piece.path = folder / part.name;
        piece.number = part.number;
        piece.fd.Reset(OpenNoFollow(piece.path, forWrite ? O_RDWR : O_RDONLY));
        if (!piece.fd.Valid()) {
            return nullptr;
        }
        piece.size = FdSize(piece.fd.Get());
        if (piece.size < 0) {
            return nullptr;
        }
        file->m_pieces.push_back(std::move(piece));
    }
    if (file->m_pieces.empty() && (!forWrite || !file->AddPart(1))) {
        return nullptr;
    }
    return file;
}

bool CDiskFile::AddPart(int number) {
    // The name has room for three digits only.
    const std::string name = MakePartName(m_title, number, m_stamp, "AVR");
    if (name.empty()) {
        return false;
    }
    Piece piece;
    piece.path = m_folder / name;
    piece.number = number;
    piece.fd.Reset(OpenNoFollow(piece.path, O_RDWR | O_CREAT | O_TRUNC));
    if (!piece.fd.Valid()) {
        return false;
    }
    m_pieces.push_back(std::move(piece));
    return true;
}

std::int64_t CDiskFile::Size() const {
    std::int64_t total = 0;
    for (const Piece& piece : m_pieces) {
        total += piece.size;
    }
    return total;
}

std::int64_t CDiskFile::ReadAt(std::int64_t offset, void* buffer, std::size_t length) {
    auto* out = static_cast<char*>(buffer);
    std::size_t done = 0;
    std::int64_t base = 0;
    for (Piece& piece : m_pieces) {
        if (done == length) {
            break;
        }
        const std::int64_t pos = offset + static_cast<std::int64_t>(done);
        if (pos >= base + piece.size) {
            base += piece.size;
            continue;
        }
        std::int64_t inPiece = pos - base;
        while (done < length && inPiece < piece.size) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(
                static_cast<std::int64_t>(length - done), piece.size - inPiece));
            const ssize_t got = ::pread(piece.fd.Get(), out + done, want, inPiece);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return -1;
            }
            if (got == 0) {
                // Shorter on the host than when it was opened: report what there is.
                return static_cast<std::int64_t>(done);
            }
            done += static_cast<std::size_t>(got);
            inPiece += got;
        }
        base += piece.size;
    }
    return static_cast<std::int64_t>(done);
}

bool CDiskFile::Truncate(std::int64_t size) {
    if (!m_forWrite || size < 0 || size > Size()) {
        return false;
    }
    std::int64_t base = 0;
    std::size_t keep = 0;
    for (; keep < m_pieces.size(); ++keep) {
        Piece& piece = m_pieces[keep];
        if (size <= base + piece.size) {
            const std::int64_t inPiece = size - base;
            if (::ftruncate(piece.fd.Get(), inPiece) != 0) {
                return false;
            }
            piece.size = inPiece;
            break;
        }
        base += piece.size;
    }
    // A cut at a part boundary leaves the earlier part full and the later one
    // empty; the empty one goes unless it is the first.
    if (keep < m_pieces.size() && m_pieces[keep].size == 0 && keep > 0) {
        --keep;
    }
    while (m_pieces.size() > keep + 1) {
        ::unlink(m_pieces.back().path.c_str());
        m_pieces.pop_back();
    }
    return true;
}

std::int64_t CDiskFile::Append(const void* buffer, std::size_t length) {
    if (!m_forWrite || m_pieces.empty()) {
        return 0;
    }
    const auto* in = static_cast<const char*>(buffer);
    std::size_t done = 0;
    while (done < length) {
        Piece* piece = &m_pieces.back();
        std::size_t room = length - done;
        if (m_partSize > 0) {
            if (piece->size >= m_partSize) {
                if (!AddPart(piece->number + 1)) {
                    break;
                }
                piece = &m_pieces.back();
            }
            room = static_cast<std::size_t>(
                std::min<std::int64_t>(static_cast<std::int64_t>(room), m_partSize - piece->size));
        }
        const ssize_t wrote = ::pwrite(piece->fd.Get(), in + done, room, piece->size);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            break;
        }
        piece->size += wrote;
        done += static_cast<std::size_t>(wrote);
    }
    return static_cast<std::int64_t>(done);
}

std::string CDiskFile::HostPath() const {
    return m_pieces.empty() ? std::string() : m_pieces.front().path.string();
}

}  // namespace pvrd
