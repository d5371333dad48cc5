// SPDX-FileCopyrightText: 2026 KTR Control developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "forwarding/netplatform.h"

#include <QDeadlineTimer>
#include <QUrl>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#endif

namespace {
#ifdef Q_OS_WIN
using NativeSocket = SOCKET;
constexpr int kShutdownSend = SD_SEND;
int lastSocketError()
{
    return WSAGetLastError();
}
bool isRetry(int code)
{
    return code == WSAEWOULDBLOCK || code == WSAEINTR;
}
bool isReset(int code)
{
    return code == WSAECONNRESET || code == WSAECONNABORTED;
}
bool isNotConnected(int code)
{
    return code == WSAENOTCONN;
}
int pollOne(NativeSocket socket, int timeoutMs)
{
    WSAPOLLFD entry{socket, POLLRDNORM, 0};
    return WSAPoll(&entry, 1, timeoutMs);
}
#else
using NativeSocket = int;
constexpr int kShutdownSend = SHUT_WR;
int lastSocketError()
{
    return errno;
}
bool isRetry(int code)
{
    return code == EAGAIN || code == EWOULDBLOCK || code == EINTR;
}
bool isReset(int code)
{
    return code == ECONNRESET || code == EPIPE;
}
bool isNotConnected(int code)
{
    return code == ENOTCONN;
}
int pollOne(NativeSocket socket, int timeoutMs)
{
    pollfd entry{socket, POLLIN, 0};
    return ::poll(&entry, 1, timeoutMs);
}
#endif

// Shared by the waiting caller and the lookup thread; whichever lets go last frees it.
struct Lookup
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int status = 0;
    std::vector<sockaddr_storage> addresses;
};

// Runs on the detached thread: plain C calls and the shared state only, so
// it may outlive every object of the program.
void runLookup(const std::shared_ptr<Lookup> &lookup, const std::string &host)
{
#ifdef Q_OS_WIN
    WSADATA wsaData;
    const bool started = WSAStartup(MAKEWORD(2, 2), &wsaData) == 0;
#endif
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    const int status = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    std::vector<sockaddr_storage> addresses;
    for (const addrinfo *it = found; status == 0 && it; it = it->ai_next) {
        if (it->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        sockaddr_storage address{};
        std::memcpy(&address, it->ai_addr, it->ai_addrlen);
        addresses.push_back(address);
    }
    if (found)
        ::freeaddrinfo(found);
#ifdef Q_OS_WIN
    if (started)
        WSACleanup();
#endif
    const std::lock_guard<std::mutex> lock(lookup->mutex);
    lookup->status = status;
    lookup->addresses = std::move(addresses);
    lookup->done = true;
    lookup->finished.notify_all();
}

QString lookupErrorText(int status)
{
#ifdef Q_OS_WIN
    return qt_error_string(status);
#else
    return status == EAI_SYSTEM ? qt_error_string(errno) : QString::fromLocal8Bit(::gai_strerror(status));
#endif
}
} // namespace

QList<QHostAddress> NetPlatform::resolve(const QString &host, int timeoutMs, QString *error)
{
    const QHostAddress literal(host);
    if (!literal.isNull())
        return {literal};
    const QByteArray ace = QUrl::toAce(host);
    if (ace.isEmpty()) {
        *error = QStringLiteral("\"%1\" is not a host name").arg(host);
        return {};
    }

    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread(runLookup, lookup, ace.toStdString()).detach();
    } catch (const std::system_error &failure) {
        *error = QStringLiteral("Cannot start the lookup of %1: %2")
                     .arg(host, QString::fromLocal8Bit(failure.what()));
        return {};
    }

    std::unique_lock<std::mutex> lock(lookup->mutex);
    if (!lookup->finished.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [&] { return lookup->done; })) {
        *error = QStringLiteral("No answer for %1 within %2 ms").arg(host).arg(timeoutMs);
        return {};
    }
    if (lookup->status != 0) {
        *error = QStringLiteral("Host %1 not found: %2").arg(host, lookupErrorText(lookup->status));
        return {};
    }
    QList<QHostAddress> addresses;
    for (const sockaddr_storage &address : lookup->addresses)
        addresses.append(QHostAddress(reinterpret_cast<const sockaddr *>(&address)));
    if (addresses.isEmpty())
        *error = QStringLiteral("Host %1 has no address").arg(host);
    return addresses;
}

NetPlatform::PeerEnd NetPlatform::finishSending(qintptr socket, int timeoutMs, QString *error)
{
    const auto native = NativeSocket(socket);
    // After a reset the socket is no longer connected; the receive below says why.
    if (::shutdown(native, kShutdownSend) != 0 && !isNotConnected(lastSocketError())) {
        *error = qt_error_string(lastSocketError());
        return PeerEnd::Failed;
    }
    const QDeadlineTimer deadline(timeoutMs);
    char discarded[512];
    for (;;) {
        const int ready = pollOne(native, int(deadline.remainingTime()));
        if (ready == 0)
            return PeerEnd::TimedOut;
        if (ready < 0) {
            if (isRetry(lastSocketError()))
                continue;
            *error = qt_error_string(lastSocketError());
            return PeerEnd::Failed;
        }
        const auto received = ::recv(native, discarded, int(sizeof discarded), 0);
        if (received > 0)
            continue;
        if (received == 0) {
            // A reset that followed the peer's close still counts.
            int pending = 0;
            socklen_t length = sizeof pending;
            ::getsockopt(native, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&pending), &length);
            return isReset(pending) ? PeerEnd::Reset : PeerEnd::Closed;
        }
        const int code = lastSocketError();
        if (isRetry(code))
            continue;
        if (isReset(code))
            return PeerEnd::Reset;
        *error = qt_error_string(code);
        return PeerEnd::Failed;
    }
}
