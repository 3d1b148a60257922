#include "class_room.h"

#include <sys/random.h>

#include <cerrno>
#include <ctime>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "cp1251.h"

namespace qv {

using Json = nlohmann::json;

struct ClassRoom::Pupil {
    Pupil(std::string givenToken, std::string givenName, std::shared_ptr<const RunTest> test)
        : token(std::move(givenToken)), name(std::move(givenName)), run(std::move(test)) {}
    std::mutex lock;  // one press at a time
    const std::string token;
    const std::string name;
    TakerRun run;
    bool recorded = false;
    bool committing = false;  // its record waits for the disk
    std::int64_t startedAt = static_cast<std::int64_t>(std::time(nullptr));
};

namespace {

std::string utf8(const std::string& cp1251) {
    return cp1251::toUtf8(cp1251);
}

std::string dump(const Json& j) {
    // A name is the pupil's own text: anything that is not UTF-8 is shown, not sent.
    return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

const char* phaseName(TakerRun::Phase phase) {
    switch (phase) {
        case TakerRun::Phase::Question:
            return "question";
        case TakerRun::Phase::Result:
            return "result";
        case TakerRun::Phase::NoRange:
            return "norange";
        case TakerRun::Phase::Refused:
            return "refused";
    }
    return "question";
}

// The last question was answered and result selection failed: the desktop
// records the run then, with the failure's message.
bool selectionFailed(const TakerRun& run) {
    return run.phase() == TakerRun::Phase::Question && run.notice() &&
           static_cast<int>(run.presses().size()) >= run.test().document.questionCount;
}

bool finished(const TakerRun& run) {
    return run.phase() == TakerRun::Phase::Result || run.phase() == TakerRun::Phase::NoRange ||
           selectionFailed(run);
}

RoomReply refusal(int status, const char* text) {
    return {status, errorJson(text)};
}

// The run has ended and its record is not on the disk yet: the page asks again.
RoomReply notYet() {
    return refusal(503, "Результат записывается.");
}

}  // namespace

std::string newToken() {
    unsigned char bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("getrandom failed");
        }
        got += static_cast<std::size_t>(n);
    }
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char b : bytes) {
        token += digits[b >> 4];
        token += digits[b & 15];
    }
    return token;
}

std::string errorJson(const std::string& textUtf8) {
    return dump(Json{{"error", textUtf8}});
}

ClassRoom::ClassRoom(std::shared_ptr<const RunTest> test, std::string testPath,
                     RunRecorder recorder)
    : test_(std::move(test)), testPath_(std::move(testPath)), recorder_(std::move(recorder)) {
    committer_ = std::thread([this] { commitInTurn(); });
}

ClassRoom::~ClassRoom() {
    commitWaitingRecords();
}

void ClassRoom::commitWaitingRecords() {
    {
        std::lock_guard lock(waitingLock_);
        closing_ = true;
    }
    waitingChanged_.notify_all();
    if (committer_.joinable()) committer_.join();
}

void ClassRoom::commitInTurn() {
    for (;;) {
        std::vector<Waiting> batch;
        {
            std::unique_lock lock(waitingLock_);
            waitingChanged_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
            if (waiting_.empty()) return;
            // Every run that ended meanwhile goes in the same commit.
            while (!waiting_.empty()) {
                batch.push_back(std::move(waiting_.front()));
                waiting_.pop_front();
            }
        }
        commitAndAnswer(batch);
    }
}

void ClassRoom::commitAndAnswer(std::vector<Waiting>& batch) {
    std::vector<EndedRun> runs;
    runs.reserve(batch.size());
    for (const Waiting& w : batch) runs.push_back({w.run, w.pupil->name});
    {
        std::lock_guard lock(recordLock_);
        std::string problem = recorder_ ? recorder_(runs) : std::string{};
        if (problem.empty()) {
            recorded_ += batch.size();
        } else {
            for (const Waiting& w : batch) problems_.push_back(w.pupil->name + ": " + problem);
        }
    }
    for (Waiting& w : batch) {
        std::string reply;
        {
            std::lock_guard lock(w.pupil->lock);
            w.pupil->committing = false;
            reply = view(*w.pupil);
        }
        w.done({200, reply});
    }
}

std::string ClassRoom::view(const Pupil& p) const {
    const TakerRun& run = p.run;
    const TestWindowState& w = run.window();
    const auto& notice = run.notice();
    Json captions = Json::array();
    Json variants = Json::array();
    for (const auto& caption : w.captions) captions.push_back(utf8(caption));
    for (const auto& variant : w.variants) variants.push_back(utf8(variant));
    Json result = Json::array();
    if (run.phase() == TakerRun::Phase::Result)
        for (const auto& line : run.outcome().lines) result.push_back(utf8(line));
    Json j = {
        {"token", p.token},
        {"name", p.name},
        {"phase", phaseName(run.phase())},
        {"title", utf8(w.title)},
        {"author", utf8(w.authorLine)},
        {"caption", utf8(w.caption)},
        {"captions", captions},
        {"shown", w.shownButtons},
        {"enabled", w.buttonsEnabled},
        {"question", utf8(w.question)},
        {"variants", variants},
        {"number", run.question()},
        {"count", run.test().document.questionCount},
        {"answered", run.presses().size()},
        {"failure", notice ? Json(utf8(notice->text)) : Json(nullptr)},
        {"failureCaption", notice ? Json(utf8(notice->caption)) : Json(nullptr)},
        {"failureButton", notice ? Json(utf8(notice->button)) : Json(nullptr)},
        {"result", result},
        {"explanation", run.phase() == TakerRun::Phase::NoRange
                            ? Json(utf8(run.outcome().explanation))
                            : Json(nullptr)},
    };
    return dump(j);
}

