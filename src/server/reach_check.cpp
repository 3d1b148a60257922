#include "reach_check.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace qv {

bool addressAnswers(const std::string& url, int milliseconds) {
    const std::string prefix = "http://";
    if (url.compare(0, prefix.size(), prefix) != 0) return false;
    const std::size_t colon = url.find(':', prefix.size());
    if (colon == std::string::npos) return false;
    const std::string host = url.substr(prefix.size(), colon - prefix.size());
    const long port = std::strtol(url.c_str() + colon + 1, nullptr, 10);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    if (port <= 0 || port > 65535 || inet_pton(AF_INET, host.c_str(), &to.sin_addr) != 1)
        return false;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS)
        return false;
    pollfd waiting{fd, POLLOUT, 0};
    if (poll(&waiting, 1, milliseconds) != 1) return false;
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return false;
    const std::string request = "GET / HTTP/1.1\r\nHost: " + host + "\r\nConnection: close\r\n\r\n";
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size()))
        return false;
    waiting = {fd, POLLIN, 0};
    if (poll(&waiting, 1, milliseconds) != 1) return false;
    char reply[16] = {};
    const ssize_t got = recv(fd, reply, sizeof reply - 1, 0);
    return got >= 12 && std::string(reply, 12) == "HTTP/1.1 200";
}

}  // namespace qv
