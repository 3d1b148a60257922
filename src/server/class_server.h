// The class's test served over HTTP on the local network, with GNU
// libmicrohttpd: it limits connections in all and per address, closes idle
// ones and parses the requests, so that a faulty or hostile client cannot
// stop the others. Only these paths answer:
//
//   GET  /                     the page (questions come from the server)
//   POST /api/start            {"name": text}          → the run, with its token
//   POST /api/answer           {"token", "question", "button"} → the run
//   POST /api/dismiss          {"token"}               → the run, its box closed
//   GET  /api/state?token=...  the run, for a page opened again
//
// Nothing of the file system is reachable; bodies over kMaxBodyBytes are refused.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "class_room.h"

struct MHD_Daemon;

namespace qv {

struct ServeOptions {
    std::uint16_t port = 0;     // 0: any free port
    bool loopbackOnly = false;  // 127.0.0.1 only, not the local network
    unsigned connectionLimit = 4000;
    unsigned perAddressLimit = 64;  // a phone opens a handful
    unsigned idleSeconds = 30;
    unsigned threads = 2;  // the machine a teacher has
};

class ClassServer {
  public:
    // Serves `page` (a whole HTML document) and the room's runs.
    ClassServer(ClassRoom& room, std::string page, const ServeOptions& options);
    ~ClassServer();
    ClassServer(const ClassServer&) = delete;
    ClassServer& operator=(const ClassServer&) = delete;

    // Starts serving; returns what went wrong, or an empty text. When the port
    // asked for is taken, any free one is used.
    std::string start();
    // Stops, once the requests being answered have been answered.
    void stop();
    std::uint16_t port() const { return port_; }

    static constexpr std::size_t kMaxBodyBytes = 4096;

    // Internal: the request handler's view of the server.
    ClassRoom& room() { return room_; }
    const std::string& page() const { return page_; }
    const std::string& csp() const { return csp_; }

  private:
    ClassRoom& room_;
    std::string page_;
    std::string csp_;
    ServeOptions options_;
    MHD_Daemon* daemon_ = nullptr;
    std::uint16_t port_ = 0;
};

// The addresses pupils may open, "http://ADDRESS:PORT/", the likeliest first:
// private IPv4 networks of interfaces that are up, those of virtual bridges
// last; the loopback address when there is none.
std::vector<std::string> classAddresses(std::uint16_t port);

}  // namespace qv
