#include "app/frmProgress.h"
