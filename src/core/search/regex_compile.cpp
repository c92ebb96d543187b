// Compilation of patterns into the instruction templates the machine runs.

#include <initializer_list>
#include <string>

#include "core/platform/ascii_case.h"
#include "core/search/regex.h"

namespace {

// The abbreviations, character for character: the letter, then an entry of which
// only the first repeat-expression is compiled.
const char16_t* const kAbbreviations[] = {
    u"a([a-zA-Z0-9])",
    u"b([ \\t])",
    u"c([a-zA-Z])",
    u"d([0-9])",
    u"h([0-9a-fA-F])",
    u"n(\r|(\r?\n))",
    u"q(\"[^\"]*\")|('[^']*')",
    u"w([a-zA-Z]+)",
    u"z([0-9]+)",
};

}  // namespace

class RegexCompiler {
public:
    RegexCompiler(Regex& regex, std::u16string_view source, int depth)
        : m_regex(regex), m_src(source), m_depth(depth) {}

    void CompileProgram() {
        Emit(OpCall, 2);
        if (!m_src.empty() && m_src[0] == u'^') {
            Emit(OpFail);
            m_pos = 1;
        } else {
            Emit(OpNextStart);
        }
        bool empty = true;
        CompileSequence(empty);  // text after an unusable closing character is ignored
        Emit(OpMatch);
    }

    // One repeat-expression of an abbreviation entry, compiled in place.
    bool CompileEntry(bool& empty) {
        CompileRepeat(empty);
        return m_regex.m_lastError == RegexOk;
    }

private:
    using Program = std::vector<RegexInstruction>;

    bool Failed() const { return m_regex.m_lastError != RegexOk; }
    void Fail(RegexError e) {
        if (!Failed())
            m_regex.m_lastError = e;
    }
    bool AtEnd() const { return m_pos >= m_src.size(); }
    char16_t Peek() const { return AtEnd() ? u'\0' : m_src[m_pos]; }
    bool AtCloser() const { return AtEnd() || Peek() == u')' || Peek() == u'}' || Peek() == u']'; }
    uint32_t Here() const { return static_cast<uint32_t>(Program_().size()); }
    Program& Program_() { return m_regex.m_program; }
    const Program& Program_() const { return m_regex.m_program; }

    // Programs larger than this count as out of memory: `+` copies its operand,
    // so nesting can double the size at every level.
    static constexpr size_t kMaxProgram = 1 << 20;

    uint32_t Emit(uint32_t kind, uint32_t operand = 0) {
        if (Program_().size() >= kMaxProgram) {
            Fail(RegexOutOfMemory);
            return Here();
        }
        Program_().push_back({kind, operand});
        return Here() - 1;
    }
    void Patch(uint32_t at, uint32_t target) {
        if (at < Here())
            Program_()[at].operand = target;
    }

    struct Mark {
        size_t pos;
        uint32_t code, groups, slots;
    };
    Mark Save() const { return {m_pos, Here(), m_regex.m_groupCount, m_regex.m_slotCount}; }

    // sequence = alternations until the end or a closing character.
    // Leaves `empty` as it was when there is no element.
    void CompileSequence(bool& empty) {
        bool any = false, all = true;
        while (!Failed() && !AtCloser()) {
            bool e = false;
            CompileAlternation(e);
            any = true;
            all = all && e;
        }
        if (any)
            empty = all;
    }

    // alternation = repeat-expression [ '|' alternation ]
    // Leaves `empty` as it was when there is nothing before a closer, so that an
    // empty right side (`{a|}`) keeps the may-be-empty flag it starts with.
    void CompileAlternation(bool& empty) {
        if (AtCloser())
            return;
        const Mark start = Save();
        Emit(OpSavePos);
        const uint32_t callX = Emit(OpCall);
        Emit(OpRestorePos);
        const uint32_t jumpY = Emit(OpJump);
        const uint32_t x = Here();
        bool left = false;
        CompileRepeat(left);
        if (Failed())
            return;
        if (Peek() != u'|') {
            // Not an alternation after all: X alone, exactly as if compiled on its own.
            Program_().erase(Program_().begin() + start.code, Program_().begin() + x);
            Relocate(start.code, Here(), -static_cast<int64_t>(x - start.code), 0, 0);
            empty = left;
            return;
        }
        Patch(callX, x);
        ++m_pos;
        if (AtEnd() || Peek() == u')') {
            // An empty right side: the whole alternation compiles to nothing.
            Program_().resize(start.code);
            m_regex.m_groupCount = start.groups;
            m_regex.m_slotCount = start.slots;
            empty = true;
            return;
        }
        const uint32_t jumpE = Emit(OpJump);
        Patch(jumpY, Here());
        bool right = true;
        CompileAlternation(right);
        Patch(jumpE, Here());
        empty = left || right;
    }

