#include "session.h"

namespace qv {

Session::Session()
    : editor_(doc_, test_, currentFileName_, loader_, onChange),
      save_(editor_),
      run_(doc_, test_, editor_.editor_.header.buttonCountText, loader_, onChange) {}

}  // namespace qv
