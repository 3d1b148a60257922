#include "pg_journal_store.h"

#include <libpq-fe.h>
#include <poll.h>
#include <sys/random.h>

#include <array>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <regex>

namespace qv {

namespace {

// Taken by setup while it changes the tables, so that two setups take turns.
constexpr long long kSetupLock = 7158001;

const char* const kSchemaSql = R"(
CREATE TABLE IF NOT EXISTS quorvane.runs (
    run_id uuid PRIMARY KEY,
    received_at timestamptz NOT NULL DEFAULT now(),
    taken_at text NOT NULL,
    taken_at_unix bigint NOT NULL,
    taker text NOT NULL,
    computer text NOT NULL,
    test_file text NOT NULL,
    test_title text NOT NULL,
    test_sha256 text NOT NULL,
    answers text NOT NULL,
    total integer NOT NULL,
    outcome smallint NOT NULL,
    score_range text NOT NULL,
    result_line text NOT NULL
);
CREATE INDEX IF NOT EXISTS runs_taken_at ON quorvane.runs (taken_at_unix);
CREATE INDEX IF NOT EXISTS runs_test ON quorvane.runs (test_sha256, test_file);
INSERT INTO quorvane.schema_version
    SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM quorvane.schema_version);
)";

const char* const kInsertSql =
    "INSERT INTO quorvane.runs (run_id, taken_at, taken_at_unix, taker, computer, test_file, "
    "test_title, test_sha256, answers, total, outcome, score_range, result_line) "
    "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13) "
    "ON CONFLICT DO NOTHING";

const char* const kSelectSql =
    "SELECT taken_at, taken_at_unix, taker, computer, test_file, test_title, test_sha256, "
    "answers, total, outcome, score_range, result_line FROM quorvane.runs "
    "ORDER BY taken_at_unix, run_id";

const std::string kQueued = " Записи ждут в очереди на этом компьютере.";

struct Result {
    PGresult* res;
    explicit Result(PGresult* r) : res(r) {}
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    ~Result() { PQclear(res); }
    bool ok() const {
        const auto status = PQresultStatus(res);
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    }
    std::string state() const {
        const char* s = PQresultErrorField(res, PG_DIAG_SQLSTATE);
        return s ? s : "";
    }
    std::string text(int row, int column) const {
        return std::string(PQgetvalue(res, row, column),
                           static_cast<std::size_t>(PQgetlength(res, row, column)));
    }
};

// The first line of a libpq message, without its trailing line break.
std::string firstLine(const char* message) {
    std::string text = message ? message : "";
    if (const auto end = text.find('\n'); end != std::string::npos) text.resize(end);
    return text;
}

// A text PostgreSQL takes: valid UTF-8 with no zero bytes; anything else
// becomes U+FFFD, so that one odd file name never holds up the queue.
std::string validUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80         ? 1
                             : (c >> 5) == 6  ? 2
                             : (c >> 4) == 14 ? 3
                             : (c >> 3) == 30 ? 4
                                              : 0;
        bool valid = c != 0 && length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (valid && length == 2) valid = c >= 0xC2;
        if (valid && length == 3) {
            const auto d = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);
        }
        if (valid && length == 4) {
            const auto d = static_cast<unsigned char>(text[i + 1]);
            valid = c <= 0xF4 && !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
        }
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

// The user named by the address, for messages.
std::string addressField(const std::string& target, const char* field) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(target.c_str(), &error);
    PQfreemem(error);
    std::string value;
    for (auto* o = options; o && o->keyword; ++o) {
        if (std::string(o->keyword) == field && o->val) value = o->val;
    }
    PQconninfoFree(options);
    return value;
}

// What a failed connection means to the person, from the SQLSTATE the
// server sent (libpq reports it in verbose messages) or libpq's own state.
std::string connectionProblem(PGconn* conn, const std::string& target) {
    const std::string message = PQerrorMessage(conn);
    static const std::regex code("  ([0-9A-Z]{5}):  ?");
    std::smatch found;
    const std::string state = std::regex_search(message, found, code) ? found[1].str() : "";
    const std::string user = PQuser(conn) ? PQuser(conn) : addressField(target, "user");
    const std::string database = PQdb(conn) ? PQdb(conn) : addressField(target, "dbname");
    std::string host = PQhost(conn) ? PQhost(conn) : "";
    if (PQport(conn) && *PQport(conn)) host += std::string(":") + PQport(conn);
    if (state == "28P01")
        return "Сервер результатов не принял пароль пользователя «" + user +
               "»: проверьте его строку в файле ~/.pgpass (или в файле PGPASSFILE).";
    if (PQconnectionNeedsPassword(conn))
        return "Сервер результатов требует пароль пользователя «" + user +
               "», а в файле ~/.pgpass (или в файле PGPASSFILE) его нет.";
    if (state == "28000")
        return "Сервер результатов не допускает пользователя «" + user + "» с этого компьютера (" +
               firstLine(message.c_str()) + ").";
    if (state == "3D000") return "На сервере результатов нет базы данных «" + database + "».";
    if (state == "57P03" || state == "53300")
        return "Сервер результатов «" + host + "» сейчас не принимает соединений (" +
               firstLine(message.c_str()) + ").";
    return "Сервер результатов «" + host + "» недоступен (" + firstLine(message.c_str()) + ").";
}

