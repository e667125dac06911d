// A device that lies in its replies: every field of a reply is held against
// what was asked and what arrived, and a reply that does not fit fails the call
// and ends the link, as an unplugged cable does.
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

#include "scriptedpvr.h"
#include "support/pvrfixture.h"

namespace {

using Answer = CScriptedPvr::Answer;

constexpr std::uint32_t kAsked = 1000;
constexpr std::uint32_t kEntry = sizeof(StbFindData);
constexpr std::uint32_t kSpace = sizeof(StbDiskSpace);

// The library calls the table exercises.
enum class Call { BulkIn, BulkOut, FCntl, Descriptor, FindNext, AvfSize, AfterCancelledBulkIn };

// What the call returned: a count, or 1 / 0 for a bool.
int Run(Call call) {
    static char buffer[4 * kAsked];
    switch (call) {
        case Call::BulkIn:
            return TAVRIX_BulkIN(buffer, kAsked, 0);
        case Call::BulkOut:
            return TAVRIX_BulkOUT(buffer, kAsked, 1000);
        case Call::FCntl: {
            FileControlBlock fcb{};
            fcb.command = FCNTL_CLOSE;
            return TAVRIX_FCntl(&fcb) ? 1 : 0;
        }
        case Call::Descriptor: {
            DeviceDescriptor descriptor{};
            return TAVRIX_GetDeviceDescriptor(&descriptor) ? 1 : 0;
        }
        case Call::FindNext: {
            StbFindData entries[2];
            StbDiskSpace space{};
            return TAVRIX_FindNext(0, 2, &space, entries);
        }
        case Call::AvfSize: {
            TransferItem item{};
            item.kind = TRANSFER_KIND_FILE;
            item.direction = TRANSFER_DOWNLOAD;
            std::strcpy(item.pvrPath, "C:\\PVR\\AV\\a.AVF");
            std::int64_t size = 0;
            return TAVRIX_RequestAVFSize(&size, &item) && size == 4096 ? 1 : 0;
        }
        case Call::AfterCancelledBulkIn: {
            // A bulk-in that the device answers only once it is cancelled; its
            // reply is owed and skipped by the next call.
            std::atomic<bool> returned{false};
            std::thread canceller([&] {
                while (!returned.load()) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                    TAVRIX_BulkCancel();
                }
            });
            const int got = TAVRIX_BulkIN(buffer, kAsked, 0);
            returned = true;
            canceller.join();
            EXPECT_EQ(got, -1) << "the cancelled call";
            return Run(Call::FCntl);
        }
    }
    return 0;
}

bool Succeeds(Call call) {
    const int expected = call == Call::BulkIn || call == Call::BulkOut ? static_cast<int>(kAsked)
                         : call == Call::FindNext                      ? 2
                                                                       : 1;
    return Run(call) == expected;
}

// The failure the call reports; a lost device's listing is "busy".
bool Fails(Call call) {
    const int failure =
        call == Call::BulkIn || call == Call::BulkOut || call == Call::FindNext ? -1 : 0;
    return Run(call) == failure;
}

struct Lie {
    const char* name;
    wire::Code on;  // the request whose answer lies
    Call call;
    std::function<void(Answer&)> bend;
};

void Status(Answer& a, std::int32_t status) {
    a.header.status = status;
}
void Payload(Answer& a, std::string payload) {
    a.payload = std::move(payload);
    a.header.length = static_cast<std::uint32_t>(a.payload.size());
}
// A listing page: disk space, then count entries named after their place.
std::string Page(int count) {
    std::string page(kSpace, '\0');
    for (int i = 0; i < count; ++i) {
        StbFindData entry{};
        entry.name[0] = static_cast<char>('a' + i);
        page.append(reinterpret_cast<const char*>(&entry), sizeof entry);
    }
    return page;
}
void Held(Answer& a) {
    a.holdForAbort = true;
    Status(a, 0);
    Payload(a, "");
}

