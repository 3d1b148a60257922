// Benchmarks of reading and writing test files.
//
// - The largest test the format allows: 500 questions of 150 characters, six
//   buttons, a variant of 80 characters for every question and button, points
//   of four characters, and the 1000 message lines a run holds (999 lines and
//   the end marker). Loaded for a run, turned into lines, and saved.
// - Files of about 25 and 50 MB made of very long lines (1 MB questions and
//   message lines), loaded for a run beside a plain std::getline pass over
//   the same file as the baseline.
//
// The largest test is loaded for a run the way the program does it: by its
// session, as "Запустить" asks, filling the test window's state and the run's
// message lines and giving the freed memory back to the system. The long
// files measure the loader's reading against getline, and so the loader alone
// (see LinesOnly).
//
// The long-file benchmarks are repeated, their repetitions interleaved with
// one another, and judged by the median. After the benchmarks the program
// prints those times, how the load time grows from 25 to 50 MB, and as its
// last line the 50 MB load throughput relative to getline:
//   load/getline throughput ratio: R
// Every file is made afresh in a temporary folder ($QV_BENCH_TMPDIR or the
// system's) and removed at the end.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "document.h"
#include "errors.h"
#include "file_loading.h"
#include "format.h"
#include "largest_test.h"
#include "loader.h"
#include "session.h"
#include "writer.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kLongLine = 1000 * 1000;  // bytes

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what);
}

using qvbench::LargestTest;
using qvbench::makeLargestTest;
using qvbench::text;

// The program's session, which keeps one document, the loader with its line
// buffer and the run's MessageLines from one load to the next. The benchmark
// loads into one that a first load has warmed, so that it measures reading
// rather than the first touch of fresh memory; what the session gives back to
// the system after a load, the next load takes again, as in the program.
struct RunLoading {
    qv::Session session;

    // A run begun and its test loaded, as "Запустить" does once a file is chosen.
    void load(const std::string& path) {
        session.running().beginRun();
        session.running().loadForRun(path);
    }
};

// For the comparison with getline, the loader alone: it keeps the message
// lines as a run does, so that every line read is stored as the program
// stores it, and drops the header. The session's load does more after the
// reading: it fills the test window's state, and it gives the freed memory
// back to the system, so that the next load faults its pages in again; with
// 1 MB lines that costs more than the reading itself, and not in proportion
// to the file, so that the ratio and the growth from 25 to 50 MB would no
// longer tell how the reader does.
class LinesOnly : public qv::LoadDestination {
  public:
    void buttonCountRead(const std::string&) override {}
    void titleRead(const std::string&, const std::string&, const std::string&) override {}
    void buttonsRead(const qv::LineFields&) override {}
    void messagesBegin() override { messages.clear(); }
    void messageRead(std::string& line) override { messages.take(line); }
    void loadFinished() override {}

    qv::MessageLines messages;
};

// What the loader keeps from one load to the next, warmed as above.
struct Loading {
    std::unique_ptr<qv::TestDocument> doc = std::make_unique<qv::TestDocument>();
    LinesOnly dest;
    qv::TestLoader loader;
};

struct LongFile {
    std::unique_ptr<Loading> loading;
    std::string getlineBuffer;  // kept across reads, like the loader's line buffer
    std::string path;
    std::size_t bytes = 0;
    std::size_t lines = 0;
    int questions = 0;
    int messages = 0;  // without the end marker
};

// Questions and message lines of 1 MB each: `megabytes` * 2 / 5 of them are
// questions, the rest message lines.
LongFile makeLongFile(const fs::path& dir, int megabytes) {
    LongFile f;
    f.path = (dir / ("long-" + std::to_string(megabytes) + "mb.tst")).string();
    f.questions = megabytes * 2 / 5;
    f.messages = megabytes - f.questions;
    const std::string sep(1, qv::kFieldSeparator);
    const std::string line = text(kLongLine);
    std::string points;
    for (int q = 0; q < f.questions; ++q) points += "1,";

    std::vector<std::string> lines = {
        "Info=(" + std::to_string(f.questions) + sep + "1" + sep + "1)",
        "Title=(" + text(20) + sep + text(10) + sep + text(10) + ")",
        "Buttons=(" + text(10) + ")",
        "Questions:",
    };
    std::ofstream out(f.path, std::ios::binary | std::ios::trunc);
    auto put = [&](const std::string& s) {
        out.write(s.data(), static_cast<std::streamsize>(s.size()));
        out.write("\r\n", 2);
        f.bytes += s.size() + 2;
        ++f.lines;
    };
    for (const auto& l : lines) put(l);
    for (int q = 0; q < f.questions; ++q) put(line);
    put("Variants: none");
    put("Numbers:");
    put(points);
    put("Message:");
    for (int m = 0; m < f.messages; ++m) put(line);
    put("$");
    out.close();
    if (!out) fail("cannot write " + f.path);
    return f;
}

