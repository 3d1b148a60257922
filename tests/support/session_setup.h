// What tests, benchmarks and the screenshot tool set up directly in a
// session: slots an earlier test left filled, a run's score. The program
// itself changes a session only through its named calls.
#pragma once

#include "session.h"

namespace qv {

struct SessionSetUp {
    static TestDocument& document(Session& session) { return session.test_->document; }
    static RunState& run(Session& session) { return session.run_.stateToSetUp(); }
    // The run of the test loaded last starts again at its first question.
    static void restartRun(Session& session) {
        session.run_.run_.restart();
        session.test_->document.currentQuestion = 1;
    }
};

}  // namespace qv
