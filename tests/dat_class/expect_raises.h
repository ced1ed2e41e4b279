// Checks that a statement raises CException with an exact code and text.
#ifndef VORANT_TESTS_DAT_CLASS_EXPECT_RAISES_H
#define VORANT_TESTS_DAT_CLASS_EXPECT_RAISES_H

#include <gtest/gtest.h>

#include "vorant/exception.hpp"

#define EXPECT_RAISES(statement, code, text)                  \
    do {                                                      \
        try {                                                 \
            statement;                                        \
            ADD_FAILURE() << #statement << " raised nothing"; \
        } catch (const CException& e_) {                      \
            EXPECT_EQ(e_.GetCode(), (code)) << #statement;    \
            EXPECT_STREQ(e_.GetText(), (text)) << #statement; \
        }                                                     \
    } while (0)

#endif  // VORANT_TESTS_DAT_CLASS_EXPECT_RAISES_H
