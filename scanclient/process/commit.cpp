// The commit, run by DoOK and by the window's close box. Its body belongs to
// the processing issue; until it lands it does nothing.

#include "scanclient/core/quillet1.h"

namespace quillet {

void Quillet1::DoOK_Click() {}

}  // namespace quillet
