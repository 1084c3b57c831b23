#include "census.h"

const char* const kCensusJones[kCensusRowCount] = {};
