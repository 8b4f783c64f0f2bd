#include "post/ServiceNotifier.h"
#include "recorder/ServiceHeartbeat.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstring>

using namespace kelm;

namespace {

// A service manager's end of the notification socket: bound to a path, or
// to an abstract name when it begins with '@'.
class ManagerSocket {
public:
    explicit ManagerSocket(const QString& name) {
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray bytes = name.toLocal8Bit();
        std::memcpy(address.sun_path, bytes.constData(), static_cast<size_t>(bytes.size()));
        if (bytes.front() == '@') address.sun_path[0] = '\0';
        m_bound = ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address),
                         static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) +
                                                static_cast<size_t>(bytes.size()))) == 0;
    }
    ~ManagerSocket() { ::close(m_fd); }
    bool bound() const { return m_bound; }
    // The datagrams waiting, one entry each.
    QList<QByteArray> received() {
        QList<QByteArray> datagrams;
        char buffer[4096];
        for (;;) {
            const auto n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n < 0) break;
            datagrams.append(QByteArray(buffer, n));
        }
        return datagrams;
    }

private:
    int m_fd = -1;
    bool m_bound = false;
};

}  // namespace

TEST(NotifySocket, ReachesAManagerOnAPathAndOnAnAbstractName) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notify"));
    ManagerSocket onPath(path);
    ASSERT_TRUE(onPath.bound());
    NotifySocket toPath(path);
    EXPECT_TRUE(toPath.isListening());
    EXPECT_TRUE(toPath.notify("READY=1"));
    EXPECT_TRUE(toPath.notify("STATUS=Felvétel: á"));
    EXPECT_EQ(onPath.received(), (QList<QByteArray>{"READY=1", "STATUS=Felvétel: á"}));

    const QString abstract = QStringLiteral("@kelm-notify-test-%1").arg(::getpid());
    ManagerSocket onAbstract(abstract);
    ASSERT_TRUE(onAbstract.bound());
    NotifySocket toAbstract(abstract);
    EXPECT_TRUE(toAbstract.notify("WATCHDOG=1"));
    EXPECT_EQ(onAbstract.received(), QList<QByteArray>{"WATCHDOG=1"});
}

TEST(NotifySocket, WithoutAManagerNothingIsSentAndNothingFails) {
    EXPECT_FALSE(NotifySocket(QString()).isListening());
    EXPECT_FALSE(NotifySocket(QString()).notify("READY=1"));
    // Neither a relative name nor one longer than a socket's name can be.
    EXPECT_FALSE(NotifySocket(QStringLiteral("notify")).isListening());
    EXPECT_FALSE(NotifySocket(QStringLiteral("/") + QString(200, u'x')).isListening());
    // A manager that went away: the send fails, it is not reported as sent.
    QTemporaryDir dir;
    NotifySocket gone(dir.filePath(QStringLiteral("nobody")));
    EXPECT_FALSE(gone.notify("READY=1"));
}

TEST(NotifySocket, AManagerThatDoesNotReadNeverHoldsKelm) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notify"));
    ManagerSocket deaf(path);
    ASSERT_TRUE(deaf.bound());
    NotifySocket socket(path);
    QElapsedTimer timer;
    timer.start();
    int sent = 0;
    for (int i = 0; i < 5000; ++i) sent += socket.notify(QByteArray(1000, 'x')) ? 1 : 0;
    // The socket's queue fills; later datagrams are lost, not waited for.
    EXPECT_LT(sent, 5000);
    EXPECT_LT(timer.elapsed(), 2000);
}

namespace {

ServiceView recording(const QString& file, qint64 bytes, qint64 elapsedMs = 0) {
    ServiceView view;
    view.statusText = QStringLiteral("Felvétel");
    view.recording = true;
    view.fileName = file;
    view.fileBytes = bytes;
    view.elapsedMs = elapsedMs;
    return view;
}

ServiceView idle(const QString& words = QStringLiteral("Encoder inaktív")) {
    ServiceView view;
    view.statusText = words;
    return view;
}

int pings(const QList<QByteArray>& messages) {
    return static_cast<int>(messages.count(QByteArrayLiteral("WATCHDOG=1")));
}

}  // namespace

