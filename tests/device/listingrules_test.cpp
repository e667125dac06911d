#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "core/names.h"
#include "device/listingrules.h"
#include "platform/trace.h"

namespace {

constexpr const char* kStamp = "A1B2C3D4E5F6";
constexpr std::int64_t kGiB = std::int64_t{1} << 30;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

struct Entry {
    std::string name;
    int kind = STB_ENTRY_FILE;
    std::int64_t size = 0;
    bool operator==(const Entry&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Entry& e) {
    return os << "{\"" << e.name << "\", kind " << e.kind << ", " << e.size << "}";
}

Entry File(std::string name, std::int64_t size) {
    return {std::move(name), STB_ENTRY_FILE, size};
}
Entry Folder(std::string name) {
    return {std::move(name), STB_ENTRY_FOLDER, 0};
}

std::string Rec(const char* title, const char* part, const char* ext, const char* stamp = kStamp) {
    return std::string(title) + "_#" + part + "_" + stamp + "." + ext;
}

std::vector<StbFindData> MakeListing(const std::vector<Entry>& entries) {
    std::vector<StbFindData> listing(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        StbFindData& e = listing[i];
        std::memset(&e, 0, sizeof e);
        std::strncpy(e.name, entries[i].name.c_str(), sizeof e.name - 1);
        e.kind = entries[i].kind;
        e.year = 2009;
        e.month = 3;
        e.day = 14;
        e.hour = 21;
        e.size = entries[i].size;
    }
    return listing;
}

// What the panes would show: entries with a name and a known kind, in order.
std::vector<Entry> Shown(const std::vector<StbFindData>& listing) {
    std::vector<Entry> shown;
    for (const StbFindData& e : listing) {
        if (e.name[0] != '\0' && (e.kind == STB_ENTRY_FILE || e.kind == STB_ENTRY_FOLDER)) {
            shown.push_back({std::string(FieldText(e.name)), e.kind, e.size});
        }
    }
    return shown;
}

bool AllZero(const StbFindData& e) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&e);
    for (std::size_t i = 0; i < sizeof e; ++i) {
        if (bytes[i] != 0) {
            return false;
        }
    }
    return true;
}

class NamingTrace : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SetTraceSink([this](std::string_view s) { m_trace.append(s); });
    }
    void TearDown() override { platform::SetTraceSink(nullptr); }

    // The messages of the located lines, each checked to come from this module.
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        std::size_t pos = 0;
        while (pos < m_trace.size()) {
            std::size_t end = m_trace.find("\r\n", pos);
            if (end == std::string::npos) {
                ADD_FAILURE() << "unterminated trace line: " << m_trace.substr(pos);
                break;
            }
            const std::string line = m_trace.substr(pos, end - pos);
            const std::size_t colon = line.find(" : ");
            EXPECT_EQ(line.rfind("listingrules.cpp, ", 0), 0u) << line;
            EXPECT_NE(colon, std::string::npos) << line;
            messages.push_back(colon == std::string::npos ? line : line.substr(colon + 3));
            pos = end + 2;
        }
        return messages;
    }

    std::string m_trace;
};

struct RulesCase {
    const char* label;
    std::vector<Entry> listing;
    std::vector<Entry> shown;
    std::vector<std::string> trace;
    std::vector<int> zeroed;  // entries that must be wiped whole, not just hidden
};

}  // namespace

