#include "platform/tmpl.h"

#include "tests/support/testroot.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

namespace {

// Owns a varlist for the length of a test.
struct Vars {
    TMPL_varlist* list = nullptr;
    Vars() = default;
    Vars(const Vars&) = delete;
    Vars& operator=(const Vars&) = delete;
    ~Vars() { TMPL_free_varlist(list); }
};

TMPL_varlist* row(const char* name, const char* value) { return TMPL_add_var(nullptr, name, value, 0); }

// name=World, empty="", zero=0, one=1, html=<a href='x'>&"; loop "rows" with
// v=a,b,c (the second row also shadows "name"), each row with an "inner" loop
// of two rows w=1,2; loop "none" without rows.
void fillSample(Vars& vars)
{
    vars.list = TMPL_add_var(vars.list, "name", "World", "empty", "", "zero", "0", "one", "1", "html",
                             "<a href='x'>&\"", "text", "a b/c?d=e&f", 0);
    TMPL_loop* rows = nullptr;
    const char* const values[] = {"a", "b", "c"};
    for (const char* v : values) {
        TMPL_varlist* r = row("v", v);
        if (v[0] == 'b')
            r = TMPL_add_var(r, "name", "Row", 0);
        TMPL_loop* inner = TMPL_add_varlist(nullptr, row("w", "1"));
        inner = TMPL_add_varlist(inner, row("w", "2"));
        r = TMPL_add_loop(r, "inner", inner);
        rows = TMPL_add_varlist(rows, r);
    }
    vars.list = TMPL_add_loop(vars.list, "rows", rows);
    vars.list = TMPL_add_loop(vars.list, "none", nullptr);
}

std::string render(const std::string& text, const TMPL_varlist* vars, bool* ok = nullptr,
                   const std::string& dir = std::string())
{
    std::string out;
    bool result = TMPL_render_string(text, dir, vars, out);
    if (ok)
        *ok = result;
    return out;
}

// ---------------------------------------------------------------------------
// Variable lists and loops

TEST(TmplVarlist, ManyPairsEndAtTheZero)
{
    Vars vars;
    vars.list = TMPL_add_var(vars.list, "a", "1", "b", "2", "c", "3", "d", "4", "e", "5", "f", "6", 0);
    const char* const expected[][2] = {{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}, {"e", "5"}, {"f", "6"}};
    for (const auto& pair : expected)
        EXPECT_STREQ(TMPL_get_var(vars.list, pair[0]), pair[1]) << pair[0];
    EXPECT_EQ(TMPL_get_var(vars.list, "g"), nullptr);
    Vars empty;
    empty.list = TMPL_add_var(nullptr, 0);  // a null list starts a new one
    ASSERT_NE(empty.list, nullptr);
    EXPECT_EQ(TMPL_get_var(empty.list, "a"), nullptr);
}

TEST(TmplVarlist, NullValueIsEmptyAndLaterWins)
{
    Vars vars;
    const char* missing = nullptr;
    vars.list = TMPL_add_var(vars.list, "a", missing, "b", "first", 0);
    vars.list = TMPL_add_var(vars.list, "b", "second", 0);
    EXPECT_STREQ(TMPL_get_var(vars.list, "a"), "");
    EXPECT_STREQ(TMPL_get_var(vars.list, "b"), "second");
    EXPECT_EQ(render("<TMPL_VAR b>", vars.list), "second");
}

TEST(TmplVarlist, ArrayFormStopsAtCountAndNullName)
{
    Vars vars;
    const char* const items[] = {"a", "1", nullptr, "x", "b", "2"};
    vars.list = TMPL_add_var_array(nullptr, items, 6);
    EXPECT_STREQ(TMPL_get_var(vars.list, "a"), "1");
    EXPECT_EQ(TMPL_get_var(vars.list, "b"), nullptr);
    // A name whose value would lie past the count gets the empty text.
    vars.list = TMPL_add_var_array(vars.list, items + 4, 1);
    EXPECT_STREQ(TMPL_get_var(vars.list, "b"), "");
}

TEST(TmplVarlist, LoopsAreOwnedAndReplaced)
{
    Vars vars;
    TMPL_loop* first = TMPL_add_varlist(nullptr, row("v", "old"));
    vars.list = TMPL_add_loop(vars.list, "l", first);
    // Replacing frees the first loop (the leak checker would see it otherwise).
    TMPL_loop* second = TMPL_add_varlist(nullptr, row("v", "new"));
    second = TMPL_add_varlist(second, row("v", "newer"));
    vars.list = TMPL_add_loop(vars.list, "l", second);
    // Adding the same loop again must not free it.
    vars.list = TMPL_add_loop(vars.list, "l", second);
    const TMPL_loop* loop = TMPL_get_loop(vars.list, "l");
    ASSERT_EQ(TMPL_loop_size(loop), 2);
    EXPECT_STREQ(TMPL_get_var(TMPL_loop_row(loop, 1), "v"), "newer");
    EXPECT_EQ(TMPL_loop_row(loop, 2), nullptr);
    EXPECT_EQ(TMPL_loop_row(loop, -1), nullptr);
    // A loop without a name is freed rather than leaked; a null row is ignored.
    vars.list = TMPL_add_loop(vars.list, nullptr, TMPL_add_varlist(nullptr, row("v", "x")));
    EXPECT_EQ(TMPL_loop_size(TMPL_add_varlist(second, nullptr)), 2);
}

// ---------------------------------------------------------------------------
// Rendering

struct Case {
    const char* tmpl;
    const char* expected;
};

TEST(TmplRender, Tags)
{
    const Case cases[] = {
        // Tag forms and name quoting.
        {"Hello <TMPL_VAR NAME=name>!", "Hello World!"},
        {"<TMPL_VAR NAME=\"name\">", "World"},
        {"<TMPL_VAR NAME='name'>", "World"},
        {"<TMPL_VAR name>", "World"},
        {"<tmpl_var name=name>", "World"},
        {"<Tmpl_Var   Name = \"name\"  >", "World"},
        {"<!-- TMPL_VAR NAME=name -->", "World"},
        {"<!--TMPL_VAR name-->", "World"},
        {"<TMPL_VAR\nname\n>", "World"},
        // Absent and default values.
        {"[<TMPL_VAR missing>]", "[]"},
        {"[<TMPL_VAR missing DEFAULT=dflt>]", "[dflt]"},
        {"[<TMPL_VAR empty DEFAULT=dflt>]", "[]"},
        {"<TMPL_VAR NAME=\"a>b\" DEFAULT=\"x>y\">", "x>y"},
        // Escapes; none unless asked.
        {"<TMPL_VAR html>", "<a href='x'>&\""},
        {"<TMPL_VAR html ESCAPE=HTML>", "&lt;a href=&#39;x&#39;&gt;&amp;&quot;"},
        {"<TMPL_VAR html escape=html>", "&lt;a href=&#39;x&#39;&gt;&amp;&quot;"},
        {"<TMPL_VAR html ESCAPE=1>", "&lt;a href=&#39;x&#39;&gt;&amp;&quot;"},
        {"<TMPL_VAR html ESCAPE=0>", "<a href='x'>&\""},
        {"<TMPL_VAR html ESCAPE=NONE>", "<a href='x'>&\""},
        {"<TMPL_VAR text ESCAPE=URL>", "a%20b%2Fc%3Fd%3De%26f"},
        {"<TMPL_VAR html ESCAPE=JS>", "\\x3Ca href=\\'x\\'\\x3E\\x26\\\""},
        {"<TMPL_VAR missing ESCAPE=HTML DEFAULT='<'>", "&lt;"},
        // Conditions.
        {"<TMPL_IF name>y<TMPL_ELSE>n</TMPL_IF>", "y"},
        {"<TMPL_IF empty>y<TMPL_ELSE>n</TMPL_IF>", "n"},
        {"<TMPL_IF zero>y<TMPL_ELSE>n</TMPL_IF>", "n"},
        {"<TMPL_IF one>y<TMPL_ELSE>n</TMPL_IF>", "y"},
        {"<TMPL_IF missing>y<TMPL_ELSE>n</TMPL_IF>", "n"},
        {"<TMPL_IF rows>y<TMPL_ELSE>n</TMPL_IF>", "y"},
        {"<TMPL_IF none>y<TMPL_ELSE>n</TMPL_IF>", "n"},
        {"<TMPL_IF one>y</TMPL_IF>.", "y."},
        {"<TMPL_IF zero>y</TMPL_IF>.", "."},
        {"<TMPL_UNLESS zero>u<TMPL_ELSE>e</TMPL_UNLESS>", "u"},
        {"<TMPL_UNLESS one>u<TMPL_ELSE>e</TMPL_UNLESS>", "e"},
        {"<TMPL_UNLESS none>u</TMPL_UNLESS>", "u"},
        {"<!-- TMPL_IF one -->y<!-- TMPL_ELSE -->n<!-- /TMPL_IF -->", "y"},
        {"<tmpl_if one>y</tmpl_if >", "y"},
        {"<TMPL_IF one><TMPL_IF zero>a<TMPL_ELSE><TMPL_UNLESS empty>b</TMPL_UNLESS></TMPL_IF></TMPL_IF>", "b"},
        // Loops, scope and loop variables.
        {"<TMPL_LOOP rows><TMPL_VAR v></TMPL_LOOP>", "abc"},
        {"<TMPL_LOOP none>x</TMPL_LOOP>.", "."},
        {"<TMPL_LOOP missing>x</TMPL_LOOP>.", "."},
        {"<TMPL_LOOP rows><TMPL_VAR name>,</TMPL_LOOP>", "World,Row,World,"},
        {"<TMPL_LOOP rows><TMPL_LOOP inner><TMPL_VAR v><TMPL_VAR w></TMPL_LOOP></TMPL_LOOP>", "a1a2b1b2c1c2"},
        {"<TMPL_LOOP rows><TMPL_LOOP inner><TMPL_IF one><TMPL_VAR name></TMPL_IF></TMPL_LOOP>;</TMPL_LOOP>",
         "WorldWorld;RowRow;WorldWorld;"},
        {"<TMPL_LOOP rows><TMPL_VAR __counter__><TMPL_IF __first__>F</TMPL_IF><TMPL_IF __last__>L</TMPL_IF>"
         "<TMPL_IF __odd__>O</TMPL_IF><TMPL_IF __even__>E</TMPL_IF><TMPL_IF __inner__>I</TMPL_IF>,</TMPL_LOOP>",
         "1FO,2EI,3LO,"},
        {"<TMPL_LOOP rows><TMPL_LOOP inner><TMPL_VAR __counter__></TMPL_LOOP></TMPL_LOOP>", "121212"},
        {"[<TMPL_VAR __counter__>]", "[]"},
        {"<!-- TMPL_LOOP rows --><TMPL_VAR v><!-- /TMPL_LOOP -->", "abc"},
        // Text that only looks like a tag is left alone.
        {"<TMPLATE> <b>a < b</b> <!-- note --> <TMPL", "<TMPLATE> <b>a < b</b> <!-- note --> <TMPL"},
        {"line1\nline2\n", "line1\nline2\n"},
        {"", ""},
    };
    Vars vars;
    fillSample(vars);
    for (const Case& c : cases) {
        bool ok = false;
        EXPECT_EQ(render(c.tmpl, vars.list, &ok), c.expected) << c.tmpl;
        EXPECT_TRUE(ok) << c.tmpl;
    }
}

TEST(TmplRender, NullVarlistRendersEverythingAbsent)
{
    bool ok = false;
    EXPECT_EQ(render("<TMPL_VAR a>|<TMPL_IF a>y<TMPL_ELSE>n</TMPL_IF>|<TMPL_LOOP l>x</TMPL_LOOP>", nullptr, &ok), "|n|");
    EXPECT_TRUE(ok);
}

TEST(TmplRender, RowValueShadowsOuterOnlyInsideItsRow)
{
    Vars vars;
    vars.list = TMPL_add_var(nullptr, "x", "outer", 0);
    vars.list = TMPL_add_loop(vars.list, "l", TMPL_add_varlist(nullptr, row("x", "inner")));
    EXPECT_EQ(render("<TMPL_VAR x>/<TMPL_LOOP l><TMPL_VAR x></TMPL_LOOP>/<TMPL_VAR x>", vars.list),
              "outer/inner/outer");
}

// Each malformed template renders only an error naming the problem and line.
TEST(TmplRender, MalformedTemplates)
{
    struct Bad {
        const char* tmpl;
        const char* problem;  // as it appears in the (HTML-escaped) error text
        int line;
    };
    const Bad cases[] = {
        {"a\n<TMPL_IF x>b", "unclosed &lt;TMPL_IF&gt;", 2},
        {"<TMPL_LOOP rows>", "unclosed &lt;TMPL_LOOP&gt;", 1},
        {"a\n<TMPL_LOOP rows>\n</TMPL_IF>", "&lt;/TMPL_IF&gt; closes &lt;TMPL_LOOP&gt; of line 2", 3},
        {"<TMPL_IF a><TMPL_UNLESS b></TMPL_IF></TMPL_UNLESS>", "closes &lt;TMPL_UNLESS&gt;", 1},
        {"x\n\n</TMPL_LOOP>", "&lt;/TMPL_LOOP&gt; without &lt;TMPL_LOOP&gt;", 3},
        {"<TMPL_FOO x>", "unknown tag &lt;TMPL_FOO&gt;", 1},
        {"<TMPL_VARS x>", "unknown tag &lt;TMPL_VARS&gt;", 1},
        {"text <TMPL_", "unknown tag &lt;TMPL_&gt;", 1},
        {"\n<TMPL_VAR x", "unclosed &lt;TMPL_VAR&gt;", 2},
        {"<TMPL_VAR NAME=\"x>", "unclosed &lt;TMPL_VAR&gt;", 1},
        {"<!-- TMPL_VAR x >", "malformed &lt;TMPL_VAR&gt;", 1},
        {"<TMPL_VAR NAME=>", "malformed &lt;TMPL_VAR&gt;", 1},
        {"<TMPL_VAR =x>", "malformed &lt;TMPL_VAR&gt;", 1},
        {"<TMPL_VAR>", "&lt;TMPL_VAR&gt; without NAME", 1},
        {"<TMPL_LOOP ESCAPE=HTML>", "&lt;TMPL_LOOP&gt; without NAME", 1},
        {"<TMPL_VAR a b>", "more than one NAME", 1},
        {"<TMPL_VAR x ESCAPE=WRONG>", "unknown ESCAPE=WRONG", 1},
        {"<TMPL_VAR x FOO=1>", "unknown attribute FOO", 1},
        {"<TMPL_ELSE>", "&lt;TMPL_ELSE&gt; outside", 1},
        {"<TMPL_IF a>1<TMPL_ELSE>2\n<TMPL_ELSE>3</TMPL_IF>", "&lt;TMPL_ELSE&gt; outside", 2},
        {"<TMPL_LOOP rows><TMPL_ELSE></TMPL_LOOP>", "&lt;TMPL_ELSE&gt; outside", 1},
        {"</TMPL_VAR>", "unexpected &lt;/TMPL_VAR&gt;", 1},
        {"</TMPL_ELSE>", "unexpected &lt;/TMPL_ELSE&gt;", 1},
        {"<TMPL_INCLUDE>", "&lt;TMPL_INCLUDE&gt; without NAME", 1},
    };
    Vars vars;
    fillSample(vars);
    for (const Bad& c : cases) {
        bool ok = true;
        std::string out = render(c.tmpl, vars.list, &ok);
        EXPECT_FALSE(ok) << c.tmpl;
        EXPECT_EQ(out.rfind("Template error: template line " + std::to_string(c.line) + ": ", 0), 0u)
            << c.tmpl << " -> " << out;
        EXPECT_NE(out.find(c.problem), std::string::npos) << c.tmpl << " -> " << out;
    }
}

TEST(TmplRender, NestingIsBounded)
{
    std::string deep;
    for (int i = 0; i < 1000; ++i)
        deep += "<TMPL_IF a>";
    bool ok = true;
    EXPECT_NE(render(deep, nullptr, &ok).find("nested too deep"), std::string::npos);
    EXPECT_FALSE(ok);

    std::string fine;
    for (int i = 0; i < 50; ++i)
        fine = "<TMPL_UNLESS a>" + fine + "</TMPL_UNLESS>";
    EXPECT_EQ(render(fine + "x", nullptr, &ok), "x");
    EXPECT_TRUE(ok);
}

// A loop nested inside itself multiplies; the renderer gives up instead of
// running (nearly) for ever.
TEST(TmplRender, RunawayRenderingStops)
{
    Vars vars;
    TMPL_loop* loop = nullptr;
    for (int i = 0; i < 20; ++i)
        loop = TMPL_add_varlist(loop, row("v", "x"));
    vars.list = TMPL_add_loop(nullptr, "l", loop);
    std::string tmpl;
    for (int i = 0; i < 8; ++i)
        tmpl = "<TMPL_LOOP l>" + tmpl + "<TMPL_VAR v></TMPL_LOOP>";
    bool ok = true;
    std::string out = render(tmpl, vars.list, &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(out.find("too large"), std::string::npos);
    // Two levels are fine: the same loop may appear inside itself.
    EXPECT_EQ(render("<TMPL_LOOP l><TMPL_LOOP l><TMPL_VAR v></TMPL_LOOP></TMPL_LOOP>", vars.list, &ok).size(), 400u);
    EXPECT_TRUE(ok);
}

// ---------------------------------------------------------------------------
// Files and includes

class TmplFiles : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& text)
    {
        root_.write("/phone/www/WEB-INFO/template/" + name, text);
        return root_.real("/phone/www/WEB-INFO/template/" + name);
    }
    std::string renderFile(const std::string& name, bool* ok = nullptr)
    {
        std::string out;
        bool result = TMPL_render_file(root_.real("/phone/www/WEB-INFO/template/" + name), vars_.list, out);
        if (ok)
            *ok = result;
        return out;
    }
    void SetUp() override { fillSample(vars_); }