TEST(ServiceHeartbeat, StatusIsSentWhenTheWordsChangeAtMostOnceASecond) {
    ServiceHeartbeat heartbeat;
    EXPECT_TRUE(heartbeat.tick(idle(), 0).contains("STATUS=Encoder inaktív"));
    EXPECT_FALSE(heartbeat.tick(idle(), 300).contains("STATUS=Encoder inaktív"));
    // A change within the second waits for it, then goes out.
    const ServiceView armed = idle(QStringLiteral("Nincs felvétel"));
    EXPECT_FALSE(heartbeat.tick(armed, 600).contains("STATUS=Nincs felvétel"));
    EXPECT_TRUE(heartbeat.tick(armed, 1000).contains("STATUS=Nincs felvétel"));
}

TEST(ServiceHeartbeat, AStatusNamesTheRecordingAndCountsItsHoursUnwrapped) {
    const QString file = QStringLiteral("teszttv-20261208-100000-010000-TV512.wmv");
    EXPECT_EQ(ServiceHeartbeat::statusLine(recording(file, 1, 3723'999)),
              QStringLiteral("Felvétel: ") + file + QStringLiteral(", 01:02:03"));
    EXPECT_EQ(ServiceHeartbeat::statusLine(recording(file, 1, 25 * 3600'000LL)),
              QStringLiteral("Felvétel: ") + file + QStringLiteral(", 25:00:00"));
    EXPECT_EQ(ServiceHeartbeat::statusLine(idle()), QStringLiteral("Encoder inaktív"));
}

TEST(ServiceHeartbeat, AnIdleRecorderIsSoundWhileItsTickRuns) {
    ServiceHeartbeat heartbeat;
    int total = 0;
    for (qint64 t = 0; t < 10'000; t += 300) total += pings(heartbeat.tick(idle(), t));
    // One ping a second, not one a tick.
    EXPECT_GE(total, 9);
    EXPECT_LE(total, 10);
}

TEST(ServiceHeartbeat, ARecordingIsSoundOnlyWhileItsFileGrows) {
    ServiceHeartbeat heartbeat;
    const QString file = QStringLiteral("a.wmv");
    EXPECT_EQ(pings(heartbeat.tick(recording(file, 0), 0)), 1);
    EXPECT_EQ(pings(heartbeat.tick(recording(file, 100'000), 1000)), 1);
    // The file stops growing: no ping, however long the tick runs.
    int stalled = 0;
    for (qint64 t = 1300; t < 60'000; t += 300)
        stalled += pings(heartbeat.tick(recording(file, 100'000), t));
    EXPECT_EQ(stalled, 0);
    // It grows again.
    EXPECT_EQ(pings(heartbeat.tick(recording(file, 100'001), 60'000)), 1);
}

TEST(ServiceHeartbeat, ANewFileIsJudgedByItsOwnSize) {
    ServiceHeartbeat heartbeat;
    heartbeat.tick(recording(QStringLiteral("first.wmv"), 5'000'000), 0);
    // After an outage the recording goes on in a new file, smaller than the last.
    EXPECT_EQ(pings(heartbeat.tick(recording(QStringLiteral("second.wmv"), 4096), 1000)), 1);
    EXPECT_EQ(pings(heartbeat.tick(recording(QStringLiteral("second.wmv"), 4096), 2000)), 0);
}

TEST(ServiceHeartbeat, AFinishedRecordingLeavesTheWatchdogFedAgain) {
    ServiceHeartbeat heartbeat;
    heartbeat.tick(recording(QStringLiteral("a.wmv"), 10), 0);
    EXPECT_EQ(pings(heartbeat.tick(recording(QStringLiteral("a.wmv"), 10), 1000)), 0);
    EXPECT_EQ(pings(heartbeat.tick(idle(), 2000)), 1);
}
