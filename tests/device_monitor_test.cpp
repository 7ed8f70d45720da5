// The device monitor against the virtual simulator. The library reaches the
// simulator through a link that the test creates and removes itself, so the
// port can vanish from the listing while the device still answers. The
// listings are observed as openings of the link's directory.
#include "sim_fixture.h"
#include "test_helpers.h"

#include "device/link.h"

#include <chrono>
#include <string>
#include <sys/inotify.h>
#include <poll.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using orvo::test::CallbackLog;
using orvo::test::Clock;
using orvo::test::FileExists;
using orvo::test::MillisecondsSince;
using orvo::test::SimulatedDevice;
using orvo::test::TempDir;

constexpr int CONNECT_WAIT_MS = 5000;

CallbackLog g_listener;
void OnConnection(bool connected)
{
    g_listener.Add(connected);
}

// Watches a directory for the port listing: the shell opens the directory to
// expand "<prefix>*" and closes it once it has read it.
class ListingWatch {
public:
    explicit ListingWatch(const std::string& directory) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        inotify_add_watch(fd_, directory.c_str(), IN_OPEN | IN_CLOSE_NOWRITE);
    }
    ~ListingWatch() { close(fd_); }

    // Waits until a listing has read the directory; false on time-out.
    bool WaitForListing(int timeoutMs)
    {
        const auto start = Clock::now();
        for (;;) {
            const long long left = timeoutMs - MillisecondsSince(start);
            if (left <= 0)
                return false;
            struct pollfd entry = {fd_, POLLIN, 0};
            if (poll(&entry, 1, static_cast<int>(left)) <= 0)
                continue;
            if (ReadEvents(IN_CLOSE_NOWRITE) > 0)
                return true;
        }
    }

    // Listings started from now on for durationMs.
    int CountListings(int durationMs)
    {
        ReadEvents(IN_OPEN);
        std::this_thread::sleep_for(std::chrono::milliseconds(durationMs));
        return ReadEvents(IN_OPEN);
    }

private:
    // Reads what is pending; returns how many events on the directory itself
    // carried mask.
    int ReadEvents(uint32_t mask)
    {
        alignas(struct inotify_event) char buffer[4096];
        int matching = 0;
        for (;;) {
            const ssize_t got = read(fd_, buffer, sizeof buffer);
            if (got <= 0)
                return matching;
            for (char* p = buffer; p < buffer + got;) {
                const auto* event = reinterpret_cast<const struct inotify_event*>(p);
                if ((event->mask & IN_ISDIR) != 0 && event->len == 0 && (event->mask & mask) != 0)
                    ++matching;
                p += sizeof(struct inotify_event) + event->len;
            }
        }
    }

    int fd_;
};

// A fast simulator, reached through the link "<dir>/ttyACM0" owned by the test.
class DeviceMonitorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_listener.Clear();
        device_ = std::make_unique<SimulatedDevice>(0, true);
        ORVOSetDevicePathFormat(linkDir_.file("ttyACM%d").c_str());
    }
    void TearDown() override
    {
        ORVOFree();
        device_.reset();
    }

    std::string Link() const { return linkDir_.file("ttyACM0"); }
    void CreateLink() { ASSERT_EQ(symlink(device_->sim().path().c_str(), Link().c_str()), 0); }
    void RemoveLink() { ASSERT_EQ(unlink(Link().c_str()), 0); }
    std::string LockFile() const { return device_->lockFile(0); }

    void ConnectThroughLink()
    {
        CreateLink();
        ASSERT_TRUE(ORVOInit(OnConnection));
        ASSERT_TRUE(g_listener.WaitForCount(1, CONNECT_WAIT_MS)) << "no connection reported";
        ASSERT_EQ(g_listener.Events(), std::vector<bool>{true});
    }

    TempDir linkDir_;
    std::unique_ptr<SimulatedDevice> device_;
};

TEST_F(DeviceMonitorTest, VanishedIdlePortIsClosedAndTheHostToldWithinAboutOneAndAHalfSeconds)
{
    ConnectThroughLink();
    ASSERT_TRUE(FileExists(LockFile()));
    const auto removed = Clock::now();

    RemoveLink();

    ASSERT_TRUE(g_listener.WaitForCount(2, 10000)) << "the vanished port was never noticed";
    const long long elapsed = MillisecondsSince(removed);
    // Three failed listings 500 ms apart, after at most the 1.2 s pause.
    EXPECT_GE(elapsed, 1400);
    EXPECT_LT(elapsed, 1200 + 1500 + 3000);
    EXPECT_EQ(g_listener.Events(), (std::vector<bool>{true, false}));
    EXPECT_FALSE(ORVOIsConnected());
    EXPECT_FALSE(FileExists(LockFile()));
    EXPECT_TRUE(device_->sim().plugged()) << "the device itself stayed; only its listing went";
}

TEST_F(DeviceMonitorTest, PortListedAgainWithinTheThreeAttemptsStaysOpen)
{
    ConnectThroughLink();
    ListingWatch watch(linkDir_.path());
    ASSERT_TRUE(watch.WaitForListing(5000)) << "the monitor does not list while connected";

    RemoveLink();
    ASSERT_TRUE(watch.WaitForListing(5000));  // this one misses the port
    CreateLink();
    ASSERT_TRUE(watch.WaitForListing(5000));  // this one finds it again
    ASSERT_TRUE(watch.WaitForListing(5000));

    EXPECT_EQ(g_listener.Events(), std::vector<bool>{true});
    EXPECT_TRUE(ORVOIsConnected());
    EXPECT_TRUE(FileExists(LockFile()));
    EXPECT_TRUE(DeviceIsAlive());
}

TEST_F(DeviceMonitorTest, PresenceCheckUnderWayWhenTheConnectionEndsLeavesALaterPortOpen)
{
    ConnectThroughLink();
    ListingWatch watch(linkDir_.path());
    ASSERT_TRUE(watch.WaitForListing(5000));
    RemoveLink();
    ASSERT_TRUE(watch.WaitForListing(5000));  // the first attempt misses the port

    // The connection ends while the monitor is between its attempts.
    ORVOFree();
    // Attempts that still follow would all miss; a port is opened after them.
    watch.WaitForListing(1500);
    watch.WaitForListing(1000);
    CreateLink();
    ASSERT_EQ(DoFindDevice(0), 1);

    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_TRUE(DeviceIsConnected()) << "the monitor closed a port on account of an earlier connection";
    EXPECT_TRUE(FileExists(LockFile()));
    DeviceClose();
}

TEST_F(DeviceMonitorTest, MonitorListsPortsOnlyWhileConnected)
{
    ListingWatch watch(linkDir_.path());
    EXPECT_EQ(watch.CountListings(1500), 0) << "listing after library load";

    // Searching, with no port to find.
    ASSERT_TRUE(ORVOInit(OnConnection));
    EXPECT_EQ(watch.CountListings(1500), 0) << "listing while searching";

    CreateLink();
    ASSERT_TRUE(g_listener.WaitForCount(1, CONNECT_WAIT_MS));
    EXPECT_GE(watch.CountListings(3000), 1) << "no listing while connected";

    ORVOFree();
    // A presence check under way when the port closed may still finish.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_EQ(watch.CountListings(1500), 0) << "listing after the connection ended";
}

}  // namespace
