// The HTML::Template renderer. A template is parsed once into a flat list of
// operations (includes spliced in), kept in a cache keyed by path and checked
// against the files' stamps, then rendered against a varlist.
#include "platform/tmpl.h"

#include "platform/paths.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace {

const int kMaxIncludeDepth = 10;
// Bounds what a template that includes itself several times can expand to.
const int kMaxIncludes = 256;
const int kMaxNesting = 100;
// Nested loops multiply: these stop a template that would render for ever.
const long kMaxSteps = 1L << 22;
const size_t kMaxOutput = size_t(8) << 20;
const size_t kMaxCached = 64;

enum class OpKind { Text, Var, Loop, If, Unless };
enum class Escape { None, Html, Url, Js };

struct Op {
    OpKind kind = OpKind::Text;
    Escape escape = Escape::None;
    bool hasDefault = false;
    std::string text;      // literal text, or the name of the variable or loop
    std::string fallback;  // DEFAULT= of a TMPL_VAR
    size_t elseAt = 0;     // TMPL_IF / TMPL_UNLESS: first operation of the else part
    size_t end = 0;        // blocks: the operation after the closing tag
};

// Identifies one version of a file, so that an edited template is parsed again.
struct FileStamp {
    std::string path;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    time_t sec = 0;
    long nsec = 0;
    bool operator==(const FileStamp& o) const
    {
        return dev == o.dev && ino == o.ino && size == o.size && sec == o.sec && nsec == o.nsec;
    }
};

struct Program {
    std::vector<Op> ops;
    std::vector<FileStamp> files;  // the template and every include
};

bool stampFile(const std::string& path, FileStamp& stamp)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp.path = path;
    stamp.dev = st.st_dev;
    stamp.ino = st.st_ino;
    stamp.size = st.st_size;
    stamp.sec = st.st_mtim.tv_sec;
    stamp.nsec = st.st_mtim.tv_nsec;
    return true;
}

// Stamped before reading: a change during the read leaves an old stamp, so the
// next render parses again instead of keeping a torn copy.
bool readTemplate(const std::string& path, std::string& text, FileStamp& stamp)
{
    return stampFile(path, stamp) && readWholeFile(path, text);
}

