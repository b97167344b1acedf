#include "editors/station/ffskrules.h"
