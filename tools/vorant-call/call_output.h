// How vorant-call prints answers and error records.
#ifndef VORANT_CALL_CALL_OUTPUT_H
#define VORANT_CALL_CALL_OUTPUT_H

#include <string>

#include "vorant/vorant.hpp"

// The error record of a failed call or initialisation, several lines.
std::string FormatError(int svcNum, int result, CVorantError& err);
// The answer as a Dump listing, or as named-form message XML.
std::string FormatAnswer(CMsg& answer, bool asXml);

#endif  // VORANT_CALL_CALL_OUTPUT_H