// What a failed statement means to the person.
std::string statementProblem(const Result& r, const std::string& user) {
    const std::string state = r.state();
    if (state == "42P01" || state == "3F000")
        return "На сервере результатов нет таблиц журнала: их создаёт администратор командой "
               "quorvane --journal-setup.";
    if (state == "42501")
        return "У пользователя «" + user + "» нет прав на это на сервере результатов (" +
               firstLine(PQresultErrorMessage(r.res)) + ").";
    return "Сервер результатов ответил ошибкой: " + firstLine(PQresultErrorMessage(r.res)) + ".";
}

std::string newerProblem() {
    return "Таблицы журнала на сервере результатов созданы более новой версией программы: "
           "обновите программу.";
}

}  // namespace

std::string serverAddressProblem(const std::string& target) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(target.c_str(), &error);
    std::string problem;
    if (!options) {
        problem = "Адрес сервера результатов не понят: " + firstLine(error) + ".";
    } else {
        for (auto* o = options; o->keyword; ++o) {
            if (std::string(o->keyword) == "password" && o->val && *o->val)
                problem =
                    "Пароль не пишут в адресе сервера результатов: его берут из файла ~/.pgpass "
                    "(или из файла PGPASSFILE).";
        }
    }
    PQfreemem(error);
    PQconninfoFree(options);
    return problem;
}

ServerAddress serverAddressFields(const std::string& target) {
    ServerAddress a;
    a.host = addressField(target, "host");
    a.port = addressField(target, "port");
    a.database = addressField(target, "dbname");
    a.user = addressField(target, "user");
    a.sslMode = addressField(target, "sslmode");
    return a;
}

std::string serverAddressText(const ServerAddress& a) {
    const auto encoded = [](const std::string& text) {
        static const char* const kDigits = "0123456789ABCDEF";
        std::string out;
        for (char c : text) {
            const auto u = static_cast<unsigned char>(c);
            if (std::isalnum(u) && u < 128) {
                out += c;
            } else if (c == '-' || c == '.' || c == '_' || c == '~') {
                out += c;
            } else {
                out += '%';
                out += kDigits[u >> 4];
                out += kDigits[u & 15];
            }
        }
        return out;
    };
    std::string text = "postgresql://";
    if (!a.user.empty()) text += encoded(a.user) + "@";
    // An IPv6 address stands in brackets, its colons as they are.
    text += a.host.find(':') != std::string::npos ? "[" + a.host + "]" : encoded(a.host);
    if (!a.port.empty()) text += ":" + encoded(a.port);
    text += "/" + encoded(a.database);
    if (!a.sslMode.empty()) text += "?sslmode=" + encoded(a.sslMode);
    return text;
}

std::string newRunId() {
    std::array<unsigned char, 16> bytes{};
    if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        // No system randomness: a generator seeded from the clock and the device.
        std::random_device device;
        std::mt19937_64 generator(device() ^
                                  static_cast<std::uint64_t>(
                                      std::chrono::steady_clock::now().time_since_epoch().count()));
        for (auto& b : bytes) b = static_cast<unsigned char>(generator());
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // the RFC 4122 variant
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 15];
    }
    return text;
}

ServerJournal::ServerJournal(std::string target, int timeoutSeconds)
    : target_(std::move(target)), timeoutSeconds_(timeoutSeconds) {}

ServerJournal::~ServerJournal() {
    PQfinish(conn_);
}

std::string ServerJournal::databaseName() const {
    return conn_ && PQdb(conn_) ? PQdb(conn_) : addressField(target_, "dbname");
}

