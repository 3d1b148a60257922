// A test taken by a whole class at once: one run per pupil, each reached by
// an unguessable token, every press answered by the program's own run and
// every finished run recorded before its pupil is told the outcome. Nothing
// here knows of HTTP or of windows; the server and the class window share it.
//
// What a pupil is sent is the run's view: the question, its variants and the
// buttons, then the outcome; never points, ranges or the message section.
// Texts handed in and out are UTF-8.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "session.h"
#include "taker_run.h"

namespace qv {

// A finished run and the name of the pupil who took it.
struct EndedRun {
    FinishedRun run;
    std::string takerUtf8;
};
// Commits finished runs, in one transaction where the journal can, and
// returns what went wrong, in
// Russian, or an empty text. Runs that end while a commit is under way wait
// and are committed together next, each before its outcome is sent.
using RunRecorder = std::function<std::string(const std::vector<EndedRun>& runs)>;

// What the teacher sees of one pupil.
struct PupilRow {
    std::string name;
    int question = 0;  // the question up, 1..count
    int count = 0;
    bool finished = false;
    std::int32_t total = 0;
    std::string range;  // the chosen range line, or what happened instead (UTF-8)
    std::int64_t startedAt = 0;
};

// A reply to a pupil: an HTTP status and a JSON body.
struct RoomReply {
    int status = 200;
    std::string json;
};

class ClassRoom {
  public:
    using Done = std::function<void(const RoomReply&)>;

    // `testPath` names the test in the records; its runs share `test`.
    ClassRoom(std::shared_ptr<const RunTest> test, std::string testPath, RunRecorder recorder);
    // Commits the records waiting.
    ~ClassRoom();
    ClassRoom(const ClassRoom&) = delete;
    ClassRoom& operator=(const ClassRoom&) = delete;

    // A new pupil, from the device at `address`: their token and the first question.
    RoomReply start(const std::string& nameUtf8, const std::string& address = {});
    // Button `button` pressed on question `question`; `done` is given the
    // reply. A press for a question already answered (a retried request)
    // changes nothing and gives the run as it is; a press for a question not
    // yet up is refused. A press that ends the run is answered once its
    // record is committed, from the thread that commits records, so that
    // the others' presses never wait for the disk; `done` is called at once
    // otherwise. While the record waits, the run is not shown (503).
    void answer(const std::string& token, int question, int button, Done done);
    // Records from now on are committed before `answer` returns; the records
    // waiting are committed first.
    void commitWaitingRecords();
    // The button of the box that is up.
    RoomReply dismiss(const std::string& token);
    // The run as it is, for a page opened again.
    RoomReply state(const std::string& token) const;

    std::vector<PupilRow> pupils() const;
    std::size_t recordedRuns() const;
    // What went wrong with recording, newest last, for the teacher.
    std::vector<std::string> problems() const;

    // No room takes more pupils than this: a hostile page cannot fill memory.
    static constexpr std::size_t kMaxPupils = 5000;
    static constexpr std::size_t kMaxNameBytes = 200;
    // Runs begun from one device: a computer of a class's room is shared by
    // a few pupils in turn, never by a whole school.
    static constexpr int kMaxRunsPerAddress = 40;

  private:
    struct Pupil;
    std::shared_ptr<Pupil> find(const std::string& token) const;
    std::string view(const Pupil& pupil) const;
    // The run's record when it has just finished; `pupil` is locked.
    std::optional<FinishedRun> finishedRun(Pupil& pupil);
    void commit(Pupil& pupil, const FinishedRun& run);
    void commitInTurn();

    struct Waiting {
        std::shared_ptr<Pupil> pupil;
        FinishedRun run;
        Done done;
    };
    // Commits the runs together and answers each pupil.
    void commitAndAnswer(std::vector<Waiting>& batch);

    std::shared_ptr<const RunTest> test_;
    std::string testPath_;
    RunRecorder recorder_;
    mutable std::shared_mutex pupilsLock_;
    std::unordered_map<std::string, std::shared_ptr<Pupil>> pupils_;
    std::vector<std::shared_ptr<Pupil>> order_;  // as they came
    std::unordered_map<std::string, int> runsByAddress_;
    mutable std::mutex recordLock_;  // one commit at a time
    std::size_t recorded_ = 0;
    std::vector<std::string> problems_;

    std::mutex waitingLock_;
    std::condition_variable waitingChanged_;
    std::deque<Waiting> waiting_;
    bool closing_ = false;
    std::thread committer_;
};

// 32 hexadecimal digits from the system's random source.
std::string newToken();

// The error body a pupil's page shows: {"error": text}.
std::string errorJson(const std::string& textUtf8);

}  // namespace qv