    static bool IsTarget(uint32_t kind) {
        return kind == OpJump || kind == OpCall || kind == OpInSet || kind == OpNotInSet;
    }
    static bool IsSlot(uint32_t kind) { return kind >= OpPushSlot && kind <= OpReturnIfNoProgress; }

    // Moves the targets of [begin, end) by `delta` and renumbers the slots from
    // `slotBase` on by `slotDelta`: the code then reads as if it had been compiled
    // at its new place, after `slotDelta` more slots had been taken.
    void Relocate(uint32_t begin, uint32_t end, int64_t delta, uint32_t slotBase,
                  uint32_t slotDelta) {
        for (uint32_t i = begin; i < end; ++i) {
            auto& ins = Program_()[i];
            if (IsTarget(ins.kind))
                ins.operand = static_cast<uint32_t>(ins.operand + delta);
            if (IsSlot(ins.kind) && ins.operand >= slotBase)
                ins.operand += slotDelta;
        }
    }

    void Insert(uint32_t at, std::initializer_list<RegexInstruction> code) {
        if (Program_().size() + code.size() > kMaxProgram)
            return Fail(RegexOutOfMemory);
        Program_().insert(Program_().begin() + at, code);
    }

    // repeat-expression = atom [ * + ? *? +? ?? ]
    //
    // The templates put code before the atom's code; rather than compiling the
    // atom a second time in place, its code is moved and relocated, which gives
    // the same program without compiling nested constructs repeatedly.
    void CompileRepeat(bool& empty) {
        if (AtCloser())
            return;  // no atom: the enclosing construct ends here
        const Mark start = Save();
        bool atomEmpty = false;
        CompileAtom(atomEmpty);
        if (Failed() || AtEnd() || (Peek() != u'*' && Peek() != u'+' && Peek() != u'?')) {
            empty = atomEmpty;
            return;
        }
        const char16_t q = Peek();
        const bool lazy = m_pos + 1 < m_src.size() && m_src[m_pos + 1] == u'?';
        m_pos += lazy ? 2 : 1;
        if (atomEmpty && q != u'?')
            return Fail(RegexInvalidRepeator);
        const uint32_t x = start.code;
        const uint32_t xEnd = Here();
        const uint32_t atomSlots = m_regex.m_slotCount - start.slots;
        if (q == u'+') {
            // X, then the star template over a second copy of X whose groups keep
            // the first copy's numbers and whose slots are new.
            const std::vector<RegexInstruction> copy(Program_().begin() + x,
                                                     Program_().begin() + xEnd);
            if (lazy) {
                EmitLazyStar(copy, x, start.slots, atomSlots);
            } else {
                EmitGreedyOver(copy, x, start.slots, atomSlots);
            }
            // X+ matches X at least once; X+? may stop before trying it.
            empty = lazy || atomEmpty;
            return;
        }
        empty = true;
        if (lazy) {
            // X*?  b: OpCall e, X, OpJump b, e:      X??  OpCall e, X, e:
            Insert(x, {{OpCall, 0}});
            Relocate(x + 1, Here(), 1, 0, 0);
            if (q == u'*')
                Emit(OpJump, x);
            Patch(x, Here());
            return;
        }
        // X* and X?: the progress slot is taken before the atom's own slots.
        const uint32_t m = start.slots;
        ++m_regex.m_slotCount;
        Insert(x, {{OpPushSlot, m},
                   {OpSlotFromPos, m},
                   {OpSavePos, 0},
                   {OpCall, x + 7},
                   {OpRestorePos, 0},
                   {OpPopSlot, m},
                   {OpJump, 0}});
        if (Failed())
            return;
        Relocate(x + 7, Here(), 7, start.slots, 1);
        Emit(OpReturnIfNoProgress, m);
        Emit(OpSlotFromPos, m);
        if (q == u'*')
            Emit(OpJump, x);
        Patch(x + 6, Here());
    }

