// Figures for the journal on a PostgreSQL server, printed (not a timed test).
// Run against a server of its own:
//
//   bash tests/pg/with_server.sh build/bench/pg_journal_bench [PROCESSES RUNS]
//
//   class    PROCESSES computers (default 10) each recording RUNS runs (default
//            300) through its own local queue into one server, the server
//            killed and started again in the middle: rows on the server,
//            duplicates, and how long the queues take to drain after the restart
//   record   what recording adds to the end of a run, the record committed to
//            the local queue, with the server up and with it down
//   read     the window's reading of 100,000 records from the server
#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "journal_queue.h"
#include "pg_journal_store.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string address() {
    return "postgresql://postgres@" + env("QV_PG_HOST") + ":" + env("QV_PG_PORT") + "/postgres";
}

qv::JournalRecord sampleRecord(const std::string& taker) {
    qv::JournalRecord r;
    r.takenAtUnix = 1767225600;
    r.takenAt = "2026-01-01T03:00:00+03:00";
    r.taker = taker;
    r.computer = "class-07";
    r.testFile = "test.tst";
    r.testTitle = "Проверка";
    r.testSha256 = std::string(64, 'a');
    r.answers = std::string(40, '2');
    r.total = 40;
    r.range = "=30-40";
    r.resultLine = "Хорошо";
    return r;
}

// A count the server gives for `sql`, as its superuser.
long long count(const std::string& sql) {
    PGconn* conn = PQconnectdb(address().c_str());
    PGresult* r = PQexec(conn, sql.c_str());
    const long long n = PQresultStatus(r) == PGRES_TUPLES_OK ? std::atoll(PQgetvalue(r, 0, 0)) : -1;
    PQclear(r);
    PQfinish(conn);
    return n;
}

double percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * double(v.size())))];
}

// One computer: a run every few milliseconds, each record committed to the
// queue and the queue sent, as the program does behind the result window;
// then sent again every 200 ms until empty (the program's minute, shortened).
// Writes the add times (ms, negative while the last send failed) and the
// moment the queue emptied, in ms after `start`, to `out`.
void computer(int id, int runs, const fs::path& folder, Clock::time_point start, FILE* out) {
    qv::JournalQueue queue((folder / ("queue-" + std::to_string(id) + ".sqlite")).string());
    bool serverDown = false;
    for (int i = 0; i < runs; ++i) {
        const auto before = Clock::now();
        if (!queue.add(address(), sampleRecord(std::to_string(id) + "-" + std::to_string(i)))
                 .empty())
            std::fprintf(stderr, "a record was refused by the queue\n");
        const double ms = msSince(before);
        std::fprintf(out, "%.3f\n", serverDown ? -ms : ms);
        serverDown = !queue.drain(qv::kServerTimeoutSeconds).problem.empty();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    while (queue.drain(qv::kServerTimeoutSeconds).waiting > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::fprintf(out, "emptied %.1f\n", msSince(start));
}

}  // namespace

int main(int argc, char* argv[]) {
    if (env("QV_PG_PORT").empty()) {
        std::fprintf(stderr, "run through tests/pg/with_server.sh\n");
        return 2;
    }
    const int processes = argc > 2 ? std::atoi(argv[1]) : 10;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 300;
    const fs::path folder = fs::temp_directory_path() / ("qv-pg-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const std::string pgpass = (folder / "pgpass").string();
    {
        FILE* f = std::fopen(pgpass.c_str(), "w");
        std::fprintf(f, "%s:%s:*:postgres:%s\n", env("QV_PG_HOST").c_str(),
                     env("QV_PG_PORT").c_str(), env("QV_PG_PASSWORD").c_str());
        std::fclose(f);
        fs::permissions(pgpass, fs::perms::owner_read | fs::perms::owner_write);
    }
    ::setenv("PGPASSFILE", pgpass.c_str(), 1);
    if (const std::string problem = qv::ServerJournal(address()).setup(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 2;
    }

    // The class, the server killed when about half the records are in.
    const auto start = Clock::now();
    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        const pid_t pid = fork();
        if (pid == 0) {
            FILE* out = std::fopen((folder / ("times-" + std::to_string(p))).c_str(), "w");
            computer(p, runs, folder, start, out);
            std::fclose(out);
            std::_Exit(0);
        }
        children.push_back(pid);
    }
    const long long total = static_cast<long long>(processes) * runs;
    while (count("SELECT count(*) FROM quorvane.runs") < total / 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::string kill = env("QV_PG_STOP");
    kill.replace(kill.find("-m fast"), 7, "-m immediate");
    std::system(kill.c_str());
    const double killedAt = msSince(start);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::system(env("QV_PG_START").c_str());
    const double restartedAt = msSince(start);
    for (pid_t pid : children) waitpid(pid, nullptr, 0);

    std::vector<double> up, down;
    double lastEmptied = 0;
    for (int p = 0; p < processes; ++p) {
        FILE* in = std::fopen((folder / ("times-" + std::to_string(p))).c_str(), "r");
        char line[64];
        while (in && std::fgets(line, sizeof line, in)) {
            if (std::string(line).rfind("emptied ", 0) == 0) {
                lastEmptied = std::max(lastEmptied, std::atof(line + 8));
            } else {
                const double ms = std::atof(line);
                (ms < 0 ? down : up).push_back(std::abs(ms));
            }
        }
        if (in) std::fclose(in);
    }
    const long long rows = count("SELECT count(*) FROM quorvane.runs");
    const long long distinct = count("SELECT count(DISTINCT taker) FROM quorvane.runs");
    std::printf(
        "class: %d processes x %d runs = %lld records; server killed at %.1f s, "
        "started again at %.1f s\n",
        processes, runs, total, killedAt / 1000, restartedAt / 1000);
    std::printf(
        "class: %lld rows on the server, %lld duplicated, %lld missing; queues empty "
        "%.2f s after the restart\n",
        rows, rows - distinct, total - distinct, (lastEmptied - restartedAt) / 1000);
    std::printf("record: %zu adds with the server up: median %.2f ms, 99th %.2f ms, most %.2f ms\n",
                up.size(), percentile(up, 0.5), percentile(up, 0.99), percentile(up, 1.0));
    std::printf(
        "record: %zu adds with the server down: median %.2f ms, 99th %.2f ms, most %.2f ms\n",
        down.size(), percentile(down, 0.5), percentile(down, 0.99), percentile(down, 1.0));

    // The window's reading: 100,000 records in all.
    PGconn* conn = PQconnectdb(address().c_str());
    const std::string fill =
        "INSERT INTO quorvane.runs (run_id, taken_at, taken_at_unix, taker, computer, test_file, "
        "test_title, test_sha256, answers, total, outcome, score_range, result_line) "
        "SELECT gen_random_uuid(), '2026-01-01T03:00:00+03:00', 1767225600 + g, 'Ученик ' || g, "
        "'class-07', 'test.tst', 'Проверка', repeat('a', 64), repeat('2', 40), g % 40, 1, "
        "'=30-40', 'Хорошо' FROM generate_series(1, " +
        std::to_string(std::max(0LL, 100000 - rows)) + ") AS g";
    PQclear(PQexec(conn, fill.c_str()));
    PQfinish(conn);
    const auto before = Clock::now();
    const qv::JournalContents contents = qv::ServerJournal(address()).readAll();
    std::printf("read: %zu records from the server in %.0f ms\n", contents.records.size(),
                msSince(before));
    fs::remove_all(folder);
    return 0;
}
