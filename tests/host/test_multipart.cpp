#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "host/multipart.h"

namespace {

using Error = MultipartParser::Error;

// Records every event as text, so that two runs can be compared whole.
class Recorder final : public MultipartHandler {
public:
    bool onPartBegin(const MultipartPart& part) override
    {
        log += "[" + part.name + "|" + (part.isFile ? "file:" + part.fileName : "text") + "|" +
               part.contentType + "]";
        data.emplace_back();
        return stopAtPart != static_cast<int>(data.size());
    }
    bool onPartData(const char* bytes, size_t size) override
    {
        data.back().append(bytes, size);
        return true;
    }
    bool onPartEnd() override
    {
        log += "{" + data.back() + "}";
        return true;
    }

    std::string log;
    std::vector<std::string> data;
    int stopAtPart = 0;
};

struct Outcome {
    Error error;
    std::string log;
};

// Feeds the body in pieces cut at the given offsets.
Outcome run(const std::string& boundary, const std::string& body, const std::vector<size_t>& cuts,
            MultipartParser::Limits limits = MultipartParser::Limits(), int stopAtPart = 0)
{
    Recorder recorder;
    recorder.stopAtPart = stopAtPart;
    MultipartParser parser(boundary, recorder, limits);
    size_t from = 0;
    bool ok = true;
    for (size_t cut : cuts) {
        ok = ok && parser.feed(body.data() + from, cut - from);
        from = cut;
    }
    ok = ok && parser.feed(body.data() + from, body.size() - from);
    ok = ok && parser.finish();
    EXPECT_EQ(ok, parser.error() == Error::None);
    return {parser.error(), recorder.log};
}

struct Case {
    const char* what;
    std::string body;
    Error error;
    std::string log;  // events expected on success
};

const std::string kDisp = "Content-Disposition: form-data; ";

std::vector<Case> cases()
{
    return {
        {"one text field", "--B\r\n" + kDisp + "name=\"a\"\r\n\r\nhello\r\n--B--\r\n", Error::None,
         "[a|text|]{hello}"},
        {"file part keeps CRLF and dashes in its data",
         "--B\r\n" + kDisp + "name=\"f\"; filename=\"x.txt\"\r\nContent-Type: text/plain\r\n\r\n"
         "line1\r\n--A\r\n-\r\n--\r\n--B--",
         Error::None, "[f|file:x.txt|text/plain]{line1\r\n--A\r\n-\r\n--}"},
        {"two parts", "--B\r\n" + kDisp + "name=\"a\"\r\n\r\n1\r\n--B\r\n" + kDisp +
                          "name=\"b\"\r\n\r\n2\r\n--B--",
         Error::None, "[a|text|]{1}[b|text|]{2}"},
        {"preamble and epilogue are ignored",
         "ignore me\r\n--B\r\n" + kDisp + "name=\"a\"\r\n\r\nx\r\n--B--\r\nmore\r\n--B\r\njunk",
         Error::None, "[a|text|]{x}"},
        {"empty data", "--B\r\n" + kDisp + "name=\"a\"\r\n\r\n\r\n--B--", Error::None, "[a|text|]{}"},
        {"part without headers", "--B\r\n\r\nraw\r\n--B--", Error::None, "[|text|]{raw}"},
        {"blanks after the boundary", "--B \t\r\n" + kDisp + "name=\"a\"\r\n\r\nv\r\n--B--",
         Error::None, "[a|text|]{v}"},
        {"boundary text inside a line is data",
         "--B\r\n" + kDisp + "name=\"a\"\r\n\r\nx--B y\r\n--B--", Error::None, "[a|text|]{x--B y}"},
        {"header names and parameters ignore case",
         "--B\r\ncontent-disposition: FORM-DATA; NAME=\"a\"; FileName=\"q\"\r\n\r\nv\r\n--B--",
         Error::None, "[a|file:q|]{v}"},
        {"unquoted parameters", "--B\r\n" + kDisp + "name=a; filename=b.txt\r\n\r\nv\r\n--B--",
         Error::None, "[a|file:b.txt|]{v}"},
        {"escaped quote in a quoted name", "--B\r\n" + kDisp + "name=\"a\\\"b\"\r\n\r\nv\r\n--B--",
         Error::None, "[a\"b|text|]{v}"},
        {"windows path keeps its backslashes",
         "--B\r\n" + kDisp + "name=\"f\"; filename=\"C:\\dir\\a.txt\"\r\n\r\nv\r\n--B--",
         Error::None, "[f|file:C:\\dir\\a.txt|]{v}"},
        {"empty file name is still a file", "--B\r\n" + kDisp + "name=\"f\"; filename=\"\"\r\n\r\n\r\n--B--",
         Error::None, "[f|file:|]{}"},
        {"folded header line", "--B\r\nContent-Disposition: form-data;\r\n name=\"a\"\r\n\r\nv\r\n--B--",
         Error::None, "[a|text|]{v}"},
        {"missing closing boundary", "--B\r\n" + kDisp + "name=\"a\"\r\n\r\nhello", Error::Truncated, ""},
        {"body ends after a delimiter", "--B\r\n" + kDisp + "name=\"a\"\r\n\r\nhello\r\n--B",
         Error::Truncated, ""},
        {"body ends inside the headers", "--B\r\n" + kDisp + "name=\"a\"\r\n", Error::Truncated, ""},
        {"no boundary at all", "just some text", Error::NoBoundary, ""},
        {"empty body", "", Error::NoBoundary, ""},
        {"junk after a boundary", "--B\r\n" + kDisp + "name=\"a\"\r\n\r\nv\r\n--Bjunk\r\n",
         Error::BadDelimiter, ""},
        {"bare LF line ends", "--B\n" + kDisp + "name=\"a\"\n\nv\n--B--", Error::BadDelimiter, ""},
        {"header line without colon", "--B\r\nContent-Disposition form-data\r\n\r\nv\r\n--B--",
         Error::BadHeader, ""},
        {"folded line before any header", "--B\r\n name=\"a\"\r\n\r\nv\r\n--B--", Error::BadHeader, ""},
        {"header block over the limit", "--B\r\n" + kDisp + "name=\"" + std::string(300, 'n') + "\"\r\n\r\nv\r\n--B--",
         Error::HeaderTooLarge, ""},
        {"endless header block", "--B\r\nX-Pad: " + std::string(400, 'p'), Error::HeaderTooLarge, ""},
        {"too many parts", "--B\r\n\r\n1\r\n--B\r\n\r\n2\r\n--B\r\n\r\n3\r\n--B\r\n\r\n4\r\n--B--",
         Error::TooManyParts, ""},
    };
}

MultipartParser::Limits smallLimits()
{
    MultipartParser::Limits limits;
    limits.maxHeaderBytes = 256;
    limits.maxParts = 3;
    return limits;
}

}  // namespace