// Connects without blocking past the time allowed, with verbose messages so
// that the server's SQLSTATE tells a refused password from a missing database.
std::string ServerJournal::connect() {
    if (conn_ && PQstatus(conn_) == CONNECTION_OK) return {};
    PQfinish(conn_);
    conn_ = nullptr;
    if (std::string problem = serverAddressProblem(target_); !problem.empty()) return problem;
    const std::string timeout = std::to_string(timeoutSeconds_);
    const char* keys[] = {"dbname", "connect_timeout", "application_name", "client_encoding",
                          nullptr};
    const char* values[] = {target_.c_str(), timeout.c_str(), "quorvane", "UTF8", nullptr};
    conn_ = PQconnectStartParams(keys, values, 1);
    if (!conn_) return "Не хватило памяти для соединения с сервером результатов.";
    PQsetErrorVerbosity(conn_, PQERRORS_VERBOSE);
    // The server's notices ("already exists, skipping") are nobody's business.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds_);
    PostgresPollingStatusType polling = PGRES_POLLING_WRITING;
    bool timedOut = false;
    while (PQstatus(conn_) != CONNECTION_BAD && polling != PGRES_POLLING_OK &&
           polling != PGRES_POLLING_FAILED) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd fd{PQsocket(conn_),
                  static_cast<short>(polling == PGRES_POLLING_READING ? POLLIN : POLLOUT), 0};
        if (left <= 0 || fd.fd < 0 || ::poll(&fd, 1, static_cast<int>(left)) == 0) {
            timedOut = fd.fd >= 0;
            break;
        }
        polling = PQconnectPoll(conn_);
    }
    if (PQstatus(conn_) == CONNECTION_OK) return {};
    std::string problem = timedOut ? "Сервер результатов «" + addressField(target_, "host") +
                                         "» не ответил за " + timeout + " с."
                                   : connectionProblem(conn_, target_);
    PQfinish(conn_);
    conn_ = nullptr;
    return problem;
}

std::string ServerJournal::checkVersion() {
    const Result r(PQexec(conn_, "SELECT max(version) FROM quorvane.schema_version"));
    if (!r.ok()) return statementProblem(r, PQuser(conn_));
    if (PQgetisnull(r.res, 0, 0))
        return "На сервере результатов нет таблиц журнала: их создаёт администратор командой "
               "quorvane --journal-setup.";
    if (std::stoi(r.text(0, 0)) > kServerJournalVersion) return newerProblem();
    return {};
}

std::string ServerJournal::setup() {
    if (std::string problem = connect(); !problem.empty()) return problem;
    const auto run = [this](const char* sql) {
        const Result r(PQexec(conn_, sql));
        return r.ok() ? std::string() : statementProblem(r, PQuser(conn_));
    };
    std::string problem = run("BEGIN");
    if (problem.empty()) {
        const std::string lock = "SELECT pg_advisory_xact_lock(" + std::to_string(kSetupLock) + ")";
        problem = run(lock.c_str());
    }
    if (problem.empty())
        problem =
            run("CREATE SCHEMA IF NOT EXISTS quorvane; "
                "CREATE TABLE IF NOT EXISTS quorvane.schema_version (version integer NOT NULL)");
    if (problem.empty()) {
        const Result r(PQexec(conn_, "SELECT max(version) FROM quorvane.schema_version"));
        if (!r.ok())
            problem = statementProblem(r, PQuser(conn_));
        else if (!PQgetisnull(r.res, 0, 0) && std::stoi(r.text(0, 0)) > kServerJournalVersion)
            problem = newerProblem() + " Таблицы не изменены.";
    }
    if (problem.empty()) problem = run(kSchemaSql);
    if (problem.empty()) problem = run("COMMIT");
    if (!problem.empty()) PQclear(PQexec(conn_, "ROLLBACK"));
    return problem;
}

std::string ServerJournal::check(std::string* report) {
    if (std::string problem = connect(); !problem.empty()) return problem;
    if (std::string problem = checkVersion(); !problem.empty()) return problem;
    const Result r(PQexec(conn_, "SELECT count(*) FROM quorvane.runs"));
    if (report) {
        if (r.ok())
            *report = "Соединение установлено. Записей на сервере: " + r.text(0, 0) + ".";
        else if (r.state() == "42501")
            *report = "Соединение установлено. Пользователь «" + std::string(PQuser(conn_)) +
                      "» может только добавлять записи, но не читать их.";
        else
            return statementProblem(r, PQuser(conn_));
    }
    return {};
}

