#include "editors/station/portrules.h"
