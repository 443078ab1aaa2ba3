#include "platform/version.h"

const char* programVersion() {
    return VAZNILISTEK_VERSION;
}
