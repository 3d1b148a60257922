// What tests, benchmarks and the screenshot tool set up directly in a
// session: slots an earlier test left filled, a run's score. The program
// itself changes a session only through its named calls.
#pragma once

#include "session.h"

namespace qv {

struct SessionSetUp {
    static TestDocument& document(Session& session) { return session.doc_; }
    static RunState& run(Session& session) { return session.run_.run_; }
};

}  // namespace qv
