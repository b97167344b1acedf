#include "link/channelclear.h"
