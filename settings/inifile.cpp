#include "settings/inifile.h"