const Lie kLies[] = {
    // Bulk in: the count is the payload, and no more than was asked.
    {"bulk-in count above its payload", wire::Code::BulkIn, Call::BulkIn,
     [](Answer& a) { Payload(a, std::string(kAsked / 2, 'x')); }},
    {"bulk-in count above the bytes asked", wire::Code::BulkIn, Call::BulkIn,
     [](Answer& a) { Status(a, 5 * kAsked); }},
    {"bulk-in count below its payload", wire::Code::BulkIn, Call::BulkIn,
     [](Answer& a) { Status(a, kAsked / 2); }},
    {"bulk-in payload above the bytes asked", wire::Code::BulkIn, Call::BulkIn,
     [](Answer& a) {
         Status(a, 2 * kAsked);
         Payload(a, std::string(2 * kAsked, 'x'));
     }},
    {"bulk-in failure code that is none", wire::Code::BulkIn, Call::BulkIn,
     [](Answer& a) {
         Status(a, -7);
         Payload(a, "");
     }},
    // Bulk out: no more accepted than sent, and a bare status.
    {"bulk-out count above the bytes sent", wire::Code::BulkOut, Call::BulkOut,
     [](Answer& a) { Status(a, 5 * kAsked); }},
    {"bulk-out reply with a payload", wire::Code::BulkOut, Call::BulkOut,
     [](Answer& a) { Payload(a, "12345678"); }},
    // Every reply: it answers this request, of this protocol.
    {"wrong sequence", wire::Code::FCntl, Call::FCntl, [](Answer& a) { ++a.header.seq; }},
    {"wrong magic", wire::Code::FCntl, Call::FCntl, [](Answer& a) { a.header.magic ^= 1; }},
    {"wrong code", wire::Code::FCntl, Call::FCntl,
     [](Answer& a) { a.header.code = static_cast<std::uint16_t>(wire::Code::Flush); }},
    {"status that is no answer of the call", wire::Code::FCntl, Call::FCntl,
     [](Answer& a) { Status(a, 2); }},
    {"status reply with a payload", wire::Code::FCntl, Call::FCntl,
     [](Answer& a) { Payload(a, "1234"); }},
    {"control reply longer than its record", wire::Code::GetDescriptor, Call::Descriptor,
     [](Answer& a) { Payload(a, a.payload + std::string(48, 'j')); }},
    {"control reply beyond any limit", wire::Code::GetDescriptor, Call::Descriptor,
     [](Answer& a) { a.header.length = 0xFFFFFFF0u; }},
    // Records: exact sizes, texts that end within their fields.
    {"short descriptor", wire::Code::GetDescriptor, Call::Descriptor,
     [](Answer& a) { Payload(a, a.payload.substr(0, 40)); }},
    {"descriptor name without its end", wire::Code::GetDescriptor, Call::Descriptor,
     [](Answer& a) { std::memset(a.payload.data(), 'A', 20); }},
    {"short byte count", wire::Code::RequestAvfSize, Call::AvfSize,
     [](Answer& a) { Payload(a, a.payload.substr(0, 4)); }},
    {"negative byte count", wire::Code::RequestAvfSize, Call::AvfSize,
     [](Answer& a) {
         const std::int64_t size = -1;
         Payload(a, std::string(reinterpret_cast<const char*>(&size), sizeof size));
     }},
    // Listings: no more entries than room for them, as many as arrived.
    {"listing count above the capacity", wire::Code::FindNext, Call::FindNext,
     [](Answer& a) {
         Status(a, 3);
         Payload(a, Page(3));
     }},
    {"listing count above its payload", wire::Code::FindNext, Call::FindNext,
     [](Answer& a) { Payload(a, Page(1)); }},
    {"listing count below its payload", wire::Code::FindNext, Call::FindNext,
     [](Answer& a) { Status(a, 1); }},
    {"short disk space", wire::Code::FindNext, Call::FindNext,
     [](Answer& a) { Payload(a, a.payload.substr(kSpace / 2)); }},
    {"listing entry name without its end", wire::Code::FindNext, Call::FindNext,
     [](Answer& a) { std::memset(a.payload.data() + kSpace + kEntry, 'n', 124); }},
    // Replies owed by a cancelled call are checked as strictly.
    {"owed reply with the wrong sequence", wire::Code::BulkIn, Call::AfterCancelledBulkIn,
     [](Answer& a) {
         Held(a);
         ++a.header.seq;
     }},
    {"owed reply with the wrong code", wire::Code::BulkIn, Call::AfterCancelledBulkIn,
     [](Answer& a) {
         Held(a);
         a.header.code = static_cast<std::uint16_t>(wire::Code::FCntl);
     }},
    {"owed reply larger than its call asked", wire::Code::BulkIn, Call::AfterCancelledBulkIn,
     [](Answer& a) {
         Held(a);
         Status(a, 2 * kAsked);
         Payload(a, std::string(2 * kAsked, 'x'));
     }},
};

