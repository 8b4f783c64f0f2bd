#pragma once

#include <QByteArray>
#include <QString>

namespace kelm {

// The service manager that started KELM, told how KELM is doing: systemd's
// notify protocol, one datagram of "KEY=value" lines per message ("READY=1",
// "STATUS=...", "WATCHDOG=1", "STOPPING=1"). Called on the GUI thread; never
// waits.
class ServiceNotifier {
public:
    virtual ~ServiceNotifier() = default;
    // False when no manager listens or the message could not be sent.
    virtual bool notify(const QByteArray& message) = 0;
    // Whether a manager asked to be told at all.
    virtual bool isListening() const = 0;
};

// The notification socket the manager names in NOTIFY_SOCKET: a file-system
// path, or an abstract socket when it begins with '@'. Without one, or with
// one that cannot be reached, nothing is sent. Datagrams are sent without
// blocking: a manager that does not read them loses them, KELM goes on.
class NotifySocket final : public ServiceNotifier {
public:
    // Takes the socket from the environment (NOTIFY_SOCKET).
    NotifySocket();
    // Takes the given socket; empty: none.
    explicit NotifySocket(const QString& socketName);
    ~NotifySocket() override;
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    bool notify(const QByteArray& message) override;
    bool isListening() const override { return m_fd >= 0; }

private:
    void open(const QString& socketName);

    int m_fd = -1;
    QByteArray m_address;  // a sockaddr_un, as long as its name needs
};

}  // namespace kelm