bool unchanged(const Program& program)
{
    for (const FileStamp& old : program.files) {
        FileStamp now;
        if (!stampFile(old.path, now) || !(now == old))
            return false;
    }
    return true;
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

size_t skipSpace(const std::string& t, size_t i)
{
    while (i < t.size() && isSpace(t[i]))
        ++i;
    return i;
}

bool startsNoCase(const std::string& t, size_t i, const char* prefix)
{
    for (; *prefix; ++prefix, ++i)
        if (i >= t.size() || toupper(static_cast<unsigned char>(t[i])) != *prefix)
            return false;
    return true;
}

std::string dirOf(const std::string& path)
{
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string joinPath(const std::string& dir, const std::string& name)
{
    return dir.empty() ? name : dir + "/" + name;
}

// Includes stay inside the including template's folder.
bool safeIncludeName(const std::string& name)
{
    if (name.empty() || name[0] == '/' || name.find('\0') != std::string::npos)
        return false;
    for (size_t start = 0;;) {
        size_t slash = name.find('/', start);
        size_t length = (slash == std::string::npos ? name.size() : slash) - start;
        if (length == 2 && name.compare(start, 2, "..") == 0)
            return false;
        if (slash == std::string::npos)
            return true;
        start = slash + 1;
    }
}

void appendHtml(std::string& out, const std::string& text)
{
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
}

void appendHex(std::string& out, const char* prefix, unsigned char c)
{
    static const char digits[] = "0123456789ABCDEF";
    out += prefix;
    out += digits[c >> 4];
    out += digits[c & 15];
}

void appendEscaped(std::string& out, const char* value, Escape escape)
{
    switch (escape) {
    case Escape::None:
        out += value;
        return;
    case Escape::Html:
        appendHtml(out, value);
        return;
    case Escape::Url:
        for (const char* p = value; *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~')
                out += *p;
            else
                appendHex(out, "%", c);
        }
        return;
    case Escape::Js:
        // Also hides '<', '>' and '&' so a value cannot end a <script> block.
        for (const char* p = value; *p; ++p) {
            unsigned char c = static_cast<unsigned char>(*p);
            switch (c) {
            case '\\': out += "\\\\"; break;
            case '\'': out += "\\'"; break;
            case '"': out += "\\\""; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == '<' || c == '>' || c == '&')
                    appendHex(out, "\\x", c);
                else
                    out += *p;
            }
        }
        return;
    }
}

// ---------------------------------------------------------------------------
// Parsing

struct Tag {
    std::string word;  // "TMPL_VAR", ... in upper case
    bool close = false;
    bool hasName = false;
    std::string name;
    Escape escape = Escape::None;
    bool hasDefault = false;
    std::string fallback;
};

const char* const kTagWords[] = {"TMPL_VAR", "TMPL_LOOP", "TMPL_IF", "TMPL_ELSE", "TMPL_UNLESS", "TMPL_INCLUDE"};

bool knownTag(const std::string& word)
{
    for (const char* known : kTagWords)
        if (word == known)
            return true;
    return false;
}

enum class Scan { NotTag, Tag, Bad };

// One attribute value: quoted (either quote) or bare. False when there is none
// or its quote is never closed.
bool readValue(const std::string& t, size_t& i, bool comment, std::string& value)
{
    if (i >= t.size())
        return false;
    if (t[i] == '"' || t[i] == '\'') {
        size_t close = t.find(t[i], i + 1);
        if (close == std::string::npos)
            return false;
        value = t.substr(i + 1, close - i - 1);
        i = close + 1;
        return true;
    }
    size_t start = i;
    while (i < t.size() && !isSpace(t[i]) && t[i] != '>' && t[i] != '=' && t[i] != '"' && t[i] != '\'' &&
           !(comment && t.compare(i, 3, "-->") == 0))
        ++i;
    value = t.substr(start, i - start);
    return i > start;
}

bool setAttribute(Tag& tag, const std::string& key, const std::string& value, std::string& problem)
{
    if (key == "NAME") {
        if (tag.hasName) {
            problem = "more than one NAME in <" + tag.word + ">";
            return false;
        }
        tag.hasName = true;
        tag.name = value;
    } else if (key == "ESCAPE") {
        std::string mode = upper(value);
        if (mode == "HTML" || mode == "1")
            tag.escape = Escape::Html;
        else if (mode == "URL")
            tag.escape = Escape::Url;
        else if (mode == "JS")
            tag.escape = Escape::Js;
        else if (mode == "0" || mode == "NONE")
            tag.escape = Escape::None;
        else {
            problem = "unknown ESCAPE=" + value;
            return false;
        }
    } else if (key == "DEFAULT") {
        tag.hasDefault = true;
        tag.fallback = value;
    } else {
        problem = "unknown attribute " + key + " in <" + tag.word + ">";
        return false;
    }
    return true;
}

// Reads the tag that may start at t[at] == '<', in the plain form
// <TMPL_X ...> or the comment form <!-- TMPL_X ... -->.
Scan scanTag(const std::string& t, size_t at, Tag& tag, size_t& next, std::string& problem)
{
    size_t i = at + 1;
    bool comment = t.compare(i, 3, "!--") == 0;
    if (comment)
        i = skipSpace(t, i + 3);
    if (i < t.size() && t[i] == '/') {
        tag.close = true;
        ++i;
    }
    if (!startsNoCase(t, i, "TMPL_"))
        return Scan::NotTag;
    size_t w = i + 5;
    while (w < t.size() && (isalpha(static_cast<unsigned char>(t[w])) || t[w] == '_'))
        ++w;
    tag.word = upper(t.substr(i, w - i));
    if (!knownTag(tag.word)) {
        problem = "unknown tag <" + tag.word + ">";
        return Scan::Bad;
    }
    for (i = w;;) {
        i = skipSpace(t, i);
        if (i >= t.size())
            break;
        if (comment ? t.compare(i, 3, "-->") == 0 : t[i] == '>') {
            next = i + (comment ? 3 : 1);
            return Scan::Tag;
        }
        std::string token;
        if (!readValue(t, i, comment, token))
            break;
        size_t eq = skipSpace(t, i);
        if (eq < t.size() && t[eq] == '=') {
            i = skipSpace(t, eq + 1);
            std::string value;
            if (!readValue(t, i, comment, value))
                break;
            if (!setAttribute(tag, upper(token), value, problem))
                return Scan::Bad;
        } else if (!setAttribute(tag, "NAME", token, problem)) {
            return Scan::Bad;
        }
    }
    problem = i >= t.size() || t[i] == '"' || t[i] == '\'' ? "unclosed <" + tag.word + ">"
                                                            : "malformed <" + tag.word + ">";
    return Scan::Bad;
}

OpKind blockKind(const std::string& word)
{
    return word == "TMPL_LOOP" ? OpKind::Loop : word == "TMPL_IF" ? OpKind::If : OpKind::Unless;
}

const char* blockWord(OpKind kind)
{
    return kind == OpKind::Loop ? "TMPL_LOOP" : kind == OpKind::If ? "TMPL_IF" : "TMPL_UNLESS";
}

class Parser {
public:
    explicit Parser(Program& program) : program_(program) {}

    bool parseFile(const std::string& path)
    {
        std::string text;
        FileStamp stamp;
        std::string shown = path.substr(path.find_last_of('/') + 1);
        if (!readTemplate(path, text, stamp))
            return fail(shown, 0, "cannot read the template");
        program_.files.push_back(stamp);
        return parseText(text, dirOf(path), shown, 0);
    }

    // `shown` names the file in error texts; `depth` counts the includes
    // that led here.
    bool parseText(const std::string& text, const std::string& dir, const std::string& shown, int depth)
    {
        struct Open {
            size_t op;
            int line;
            bool sawElse;
        };
        std::vector<Open> open;
        std::vector<Op>& ops = program_.ops;
        // Each tag adds at most two operations (the text before it and its
        // own); growing the list step by step costs more than the parse.
        size_t needed = ops.size() + 2 * static_cast<size_t>(std::count(text.begin(), text.end(), '<')) + 1;
        if (needed > ops.capacity())
            ops.reserve(std::max(needed, 2 * ops.capacity()));
        size_t textStart = 0, counted = 0;
        int line = 1;
        for (size_t lt = text.find('<'); lt != std::string::npos; lt = text.find('<', lt + 1)) {
            Tag tag;
            size_t next = 0;
            std::string problem;
            Scan scan = scanTag(text, lt, tag, next, problem);
            if (scan == Scan::NotTag)
                continue;
            for (; counted < lt; ++counted)
                line += text[counted] == '\n';
            if (scan == Scan::Bad)
                return fail(shown, line, problem);
            addText(text, textStart, lt);
            textStart = next;
            lt = next - 1;

            const std::string& word = tag.word;
            bool needsName = word == "TMPL_VAR" || word == "TMPL_LOOP" || word == "TMPL_IF" ||
                         word == "TMPL_UNLESS" || word == "TMPL_INCLUDE";
            if (tag.close) {
                if (!needsName || word == "TMPL_VAR" || word == "TMPL_INCLUDE")
                    return fail(shown, line, "unexpected </" + word + ">");
                if (open.empty())
                    return fail(shown, line, "</" + word + "> without <" + word + ">");
                Op& block = ops[open.back().op];
                if (blockKind(word) != block.kind)
                    return fail(shown, line, "</" + word + "> closes <" + blockWord(block.kind) + "> of line " +
                                                 std::to_string(open.back().line));
                block.end = ops.size();
                if (!open.back().sawElse)
                    block.elseAt = block.end;
                open.pop_back();
                --nesting_;
                continue;
            }
            if (needsName && !tag.hasName)
                return fail(shown, line, "<" + word + "> without NAME");
            if (word == "TMPL_ELSE") {
                if (open.empty() || ops[open.back().op].kind == OpKind::Loop || open.back().sawElse)
                    return fail(shown, line, "<TMPL_ELSE> outside TMPL_IF or TMPL_UNLESS");
                ops[open.back().op].elseAt = ops.size();
                open.back().sawElse = true;
            } else if (word == "TMPL_VAR") {
                Op op;
                op.kind = OpKind::Var;
                op.text = tag.name;
                op.escape = tag.escape;
                op.hasDefault = tag.hasDefault;
                op.fallback = tag.fallback;
                ops.push_back(std::move(op));
            } else if (word == "TMPL_INCLUDE") {
                if (!include(tag.name, dir, shown, line, depth))
                    return false;
            } else {
                if (++nesting_ > kMaxNesting)
                    return fail(shown, line, "blocks nested too deep");
                Op op;
                op.kind = blockKind(word);
                op.text = tag.name;
                open.push_back({ops.size(), line, false});
                ops.push_back(std::move(op));
            }
        }
        addText(text, textStart, text.size());
        if (!open.empty())
            return fail(shown, open.back().line, std::string("unclosed <") + blockWord(ops[open.back().op].kind) + ">");
        return true;
    }

    const std::string& error() const { return error_; }

private:
    bool include(const std::string& name, const std::string& dir, const std::string& shown, int line, int depth)
    {
        if (!safeIncludeName(name))
            return fail(shown, line, "refused include \"" + name + "\"");
        if (depth + 1 > kMaxIncludeDepth)
            return fail(shown, line, "includes nested too deep");
        if (++includes_ > kMaxIncludes)
            return fail(shown, line, "too many includes");
        std::string path = joinPath(dir, name);
        std::string text;
        FileStamp stamp;
        if (!readTemplate(path, text, stamp))
            return fail(shown, line, "missing include \"" + name + "\"");
        program_.files.push_back(stamp);
        return parseText(text, dirOf(path), name, depth + 1);
    }

    void addText(const std::string& text, size_t from, size_t to)
    {
        if (to <= from)
            return;
        Op op;
        op.text = text.substr(from, to - from);
        program_.ops.push_back(std::move(op));
    }

    bool fail(const std::string& shown, int line, const std::string& problem)
    {
        error_ = shown + (line > 0 ? " line " + std::to_string(line) : std::string()) + ": " + problem;
        return false;
    }

    Program& program_;
    int includes_ = 0;
    int nesting_ = 0;
    std::string error_;
};

// ---------------------------------------------------------------------------
// Rendering

class Renderer {
public:
    Renderer(const std::vector<Op>& ops, const TMPL_varlist* vars, std::string& out) : ops_(ops), out_(out)
    {
        scopes_.push_back({vars, -1, 0});
    }

    bool run(size_t from, size_t to)
    {
        for (size_t i = from; i < to;) {
            if (--steps_ < 0 || out_.size() > kMaxOutput)
                return false;
            const Op& op = ops_[i];
            switch (op.kind) {
            case OpKind::Text:
                out_ += op.text;
                ++i;
                break;
            case OpKind::Var: {
                const char* value = var(op.text.c_str());
                if (!value && op.hasDefault)
                    value = op.fallback.c_str();
                if (value)
                    appendEscaped(out_, value, op.escape);
                ++i;
                break;
            }
            case OpKind::If:
            case OpKind::Unless: {
                bool yes = truth(op.text.c_str()) == (op.kind == OpKind::If);
                if (!(yes ? run(i + 1, op.elseAt) : run(op.elseAt, op.end)))
                    return false;
                i = op.end;
                break;
            }
            case OpKind::Loop: {
                const TMPL_loop* loop = findLoop(op.text.c_str());
                int rows = TMPL_loop_size(loop);
                for (int r = 0; r < rows; ++r) {
                    scopes_.push_back({TMPL_loop_row(loop, r), r, rows});
                    bool ok = run(i + 1, op.end);
                    scopes_.pop_back();
                    if (!ok)
                        return false;
                }
                i = op.end;
                break;
            }
            }
        }
        return true;
    }

private:
    struct Scope {
        const TMPL_varlist* vars;
        int row;  // -1 outside loops
        int rows;
    };

    static bool isTrue(const char* value) { return *value && std::string(value) != "0"; }

    // The loop's own variables of the row a scope stands for; null for others.
    const char* loopVar(const Scope& s, const char* name)
    {
        if (s.row < 0 || name[0] != '_' || name[1] != '_')
            return nullptr;
        std::string n(name);
        bool flag;
        if (n == "__first__")
            flag = s.row == 0;
        else if (n == "__last__")
            flag = s.row == s.rows - 1;
        else if (n == "__inner__")
            flag = s.row > 0 && s.row < s.rows - 1;
        else if (n == "__odd__")
            flag = s.row % 2 == 0;  // the first row is row 1
        else if (n == "__even__")
            flag = s.row % 2 == 1;
        else if (n == "__counter__") {
            snprintf(counter_, sizeof counter_, "%d", s.row + 1);
            return counter_;
        } else
            return nullptr;
        return flag ? "1" : "0";
    }

    // Names not found in a loop row are looked up in the enclosing lists.
    const char* var(const char* name)
    {
        for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s) {
            if (const char* value = TMPL_get_var(s->vars, name))
                return value;
            if (const char* value = loopVar(*s, name))
                return value;
        }
        return nullptr;
    }

    const TMPL_loop* findLoop(const char* name)
    {
        for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s)
            if (const TMPL_loop* loop = TMPL_get_loop(s->vars, name))
                return loop;
        return nullptr;
    }

    // A variable is true when set, not empty and not "0"; a loop when it has rows.
    bool truth(const char* name)
    {
        for (auto s = scopes_.rbegin(); s != scopes_.rend(); ++s) {
            if (const char* value = TMPL_get_var(s->vars, name))
                return isTrue(value);
            if (const TMPL_loop* loop = TMPL_get_loop(s->vars, name))
                return TMPL_loop_size(loop) > 0;
            if (const char* value = loopVar(*s, name))
                return isTrue(value);
        }
        return false;
    }

    const std::vector<Op>& ops_;
    std::string& out_;
    std::vector<Scope> scopes_;
    long steps_ = kMaxSteps;
    char counter_[16] = {};
};

