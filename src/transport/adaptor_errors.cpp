#include "transport/adaptor_errors.h"

#include <climits>

namespace {

const int kTableSlots = 50;

// Slots 18 to 49 are reserved and have no text of their own.
const char* const kTexts[kTableSlots] = {
    "Unknown error",
    "Memory error",
    "Parameter is NULL",
    "Cannot open socket",
    "Failed in gethostbyname()",
    "Failed in connect()",
    "Failed in send()",
    "Failed in recv()",
    "Socket timeout",
    "Socket closed",
    "Failed in select()",
    "Failed in setsockopt()",
    "Socket not connected",
    "Checksum is incorrect",
    "Invalid trailer data",
    "Header format is incorrect",
    "Compression failed",
    "Packet is corrupted",
};

}  // namespace

const char* AdaptorErrorText(int p_iCode) {
    int iIndex = 0;
    if (p_iCode != INT_MIN) {
        iIndex = p_iCode < 0 ? -p_iCode : p_iCode;
    }
    if (iIndex >= kTableSlots || kTexts[iIndex] == nullptr) {
        iIndex = 0;
    }
    return kTexts[iIndex];
}