struct Files {
    fs::path dir;
    LargestTest largest;
    std::string largestPath;
    std::string savePath;
    std::size_t largestBytes = 0;
    std::unique_ptr<RunLoading> largestLoading;
    std::map<int, LongFile> longFiles;
};

Files* g_files = nullptr;

// Loads a file once and checks that the load took all of it, so that the
// benchmarks measure a load that works.
void checkLongLoad(LongFile& f) {
    f.loading = std::make_unique<Loading>();
    qv::loadTestFile(f.loading->loader, f.path, *f.loading->doc, f.loading->dest);
    const qv::TestDocument& doc = *f.loading->doc;
    const qv::MessageLines& messages = f.loading->dest.messages;
    if (doc.questionCount != f.questions || doc.text(f.questions).size() != kLongLine ||
        messages.count() != f.messages + 1 || messages.line(f.messages).size() != kLongLine) {
        fail("the loader did not read " + f.path + " as written");
    }
}

void checkLargestLoad(Files& files) {
    files.largestLoading = std::make_unique<RunLoading>();
    files.largestLoading->load(files.largestPath);
    const qv::TestDocument& doc = files.largestLoading->session.document();
    const qv::TestDocument& want = *files.largest.doc;
    if (doc.questionCount != qv::kMaxQuestions || doc.buttonCount != qv::kMaxButtons ||
        doc.text(qv::kMaxQuestions) != want.text(qv::kMaxQuestions) ||
        doc.variant(qv::kMaxQuestions, qv::kMaxButtons) !=
            want.variant(qv::kMaxQuestions, qv::kMaxButtons) ||
        doc.points(qv::kMaxQuestions, qv::kMaxButtons) != "-123" ||
        files.largestLoading->session.running().messageLines().count() != qv::kMaxMessageLines) {
        fail("the loader did not read the largest test as written");
    }
}

void makeFiles(Files& files) {
    fs::path base = fs::temp_directory_path();
    if (const char* dir = std::getenv("QV_BENCH_TMPDIR")) base = dir;
    files.dir = base / ("quorvane-bench-" + std::to_string(::getpid()));
    fs::create_directories(files.dir);

    files.largest = makeLargestTest();
    files.largestPath = (files.dir / "largest.tst").string();
    files.savePath = (files.dir / "saved.tst").string();
    const LargestTest& t = files.largest;
    qv::writeLines(files.largestPath, qvbench::fileLines(t));
    files.largestBytes = static_cast<std::size_t>(fs::file_size(files.largestPath));
    checkLargestLoad(files);

    for (int mb : {25, 50}) {
        files.longFiles[mb] = makeLongFile(files.dir, mb);
        checkLongLoad(files.longFiles[mb]);
    }
}

void BM_LoadLargest(benchmark::State& state) {
    RunLoading& l = *g_files->largestLoading;
    for (auto _ : state) {
        l.load(g_files->largestPath);
        benchmark::DoNotOptimize(l.session.document().questionCount);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(g_files->largestBytes));
}
BENCHMARK(BM_LoadLargest)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LinesOfLargest(benchmark::State& state) {
    const LargestTest& t = g_files->largest;
    for (auto _ : state) {
        auto lines =
            qv::testFileLines(*t.doc, qv::kMaxQuestions, qv::kMaxButtons, t.header, t.messages);
        benchmark::DoNotOptimize(lines.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(g_files->largestBytes));
}
BENCHMARK(BM_LinesOfLargest)->Unit(benchmark::kMillisecond)->UseRealTime();

// The whole save: the lines, a temporary file written through the 128-byte
// buffer, synced to disk and put in place of the previous file.
void BM_SaveLargest(benchmark::State& state) {
    const LargestTest& t = g_files->largest;
    for (auto _ : state) {
        qv::writeLines(g_files->savePath, qv::testFileLines(*t.doc, qv::kMaxQuestions,
                                                            qv::kMaxButtons, t.header, t.messages));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(g_files->largestBytes));
}
BENCHMARK(BM_SaveLargest)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_LoadLong(benchmark::State& state) {
    const LongFile& f = g_files->longFiles.at(static_cast<int>(state.range(0)));
    Loading& l = *f.loading;
    for (auto _ : state) {
        qv::loadTestFile(l.loader, f.path, *l.doc, l.dest);
        benchmark::DoNotOptimize(l.doc->questionCount);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.bytes));
}