    // Appends `copy` (code compiled at `from`, using slots from `slotBase`) as if
    // compiled here, after `slotShift` more slots.
    void AppendCopy(const std::vector<RegexInstruction>& copy, uint32_t from, uint32_t slotBase,
                    uint32_t slotShift) {
        if (Program_().size() + copy.size() > kMaxProgram)
            return Fail(RegexOutOfMemory);
        const uint32_t at = Here();
        Program_().insert(Program_().end(), copy.begin(), copy.end());
        Relocate(at, Here(), static_cast<int64_t>(at) - from, slotBase, slotShift);
    }

    void EmitGreedyOver(const std::vector<RegexInstruction>& copy, uint32_t from, uint32_t slotBase,
                        uint32_t atomSlots) {
        const uint32_t m = m_regex.m_slotCount++;
        const uint32_t b = Here();
        Emit(OpPushSlot, m);
        Emit(OpSlotFromPos, m);
        Emit(OpSavePos);
        const uint32_t call = Emit(OpCall);
        Emit(OpRestorePos);
        Emit(OpPopSlot, m);
        const uint32_t jumpE = Emit(OpJump);
        Patch(call, Here());
        AppendCopy(copy, from, slotBase, atomSlots + 1);
        m_regex.m_slotCount += atomSlots;
        Emit(OpReturnIfNoProgress, m);
        Emit(OpSlotFromPos, m);
        Emit(OpJump, b);
        Patch(jumpE, Here());
    }

    void EmitLazyStar(const std::vector<RegexInstruction>& copy, uint32_t from, uint32_t slotBase,
                      uint32_t atomSlots) {
        const uint32_t b = Here();
        const uint32_t call = Emit(OpCall);
        AppendCopy(copy, from, slotBase, atomSlots);
        m_regex.m_slotCount += atomSlots;
        Emit(OpJump, b);
        Patch(call, Here());
    }

    void CompileAtom(bool& empty) {
        if (AtCloser())
            return;
        const char16_t c = m_src[m_pos];
        switch (c) {
            case u'{':
                return CompileCapture(empty);
            case u'(':
                return CompileGroup(empty);
            case u'[':
                return CompileSet(empty);
            case u'\\':
                return CompileEscape(empty);
            case u'!':
                return CompileLookAhead(empty);
            case u'.':
                ++m_pos;
                Emit(OpAnyChar);
                empty = false;
                return;
            case u'$':
                if (m_pos + 1 == m_src.size()) {
                    ++m_pos;
                    Emit(OpChar, 0);  // matches only the text's terminator
                    empty = false;
                    return;
                }
                break;
            default:
                break;
        }
        ++m_pos;
        Emit(OpChar, c);
        empty = false;
    }

    bool Enter() {
        if (m_depth >= Regex::kMaxNesting) {
            Fail(RegexOutOfMemory);
            return false;
        }
        ++m_depth;
        return true;
    }

    // The body of a group; one OpNop when it emits nothing.
    void CompileBody(bool& empty) {
        const uint32_t before = Here();
        CompileSequence(empty);
        if (Here() == before)
            Emit(OpNop);
    }

    void CompileGroup(bool& empty) {
        if (!Enter())
            return;
        ++m_pos;
        const uint32_t call = Emit(OpCall);
        Emit(OpReturn);
        Patch(call, Here());
        CompileBody(empty);
        --m_depth;
        if (Failed())
            return;
        if (Peek() != u')')
            return Fail(RegexParenExpected);
        ++m_pos;
    }

    void CompileCapture(bool& empty) {
        if (!Enter())
            return;
        ++m_pos;
        const uint32_t g = m_regex.m_groupCount++;
        Emit(OpPushGroup, g);
        Emit(OpGroupOpen, g);
        const uint32_t call = Emit(OpCall);
        Emit(OpPopGroup, g);
        Emit(OpReturn);
        Patch(call, Here());
        CompileBody(empty);
        --m_depth;
        if (Failed())
            return;
        if (Peek() != u'}')
            return Fail(RegexBraceExpected);
        ++m_pos;
        Emit(OpGroupClose, g);
    }

