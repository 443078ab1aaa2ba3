#include "link/weightframe.h"
