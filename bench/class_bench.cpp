// A class's server under load, from simulated pupils on this computer: each
// pupil has a connection of its own from an address of its own in
// 127.0.0.0/8 (as phones on a school network do), starts a run, answers
// every question, and is timed per answer. A bounded number of threads
// drives them in turn; optional troublemakers keep idle sockets open and
// send junk at the same time.
//
//   class_bench PORT PUPILS QUESTIONS THREADS [--idle N] [--junk]
//
// Prints the answers' median and 99th percentile, and the tokens' count.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int connectFrom(std::uint32_t source, int port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(source);
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
        close(fd);
        return -1;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// One request on a kept-alive connection; the body of the reply, or "" when it failed.
std::string exchange(int fd, const std::string& method, const std::string& path,
                     const std::string& body) {
    std::string request = method + " " + path + " HTTP/1.1\r\nHost: bench\r\n";
    if (!body.empty()) request += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    request += "\r\n" + body;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(request.size()))
        return {};
    std::string reply;
    char buffer[8192];
    std::size_t need = std::string::npos;
    while (need == std::string::npos || reply.size() < need) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        reply.append(buffer, static_cast<std::size_t>(n));
        const std::size_t headEnd = reply.find("\r\n\r\n");
        if (need == std::string::npos && headEnd != std::string::npos) {
            const std::size_t at = reply.find("Content-Length: ");
            need = headEnd + 4 + std::strtoul(reply.c_str() + at + 16, nullptr, 10);
        }
    }
    if (reply.compare(0, 12, "HTTP/1.1 200") != 0) return {};
    return reply.substr(reply.find("\r\n\r\n") + 4);
}

struct Pupil {
    int fd = -1;
    std::string token;
    int question = 1;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "class_bench PORT PUPILS QUESTIONS THREADS [--idle N] [--junk]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const int pupils = std::atoi(argv[2]);
    const int questions = std::atoi(argv[3]);
    const int threads = std::atoi(argv[4]);
    int idle = 0;
    bool junk = false;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--idle") == 0 && i + 1 < argc) idle = std::atoi(argv[++i]);
        if (std::strcmp(argv[i], "--junk") == 0) junk = true;
    }
    // Idle sockets, each from an address of its own, never sending a byte.
    std::vector<int> idleSockets;
    for (int i = 0; i < idle; ++i)
        idleSockets.push_back(connectFrom(0x7F030000u + static_cast<std::uint32_t>(i + 1), port));
    std::atomic<bool> done{false};
    std::atomic<long> junkSent{0};
    std::vector<std::thread> troublemakers;
    troublemakers.reserve(2);
    if (junk) {
        // 1 MB bodies, and a stream of malformed requests, from two addresses.
        troublemakers.emplace_back([&] {
            const std::string head =
                "POST /api/answer HTTP/1.1\r\nHost: x\r\nContent-Length: 1048576\r\n\r\n";
            const std::string mb(1 << 20, 'x');
            while (!done) {
                const int fd = connectFrom(0x7F040001u, port);
                if (fd < 0) continue;
                send(fd, head.data(), head.size(), MSG_NOSIGNAL);
                send(fd, mb.data(), mb.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
                close(fd);
                ++junkSent;
            }
        });
        troublemakers.emplace_back([&] {
            while (!done) {
                const int fd = connectFrom(0x7F050001u, port);
                if (fd < 0) continue;
                exchange(fd, "POST", "/api/answer", "{not json");
                close(fd);
                ++junkSent;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
    }
    std::vector<Pupil> all(static_cast<std::size_t>(pupils));
    std::vector<std::vector<double>> times(static_cast<std::size_t>(threads));
    // The last answers wait for their records to be committed.
    std::vector<std::vector<double>> lastTimes(static_cast<std::size_t>(threads));
    std::vector<std::vector<double>> otherTimes(static_cast<std::size_t>(threads));
    std::atomic<int> failures{0};
    const auto began = Clock::now();
    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(threads));
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            std::vector<Pupil*> mine;
            for (int i = t; i < pupils; i += threads) {
                Pupil& p = all[static_cast<std::size_t>(i)];
                p.fd = connectFrom(0x7F010000u + static_cast<std::uint32_t>(i + 1), port);
                const std::string reply =
                    exchange(p.fd, "POST", "/api/start",
                             "{\"name\":\"Ученик " + std::to_string(i + 1) + "\"}");
                const std::size_t at = reply.find("\"token\":\"");
                if (at == std::string::npos) {
                    ++failures;
                    continue;
                }
                p.token = reply.substr(at + 9, 32);
                mine.push_back(&p);
            }
            // Every pupil of this thread answers in turn, question by question.
            for (int q = 1; q <= questions; ++q) {
                for (Pupil* p : mine) {
                    const std::string body = "{\"token\":\"" + p->token +
                                             "\",\"question\":" + std::to_string(q) +
                                             ",\"button\":" + std::to_string(1 + (q % 2)) + "}";
                    const auto start = Clock::now();
                    const std::string reply = exchange(p->fd, "POST", "/api/answer", body);
                    const double ms =
                        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                    times[static_cast<std::size_t>(t)].push_back(ms);
                    (q == questions ? lastTimes : otherTimes)[static_cast<std::size_t>(t)]
                        .push_back(ms);
                    if (reply.empty()) ++failures;
                }
            }
            for (Pupil* p : mine) close(p->fd);
        });
    }
    for (auto& w : workers) w.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    done = true;
    for (auto& t : troublemakers) t.join();
    for (const int fd : idleSockets)
        if (fd >= 0) close(fd);
    std::vector<double> everything;
    for (const auto& v : times) everything.insert(everything.end(), v.begin(), v.end());
    std::sort(everything.begin(), everything.end());
    std::vector<double> last;
    for (const auto& v : lastTimes) last.insert(last.end(), v.begin(), v.end());
    std::sort(last.begin(), last.end());
    std::vector<double> other;
    for (const auto& v : otherTimes) other.insert(other.end(), v.begin(), v.end());
    std::sort(other.begin(), other.end());
    std::set<std::string> tokens;
    for (const auto& p : all)
        if (!p.token.empty()) tokens.insert(p.token);
    const auto at = [&](double share) {
        return everything.empty() ? 0.0
                                  : everything[static_cast<std::size_t>(
                                        share * static_cast<double>(everything.size() - 1))];
    };
    std::printf("pupils started: %zu of %d (distinct tokens)\n", tokens.size(), pupils);
    std::printf("answers: %zu in %.1f s, failed %d\n", everything.size(), seconds, failures.load());
    std::printf("per answer: median %.2f ms, 99th percentile %.2f ms, max %.2f ms\n", at(0.5),
                at(0.99), everything.empty() ? 0.0 : everything.back());
    const auto report = [](const char* what, const std::vector<double>& v) {
        if (v.empty()) return;
        std::printf("%s: median %.2f ms, 99th percentile %.2f ms\n", what, v[v.size() / 2],
                    v[static_cast<std::size_t>(0.99 * static_cast<double>(v.size() - 1))]);
    };
    report("answers but the last", other);
    report("last answers (each waits for its record)", last);
    if (idle) std::printf("idle sockets held: %d\n", idle);
    if (junk) std::printf("junk requests sent meanwhile: %ld\n", junkSent.load());
    return failures ? 1 : 0;
}
