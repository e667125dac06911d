// Streams in and out, from an offset, for files and recordings.
#include "support/pvrfixture.h"

namespace {

class TransferTest : public PvrTest {};

TEST_F(TransferTest, DownloadAndUploadFromAnOffsetAreByteIdentical) {
    const std::string data = Bytes(5 * 1024 * 1024 + 123, 7);
    PutHost("AV/clip.ts", data);
    StartAndAttach();
    const std::int64_t offset = 3 * 1024 * 1024 + 5;
    std::int64_t moved = 0;
    EXPECT_EQ(data.substr(0, static_cast<std::size_t>(offset)) +
                  Download("C:\\PVR\\AV\\clip.ts", offset,
                           static_cast<std::int64_t>(data.size()) - offset, &moved),
              data);

    // An upload that stopped part-way, continued from where the PVR's copy ends.
    const std::string upload = Bytes(4 * 1024 * 1024 + 77, 9);
    PutHost("MP3/big.bin", upload.substr(0, 1500000) + "stale bytes beyond the offset");
    ASSERT_TRUE(Upload("C:\\PVR\\MP3\\big.bin", upload, 1500000));
    EXPECT_TRUE(GetHost("MP3/big.bin") == upload);
}

TEST_F(TransferTest, RecordingByItsListedNameIsItsPartsInOrder) {
    PutHost("AV/Show_#002_200601010000.AVR", "BBBB");
    PutHost("AV/Show_#001_200601010000.AVR", "AAAA");
    PutHost("AV/Show_#003_200601010000.AVR", "CC");
    PutHost("AV/Show_#001_200601010000.AVF", std::string(300, 'f'));
    StartAndAttach();
    EXPECT_EQ(Download("C:\\PVR\\AV\\Show_200601010000.AVR", 0, 10), "AAAABBBBCC");
    EXPECT_EQ(Download("C:\\PVR\\AV\\show_200601010000.avr", 3, 7), "ABBBBCC");
    std::int64_t moved = 0;
    EXPECT_EQ(Download("C:\\PVR\\AV\\Show_200601010000.AVR", 6, 100, &moved), "BBCC")
        << "the stream ends with the recording";
    EXPECT_EQ(moved, 4);

    std::int64_t size = 0;
    TransferItem avf = Item("C:\\PVR\\AV\\Show_#001_200601010000.AVF", TRANSFER_DOWNLOAD, 0, 0);
    EXPECT_TRUE(TAVRIX_RequestAVFSize(&size, &avf));
    EXPECT_EQ(size, 300);
    TransferItem missing = Item("C:\\PVR\\AV\\Gone_#001_200601010000.AVF", TRANSFER_DOWNLOAD, 0, 0);
    EXPECT_FALSE(TAVRIX_RequestAVFSize(&size, &missing));
}

TEST_F(TransferTest, UploadedRecordingIsStoredAsParts) {
    StartAndAttach([](pvrd::PvrOptions& o) {
        o.partSize = 1000;
        o.avfSize = 4321;
    });
    std::int64_t size = 0;
    const TransferItem avf = Item("C:\\PVR\\AV\\Trip_#001_200701020304.AVF", TRANSFER_UPLOAD, 0, 0);
    ASSERT_TRUE(TAVRIX_RequestAVFSize(&size, &avf));
    EXPECT_EQ(size, 4321);

    PutHost("AV/Trip_#004_200701020304.AVR", "left from an older recording");
    const std::string data = Bytes(2500, 3);
    ASSERT_TRUE(Upload("C:\\PVR\\AV\\Trip_200701020304.AVR", data));
    EXPECT_EQ(GetHost("AV/Trip_#001_200701020304.AVR"), data.substr(0, 1000));
    EXPECT_EQ(GetHost("AV/Trip_#002_200701020304.AVR"), data.substr(1000, 1000));
    EXPECT_EQ(GetHost("AV/Trip_#003_200701020304.AVR"), data.substr(2000));
    EXPECT_FALSE(ExistsHost("AV/Trip_#004_200701020304.AVR"));

    // Resumed in the middle of part 2: the rest is rewritten from there.
    const std::string other = data.substr(0, 1500) + Bytes(1200, 4);
    ASSERT_TRUE(Upload("C:\\PVR\\AV\\Trip_200701020304.AVR", other, 1500));
    EXPECT_EQ(Download("C:\\PVR\\AV\\Trip_200701020304.AVR", 0, 5000), other);
    EXPECT_EQ(GetHost("AV/Trip_#003_200701020304.AVR").size(), 700u);
}

TEST_F(TransferTest, CompletionOnlyWhenEveryAnnouncedByteArrived) {
    StartAndAttach();
    ASSERT_TRUE(Fcntl(FCNTL_CREATE, "C:\\PVR\\MP3\\short.bin"));
    const TransferItem item = Item("C:\\PVR\\MP3\\short.bin", TRANSFER_UPLOAD, 0, 100);
    ASSERT_TRUE(TAVRIX_RequestDataTransfer(&item));
    const std::string data = Bytes(150);
    EXPECT_EQ(TAVRIX_BulkOUT(data.data(), 60, 1000), 60);
    EXPECT_EQ(TAVRIX_RequestDataCompletion(), 0);
    EXPECT_EQ(TAVRIX_BulkOUT(data.data() + 60, 90, 1000), 40) << "no more than announced";
    EXPECT_EQ(TAVRIX_RequestDataCompletion(), 1);
    TAVRIX_RequestDataTransferStop();
    EXPECT_EQ(TAVRIX_RequestDataCompletion(), 0) << "stopped";
    EXPECT_TRUE(Fcntl(FCNTL_CLOSE, ""));
    EXPECT_EQ(GetHost("MP3/short.bin"), data.substr(0, 100));
}

TEST_F(TransferTest, SoftwareImagesGoToTheFirmwareFolderAndAreLogged) {
    StartAndAttach();
    const std::string image = Bytes(70000, 5);
    ASSERT_TRUE(Fcntl(FCNTL_CREATE, "C:\\PVR\\Firmware\\main.mem"));
    const TransferItem item =
        Item("C:\\PVR\\Firmware\\main.mem", TRANSFER_UPLOAD, 0, 70000, TRANSFER_KIND_BOOT_LOADER);
    ASSERT_TRUE(TAVRIX_RequestDataTransfer(&item));
    EXPECT_EQ(TAVRIX_BulkOUT(image.data(), 70000, 1000), 70000);
    EXPECT_EQ(TAVRIX_RequestDataCompletion(), 1);
    EXPECT_TRUE(Fcntl(FCNTL_CLOSE, ""));
    EXPECT_EQ(GetHost("Firmware/main.mem"), image);
    EXPECT_TRUE(LogContains(
        "software image received: C:\\PVR\\Firmware\\main.mem (boot loader, 70000 bytes)"));

    ASSERT_TRUE(Fcntl(FCNTL_CREATE, "C:\\PVR\\AV\\main.mem"));
    const TransferItem astray =
        Item("C:\\PVR\\AV\\main.mem", TRANSFER_UPLOAD, 0, 10, TRANSFER_KIND_FIRMWARE);
    EXPECT_FALSE(TAVRIX_RequestDataTransfer(&astray)) << "an image belongs in Firmware";
}

TEST_F(TransferTest, StreamMustMatchTheOpenFile) {
    PutHost("AV/a.ts", "aaaa");
    StartAndAttach();
    ASSERT_TRUE(Fcntl(FCNTL_OPEN_DOWNLOAD, "C:\\PVR\\AV\\a.ts"));
    const TransferItem up = Item("C:\\PVR\\AV\\a.ts", TRANSFER_UPLOAD, 0, 4);
    EXPECT_FALSE(TAVRIX_RequestDataTransfer(&up)) << "opened for download";
    const TransferItem other = Item("C:\\PVR\\AV\\b.ts", TRANSFER_DOWNLOAD, 0, 4);
    EXPECT_FALSE(TAVRIX_RequestDataTransfer(&other));
    char buffer[8];
    EXPECT_EQ(TAVRIX_BulkIN(buffer, sizeof buffer, 0), 0) << "no stream";
}

}  // namespace
