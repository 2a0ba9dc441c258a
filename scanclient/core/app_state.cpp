#include "scanclient/core/app_state.h"

namespace quillet {

AppState App;

}  // namespace quillet