RoomReply ClassRoom::start(const std::string& nameUtf8, const std::string& address) {
    std::string name = nameUtf8;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!name.empty() && blank(name.back())) name.pop_back();
    std::size_t lead = 0;
    while (lead < name.size() && blank(name[lead])) ++lead;
    name.erase(0, lead);
    if (name.empty()) return refusal(400, "Введите имя.");
    if (name.size() > kMaxNameBytes) return refusal(400, "Имя слишком длинное.");
    if (test_->refusal) return {409, errorJson(utf8(*test_->refusal))};
    auto pupil = std::make_shared<Pupil>(newToken(), name, test_);
    {
        std::unique_lock lock(pupilsLock_);
        if (pupils_.size() >= kMaxPupils) return refusal(503, "Мест больше нет.");
        if (++runsByAddress_[address] > kMaxRunsPerAddress) {
            --runsByAddress_[address];
            return refusal(429, "С этого устройства начато слишком много прохождений.");
        }
        pupils_.emplace(pupil->token, pupil);
        order_.push_back(pupil);
    }
    std::lock_guard lock(pupil->lock);
    return {200, view(*pupil)};
}

std::shared_ptr<ClassRoom::Pupil> ClassRoom::find(const std::string& token) const {
    std::shared_lock lock(pupilsLock_);
    const auto it = pupils_.find(token);
    return it == pupils_.end() ? nullptr : it->second;
}

std::optional<FinishedRun> ClassRoom::finishedRun(Pupil& p) {
    if (p.recorded || !finished(p.run)) return std::nullopt;
    p.recorded = true;
    const TakerRun& run = p.run;
    FinishedRun done;
    done.fileName = testPath_;
    done.title = test_->window.title;
    done.pressedButtons = run.presses();
    done.total = run.total();
    if (run.phase() == TakerRun::Phase::Result) {
        done.outcome = RunOutcome::Result;
        done.range = run.outcome().rangeLine;
        if (!run.outcome().lines.empty()) done.resultLine = run.outcome().lines.front();
    } else if (run.phase() == TakerRun::Phase::NoRange) {
        done.outcome = RunOutcome::NoRange;
    } else {
        done.outcome = RunOutcome::Failure;
        std::string message = run.notice()->text;
        if (!message.empty() && message.back() == '.') message.pop_back();
        done.range = message;
    }
    return done;
}

void ClassRoom::commit(Pupil& p, const FinishedRun& run) {
    std::lock_guard lock(recordLock_);
    std::string problem = recorder_ ? recorder_({EndedRun{run, p.name}}) : std::string{};
    if (problem.empty()) {
        ++recorded_;
    } else {
        problems_.push_back(p.name + ": " + problem);
    }
}

void ClassRoom::answer(const std::string& token, int question, int button, Done done) {
    const std::shared_ptr<Pupil> p = find(token);
    if (!p) return done(refusal(404, "Такого прохождения нет."));
    std::optional<FinishedRun> ended;
    {
        std::lock_guard lock(p->lock);
        if (p->committing) return done(notYet());
        TakerRun& run = p->run;
        const int answered = static_cast<int>(run.presses().size());
        // Already answered: the retried press counts once.
        if (question >= 1 && question <= answered &&
            !(selectionFailed(run) && question == answered))
            return done({200, view(*p)});
        if (question != run.question() || run.phase() != TakerRun::Phase::Question)
            return done(refusal(409, "Этот вопрос сейчас не задан."));
        run.answer(button);
        ended = finishedRun(*p);
        if (!ended) return done({200, view(*p)});
        p->committing = true;
    }
    {
        std::lock_guard lock(waitingLock_);
        if (!closing_) {
            waiting_.push_back({p, std::move(*ended), std::move(done)});
            waitingChanged_.notify_one();
            return;
        }
    }
    commit(*p, *ended);
    std::string reply;
    {
        std::lock_guard lock(p->lock);
        p->committing = false;
        reply = view(*p);
    }
    done({200, reply});
}

RoomReply ClassRoom::dismiss(const std::string& token) {
    const std::shared_ptr<Pupil> p = find(token);
    if (!p) return refusal(404, "Такого прохождения нет.");
    std::lock_guard lock(p->lock);
    if (p->committing) return notYet();
    p->run.acknowledge();
    return {200, view(*p)};
}

RoomReply ClassRoom::state(const std::string& token) const {
    const std::shared_ptr<Pupil> p = find(token);
    if (!p) return refusal(404, "Такого прохождения нет.");
    std::lock_guard lock(p->lock);
    if (p->committing) return notYet();
    return {200, view(*p)};
}

std::vector<PupilRow> ClassRoom::pupils() const {
    std::vector<std::shared_ptr<Pupil>> all;
    {
        std::shared_lock lock(pupilsLock_);
        all = order_;
    }
    std::vector<PupilRow> rows;
    rows.reserve(all.size());
    for (const auto& p : all) {
        std::lock_guard lock(p->lock);
        PupilRow row;
        row.name = p->name;
        row.question = p->run.question();
        row.count = p->run.test().document.questionCount;
        row.finished = finished(p->run);
        row.startedAt = p->startedAt;
        if (row.finished) {
            row.total = p->run.total();
            row.range = p->run.phase() == TakerRun::Phase::Result ? utf8(p->run.outcome().rangeLine)
                        : p->run.phase() == TakerRun::Phase::NoRange
                            ? "нет диапазона для суммы"
                            : "ошибка: " + utf8(p->run.notice()->text);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::size_t ClassRoom::recordedRuns() const {
    std::lock_guard lock(recordLock_);
    return recorded_;
}

std::vector<std::string> ClassRoom::problems() const {
    std::lock_guard lock(recordLock_);
    return problems_;
}

}  // namespace qv
