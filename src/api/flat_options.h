// The flat interface's call options read as the class interface's.
#ifndef VORANT_API_FLAT_OPTIONS_H
#define VORANT_API_FLAT_OPTIONS_H

#include "vorant/cvorant.hpp"
#include "vorant/vorant.h"

// The fields of a caller's VorantCallOptions that lie within its size; the
// rest keep 0 (configured). The host pointer is the caller's.
CCallOptions ReadCallOptions(const VorantCallOptions& p_Flat);

#endif  // VORANT_API_FLAT_OPTIONS_H
