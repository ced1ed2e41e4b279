// Checks that a statement raises CException with an exact code and text, or
// with the allocation-failure text of a unit.
#ifndef VORANT_TESTS_DAT_CLASS_EXPECT_RAISES_H
#define VORANT_TESTS_DAT_CLASS_EXPECT_RAISES_H

#include <gtest/gtest.h>

#include <string>

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

// Code -11 and "at <unit>(<line> lines), (new <expr>) failed(std::bad...)".
inline void ExpectAllocFailureText(const CException& p_e, const std::string& p_strUnit, const std::string& p_strExpr) {
    const std::string text = p_e.GetText(), head = "at " + p_strUnit + "(",
                      tail = " lines), (new " + p_strExpr + ") failed(std::bad";
    const size_t nEnd = text.find_first_not_of("0123456789", head.size());
    EXPECT_EQ(p_e.GetCode(), -11) << text;
    EXPECT_TRUE(text.compare(0, head.size(), head) == 0 && nEnd != std::string::npos && nEnd > head.size() &&
                text.compare(nEnd, tail.size(), tail) == 0)
        << text;
}

#define EXPECT_ALLOC_FAILURE(statement, unit, expr)           \
    do {                                                      \
        try {                                                 \
            statement;                                        \
            ADD_FAILURE() << #statement << " raised nothing"; \
        } catch (const CException& e_) {                      \
            ExpectAllocFailureText(e_, (unit), (expr));       \
        }                                                     \
    } while (0)

#endif  // VORANT_TESTS_DAT_CLASS_EXPECT_RAISES_H