class RepliesTest : public PvrTest {
protected:
    void AttachTo(CScriptedPvr& pvr) {
        ASSERT_TRUE(pvr.Start());
        Attach();
    }
};

TEST_F(RepliesTest, HonestRepliesAreBelieved) {
    CScriptedPvr pvr(m_socket, nullptr);
    AttachTo(pvr);
    for (const Call call : {Call::BulkIn, Call::BulkOut, Call::FCntl, Call::Descriptor,
                            Call::FindNext, Call::AvfSize}) {
        EXPECT_TRUE(Succeeds(call)) << static_cast<int>(call);
    }
    EXPECT_TRUE(TAVRIX_DevicePresent());
}

TEST_F(RepliesTest, HonestOwedReplyIsSkipped) {
    CScriptedPvr pvr(m_socket, [](const wire::Header& request, const std::string&, Answer* a) {
        if (static_cast<wire::Code>(request.code) == wire::Code::BulkIn) {
            Held(*a);
        }
    });
    AttachTo(pvr);
    EXPECT_TRUE(Succeeds(Call::AfterCancelledBulkIn));
    EXPECT_TRUE(TAVRIX_DevicePresent());
}

TEST_F(RepliesTest, AReplyThatDoesNotFitFailsTheCallAndEndsTheLink) {
    for (const Lie& lie : kLies) {
        SCOPED_TRACE(lie.name);
        CScriptedPvr pvr(m_socket,
                         [&lie](const wire::Header& request, const std::string&, Answer* a) {
                             if (static_cast<wire::Code>(request.code) == lie.on) {
                                 lie.bend(*a);
                             }
                         });
        AttachTo(pvr);
        const int removals = m_window.Count(TAVRIX_WM_REMOVAL);
        EXPECT_TRUE(Fails(lie.call));
        EXPECT_FALSE(TAVRIX_DevicePresent()) << "the link counts as broken";
        EXPECT_TRUE(Fails(Call::FCntl)) << "and fails every further call";
        EXPECT_TRUE(pvr.WaitHostGone(3000)) << "the library hung up";
        EXPECT_TRUE(WaitForMessage(TAVRIX_WM_REMOVAL, removals + 1)) << "and reported the removal";
        TAVRIX_UninitDevice();
    }
}

// However slowly the bytes come, a call ends at its time-out.
TEST_F(RepliesTest, AReplyThatNeverEndsEndsAtTheTimeOut) {
    ::setenv("TAVRIX_PVR_TIMEOUT_MS", "300", 1);
    CScriptedPvr pvr(m_socket, [](const wire::Header& request, const std::string&, Answer* a) {
        if (static_cast<wire::Code>(request.code) == wire::Code::GetDescriptor) {
            a->trickleMs = 100;
        }
    });
    AttachTo(pvr);
    EXPECT_TRUE(Fails(Call::Descriptor));
    EXPECT_FALSE(TAVRIX_DevicePresent());
}

// The command line moves what the library says arrived; a count beyond its
// buffer once made it write memory that was never sent into the file.
TEST_F(RepliesTest, GetFailsOnABulkInCountThatWasNotSent) {
    const struct {
        const char* name;
        std::int32_t status;
        std::uint32_t sent;
    } lies[] = {
        {"count beyond the bytes asked", 1 << 20, 100},
        {"count beyond the command's buffer", 3 << 20, 100},
        {"count twice what was sent", 100, 50},
    };
    const std::string local = (m_dir / "a.bin").string();
    for (const auto& lie : lies) {
        SCOPED_TRACE(lie.name);
        CScriptedPvr pvr(m_socket,
                         [&lie](const wire::Header& request, const std::string&, Answer* a) {
                             if (static_cast<wire::Code>(request.code) == wire::Code::BulkIn) {
                                 Status(*a, lie.status);
                                 Payload(*a, std::string(lie.sent, 'x'));
                             }
                         });
        ASSERT_TRUE(pvr.Start());
        const std::string command = std::string("'") + TAVRIX_PVR_CLI + "' --socket '" + m_socket +
                                    "' get 'C:\\PVR\\AV\\a' '" + local + "' 2>/dev/null";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << "the command crashed";
        EXPECT_EQ(WEXITSTATUS(status), 1);
    }
}

}  // namespace
