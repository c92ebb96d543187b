#pragma once
// The file search's own regular-expression engine. A pattern of 16-bit
// characters compiles into a flat program of two-word instructions, which a
// backtracking machine with an explicit stack runs over a text.
//
// The syntax is terse and has its own precedence: `|` separates single
// repeat-expressions, so `ab|cd` means a, then b or c, then d. `{X}` captures,
// `(X)` only groups, `!X` is a negative look-ahead, `\0`..`\9` refer back to
// captures, and `\a \b \c \d \h \n \q \w \z` stand for fixed sub-patterns.

#include <cstdint>
#include <string_view>
#include <vector>

enum RegexError : int32_t {
    RegexOk = 0,
    RegexOutOfMemory = 1,
    RegexBraceExpected = 2,
    RegexParenExpected = 3,
    RegexBracketExpected = 4,
    RegexUnexpectedSyntax = 5,
    RegexEmptyRange = 6,
    RegexInvalidGroup = 7,
    RegexInvalidRange = 8,
    RegexInvalidRepeator = 9,
    RegexInvalidInput = 10,
};

// "Worked OK" ... "Invalid input"; "Unknown error" for any other code.
const char* RegexErrorText(int32_t code);

enum RegexOp : uint32_t {
    OpNop = 0,
    OpGroupOpen = 1,
    OpGroupClose = 2,
    OpChar = 3,
    OpAnyChar = 4,
    OpInSet = 7,
    OpNotInSet = 8,
    OpJump = 13,
    OpSavePos = 14,
    OpRestorePos = 15,
    OpCall = 16,
    OpReturn = 17,
    OpPushSlot = 20,
    OpPopSlot = 21,
    OpSlotFromPos = 22,
    OpSlotFromDepth = 23,
    OpPosFromSlot = 24,
    OpDepthFromSlot = 25,
    OpReturnIfNoProgress = 26,
    OpBackRef = 27,
    OpFail = 28,
    OpNextStart = 29,
    OpMatch = 30,
    OpPushGroup = 31,
    OpPopGroup = 32,
};

struct RegexInstruction {
    uint32_t kind;
    uint32_t operand;
    bool operator==(const RegexInstruction&) const = default;
};

class RegexMatchContext {
public:
    explicit RegexMatchContext(uint32_t initialStackSize = 256);

    uint32_t groupCount = 0;
    uint32_t matchStart = 0;
    uint32_t matchEnd = 0;
    std::vector<uint32_t> slotValues;
    std::vector<std::pair<uint32_t, uint32_t>> groups;  // (start, end) per capture
    std::vector<uint32_t> stack;
    uint32_t top = 0;     // 0 = empty; entry 0 is never used
    bool gaveUp = false;  // the last Match ran out of its step budget: "no match" untested
};

class Regex {
public:
    // Instructions one Match may execute before it gives up as failed, so that a
    // pattern with exponential backtracking cannot freeze the caller.
    static constexpr uint64_t kStepBudget = 10'000'000;
    // Groups and look-aheads nested deeper than this fail to compile.
    static constexpr int kMaxNesting = 1000;

    // Compiles the pattern (nullptr: code 10, the previous program stays).
    RegexError Parse(const char16_t* pattern, bool caseSensitive);
    RegexError Parse(std::u16string_view pattern, bool caseSensitive);

    // Searches the text for the leftmost match. Only valid after Parse returned 0.
    bool Match(std::u16string_view text, RegexMatchContext* context,
               uint32_t* endOut = nullptr) const;

    // A smaller budget, for callers that run many patterns on short texts (the
    // fuzzer: an input that backtracks for ten million steps costs a second).
    void SetStepBudget(uint64_t steps) { m_stepBudget = steps; }

    RegexError LastError() const { return m_lastError; }
    const std::vector<RegexInstruction>& Program() const { return m_program; }
    uint32_t GroupCount() const { return m_groupCount; }
    uint32_t SlotCount() const { return m_slotCount; }

private:
    friend class RegexCompiler;

    RegexError m_lastError = RegexOk;
    std::vector<RegexInstruction> m_program;
    uint32_t m_groupCount = 0;
    uint32_t m_slotCount = 0;
    bool m_caseSensitive = true;
    uint64_t m_stepBudget = kStepBudget;
};