    TestRoot root_;
    Vars vars_;
};

TEST_F(TmplFiles, RendersFileWithIncludes)
{
    write("page.htm", "<TMPL_INCLUDE NAME=\"head.htm\">[<TMPL_LOOP rows><TMPL_INCLUDE part/row.htm></TMPL_LOOP>]");
    write("head.htm", "<h1><TMPL_VAR name></h1>");
    // Nested includes resolve relative to the including file's folder.
    write("part/row.htm", "<!-- TMPL_INCLUDE cell.htm -->");
    write("part/cell.htm", "<TMPL_VAR v>");
    bool ok = false;
    EXPECT_EQ(renderFile("page.htm", &ok), "<h1>World</h1>[abc]");
    EXPECT_TRUE(ok);
}

TEST_F(TmplFiles, IncludesCannotLeaveTheFolder)
{
    root_.write("/phone/www/WEB-INFO/secret.htm", "SECRET");
    write("sub/x.htm", "SECRET");
    const char* const refused[] = {"../secret.htm", "sub/../../secret.htm", "..", "sub/..", "/etc/passwd",
                                   "./../secret.htm"};
    for (const char* name : refused) {
        write("page.htm", std::string("a\n<TMPL_INCLUDE NAME=\"") + name + "\">");
        bool ok = true;
        std::string out = renderFile("page.htm", &ok);
        EXPECT_FALSE(ok) << name;
        EXPECT_EQ(out.find("SECRET"), std::string::npos) << name;
        EXPECT_NE(out.find("page.htm line 2: refused include"), std::string::npos) << out;
    }
    // Dots that are not a whole ".." component are ordinary names.
    write("..x.htm", "dots");
    write("page.htm", "<TMPL_INCLUDE ..x.htm>");
    EXPECT_EQ(renderFile("page.htm"), "dots");
}

