// What the operating-system layer holds an open file or folder by.
#pragma once

namespace qv::os {

using Handle = int;
inline constexpr Handle kNoHandle = -1;

}  // namespace qv::os
