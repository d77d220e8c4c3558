// Defining, finding and releasing variables; record-instance helpers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/harness.h"

namespace {

Variable* define(Ostrin& o, std::string name, int type, uint32_t count = 1, Variable* chain = nullptr)
{
    o.errorCode = 0;
    return o.defineVariable(name.data(), type, count, chain);
}

Variable* find(Ostrin& o, std::string ref)
{
    o.errorCode = 0;
    return o.findVariable(ref.data(), nullptr, false);
}

TEST(Variables, NamesIgnoreCaseAndHaveThirtySignificantCharacters)
{
    auto o = prepareImage("");
    ASSERT_NE(nullptr, define(*o, "TOTAL", TypeInt));
    EXPECT_EQ(nullptr, define(*o, "Total", TypeInt));
    EXPECT_EQ(ErrExists, o->errorCode);

    const std::string longName(40, 'q');
    Variable* v = define(*o, longName, TypeInt);
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(30u, std::strlen(v->name));
    EXPECT_EQ(v, find(*o, longName.substr(0, 30)));
    EXPECT_EQ(v, find(*o, longName));
    EXPECT_EQ(v, find(*o, std::string(35, 'Q')));
    EXPECT_EQ(v, find(*o, " " + longName));   // a later argument's leading blank
}

TEST(Variables, DefinitionErrors)
{
    struct Case { const char* name; int type; int error; };
    const Case cases[] = {
        {"s", TypeIString, ErrIStringSize},
        {"a[0]", TypeInt, ErrDimensionZero},
        {"a[-3]", TypeInt, ErrDimensionZero},
        {"a[2, 0]", TypeInt, ErrDimensionZero},
        {"a[3", TypeInt, ErrMalformed},
        {"SYSTEM_INT0", TypeInt, ErrExists},
    };
    auto o = prepareImage("");
    for (const Case& c : cases) {
        EXPECT_EQ(nullptr, define(*o, c.name, c.type)) << c.name;
        EXPECT_EQ(c.error, o->errorCode) << c.name;
        // A failed definition leaves nothing behind.
        EXPECT_EQ(nullptr, find(*o, "a"));
    }
}

TEST(Variables, Layouts)
{
    auto o = prepareImage("");
    Variable* s = define(*o, "s", TypeString);
    EXPECT_EQ(255u, s->count);
    EXPECT_EQ(255, s->capacity);
    EXPECT_EQ(1, s->width);
    EXPECT_EQ(255, s->dims[0]);
    EXPECT_TRUE(s->indexed);

    Variable* names = define(*o, "names[4]", TypeString);
    EXPECT_EQ(255u * 4, names->count);
    EXPECT_EQ(255, names->width);

    Variable* fixed = define(*o, "fixed[10]", TypeIString);
    EXPECT_EQ(TypeString, fixed->type);
    EXPECT_EQ(11, fixed->capacity);
    EXPECT_EQ(11u, fixed->count);

    Variable* grid = define(*o, "grid[2, 3, 4]", TypeDouble);
    EXPECT_EQ(24u, grid->count);
    EXPECT_EQ(4, grid->dims[2]);
    Variable* hex = define(*o, "hex[0x10]", TypeWord);
    EXPECT_EQ(16u, hex->count);
}

TEST(Variables, StringCharacterSelection)
{
    auto o = prepareImage("");
    Variable* s = define(*o, "s", TypeString);
    std::strcpy(s->data, "hello");
    Variable* v = find(*o, "s[1]");
    ASSERT_EQ(s, v);
    EXPECT_EQ('e', *v->data);
    EXPECT_EQ(1, v->capacity);
    v = find(*o, "s");
    EXPECT_EQ(s->base, v->data);
    EXPECT_EQ(255, v->capacity);   // the whole string is visible again

    Variable* names = define(*o, "names[3]", TypeString);
    v = find(*o, "names[2]");
    EXPECT_EQ(names->base + 2 * 255, v->data);
    EXPECT_EQ(255, v->capacity);
}

TEST(Variables, ArrayIndices)
{
    auto o = prepareImage("");
    Variable* a = define(*o, "a[3]", TypeInt);
    EXPECT_EQ(a->base + 8, find(*o, "a[2]")->data);
    for (const char* ref : {"a[3]", "a[-1]"}) {
        EXPECT_EQ(nullptr, find(*o, ref)) << ref;
        EXPECT_EQ(ErrRange, o->errorCode) << ref;
    }
    EXPECT_EQ(nullptr, find(*o, "a[1"));
    EXPECT_EQ(ErrMalformed, o->errorCode);

    Variable* m = define(*o, "m[2, 3]", TypeInt);
    EXPECT_EQ(m->base + 5 * 4, find(*o, "m[1, 2]")->data);
    Variable* c = define(*o, "c[2, 3, 4]", TypeChar);
    EXPECT_EQ(c->base + (1 + 2 * (2 + 3 * 3)), find(*o, "c[1,2,3]")->data);

    Variable* i = define(*o, "i", TypeInt);
    *reinterpret_cast<int32_t*>(i->data) = 1;
    EXPECT_EQ(a->base + 4, find(*o, "a[i]")->data);
    define(*o, "f", TypeFloat);
    EXPECT_EQ(nullptr, find(*o, "a[f]"));
    EXPECT_EQ(ErrType, o->errorCode);
    EXPECT_EQ(nullptr, find(*o, "a[nothing]"));
    EXPECT_EQ(ErrUndefined, o->errorCode);
}

// Evaluated indices and dimensions far outside the integers get the error a
// literal of that size gets: no unchecked conversion decides.
TEST(Variables, HugeEvaluatedIndicesAndDimensions)
{
    auto o = prepareImage("");
    define(*o, "a[3]", TypeInt);
    const std::string huge = "99999999999999999999*99999999999999999999";
    for (const std::string& ref : {"a[" + huge + "]", "a[0-" + huge + "]"}) {
        EXPECT_EQ(nullptr, find(*o, ref)) << ref;
        EXPECT_EQ(ErrRange, o->errorCode) << ref;
    }
    struct Case { std::string name; int error; };
    const Case cases[] = {
        {"big[(" + huge + ")]", ErrNoMemory},
        {"big[99999999999]", ErrNoMemory},
        {"neg[(0-" + huge + ")]", ErrDimensionZero},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(nullptr, define(*o, c.name, TypeInt)) << c.name;
        EXPECT_EQ(c.error, o->errorCode) << c.name;
    }
}

TEST(Variables, PointersAndMembers)
{
    auto o = prepareImage("");
    Variable* n = define(*o, "n", TypeInt);
    Variable* p = define(*o, "p", TypePointer);
    p->target = n;
    EXPECT_EQ(n, find(*o, "#p"));

    // A member path on a variable that is no record finds the variable.
    Variable* r = define(*o, "r", TypeInt);
    EXPECT_EQ(r, find(*o, "r.x"));

    // A record instance: a head record and its members.
    Variable* rec = define(*o, "rec", TypeUser);
    auto* head = static_cast<Variable*>(std::calloc(1, sizeof(Variable)));
    *reinterpret_cast<Variable**>(rec->data) = head;
    Variable* x = define(*o, "x", TypeInt, 1, head);
    ASSERT_NE(nullptr, x);
    EXPECT_EQ(x, find(*o, "rec.x"));
    EXPECT_EQ(x, find(*o, "REC.X"));
    EXPECT_EQ(nullptr, find(*o, "rec.y"));
    EXPECT_EQ(ErrUndefined, o->errorCode);
}

TEST(Variables, ScopeFallbackReachesOnlyTheTopLevel)
{
    auto o = prepareImage("");
    Variable* g = define(*o, "g", TypeInt);
    // First call: the top-level chain is saved, the locals start empty.
    o->scopeStack.push_back(o->runningChain());
    o->setRunningChain(nullptr);
    Variable* l = define(*o, "l", TypeInt);
    EXPECT_EQ(g, find(*o, "g"));
    EXPECT_EQ(l, find(*o, "l"));
    // A nested call sees the top level but not its caller's locals.
    o->scopeStack.push_back(o->runningChain());
    o->setRunningChain(nullptr);
    EXPECT_EQ(g, find(*o, "g"));
    EXPECT_EQ(nullptr, find(*o, "l"));
    EXPECT_EQ(ErrUndefined, o->errorCode);
    // A local may shadow a top-level name.
    Variable* g2 = define(*o, "g", TypeInt);
    EXPECT_EQ(g2, find(*o, "g"));
    o->release();   // stopped inside a call: locals go, the top level is freed too
    EXPECT_TRUE(o->scopeStack.empty());
    EXPECT_EQ(nullptr, o->precVar.next);
}

TEST(Variables, CurrentWindowToken)
{
    auto o = prepareImage("");
    Variable* w = define(*o, "w[3]", TypeWindow);
    reinterpret_cast<uint32_t*>(w->base)[2] = 0x1234;
    o->constants[Ostrin::CurrentWindowSlot] = 0x1234;
    Variable* v = find(*o, "\xFE\xE4\xE8");
    ASSERT_EQ(w, v);
    EXPECT_EQ(w->base + 8, v->data);
    reinterpret_cast<uint32_t*>(w->base)[2] = 0;   // the object is not owned by a real window
}

TEST(Records, SizePackUnpackCopy)
{
    auto o = prepareImage("");
    auto makeInstance = [&](const char* prefix) {
        auto* head = static_cast<Variable*>(std::calloc(1, sizeof(Variable)));
        define(*o, "c", TypeChar, 1, head);
        define(*o, "i", TypeInt, 1, head);
        define(*o, "d", TypeDouble, 1, head);
        define(*o, "s[7]", TypeIString, 1, head);
        define(*o, "w[2]", TypeWord, 1, head);
        (void)prefix;
        return head;
    };
    Variable* a = makeInstance("a");
    Variable* b = makeInstance("b");
    EXPECT_EQ(1u + 4 + 8 + 8 + 4, o->recordSize(a));

    Variable* m = a->next;
    *m->data = 'Z';
    m = m->next;
    *reinterpret_cast<int32_t*>(m->data) = -7;
    m = m->next;
    *reinterpret_cast<double*>(m->data) = 2.5;
    m = m->next;
    std::strcpy(m->data, "abcdefg");

    char block[64] = {};
    char* end = o->packRecord(a, block);
    EXPECT_EQ(block + o->recordSize(a), end);
    EXPECT_EQ('Z', block[0]);
    EXPECT_EQ(block + 25, o->unpackRecord(b, block));
    EXPECT_EQ(-7, *reinterpret_cast<int32_t*>(b->next->next->data));
    EXPECT_STREQ("abcdefg", b->next->next->next->next->data);

    // Copying keeps each member inside its own storage.
    std::memset(b->next->data, 0, 1);
    ASSERT_TRUE(o->copyRecord(b, a));
    EXPECT_EQ('Z', *b->next->data);
    EXPECT_EQ(2.5, *reinterpret_cast<double*>(b->next->next->next->data));

    // Members of different types do not copy.
    auto* other = static_cast<Variable*>(std::calloc(1, sizeof(Variable)));
    define(*o, "x", TypeFloat, 1, other);
    o->errorCode = 0;
    EXPECT_FALSE(o->copyRecord(other, a));
    EXPECT_EQ(ErrNoConvert, o->errorCode);

    o->freeVariables(a, false);
    o->freeVariables(b, false);
    o->freeVariables(other, false);
}

}  // namespace