TEST_F(TmplFiles, IncludeFailuresNameTheFileAndLine)
{
    struct Broken {
        const char* page;
        const char* other;  // written as "other.htm" when set
        const char* error;
    };
    const Broken cases[] = {
        {"x\n\n<TMPL_INCLUDE nothere.htm>", nullptr, "page.htm line 3: missing include &quot;nothere.htm&quot;"},
        {"<TMPL_INCLUDE sub>", nullptr, "missing include"},  // a folder is not a template
        {"<TMPL_INCLUDE other.htm>", "ok\n<TMPL_IF x>", "other.htm line 2: unclosed &lt;TMPL_IF&gt;"},
        {"<TMPL_INCLUDE page.htm>", nullptr, "includes nested too deep"},
        {"<TMPL_INCLUDE other.htm>", "<TMPL_INCLUDE other.htm>", "other.htm line 1: includes nested too deep"},
        // Blocks do not span files.
        {"<TMPL_IF one><TMPL_INCLUDE other.htm>", "</TMPL_IF>", "other.htm line 1: &lt;/TMPL_IF&gt; without"},
    };
    write("sub/x.htm", "");
    for (const Broken& c : cases) {
        write("page.htm", c.page);
        if (c.other)
            write("other.htm", c.other);
        bool ok = true;
        std::string out = renderFile("page.htm", &ok);
        EXPECT_FALSE(ok) << c.page;
        EXPECT_NE(out.find(c.error), std::string::npos) << c.page << " -> " << out;
    }
}

