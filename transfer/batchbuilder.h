// Turning a selection into a transfer batch: the rules the upload and download
// commands follow, whoever supplies the selection (the panes, or the device CLI).
//
// A recording (an .AVR file) moves with its companion .AVF file, which goes
// first as an item of its own; the batch holds at most 100 items, and a
// recording that would need the 101st ends the selection before it. Existing
// files at the destination are asked about once each, unless an "all" answer
// was given; an existing PC copy at least as large as the PVR file is never
// downloaded again.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "transfer/transferbatch.h"

// One selected file of the sending side.
struct TransferSelection {
    std::string name;        // as the sending side lists it
    std::int64_t size = 0;   // the listed size (downloads; uploads read the PC file's)
    std::string targetName;  // the name at the destination; empty: the same name
};

// Why a selected file left no item for itself.
enum class TransferSkip {
    AlreadyComplete,    // the destination holds as many bytes as the source
    DestinationLarger,  // the destination holds more bytes than the source
    NoCompanion,        // the PVR knows no .AVF for the recording
    UnsafeName,         // the name would address a file outside the destination folder
    PathTooLong,        // a path does not fit its field
};

struct BatchSource {
    // The next selected file of the sending side; false when the walk is over.
    std::function<bool(TransferSelection&)> nextSelected;
    // The current folders, each with its trailing "\"; nullopt when a side has none.
    std::optional<std::string> pcFolder;
    std::optional<std::string> pvrFolder;
    // Uploads: does the PVR folder list this name (case aside), and with what size.
    std::function<bool(const std::string& name, std::int64_t* size)> findOnPvr;
    // The overwrite/resume prompt with its text; one of the XferAnswer codes, or
    // anything else for "keep the default".
    std::function<int(const std::string& text)> ask;
    // A file left out, and why (UnsafeName and PathTooLong have been told already).
    std::function<void(const std::string& name, TransferSkip why)> skipped;
    // Tells the user something (a refused name).
    std::function<void(const std::string& text)> tell;
    // The attached PVR's speed field: picks the chunk size.
    std::uint32_t speed = 0;
};

enum class BuildOutcome {
    Ready,      // at least one item
    Empty,      // nothing to move
    Abandoned,  // a side had no folder, or the user cancelled at a prompt
};

BuildOutcome BuildUploadBatch(const BatchSource& source, TransferBatch& batch);
BuildOutcome BuildDownloadBatch(const BatchSource& source, TransferBatch& batch);

// The prompt texts the commands show for a file that exists at the destination.
std::string UploadExistsText(const std::string& name);
std::string DownloadExistsText(const std::string& name);

// ---- Software upgrade ----------------------------------------------------------------------

// Whether a software image can be sent, and if not, why.
enum class UpgradeImage {
    Ready,
    NoKind,      // no image kind was chosen: firmware, boot loader or database
    NoPath,      // no image file was named
    Missing,     // nothing is found under the path
    NotOneFile,  // the path names a folder, or a file under another name (wildcards)
    Empty,       // the file holds no bytes
    Unreadable,  // the file cannot be opened for reading
    TooLong,     // its name does not fit the PVR's path field, or its path the batch's
};

// Looks the image file up as the PC names it: found, a plain file, under
// exactly this path (case aside), with bytes to send and readable. *size gets
// its full 64-bit length.
UpgradeImage CheckUpgradeImage(const std::string& imagePath, std::int64_t* size);

// The one-item batch of a software upgrade: the image goes to the Firmware
// folder under its own name (the text after the last "\" of its path), as the
// given kind (TRANSFER_KIND_FIRMWARE, _BOOT_LOADER or _DATABASE), whole, in
// 1 MiB chunks whatever the USB speed. The batch is left empty unless Ready.
UpgradeImage BuildUpgradeBatch(const std::string& imagePath, int kind, TransferBatch& batch);

// What the user is told for an image that cannot be sent (empty for Ready).
std::string UpgradeImageText(UpgradeImage why, const std::string& imagePath);
