#include "class_server.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <microhttpd.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>

namespace qv {

namespace {

using Json = nlohmann::json;

// What one request has gathered between the handler's calls.
struct Request {
    std::string body;
    bool tooLarge = false;
    // A press that ends a run is answered once its record is on the disk: the
    // connection waits, suspended, for the reply.
    std::mutex lock;
    bool asked = false;
    bool suspended = false;
    std::optional<RoomReply> reply;
};

MHD_Result send(MHD_Connection* connection, unsigned status, const std::string& body,
                const char* type, const std::string* csp = nullptr) {
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    MHD_add_response_header(response, "X-Frame-Options", "DENY");
    if (csp) MHD_add_response_header(response, "Content-Security-Policy", csp->c_str());
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result sendJson(MHD_Connection* connection, const RoomReply& reply) {
    return send(connection, static_cast<unsigned>(reply.status), reply.json,
                "application/json; charset=utf-8");
}

MHD_Result refuse(MHD_Connection* connection, unsigned status, const char* text) {
    return sendJson(connection, {static_cast<int>(status), errorJson(text)});
}

// A field of a request's JSON object, or nothing when it is missing or of another type.
const Json* field(const Json& body, const char* name, Json::value_t type) {
    if (!body.is_object()) return nullptr;
    const auto it = body.find(name);
    if (it == body.end()) return nullptr;
    if (type == Json::value_t::number_integer) return it->is_number_integer() ? &*it : nullptr;
    return it->type() == type ? &*it : nullptr;
}

int small(const Json& number) {
    const auto value = number.get<std::int64_t>();
    return value < -1000000 || value > 1000000 ? -1 : static_cast<int>(value);
}

// The device a request comes from, as its IPv4 or IPv6 address.
std::string clientAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    if (!info || !info->client_addr) return {};
    char text[INET6_ADDRSTRLEN] = {};
    const sockaddr* address = info->client_addr;
    if (address->sa_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                  sizeof text);
    else if (address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                  sizeof text);
    return text;
}

MHD_Result post(ClassRoom& room, MHD_Connection* connection, const std::string& url,
                Request& request) {
    Json body = Json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object())
        return refuse(connection, MHD_HTTP_BAD_REQUEST, "Запрос не разобран.");
    if (url == "/api/start") {
        const Json* name = field(body, "name", Json::value_t::string);
        if (!name) return refuse(connection, MHD_HTTP_BAD_REQUEST, "Введите имя.");
        return sendJson(connection,
                        room.start(name->get<std::string>(), clientAddress(connection)));
    }
    const Json* token = field(body, "token", Json::value_t::string);
    if (!token) return refuse(connection, MHD_HTTP_BAD_REQUEST, "Запрос не разобран.");
    if (url == "/api/dismiss") return sendJson(connection, room.dismiss(token->get<std::string>()));
    const Json* question = field(body, "question", Json::value_t::number_integer);
    const Json* button = field(body, "button", Json::value_t::number_integer);
    if (!question || !button)
        return refuse(connection, MHD_HTTP_BAD_REQUEST, "Запрос не разобран.");
    request.asked = true;
    room.answer(token->get<std::string>(), small(*question), small(*button),
                [&request, connection](const RoomReply& reply) {
                    std::lock_guard lock(request.lock);
                    request.reply = reply;
                    if (request.suspended) MHD_resume_connection(connection);
                });
    std::lock_guard lock(request.lock);
    if (request.reply) return sendJson(connection, *request.reply);
    request.suspended = true;
    MHD_suspend_connection(connection);
    return MHD_YES;
}

bool isApiPost(const std::string& url) {
    return url == "/api/start" || url == "/api/answer" || url == "/api/dismiss";
}

MHD_Result handle(void* cls, MHD_Connection* connection, const char* urlText, const char* method,
                  const char*, const char* uploadData, std::size_t* uploadSize, void** state) {
    auto& server = *static_cast<ClassServer*>(cls);
    const std::string url = urlText ? urlText : "";
    const bool isPost = std::strcmp(method, MHD_HTTP_METHOD_POST) == 0;
    const bool isGet = std::strcmp(method, MHD_HTTP_METHOD_GET) == 0 ||
                       std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0;
    if (!*state) {
        // The first call, with the headers only: refused at once when the
        // body may not be read, so that it is never read.
        if (isPost && isApiPost(url)) {
            const char* length =
                MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Content-Length");
            if (length && std::strtoull(length, nullptr, 10) > ClassServer::kMaxBodyBytes)
                return refuse(connection, MHD_HTTP_CONTENT_TOO_LARGE, "Запрос слишком велик.");
            *state = new Request;
            return MHD_YES;
        }
        if (isGet && url == "/")
            return send(connection, MHD_HTTP_OK, server.page(), "text/html; charset=utf-8",
                        &server.csp());
        if (isGet && url == "/api/state") {
            const char* token =
                MHD_lookup_connection_value(connection, MHD_GET_ARGUMENT_KIND, "token");
            return sendJson(connection, server.room().state(token ? token : ""));
        }
        if (isGet || isPost) return refuse(connection, MHD_HTTP_NOT_FOUND, "Такой страницы нет.");
        return refuse(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "Такой запрос не принимается.");
    }
    auto& request = *static_cast<Request*>(*state);
    if (request.asked) {  // resumed: the record is on the disk
        std::lock_guard lock(request.lock);
        return request.reply ? sendJson(connection, *request.reply) : MHD_NO;
    }
    if (*uploadSize) {
        // A body sent in chunks, with no length given, is bounded all the same.
        if (request.body.size() + *uploadSize > ClassServer::kMaxBodyBytes)
            request.tooLarge = true;
        else
            request.body.append(uploadData, *uploadSize);
        *uploadSize = 0;
        return MHD_YES;
    }
    if (request.tooLarge)
        return refuse(connection, MHD_HTTP_CONTENT_TOO_LARGE, "Запрос слишком велик.");
    return post(server.room(), connection, url, request);
}

void completed(void*, MHD_Connection*, void** state, MHD_RequestTerminationCode) {
    delete static_cast<Request*>(*state);
    *state = nullptr;
}

}  // namespace