// The baseline: every line of the file read with std::getline and counted.
void BM_GetlineLong(benchmark::State& state) {
    LongFile& f = g_files->longFiles.at(static_cast<int>(state.range(0)));
    std::string& line = f.getlineBuffer;
    for (auto _ : state) {
        std::ifstream in(f.path, std::ios::binary);
        std::size_t count = 0;
        while (std::getline(in, line)) ++count;
        if (count != f.lines) state.SkipWithError("getline counted the wrong number of lines");
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(f.bytes));
}

// Each long-file benchmark is repeated and judged by its median
// repetition. The repetitions of all four run interleaved (see main), so a
// busy spell on a shared machine falls on them alike, and the median leaves
// out both the disturbed repetitions and the lucky ones.
constexpr int kRepetitions = 10;
void longFileRuns(benchmark::internal::Benchmark* b) {
    b->Arg(25)
        ->Arg(50)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Repetitions(kRepetitions)
        ->ReportAggregatesOnly(true);
}
BENCHMARK(BM_LoadLong)->Apply(longFileRuns);
BENCHMARK(BM_GetlineLong)->Apply(longFileRuns);

// Shows the results as the console reporter does, and keeps the time of one
// iteration, in seconds, of every benchmark: its median repetition where
// repeated.
class KeepingReporter : public benchmark::ConsoleReporter {
  public:
    // Coloured only on a terminal.
    KeepingReporter() : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if (!median && !single) continue;
            seconds_[run.run_name.function_name + "/" + run.run_name.args] =
                run.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    std::optional<double> seconds(const std::string& name) const {
        const auto it = seconds_.find(name);
        if (it == seconds_.end()) return std::nullopt;
        return it->second;
    }

  private:
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
    // Repetitions of the benchmarks run in random order, mixed with one
    // another; a flag given on the command line wins.
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    argc = count;
    argv = args.data();
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

    auto files = std::make_unique<Files>();
    try {
        makeFiles(*files);
    } catch (const std::exception& e) {
        std::error_code ec;
        fs::remove_all(files->dir, ec);
        std::fprintf(stderr, "core_bench: cannot prepare the files: %s\n", e.what());
        return 1;
    }
    g_files = files.get();

    KeepingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code ec;
    fs::remove_all(files->dir, ec);

    std::printf("largest test: %zu bytes\n", files->largestBytes);
    std::printf("median of %d repetitions:\n", kRepetitions);
    for (const char* kind : {"Load", "Getline"}) {
        for (int mb : {25, 50}) {
            const auto t =
                reporter.seconds("BM_" + std::string(kind) + "Long/" + std::to_string(mb));
            const double size = static_cast<double>(files->longFiles.at(mb).bytes) / 1e6;
            if (t)
                std::printf("  %-8s %5.1f MB: %7.2f ms, %6.0f MB/s\n", kind, size, *t * 1e3,
                            size / *t);
        }
    }
    const auto load25 = reporter.seconds("BM_LoadLong/25");
    const auto load50 = reporter.seconds("BM_LoadLong/50");
    const auto getline50 = reporter.seconds("BM_GetlineLong/50");
    const double mb50 = static_cast<double>(files->longFiles.at(50).bytes) / 1e6;
    const double mb25 = static_cast<double>(files->longFiles.at(25).bytes) / 1e6;
    if (load25 && load50) {
        std::printf("load time %.1f MB / %.1f MB: %.2f (%.2f x the bytes; linear: at most 2.2)\n",
                    mb50, mb25, *load50 / *load25, mb50 / mb25);
    }
    if (!load50 || !getline50) {
        std::fprintf(stderr,
                     "core_bench: the 50 MB load and getline benchmarks did not both run\n");
        return 1;
    }
    std::printf("load/getline throughput ratio: %.2f\n", *getline50 / *load50);
    return 0;
}
