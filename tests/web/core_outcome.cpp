// What the desktop's core makes of a test and a sequence of presses, for the
// browser test to compare the page with: the failure messages met on the way,
// how the run ended, the result lines or the total, as one line of JSON.
//
//   core_outcome TEST.tst PRESS...
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cp1251.h"
#include "errors.h"
#include "session.h"

namespace {

std::string quoted(const std::string& bytes) {
    std::string out = "\"";
    for (const char c : qv::cp1251::toUtf8(bytes)) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: core_outcome TEST.tst PRESS...\n");
        return 2;
    }
    qv::Session session;
    std::vector<std::string> failures;
    std::string end = "question";
    std::string lines;
    const auto failed = [&](const qv::Exception& e) {
        failures.push_back(quoted(qv::withFullStop(e.message())));
    };
    session.running().beginRun();
    session.running().testWindowActivated();
    try {
        session.running().loadForRun(argv[1]);
    } catch (const qv::Exception& e) {
        failed(e);
    }
    for (int i = 2; i < argc && end == "question" && session.testWindow().buttonsEnabled; ++i) {
        try {
            const qv::TakerRun::Phase phase = session.running().answer(std::atoi(argv[i]));
            if (phase != qv::TakerRun::Phase::Question) {
                const bool found = phase == qv::TakerRun::Phase::Result;
                end = found ? "result" : "norange";
                for (const std::string& line : session.running().run().outcome().lines)
                    lines += (lines.empty() ? "" : ",") + quoted(line);
            }
        } catch (const qv::Exception& e) {
            failed(e);
            // The box's OK makes the test window active again.
            session.running().testWindowActivated();
        }
    }
    std::string failureList;
    for (const auto& f : failures) failureList += (failureList.empty() ? "" : ",") + f;
    std::printf("{\"end\":\"%s\",\"failures\":[%s],\"lines\":[%s],\"score\":%d,\"question\":%d}\n",
                end.c_str(), failureList.c_str(), lines.c_str(), session.running().state().score,
                session.document().currentQuestion);
    return 0;
}
