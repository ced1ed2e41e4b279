// vorant: the whole class interface in one include.
//
// Threads: each included header states its rule; in short, the dictionary and
// the facade's settings are set once and then only read, and every other
// object serves one thread at a time.
#ifndef VORANT_VORANT_HPP
#define VORANT_VORANT_HPP

#include "vorant/arrays.hpp"
#include "vorant/cstring.hpp"
#include "vorant/cvorant.hpp"
#include "vorant/date.hpp"
#include "vorant/exception.hpp"
#include "vorant/export.h"
#include "vorant/hashes.hpp"
#include "vorant/msg.hpp"
#include "vorant/msg_dic.hpp"
#include "vorant/msg_error.hpp"
#include "vorant/scalars.hpp"
#include "vorant/stream.hpp"
#include "vorant/vorant_error.hpp"

#endif  // VORANT_VORANT_HPP
