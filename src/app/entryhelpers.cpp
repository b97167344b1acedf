#include "app/entryhelpers.h"