ClassServer::ClassServer(ClassRoom& room, std::string page, const ServeOptions& options)
    : room_(room), page_(std::move(page)), options_(options) {
    // The page's own meta names its script and style; the header says the same of the whole.
    const std::string marker = "http-equiv=\"Content-Security-Policy\" content=\"";
    const std::size_t at = page_.find(marker);
    if (at != std::string::npos) {
        const std::size_t from = at + marker.size();
        csp_ = page_.substr(from, page_.find('"', from) - from);
    }
}

ClassServer::~ClassServer() {
    stop();
}

std::string ClassServer::start() {
    // Each connection is a descriptor: a class and its troublemakers need more than the
    // usual soft limit of 1024.
    rlimit files{};
    if (getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = std::min<rlim_t>(files.rlim_max, options_.connectionLimit + 256u);
        setrlimit(RLIMIT_NOFILE, &files);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(options_.loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    for (const std::uint16_t port : {options_.port, std::uint16_t{0}}) {
        address.sin_port = htons(port);
        daemon_ = MHD_start_daemon(
            MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME, port,
            nullptr, nullptr, &handle, this, MHD_OPTION_SOCK_ADDR, &address,
            MHD_OPTION_THREAD_POOL_SIZE, static_cast<unsigned>(std::max(1u, options_.threads)),
            MHD_OPTION_CONNECTION_LIMIT, options_.connectionLimit,
            MHD_OPTION_PER_IP_CONNECTION_LIMIT, options_.perAddressLimit,
            MHD_OPTION_CONNECTION_TIMEOUT, options_.idleSeconds, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
            std::size_t{32 * 1024}, MHD_OPTION_NOTIFY_COMPLETED, &completed, nullptr,
            MHD_OPTION_END);
        if (daemon_ || port == 0) break;
    }
    if (!daemon_) return "Не удалось начать приём подключений: порт занят или сеть недоступна.";
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info ? info->port : options_.port;
    return {};
}

void ClassServer::stop() {
    if (!daemon_) return;
    // No new pupil comes in; every run that has ended is recorded and its
    // pupil answered before the connections close.
    const MHD_socket listening = MHD_quiesce_daemon(daemon_);
    room_.commitWaitingRecords();
    MHD_stop_daemon(daemon_);
    if (listening != MHD_INVALID_SOCKET) close(listening);
    daemon_ = nullptr;
}

std::vector<std::string> classAddresses(std::uint16_t port) {
    struct Found {
        int rank;
        std::string text;
    };
    std::vector<Found> found;
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) == 0) {
        for (const ifaddrs* a = all; a; a = a->ifa_next) {
            if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET) continue;
            if (!(a->ifa_flags & IFF_UP) || (a->ifa_flags & IFF_LOOPBACK)) continue;
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            const std::uint32_t ip = ntohl(in->sin_addr.s_addr);
            const bool local = (ip >> 24) == 10 || (ip >> 20) == 0xAC1 || (ip >> 16) == 0xC0A8;
            const std::string name = a->ifa_name ? a->ifa_name : "";
            const bool virtualBridge = name.rfind("docker", 0) == 0 || name.rfind("br-", 0) == 0 ||
                                       name.rfind("virbr", 0) == 0 || name.rfind("veth", 0) == 0;
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
            const int rank = (virtualBridge ? 4 : 0) + (local ? 0 : 2) +
                             ((ip >> 16) == 0xC0A8 || (ip >> 24) == 10 ? 0 : 1);
            found.push_back({rank, text});
        }
        freeifaddrs(all);
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const Found& a, const Found& b) { return a.rank < b.rank; });
    std::vector<std::string> addresses;
    const std::string suffix = ":" + std::to_string(port) + "/";
    for (const auto& f : found) addresses.push_back("http://" + f.text + suffix);
    if (addresses.empty()) addresses.push_back("http://127.0.0.1" + suffix);
    return addresses;
}

}  // namespace qv
