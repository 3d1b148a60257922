// Whether a class's address answers: a GET of the page from this computer,
// as a pupil's browser would send it.
#pragma once

#include <string>

namespace qv {

// True when "http://A.B.C.D:PORT/" answers 200 within `milliseconds`.
bool addressAnswers(const std::string& url, int milliseconds);

}  // namespace qv