// Files that each include the next several times expand exponentially well
// within the depth limit: the total number of includes is bounded too.
TEST_F(TmplFiles, IncludeFanOutIsBounded)
{
    for (int level = 1; level <= 5; ++level) {
        std::string next = "<TMPL_INCLUDE l" + std::to_string(level + 1) + ".htm>";
        write("l" + std::to_string(level) + ".htm", level == 5 ? "x" : next + next + next + next);
    }
    EXPECT_EQ(renderFile("l3.htm"), std::string(16, 'x'));
    write("page.htm", "<TMPL_INCLUDE l1.htm>");
    bool ok = true;
    std::string out = renderFile("page.htm", &ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(out.find("too many includes"), std::string::npos) << out;
}

TEST_F(TmplFiles, MissingTemplate)
{
    bool ok = true;
    std::string out = renderFile("absent.htm", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, "Template error: absent.htm: cannot read the template\n");
}

// Parsed templates are cached; an edit of the template or of an include is
// seen by the next render.
TEST_F(TmplFiles, EditsAreSeenThroughTheCache)
{
    write("page.htm", "A<TMPL_INCLUDE inc.htm>");
    write("inc.htm", "1");
    EXPECT_EQ(renderFile("page.htm"), "A1");
    EXPECT_EQ(renderFile("page.htm"), "A1");
    write("inc.htm", "22");
    EXPECT_EQ(renderFile("page.htm"), "A22");
    write("page.htm", "BB<TMPL_VAR name>");
    EXPECT_EQ(renderFile("page.htm"), "BBWorld");
    write("page.htm", "<TMPL_IF>");
    bool ok = true;
    renderFile("page.htm", &ok);
    EXPECT_FALSE(ok);
    write("page.htm", "fixed");
    EXPECT_EQ(renderFile("page.htm", &ok), "fixed");
    EXPECT_TRUE(ok);
}

// An edit that keeps the size and the time stamp is not seen until the cache
// is cleared.
TEST_F(TmplFiles, ClearCacheForgetsParsedTemplates)
{
    std::string path = write("page.htm", "old");
    struct stat before;
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    EXPECT_EQ(renderFile("page.htm"), "old");
    write("page.htm", "new");
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    TMPL_clear_cache();
    EXPECT_EQ(renderFile("page.htm"), "new");
}

TEST_F(TmplFiles, RenderStringIncludesFromTheGivenFolder)
{
    write("inc.htm", "<TMPL_VAR name>");
    std::string out;
    EXPECT_TRUE(TMPL_render_string("<<TMPL_INCLUDE inc.htm>>", root_.real("/phone/www/WEB-INFO/template"), vars_.list,
                                   out));
    EXPECT_EQ(out, "<World>");
}

}  // namespace