void errorText(const std::string& problem, std::string& out)
{
    out = "Template error: ";
    appendHtml(out, problem);
    out += "\n";
}

bool render(const Program& program, const TMPL_varlist* vars, std::string& out)
{
    out.clear();
    Renderer renderer(program.ops, vars, out);
    if (renderer.run(0, program.ops.size()))
        return true;
    errorText("too large to render", out);
    return false;
}

std::mutex cacheLock;
std::unordered_map<std::string, std::shared_ptr<const Program>> cache;

}  // namespace

bool TMPL_render_file(const std::string& path, const TMPL_varlist* vars, std::string& out)
{
    std::shared_ptr<const Program> program;
    {
        std::lock_guard<std::mutex> hold(cacheLock);
        auto it = cache.find(path);
        if (it != cache.end() && unchanged(*it->second))
            program = it->second;
    }
    if (!program) {
        auto parsed = std::make_shared<Program>();
        Parser parser(*parsed);
        if (!parser.parseFile(path)) {
            errorText(parser.error(), out);
            return false;
        }
        program = parsed;
        std::lock_guard<std::mutex> hold(cacheLock);
        if (cache.size() >= kMaxCached)
            cache.clear();
        cache[path] = program;
    }
    return render(*program, vars, out);
}

void TMPL_clear_cache()
{
    std::lock_guard<std::mutex> hold(cacheLock);
    cache.clear();
}

bool TMPL_render_string(const std::string& text, const std::string& includeDir, const TMPL_varlist* vars,
                        std::string& out)
{
    Program program;
    Parser parser(program);
    if (!parser.parseText(text, includeDir, "template", 0)) {
        errorText(parser.error(), out);
        return false;
    }
    return render(program, vars, out);
}
