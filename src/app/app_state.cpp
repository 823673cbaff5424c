#include "app/app_state.h"

namespace velmora {

AppState appState;

}  // namespace velmora
