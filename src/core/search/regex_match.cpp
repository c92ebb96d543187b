// The backtracking machine. A failure continues at the instruction index popped
// from the stack; the templates keep an index on top wherever a failure can occur.

#include <string>

#include "core/platform/ascii_case.h"
#include "core/search/regex.h"

RegexMatchContext::RegexMatchContext(uint32_t initialStackSize)
    : stack(initialStackSize < 2 ? 2 : initialStackSize) {}

namespace {

// The stack may grow to this many entries; beyond it the match fails.
constexpr size_t kMaxStack = size_t{1} << 26;

class Machine {
public:
    Machine(const std::vector<RegexInstruction>& program, std::u16string_view text,
            RegexMatchContext& ctx, uint64_t stepBudget)
        : m_program(program), m_text(text), m_ctx(ctx), m_stepBudget(stepBudget) {}

    bool Run() {
        const auto size = static_cast<uint32_t>(m_text.size());
        uint32_t pc = 0;
        uint32_t pos = 0;
        uint64_t steps = 0;
        for (;;) {
            if (++steps > m_stepBudget) {
                m_ctx.gaveUp = true;
                return End(pos, false);
            }
            if (pc >= m_program.size())
                return End(pos, false);
            if (pc == 0)
                m_ctx.matchStart = pos;
            const RegexInstruction ins = m_program[pc];
            const uint32_t op = ins.operand;
            bool fail = false;
            ++pc;
            switch (ins.kind) {
                case OpNop:
                    break;
                case OpGroupOpen:
                    m_ctx.groups[op].first = pos;
                    break;
                case OpGroupClose:
                    m_ctx.groups[op].second = pos;
                    break;
                case OpChar:
                    if (op == 0 ? pos == size : (pos < size && m_text[pos] == op)) {
                        ++pos;
                    } else {
                        fail = true;
                    }
                    break;
                case OpAnyChar:
                    if (pos < size) {
                        ++pos;
                    } else {
                        fail = true;
                    }
                    break;
                case OpInSet:
                case OpNotInSet: {
                    if (pos >= size) {
                        fail = true;
                        break;
                    }
                    const char16_t c = m_text[pos];
                    bool inSet = false;
                    for (uint32_t i = pc; i + 1 < op && i + 1 < m_program.size(); i += 2) {
                        if (c >= m_program[i].operand && c <= m_program[i + 1].operand) {
                            inSet = true;
                            break;
                        }
                    }
                    if (inSet == (ins.kind == OpInSet)) {
                        ++pos;
                        pc = op;
                    } else {
                        fail = true;
                    }
                    break;
                }
                case OpJump:
                    pc = op;
                    break;
                case OpSavePos:
                    if (!Push(pos))
                        return End(pos, false);
                    break;
                case OpRestorePos:
                    pos = Pop();
                    break;
                case OpCall:
                    if (!Push(pc))
                        return End(pos, false);
                    pc = op;
                    break;
                case OpReturn:
                    pc = Pop();
                    break;
                case OpPushSlot:
                    if (!Push(m_ctx.slotValues[op]))
                        return End(pos, false);
                    break;
                case OpPopSlot:
                    m_ctx.slotValues[op] = Pop();
                    break;
                case OpSlotFromPos:
                    m_ctx.slotValues[op] = pos;
                    break;
                case OpSlotFromDepth:
                    m_ctx.slotValues[op] = m_ctx.top;
                    break;
                case OpPosFromSlot:
                    pos = m_ctx.slotValues[op];
                    break;
                case OpDepthFromSlot:
                    m_ctx.top = m_ctx.slotValues[op];
                    break;
                case OpReturnIfNoProgress:
                    fail = pos == m_ctx.slotValues[op];
                    break;
                case OpBackRef:
                    fail = !BackRef(op, pos);
                    break;
                case OpFail:
                    return End(pos, false);
                case OpNextStart: {
                    const uint32_t start = m_ctx.matchStart;
                    if (start >= size || start + 1 >= size)
                        return End(pos, false);
                    pos = start + 1;
                    m_ctx.top = 0;
                    pc = 0;
                    break;
                }
                case OpMatch:
                    return End(pos, true);
                case OpPushGroup:
                    if (!Push(m_ctx.groups[op].first) || !Push(m_ctx.groups[op].second)) {
                        return End(pos, false);
                    }
                    break;
                case OpPopGroup:
                    m_ctx.groups[op].second = Pop();
                    m_ctx.groups[op].first = Pop();
                    break;
                default:
                    return End(pos, false);
            }
            if (fail)
                pc = Pop();
        }
    }

private:
    bool End(uint32_t pos, bool matched) {
        m_ctx.matchEnd = pos;
        return matched;
    }

    bool Push(uint32_t value) {
        const uint32_t newTop = m_ctx.top + 1;
        if (newTop >= m_ctx.stack.size()) {
            const size_t grown = 2 * (size_t{newTop} + 1);
            if (grown > kMaxStack)
                return false;
            try {
                m_ctx.stack.resize(grown);
            } catch (...) {
                return false;
            }
        }
        m_ctx.stack[newTop] = value;
        m_ctx.top = newTop;
        return true;
    }

    uint32_t Pop() { return m_ctx.top == 0 ? 0 : m_ctx.stack[m_ctx.top--]; }

    // The text at `pos` against what group `g` captured, compared as wcsncmp (or
    // _wcsnicmp) would: up to the group's length or a terminating zero.
    bool BackRef(uint32_t g, uint32_t& pos) const {
        const auto [start, end] = m_ctx.groups[g];
        const uint32_t length = end > start ? end - start : 0;
        auto at = [&](uint32_t i) -> char16_t { return i < m_text.size() ? m_text[i] : u'\0'; };
        for (uint32_t i = 0; i < length; ++i) {
            const char16_t a = at(pos + i);
            const char16_t b = at(start + i);
            if (a != b)
                return false;
            if (a == u'\0')
                break;
        }
        pos += length;
        return true;
    }

    const std::vector<RegexInstruction>& m_program;
    std::u16string_view m_text;
    RegexMatchContext& m_ctx;
    uint64_t m_stepBudget;
};

}  // namespace

bool Regex::Match(std::u16string_view text, RegexMatchContext* context, uint32_t* endOut) const {
    if (!context || m_program.empty() || text.size() >= UINT32_MAX / 2)
        return false;
    RegexMatchContext& ctx = *context;
    std::u16string folded;
    if (!m_caseSensitive) {
        folded.assign(text);
        for (auto& c : folded)
            c = platform::AsciiLower(c);
        text = folded;  // same length: positions map back one to one
    }
    try {
        ctx.groupCount = m_groupCount;
        ctx.slotValues.assign(m_slotCount, 0);
        ctx.groups.assign(m_groupCount, {0, 0});
        ctx.top = 0;
        ctx.matchStart = ctx.matchEnd = 0;
        ctx.gaveUp = false;
    } catch (...) {
        return false;
    }
    const bool matched = Machine(m_program, text, ctx, m_stepBudget).Run();
    if (endOut)
        *endOut = ctx.matchEnd;
    return matched;
}