    void CompileLookAhead(bool& empty) {
        if (!Enter())
            return;
        ++m_pos;
        const uint32_t p = m_regex.m_slotCount++;
        const uint32_t d = m_regex.m_slotCount++;
        Emit(OpSlotFromPos, p);
        Emit(OpSlotFromDepth, d);
        const uint32_t call = Emit(OpCall);
        Emit(OpPosFromSlot, p);
        Emit(OpDepthFromSlot, d);
        const uint32_t jumpE = Emit(OpJump);
        Patch(call, Here());
        CompileAtom(empty);
        Emit(OpPosFromSlot, p);
        Emit(OpDepthFromSlot, d);
        Emit(OpReturn);
        Patch(jumpE, Here());
        --m_depth;
    }

    void CompileEscape(bool& empty) {
        ++m_pos;
        if (AtEnd()) {
            // A lone trailing backslash stands for itself.
            Emit(OpChar, u'\\');
            empty = false;
            return;
        }
        const char16_t c = m_src[m_pos++];
        if (c >= u'0' && c <= u'9') {
            const uint32_t group = c - u'0';
            if (group >= m_regex.m_groupCount)
                return Fail(RegexInvalidGroup);
            Emit(OpBackRef, group);
            empty = false;
            return;
        }
        for (const char16_t* entry : kAbbreviations) {
            if (entry[0] != c)
                continue;
            std::u16string text(entry + 1);
            if (!m_regex.m_caseSensitive) {
                for (auto& ch : text)
                    ch = platform::AsciiLower(ch);
            }
            RegexCompiler sub(m_regex, text, m_depth);
            if (!sub.CompileEntry(empty))
                m_regex.m_lastError = RegexUnexpectedSyntax;
            return;
        }
        Emit(OpChar, c);
        empty = false;
    }

    void CompileSet(bool& empty) {
        ++m_pos;
        bool negated = false;
        if (Peek() == u'^' && !AtEnd()) {
            negated = true;
            ++m_pos;
        }
        if (!AtEnd() && Peek() == u']')
            return Fail(RegexEmptyRange);
        const uint32_t head = Emit(negated ? OpNotInSet : OpInSet);
        for (;;) {
            if (AtEnd())
                return Fail(RegexBracketExpected);
            char16_t lo = m_src[m_pos++];
            if (lo == u']')
                break;
            if (lo == u'\\') {
                if (AtEnd())
                    return Fail(RegexBracketExpected);
                lo = m_src[m_pos++];
                if (lo == u't')
                    lo = u'\t';
            }
            char16_t hi = lo;
            if (Peek() == u'-' && !AtEnd()) {
                ++m_pos;
                if (AtEnd() || Peek() == u']')
                    return Fail(RegexBracketExpected);
                hi = m_src[m_pos++];
                if (hi < lo)
                    return Fail(RegexInvalidRange);
            }
            Emit(OpNop, lo);
            Emit(OpNop, hi);
        }
        Patch(head, Here());
        empty = false;
    }

    Regex& m_regex;
    std::u16string_view m_src;
    size_t m_pos = 0;
    int m_depth;
};

RegexError Regex::Parse(const char16_t* pattern, bool caseSensitive) {
    if (!pattern)
        return RegexInvalidInput;
    return Parse(std::u16string_view(pattern), caseSensitive);
}

RegexError Regex::Parse(std::u16string_view pattern, bool caseSensitive) {
    m_program.clear();
    m_groupCount = 0;
    m_slotCount = 0;
    m_lastError = RegexOk;
    m_caseSensitive = caseSensitive;
    std::u16string folded;
    if (!caseSensitive) {
        folded.assign(pattern);
        for (auto& c : folded)
            c = platform::AsciiLower(c);
        pattern = folded;
    }
    try {
        RegexCompiler compiler(*this, pattern, 0);
        compiler.CompileProgram();
    } catch (...) {
        m_lastError = RegexOutOfMemory;
    }
    if (m_lastError != RegexOk)
        m_program.clear();  // a partial program is never run
    return m_lastError;
}

const char* RegexErrorText(int32_t code) {
    static const char* const kTexts[] = {
        "Worked OK",        "Out of memory",     "Brace expected", "Paren expected",
        "Bracket expected", "Unexpected syntax", "Empty range",    "Invalid group",
        "Invalid range",    "Invalid repeator",  "Invalid input",
    };
    return code >= 0 && code <= 10 ? kTexts[code] : "Unknown error";
}