namespace {

// The standard streams are FILE variables like any other: file statements
// reach their stream through the variable's slot.
TEST(Variables, StandardStreamsAreOrdinaryFileVariables)
{
    auto o = prepareImage("");
    std::string name = "SYSTEM_STDOUT0";
    Variable* out = o->findVariable(name.data(), nullptr, false);
    ASSERT_NE(nullptr, out);
    EXPECT_EQ(stdout, *reinterpret_cast<FILE**>(out->data));
    RunResult r = runProgram("write_file SYSTEM_STDOUT0, \"\"\r\n");
    EXPECT_EQ(1, r.ok);
    EXPECT_EQ(0, r.error);
}

// «s[1]» is one character wherever a string value is read.
TEST(Variables, SelectedCharacterReadsAlone)
{
    RunResult r = runProgram("declare_variables s, t:STRING\r\ns = \"hello\"\r\nt = s[1] + \"!\"\r\n"
                             "console_print s[1], t\r\n");
    EXPECT_EQ(0, r.error);
    EXPECT_EQ("ee!\n", r.output);
}

// A fixed string of several dimensions is selected in rows one byte longer
// than its first dimension: every row must lie in its storage.
TEST(Variables, RowsOfAFixedStringArrayLieInItsStorage)
{
    RunResult r = runProgram("declare_variables a[5, 4]:ISTRING\r\ndeclare_variables b[3]:ISTRING\r\n"
                             "b = \"qq\"\r\na[0, 3] = \"abcdefgh\"\r\na[2, 3] = \"xyz\"\r\na[4, 0] = \"k\"\r\n"
                             "console_print a[0, 3], a[2, 3], a[4, 0], b\r\n");
    EXPECT_EQ(0, r.error);
    EXPECT_EQ("abxyzxyzkqq\n", r.output);
    auto o = prepareImage("");
    Variable* grid = define(*o, "grid[5, 4]", TypeIString);
    EXPECT_EQ(21u, grid->count);   // as declared; the storage holds 6 x 4
    Variable* last = find(*o, "grid[0, 3]");
    ASSERT_NE(nullptr, last);
    EXPECT_EQ(grid->base + 18, last->data);
    EXPECT_EQ(6, last->capacity);
}

}  // namespace
