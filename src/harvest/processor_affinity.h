// Restricts every thread of the process to one processor, the first one the
// process may run on; threads started later inherit the restriction from
// their creator. Failures leave the affinity as it was. Any thread may call it.
#pragma once

namespace zv::harvest {

void RestrictToFirstProcessor();

}  // namespace zv::harvest