TEST_F(NamingTrace, RecordingRules) {
    const RulesCase cases[] = {
        {"parts, then the companion",
         {File(Rec("News", "001", "AVR"), 10), File(Rec("News", "002", "AVR"), 20),
          File(Rec("News", "003", "AVR"), 5), File(Rec("News", "001", "AVF"), 7)},
         {File("News_A1B2C3D4E5F6.AVR", 35)},
         {},
         {}},
        {"companion listed first keeps the part name",
         {File(Rec("News", "001", "AVF"), 7), File(Rec("News", "001", "AVR"), 10),
          File(Rec("News", "002", "AVR"), 20), File(Rec("News", "003", "AVR"), 5)},
         {File(Rec("News", "001", "AVR"), 35)},
         {},
         {}},
        {"later part listed before the first",
         {File(Rec("News", "002", "AVR"), 20), File(Rec("News", "001", "AVR"), 10),
          File(Rec("News", "001", "AVF"), 7)},
         {File("News_A1B2C3D4E5F6.AVR", 30)},
         {},
         {}},
        {"lone later part is dropped",
         {File(Rec("News", "002", "AVR"), 20), File("readme.txt", 3)},
         {File("readme.txt", 3)},
         {"Removed!!! News_#002_A1B2C3D4E5F6.AVR"},
         {0}},
        {"names match without regard to case",
         {File("news_#002_a1b2c3d4e5f6.avr", 20), File("News_#001_A1B2C3D4E5F6.avr", 10),
          File("NEWS_#001_A1B2C3D4E5F6.avf", 7)},
         {File("News_A1B2C3D4E5F6.AVR", 30)},
         {},
         {}},
        {"files that are not recording parts",
         {File("Movie.AVR", 100), File("Empty.AVR", 0), File(Rec("Empty", "001", "AVR"), 0),
          File(Rec("song", "002", "MP3"), 4), File("notes.txt", 1), File("Lone.AVF", 9),
          File("noext", 2), File("#.AVR", 6)},
         {File("Movie.AVR", 100), File(Rec("song", "002", "MP3"), 4), File("notes.txt", 1),
          File("noext", 2)},
         {"Removed!!! #.AVR"},
         {7}},
        {"first part without companion keeps its name and the sum",
         {File(Rec("T", "001", "AVR"), 10), File(Rec("T", "002", "AVR"), 1)},
         {File(Rec("T", "001", "AVR"), 11)},
         {},
         {}},
        {"folders are neither changed nor matched",
         {Folder(Rec("Old", "002", "AVR")), Folder("Clips.AVF"), Folder(Rec("News", "001", "AVR")),
          File(Rec("News", "002", "AVR"), 20), Folder(Rec("Keep", "001", "AVF")),
          File(Rec("Keep", "001", "AVR"), 4)},
         {Folder(Rec("Old", "002", "AVR")), Folder("Clips.AVF"), Folder(Rec("News", "001", "AVR")),
          Folder(Rec("Keep", "001", "AVF")), File(Rec("Keep", "001", "AVR"), 4)},
         {"Removed!!! News_#002_A1B2C3D4E5F6.AVR"},
         {3}},
        {"two recordings interleaved, sizes beyond 32 bits",
         {File(Rec("A", "001", "AVR"), 3 * kGiB), File(Rec("B", "001", "AVR", "000000000001"), 1),
          File(Rec("A", "002", "AVR"), 3 * kGiB), File(Rec("B", "002", "AVR", "000000000001"), 2),
          File(Rec("A", "001", "AVF"), 1), File(Rec("B", "001", "AVF", "000000000001"), 1)},
         {File("A_A1B2C3D4E5F6.AVR", 6 * kGiB), File("B_000000000001.AVR", 3)},
         {},
         {}},
        {"empty slots are skipped, sizes do not overflow",
         {File("", 5), File(Rec("T", "001", "AVR"), kMax - 1), File("", 0),
          File(Rec("T", "002", "AVR"), 5)},
         {File(Rec("T", "001", "AVR"), kMax)},
         {},
         {}},
    };
    for (const RulesCase& c : cases) {
        SCOPED_TRACE(c.label);
        m_trace.clear();
        std::vector<StbFindData> listing = MakeListing(c.listing);
        ApplyRecordingRules(static_cast<int>(listing.size()), listing.data());
        EXPECT_EQ(Shown(listing), c.shown);
        EXPECT_EQ(Messages(), c.trace);
        for (int i : c.zeroed) {
            EXPECT_TRUE(AllZero(listing[static_cast<std::size_t>(i)])) << "entry " << i;
        }
    }
}

TEST(RecordingRules, OnlyTheCountedEntriesAreTouched) {
    std::vector<StbFindData> listing =
        MakeListing({File(Rec("T", "001", "AVR"), 10), File(Rec("T", "001", "AVF"), 1),
                     File(Rec("T", "002", "AVR"), 5)});
    ApplyRecordingRules(2, listing.data());
    EXPECT_EQ(Shown(listing), (std::vector<Entry>{File("T_A1B2C3D4E5F6.AVR", 10),
                                                  File(Rec("T", "002", "AVR"), 5)}));
}

