// Streams in and out, from an offset, for files and recordings.
#include "device/imagerecord.h"
#include "device/tavrixcalls.h"
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

// The PVR keeps a record of the last image it received, which anyone attached
// later can read, and which no host can forge or spoil.
TEST_F(TransferTest, ThePvrRecordsTheLastImageItReceived) {
    StartAndAttach();
    ImageRecord record;
    std::string error;
    EXPECT_EQ(ReadLastImage(&record, &error), LastImageEnd::NoneReceived);

    ASSERT_TRUE(Upload("C:\\PVR\\Firmware\\main.mem", Bytes(70000), 0, TRANSFER_KIND_BOOT_LOADER));
    EXPECT_EQ(GetHost("Firmware/LASTIMG.TXT"), "kind=1\nsize=70000\nname=main.mem\n");
    ASSERT_EQ(ReadLastImage(&record, &error), LastImageEnd::Received) << error;
    EXPECT_EQ(record.kind, TRANSFER_KIND_BOOT_LOADER);
    EXPECT_EQ(record.size, 70000);
    EXPECT_EQ(record.name, "main.mem");
    EXPECT_EQ(GetHost("Firmware/main.mem"), Bytes(70000)) << "the image stays where it came";

    // An ordinary file, and an image that never arrived whole, leave the record as it is.
    ASSERT_TRUE(Upload("C:\\PVR\\Firmware\\notes.txt", "notes"));
    ASSERT_TRUE(Fcntl(FCNTL_CREATE, "C:\\PVR\\Firmware\\db.mem"));
    const TransferItem cut =
        Item("C:\\PVR\\Firmware\\db.mem", TRANSFER_UPLOAD, 0, 100, TRANSFER_KIND_DATABASE);
    ASSERT_TRUE(TAVRIX_RequestDataTransfer(&cut));
    EXPECT_EQ(TAVRIX_BulkOUT(Bytes(50).data(), 50, 1000), 50);
    EXPECT_EQ(TAVRIX_RequestDataCompletion(), 0);
    EXPECT_TRUE(Fcntl(FCNTL_CLOSE, ""));
    ASSERT_EQ(ReadLastImage(&record, &error), LastImageEnd::Received) << error;
    EXPECT_EQ(record.name, "main.mem");

    // Hosts read the record but never write it, under any case of its name.
    EXPECT_FALSE(Upload("C:\\PVR\\Firmware\\lastimg.txt", "kind=0\nsize=1\nname=x\n"));
    EXPECT_FALSE(Fcntl(FCNTL_OPEN_UPLOAD, "C:\\PVR\\Firmware\\LASTIMG.TXT"));
    EXPECT_FALSE(
        Fcntl(FCNTL_RENAME, "C:\\PVR\\Firmware\\notes.txt", "C:\\PVR\\Firmware\\LastImg.txt"));
    EXPECT_EQ(GetHost("Firmware/LASTIMG.TXT"), "kind=1\nsize=70000\nname=main.mem\n");

    // The next image takes the record over.
    ASSERT_TRUE(Upload("C:\\PVR\\Firmware\\new.mem", Bytes(3), 0, TRANSFER_KIND_FIRMWARE));
    ASSERT_EQ(ReadLastImage(&record, &error), LastImageEnd::Received) << error;
    EXPECT_EQ(record.kind, TRANSFER_KIND_FIRMWARE);
    EXPECT_EQ(record.size, 3);
    EXPECT_EQ(record.name, "new.mem");

    // A record that is not sound is reported as such, never read as an image.
    PutHost("Firmware/LASTIMG.TXT", "kind=7\nsize=3\nname=new.mem\n");
    EXPECT_EQ(ReadLastImage(&record, &error), LastImageEnd::Unreadable);
    EXPECT_EQ(error, "C:\\PVR\\Firmware\\LASTIMG.TXT is not a sound record");
    PutHost("Firmware/LASTIMG.TXT", std::string(5000, 'x'));
    EXPECT_EQ(ReadLastImage(&record, &error), LastImageEnd::Unreadable);
    EXPECT_EQ(error, "the PVR lists C:\\PVR\\Firmware\\LASTIMG.TXT with 5000 bytes");
}

TEST(ImageRecordText, OnlyASoundRecordIsRead) {
    const ImageRecord sound{TRANSFER_KIND_DATABASE, 123456789012, "db 2.mem"};
    ImageRecord read;
    ASSERT_TRUE(ParseImageRecord(FormatImageRecord(sound), &read));
    EXPECT_EQ(read.kind, sound.kind);
    EXPECT_EQ(read.size, sound.size);
    EXPECT_EQ(read.name, sound.name);

    struct Case {
        const char* what;
        std::string text;
        bool sound;
    };
    const Case cases[] = {
        {"line ends of either kind, fields in any order, unknown keys",
         "name=a.mem\r\nfuture=1\r\nsize=0\r\nkind=0\r\n", true},
        {"cut short: the last line has no end", "kind=0\nsize=10\nname=a.me", false},
        {"cut short at a line end", "kind=0\nsize=10\n", false},
        {"a field twice", "kind=0\nkind=1\nsize=1\nname=a\n", false},
        {"not an image kind", "kind=4\nsize=1\nname=a\n", false},
        {"a kind written otherwise", "kind=+1\nsize=1\nname=a\n", false},
        {"a negative size", "kind=0\nsize=-1\nname=a\n", false},
        {"a size past 64 bits", "kind=0\nsize=9223372036854775808\nname=a\n", false},
        {"a size with more behind it", "kind=0\nsize=12 bytes\nname=a\n", false},
        {"a name leaving the folder", "kind=0\nsize=1\nname=..\\x\n", false},
        {"a name with a control character", "kind=0\nsize=1\nname=a\x1b[2J\n", false},
        {"a line without a key", "kind=0\nsize=1\nname=a\njunk\n", false},
        {"too long", "kind=0\nsize=1\nname=a\n" + std::string(2000, '\n'), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseImageRecord(c.text, &read), c.sound) << c.what;
    }
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
