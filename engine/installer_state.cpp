#include "engine/installer_state.h"

namespace vornell {

InstallerState installerState;

}  // namespace vornell