TEST_F(NamingTrace, ShowHiddenListsEveryPartButStillSanitises) {
    const std::vector<Entry> device = {
        File("C:\\PVR\\AV\\" + Rec("News", "001", "AVR"), 10),
        File("C:\\PVR\\AV\\" + Rec("News", "002", "AVR"), 20),
        File("C:\\PVR\\AV\\" + Rec("News", "001", "AVF"), 7),
        File("C:\\PVR\\AV\\Empty.AVR", 0),
        File("C:\\PVR\\AV\\..\\..\\evil.AVR", 1),
    };
    const std::vector<Entry> parts = {
        File(Rec("News", "001", "AVR"), 10),
        File(Rec("News", "002", "AVR"), 20),
        File(Rec("News", "001", "AVF"), 7),
        File("Empty.AVR", 0),
    };

    std::vector<StbFindData> hidden = MakeListing(device);
    PrepareListing("C:\\PVR\\AV\\", static_cast<int>(hidden.size()), hidden.data(), true);
    EXPECT_EQ(Shown(hidden), parts);

    std::vector<StbFindData> merged = MakeListing(device);
    PrepareListing("C:\\PVR\\AV\\", static_cast<int>(merged.size()), merged.data(), false);
    EXPECT_EQ(Shown(merged), (std::vector<Entry>{File("News_A1B2C3D4E5F6.AVR", 30)}));
}

TEST_F(NamingTrace, SanitizeListing) {
    struct Row {
        const char* folder;
        Entry entry;
        const char* expected;  // nullptr: the entry is wiped
    };
    const Row rows[] = {
        {"C:\\PVR\\AV\\", File("x.AVR", 1), "x.AVR"},
        {"C:\\PVR\\AV\\", File("C:\\PVR\\AV\\x.AVR", 1), "x.AVR"},
        {"C:\\PVR\\AV\\", File("c:\\pvr\\av\\x.AVR", 1), "x.AVR"},
        {"C:\\PVR", File("C:\\PVR\\x.AVR", 1), "x.AVR"},
        {"C:\\PVR", Folder("C:\\PVR\\AV"), "AV"},
        {"C:\\PVR\\AV\\", File("...", 1), "..."},
        {"C:\\PVR\\AV\\", File("", 1), ""},
        {"C:\\PVR\\AV\\", File("..", 1), nullptr},
        {"C:\\PVR\\AV\\", Folder("."), nullptr},
        {"C:\\PVR\\AV\\", Folder("C:\\PVR\\AV\\.."), nullptr},
        {"C:\\PVR\\AV\\", File("C:\\PVR\\AV\\", 1), nullptr},
        {"C:\\PVR\\AV\\", File("C:\\PVR\\AV\\sub\\x.AVR", 1), nullptr},
        {"C:\\PVR\\AV\\", File("C:\\PVR\\MP3\\x.MP3", 1), nullptr},
        {"C:\\PVR\\AV\\", File("..\\..\\x.AVR", 1), nullptr},
        {"C:\\PVR\\AV\\", File("../../.bashrc", 1), nullptr},
        {"C:\\PVR\\AV\\", File("a/b", 1), nullptr},
        {"C:\\PVR", File("C:\\PVRx\\a", 1), nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.folder) + " | " + r.entry.name);
        m_trace.clear();
        std::vector<StbFindData> listing = MakeListing({r.entry});
        const int removed = SanitizeListing(r.folder, 1, listing.data());
        if (r.expected == nullptr) {
            EXPECT_EQ(removed, 1);
            EXPECT_TRUE(AllZero(listing[0]));
            EXPECT_EQ(Messages(), std::vector<std::string>{"Ignored unsafe name " + r.entry.name});
        } else {
            EXPECT_EQ(removed, 0);
            EXPECT_STREQ(listing[0].name, r.expected);
            EXPECT_EQ(listing[0].kind, r.entry.kind);
            EXPECT_EQ(listing[0].size, r.entry.size);
            EXPECT_EQ(listing[0].year, 2009);
        }
    }
}

TEST(SanitizeListing, UnterminatedNameIsCutAtItsField) {
    std::vector<StbFindData> listing = MakeListing({File("", 42), File("y.AVR", 1)});
    std::memset(listing[0].name, 'a', sizeof listing[0].name);
    EXPECT_EQ(SanitizeListing("C:\\PVR\\AV\\", 2, listing.data()), 0);
    EXPECT_EQ(std::string(listing[0].name), std::string(sizeof listing[0].name - 1, 'a'));
    EXPECT_EQ(listing[0].size, 42);
    EXPECT_STREQ(listing[1].name, "y.AVR");
}
