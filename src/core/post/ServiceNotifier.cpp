#include "post/ServiceNotifier.h"

#include <QtGlobal>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <cstddef>
#include <cstring>

namespace kelm {

NotifySocket::NotifySocket() {
    open(qEnvironmentVariable("NOTIFY_SOCKET"));
}

NotifySocket::NotifySocket(const QString& socketName) {
    open(socketName);
}

NotifySocket::~NotifySocket() {
    if (m_fd >= 0) ::close(m_fd);
}

void NotifySocket::open(const QString& socketName) {
    const QByteArray name = socketName.toLocal8Bit();
    sockaddr_un address{};
    // A name that does not fit, or no name at all, is no socket.
    if (name.isEmpty() || name.size() > static_cast<qsizetype>(sizeof(address.sun_path))) return;
    if (name.front() != '/' && name.front() != '@') return;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
    if (name.front() == '@') address.sun_path[0] = '\0';  // the abstract namespace
    const auto length = offsetof(sockaddr_un, sun_path) + static_cast<size_t>(name.size());
    m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) return;
    m_address = QByteArray(reinterpret_cast<const char*>(&address), static_cast<qsizetype>(length));
}

bool NotifySocket::notify(const QByteArray& message) {
    if (m_fd < 0 || message.isEmpty()) return false;
    const auto sent = ::sendto(m_fd, message.constData(), static_cast<size_t>(message.size()),
                               MSG_NOSIGNAL | MSG_DONTWAIT,
                               reinterpret_cast<const sockaddr*>(m_address.constData()),
                               static_cast<socklen_t>(m_address.size()));
    return sent == message.size();
}

}  // namespace kelm
