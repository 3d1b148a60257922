#include "session.h"

namespace qv {

Session::Session()
    : editor_(test_->document, test_->window, currentFileName_, loader_, onChange),
      save_(editor_),
      run_(test_, editor_.editor_.header.buttonCountText, loader_, onChange) {}

}  // namespace qv
