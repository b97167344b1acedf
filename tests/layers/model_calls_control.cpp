// A model file that calls up into control, as a slip would: linked as a layer is, it
// must not link.
#include "control/programstate.h"

namespace korvel {

void ModelSlipsUpward() { ResetProgramState(); }

} // namespace korvel