std::string ServerJournal::send(const std::vector<QueuedRecord>& records) {
    std::string problem = connect();
    // A connection the server dropped (it restarted) is made again once.
    for (int attempt = 1; problem.empty(); ++attempt) {
        problem = checkVersion();
        if (problem.empty()) {
            PQclear(PQexec(conn_, "BEGIN"));
            for (const QueuedRecord& q : records) {
                const JournalRecord& r = q.record;
                const std::string texts[] = {q.runId,
                                             validUtf8(r.takenAt),
                                             std::to_string(r.takenAtUnix),
                                             validUtf8(r.taker),
                                             validUtf8(r.computer),
                                             validUtf8(r.testFile),
                                             validUtf8(r.testTitle),
                                             validUtf8(r.testSha256),
                                             validUtf8(r.answers),
                                             std::to_string(r.total),
                                             std::to_string(static_cast<int>(r.outcome)),
                                             validUtf8(r.range),
                                             validUtf8(r.resultLine)};
                std::array<const char*, 13> values{};
                for (std::size_t i = 0; i < values.size(); ++i) values[i] = texts[i].c_str();
                const Result res(PQexecParams(conn_, kInsertSql, 13, nullptr, values.data(),
                                              nullptr, nullptr, 0));
                if (!res.ok()) {
                    problem = statementProblem(res, PQuser(conn_));
                    break;
                }
            }
            if (problem.empty()) {
                const Result res(PQexec(conn_, "COMMIT"));
                if (!res.ok()) problem = statementProblem(res, PQuser(conn_));
            }
        }
        if (problem.empty()) return {};
        if (PQstatus(conn_) == CONNECTION_OK) {
            PQclear(PQexec(conn_, "ROLLBACK"));
            break;
        }
        if (attempt == 2) break;
        problem = connect();
    }
    if (conn_ && PQstatus(conn_) != CONNECTION_OK) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
    return problem + kQueued;
}

std::string ServerJournal::append(const JournalRecord& record) {
    return send({QueuedRecord{newRunId(), record}});
}

JournalContents ServerJournal::readAll() {
    JournalContents contents;
    std::string problem = connect();
    if (problem.empty()) problem = checkVersion();
    if (!problem.empty()) {
        contents.folderProblem = problem;
        return contents;
    }
    const Result r(PQexecParams(conn_, kSelectSql, 0, nullptr, nullptr, nullptr, nullptr, 0));
    if (!r.ok()) {
        contents.folderProblem = statementProblem(r, PQuser(conn_));
        return contents;
    }
    const int rows = PQntuples(r.res);
    contents.records.reserve(static_cast<std::size_t>(rows));
    for (int row = 0; row < rows; ++row) {
        JournalRecord rec;
        rec.takenAt = r.text(row, 0);
        rec.takenAtUnix = std::stoll(r.text(row, 1));
        rec.taker = r.text(row, 2);
        rec.computer = r.text(row, 3);
        rec.testFile = r.text(row, 4);
        rec.testTitle = r.text(row, 5);
        rec.testSha256 = r.text(row, 6);
        rec.answers = r.text(row, 7);
        rec.total = std::stoi(r.text(row, 8));
        rec.outcome = static_cast<RunOutcome>(std::stoi(r.text(row, 9)));
        rec.range = r.text(row, 10);
        rec.resultLine = r.text(row, 11);
        contents.records.push_back(std::move(rec));
    }
    return contents;
}

std::string serverRolesSql(const std::string& database) {
    // The database's name as an identifier, its quotes doubled.
    std::string name = "\"";
    for (char c : database) name += c == '"' ? std::string("\"\"") : std::string(1, c);
    name += '"';
    return "-- Компьютеры, на которых проходят тесты: только добавлять записи\n"
           "-- (не читать, не менять и не удалять их).\n"
           "CREATE ROLE quorvane_add LOGIN;\n"
           "GRANT CONNECT ON DATABASE " +
           name +
           " TO quorvane_add;\n"
           "GRANT USAGE ON SCHEMA quorvane TO quorvane_add;\n"
           "GRANT SELECT ON quorvane.schema_version TO quorvane_add;\n"
           "GRANT INSERT ON quorvane.runs TO quorvane_add;\n"
           "-- Учителя: читать записи.\n"
           "CREATE ROLE quorvane_read LOGIN;\n"
           "GRANT CONNECT ON DATABASE " +
           name +
           " TO quorvane_read;\n"
           "GRANT USAGE ON SCHEMA quorvane TO quorvane_read;\n"
           "GRANT SELECT ON quorvane.schema_version, quorvane.runs TO quorvane_read;\n"
           "-- Пароли задают в psql (\\password quorvane_add, \\password quorvane_read)\n"
           "-- и записывают на компьютерах в ~/.pgpass: сервер:порт:база:роль:пароль.\n";
}

}  // namespace qv
