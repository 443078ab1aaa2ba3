#include "link/printframe.h"