TEST(MultipartParser, WholeBody)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        Outcome outcome = run("B", c.body, {}, smallLimits());
        EXPECT_EQ(outcome.error, c.error) << MultipartParser::describe(outcome.error);
        if (c.error == Error::None) {
            EXPECT_EQ(outcome.log, c.log);
        }
    }
}

// A delimiter, a CRLF or a header block split across reads must not change
// the result: every cut into two pieces, and byte-by-byte.
TEST(MultipartParser, SplitsNeverChangeTheResult)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        Outcome whole = run("B", c.body, {}, smallLimits());
        for (size_t cut = 0; cut <= c.body.size(); ++cut) {
            Outcome split = run("B", c.body, {cut}, smallLimits());
            ASSERT_EQ(split.error, whole.error) << "cut at " << cut;
            ASSERT_EQ(split.log, whole.log) << "cut at " << cut;
        }
        std::vector<size_t> everyByte;
        for (size_t i = 1; i < c.body.size(); ++i)
            everyByte.push_back(i);
        Outcome bytes = run("B", c.body, everyByte, smallLimits());
        EXPECT_EQ(bytes.error, whole.error);
        EXPECT_EQ(bytes.log, whole.log);
    }
}

TEST(MultipartParser, UnusableBoundaries)
{
    for (const std::string& boundary : {std::string(), std::string(71, 'b'), std::string("a\r\nb")}) {
        Outcome outcome = run(boundary, "--" + boundary + "\r\n\r\nv\r\n--" + boundary + "--", {});
        EXPECT_EQ(outcome.error, Error::BadBoundary);
    }
    EXPECT_EQ(run(std::string(70, 'b'), "--" + std::string(70, 'b') + "\r\n\r\nv\r\n--" +
                                            std::string(70, 'b') + "--",
                  {})
                  .error,
              Error::None);
}

TEST(MultipartParser, HandlerCanStopTheParse)
{
    std::string body = "--B\r\n\r\n1\r\n--B\r\n\r\n2\r\n--B--";
    Outcome outcome = run("B", body, {}, MultipartParser::Limits(), 2);
    EXPECT_EQ(outcome.error, Error::Stopped);
    // Nothing more is accepted after a failure.
    Recorder recorder;
    MultipartParser parser("B", recorder);
    EXPECT_TRUE(parser.feed("preamble", 8));
    EXPECT_FALSE(parser.finish());
    EXPECT_FALSE(parser.feed("--B\r\n", 5));
}

// Binary data full of near-delimiters, fed in random piece sizes, comes out
// byte for byte.
TEST(MultipartParser, LargeBinaryPartSurvivesRandomPieces)
{
    std::mt19937 random(7);
    std::string payload;
    const std::string nearMisses[] = {"\r", "\r\n", "\r\n-", "\r\n--", "\r\n--bound", "\r\n--boundarX"};
    while (payload.size() < 300000) {
        if (random() % 16 == 0)
            payload += nearMisses[random() % 6];
        else
            payload += static_cast<char>(random() & 0xff);
    }
    std::string body = "--boundary\r\n" + kDisp + "name=\"f\"; filename=\"b.bin\"\r\n\r\n" + payload +
                       "\r\n--boundary--\r\n";
    std::vector<size_t> cuts;
    for (size_t at = 0; at < body.size(); at += 1 + random() % 5000)
        cuts.push_back(at);
    Recorder recorder;
    MultipartParser parser("boundary", recorder);
    size_t from = 0;
    for (size_t cut : cuts) {
        ASSERT_TRUE(parser.feed(body.data() + from, cut - from));
        from = cut;
    }
    ASSERT_TRUE(parser.feed(body.data() + from, body.size() - from));
    ASSERT_TRUE(parser.finish());
    ASSERT_EQ(recorder.data.size(), 1u);
    EXPECT_TRUE(recorder.data[0] == payload);
}

TEST(MultipartParser, HeaderBlockParsing)
{
    MultipartPart part;
    ASSERT_TRUE(MultipartParser::parseHeaders(
        "Content-Type: image/png\r\nContent-Disposition: form-data; name=\"photo\"; filename=\"../../etc/x.png\"",
        part));
    EXPECT_EQ(part.name, "photo");
    EXPECT_EQ(part.fileName, "../../etc/x.png");
    EXPECT_TRUE(part.isFile);
    EXPECT_EQ(part.contentType, "image/png");
    MultipartPart empty;
    EXPECT_TRUE(MultipartParser::parseHeaders("", empty));
    EXPECT_FALSE(empty.isFile);
    EXPECT_FALSE(MultipartParser::parseHeaders(": no name", empty));
}
