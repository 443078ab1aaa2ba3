#include "output/tickettext.h"
