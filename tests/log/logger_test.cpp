#include "log/logger.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "core/string_buffer.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

using Render = bool (Logger::*)(StringBuffer&);
std::string render(Logger& log, Render how) {
    StringBuffer b;
    EXPECT_TRUE((log.*how)(b));
    return std::string(b.view());
}
std::string xml(Logger& log) { return render(log, &Logger::ErrorLogXml); }
std::string text(Logger& log) { return render(log, &Logger::ErrorLogText); }
std::string html(Logger& log) { return render(log, &Logger::ErrorLogHtml); }
std::string summary(Logger& log) { return render(log, &Logger::GetErrorSummary); }
// A log that never wrote has no storage yet and reads as a fresh one.
size_t entryCount(const Logger& log) { return log.activityLog() ? log.activityLog()->entries().size() : 0; }
bool errorPending(const Logger& log) { return log.activityLog() && log.activityLog()->errorPending(); }

// Plays '|'-separated steps: "+Name" enters a context ("+" alone: a null name), "-" leaves one,
// "C" clears, "E:text" and "I:text" log a message, "D:key=value" and "L:key=number" a data item.
void play(Logger& log, std::string_view script) {
    for (size_t at = 0; at <= script.size();) {
        std::string step(script.substr(at, script.find('|', at) - at));
        at += step.size() + 1;
        if (step == "-") {
            log.LeaveContext();
        } else if (step == "C") {
            log.ClearLog();
        } else if (step[0] == '+') {
            log.EnterContext(step.size() > 1 ? step.c_str() + 1 : nullptr);
        } else if (step[0] == 'D' || step[0] == 'L') {
            size_t eq = step.find('=');
            const std::string key = step.substr(2, eq - 2);
            (step[0] == 'D' ? log.LogData(key.c_str(), step.c_str() + eq + 1)
                            : log.LogDataLong(key.c_str(), std::stoi(step.substr(eq + 1))));
        } else {
            (step[0] == 'E' ? log.LogError(step.c_str() + 2) : log.LogInfo(step.c_str() + 2));
        }
    }
}

TEST(Logger, FailedCallRendersInEveryForm) {
    Logger log;
    play(log, "C|+GetXml|E:Parameter is NULL|-");
    EXPECT_EQ(xml(log), "<QuorvelLog>\n<GetXml>\n    <error>Parameter is NULL</error>\n</GetXml>\n</QuorvelLog>\n");
    EXPECT_EQ(text(log), "Parameter is NULL\r\n");
    EXPECT_EQ(html(log), "Parameter is NULL<br>");
    EXPECT_EQ(summary(log), "(GetXml)\nParameter is NULL");
    EXPECT_FALSE(errorPending(log));

    // A data item and the filename form of the summary.
    play(log, "C|+LoadXmlFile|D:filename=/x/y.xml|E:Failed to open file|-");
    EXPECT_EQ(summary(log), "(LoadXmlFile)\nfilename: /x/y.xml\nFailed to open file");
    EXPECT_EQ(text(log), "filename: /x/y.xml\r\nFailed to open file\r\n");
    // Clearing keeps the summary; a later clean context empties it.
    log.ClearLog();
    EXPECT_EQ(summary(log), "(LoadXmlFile)\nfilename: /x/y.xml\nFailed to open file");
    play(log, "+Tag|I:fine|-");
    EXPECT_EQ(summary(log), "");
}

TEST(Logger, MultiLineMessagesSplitIntoContinuations) {
    // Empty lines vanish; each later line is stored with a two-blank prefix.
    const std::pair<const char*, const char*> cases[] = {
        {"one\r\ntwo\n\nthree", "one\r\n  two\r\n  three\r\n"},
        {"\r\n\none\rtwo\n\r", "one\r\n  two\r\n"},
        {"  indented\n\tx ", "  indented\r\n  \tx \r\n"},
        {"\r\n", ""},
    };
    for (const auto& [message, rendered] : cases) {
        SCOPED_TRACE(message);
        Logger log;
        EXPECT_TRUE(log.LogError(message));
        EXPECT_TRUE(errorPending(log));  // also when no piece remained
        EXPECT_EQ(text(log), rendered);
    }

    // Summary: four blanks before the stored two-blank prefix; info groups add nothing.
    Logger log;
    play(log, "+SaveXml|I:note\nmore|E:first\nsecond\r\nthird|E:again|-");
    EXPECT_EQ(summary(log), "(SaveXml)\nfirst\n      second\n      third\nagain");
    EXPECT_EQ(xml(log),
              "<QuorvelLog>\n<SaveXml>\n    <info><![CDATA[note\n  more]]></info>\n"
              "    <error><![CDATA[first\n  second\n  third]]></error>\n    <error>again</error>\n"
              "</SaveXml>\n</QuorvelLog>\n");
    EXPECT_EQ(html(log), "note<br>  more<br>first<br>  second<br>  third<br>again<br>");

    // Empty and null messages are refused and set nothing.
    Logger empty;
    EXPECT_FALSE(empty.LogError("") || empty.LogError(nullptr));
    EXPECT_FALSE(errorPending(empty));
    EXPECT_EQ(entryCount(empty), 0u);
}

TEST(Logger, CdataAndEscaping) {
    struct DataCase {
        const char* value;
        const char* xmlLine;   // data item rendering
        const char* htmlLine;  // HTML of the same data item
    };
    // Text holding both CDATA markers is escaped instead; a lone carriage return needs neither.
    const DataCase renders[] = {
        {"a<b", "<k><![CDATA[a<b]]></k>", "k: a&lt;b<br>"},
        {"x & \"y\"", "<k><![CDATA[x & \"y\"]]></k>", "k: x &amp; &quot;y&quot;<br>"},
        {"<![CDATA[a&b]]>", "<k>&lt;![CDATA[a&amp;b]]&gt;</k>", "k: &lt;![CDATA[a&amp;b]]&gt;<br>"},
        {"cr\ronly", "<k>cr\ronly</k>", "k: cr\ronly<br>"},
    };
    for (const DataCase& r : renders) {
        SCOPED_TRACE(r.value);
        Logger log;
        log.LogData("k", r.value);
        EXPECT_EQ(xml(log), std::string("<QuorvelLog>\n") + r.xmlLine + "\n</QuorvelLog>\n");
        EXPECT_EQ(html(log), r.htmlLine);
        EXPECT_EQ(text(log), std::string("k: ") + r.value + "\r\n");
    }

    // Messages: a single line is wrapped only when it needs it, and otherwise never escaped.
    Logger log;
    play(log, "I:a<b|E:<![CDATA[a&b]]>|E:R&D \"x\"\n<![CDATA[x]]>");
    EXPECT_EQ(xml(log),
              "<QuorvelLog>\n<info><![CDATA[a<b]]></info>\n<error><![CDATA[a&b]]></error>\n"
              "<error><![CDATA[R&D \"x\"\n  <![CDATA[x]]>]]></error>\n</QuorvelLog>\n");
    EXPECT_EQ(html(log),
              "a&lt;b<br>&lt;![CDATA[a&amp;b]]&gt;<br>R&amp;D &quot;x&quot;<br>  &lt;![CDATA[x]]&gt;<br>");

    // The placeholder is replaced in one pass: text that looks like it is left alone.
    Logger ph;
    play(ph, "E:_MESSAGE_ in _MESSAGE_|D:_MESSAGE_=_MESSAGE_\r\n");
    EXPECT_EQ(text(ph), "_MESSAGE_ in _MESSAGE_\r\n_MESSAGE_: _MESSAGE_\r\n\r\n");
}

TEST(Logger, ContextsNestCloseAndVanish) {
    // Each row plays on the logger of the rows before it, "new|" starting a fresh one, then checks
    // the entry count (-1: not checked), summary, pending error and XML (null: not checked).
    const struct {
        const char *script; int entries; const char* summary; bool pending; const char* xml;
    } rows[] = {
        // Leaving a context of an empty log does nothing; one with nothing inside disappears.
        {"new|-|+Outer|+Empty|-", 1, "", false, nullptr},
        {"-", 0, "", false, nullptr},
        // Nested contexts: the summary comes from the context being closed.
        {"+A|D:filename=f.xml|+B|I:inside B|-", -1, "", false, nullptr},
        {"+C|E:bad|-", -1, "(C)\nbad", false, nullptr},
        {"E:worse|-", -1, "(A)\nfilename: f.xml\n(B)\n(C)\nbad\nworse", false,
         "<QuorvelLog>\n<A>\n    <filename>f.xml</filename>\n    <B>\n        <info>inside B</info>\n    </B>\n"
         "    <C>\n        <error>bad</error>\n    </C>\n    <error>worse</error>\n</A>\n</QuorvelLog>\n"},
        // Unclosed contexts are closed at the end without indentation.
        {"new|+A|+B|L:index=-7|+C|I:deep", -1, "", false,
         "<QuorvelLog>\n<A>\n    <B>\n        <index>-7</index>\n        <C>\n            <info>deep</info>\n"
         "</C>\n</B>\n</A>\n</QuorvelLog>\n"},
        // A close with no open context is skipped; its walk finds nothing so the error stays pending
        // and the next context that is left with something in it takes it into its summary.
        {"new|+A|C|E:lost|-", 2, "", true, "<QuorvelLog>\n<error>lost</error>\n</QuorvelLog>\n"},
        {"+Empty|-", -1, "", true, nullptr},
        {"+D|I:ok|-", -1, "(D)", false, nullptr},
        // Closes matched across an earlier stray close and sibling contexts: leaves S, then R;
        // leaving P finds no error since the last summary.
        {"new|+P|+Q|I:q|-|+R|E:r|+S|E:s|-|E:r2|-", -1, "(R)\nr\n(S)\ns\nr2", false, nullptr},
        {"-", -1, "", false, nullptr},
    };
    std::unique_ptr<Logger> log;
    for (const auto& r : rows) {
        SCOPED_TRACE(r.script);
        std::string_view script = r.script;
        if (script.starts_with("new|")) {
            log = std::make_unique<Logger>();
            script.remove_prefix(4);
        }
        play(*log, script);
        if (r.entries >= 0) { EXPECT_EQ(entryCount(*log), static_cast<size_t>(r.entries)); }
        EXPECT_EQ(summary(*log), r.summary);
        EXPECT_EQ(errorPending(*log), r.pending);
        if (r.xml) { EXPECT_EQ(xml(*log), r.xml); }
    }
}

TEST(Logger, DataKeywords) {
    // Keywords are trimmed and inner blanks become '_'; values are never trimmed. Null: refused.
    const std::pair<const char*, const char*> cases[] = {
        {"\t\r\n a b c \n", "a_b_c"}, {"a\tb", "a\tb"}, {"a  b", "a__b"}, {"\r\n\t", nullptr}, {nullptr, nullptr},
    };
    for (const auto& [keyword, stored] : cases) {
        SCOPED_TRACE(keyword ? keyword : "(null)");
        Logger log;
        EXPECT_EQ(log.LogData(keyword, " v ") && log.LogDataLong(keyword, 1), stored != nullptr);
        EXPECT_EQ(text(log), stored ? std::string(stored) + ":  v \r\n" + stored + ": 1\r\n" : "");
    }
    Logger log;
    log.LogDataLong("min", INT32_MIN);
    log.LogDataLong("max", INT32_MAX);
    log.LogData("none", nullptr);
    EXPECT_EQ(text(log), "min: -2147483648\r\nmax: 2147483647\r\nnone: \r\n");
}

TEST(Logger, SaveXmlLogWritesTheFile) {
    test::ScratchDir dir;
    const std::string decl = "<?xml version=\"1.0\"  encoding=\"utf-8\" standalone=\"yes\" ?>\n";
    Logger log;
    std::string path = dir.path("log.xml");

    // The file of a fresh handle and of one with earlier records is checked in tests/component/node_handle_test;
    // here, a shorter file replaces the old content entirely.
    play(log, "+LoadXml|D:charset=utf-8|E:Line one\r\nLine <two>|-");
    std::string body = xml(log);
    EXPECT_TRUE(log.SaveXmlLog(path.c_str()));
    EXPECT_EQ(test::slurp(path), decl + body);
    log.ClearLog();
    EXPECT_TRUE(log.SaveXmlLog(path.c_str()));
    EXPECT_EQ(test::slurp(path), decl);

    EXPECT_FALSE(log.SaveXmlLog(nullptr));
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_FALSE(log.SaveXmlLog("/dev/full"));  // the data is refused when it is flushed
    }
    EXPECT_EQ(entryCount(log), 0u);  // failures log nothing
}

TEST(Logger, NeverWrittenLogReadsAsAFreshOneWithoutStorage) {
    // `made` has storage that holds nothing: a context with nothing inside leaves no trace.
    Logger never, made;
    play(made, "+Made|-");
    ASSERT_NE(made.activityLog(), nullptr);
    // Clearing, leaving a context and refused writes make no storage.
    EXPECT_TRUE(never.ClearLog());
    EXPECT_TRUE(never.LeaveContext());
    EXPECT_FALSE(never.LogError("") || never.LogInfo(nullptr) || never.LogData(nullptr, "v"));
    EXPECT_EQ(never.activityLog(), nullptr);
    for (Render how : {&Logger::ErrorLogText, &Logger::ErrorLogHtml, &Logger::ErrorLogXml, &Logger::GetErrorSummary}) {
        EXPECT_EQ(render(never, how), render(made, how));
        EXPECT_EQ(render(never, how), "");
    }
    test::ScratchDir dir;
    const std::string a = dir.path("never.xml"), b = dir.path("made.xml");
    EXPECT_TRUE(never.SaveXmlLog(a.c_str()));
    EXPECT_TRUE(made.SaveXmlLog(b.c_str()));
    EXPECT_EQ(test::slurp(a), test::slurp(b));
    EXPECT_EQ(test::slurp(a), std::string(Logger::kXmlDeclaration) + "\n");
    EXPECT_EQ(never.activityLog(), nullptr);

    // The first write makes the storage, and the log then behaves as one made with it.
    play(never, "+GetXml|E:Parameter is NULL|-");
    EXPECT_EQ(summary(never), "(GetXml)\nParameter is NULL");
    EXPECT_EQ(text(never), "Parameter is NULL\r\n");
    // An error message with no line in it still leaves the error pending.
    Logger bare;
    EXPECT_TRUE(bare.LogError("\r\n"));
    EXPECT_TRUE(errorPending(bare));
}

TEST(Logger, DeepNestingClosesAndRendersWithoutRecursion) {
    Logger deep;
    constexpr int kDepth = 2000;
    for (int i = 0; i < kDepth; ++i) deep.EnterContext("n");
    deep.LogError("bottom");
    // Unclosed levels are closed without indentation.
    EXPECT_NE(xml(deep).find("    <error>bottom</error>\n</n>\n</n>\n"), std::string::npos);
    deep.LeaveContext();
    EXPECT_EQ(summary(deep), "(n)\nbottom");
    for (int i = 1; i < kDepth; ++i) deep.LeaveContext();
    EXPECT_EQ(summary(deep), "");  // every leave replaces it
    // Each level: indentation twice, "<n>\n" and "</n>\n".
    const size_t d = kDepth;
    EXPECT_EQ(xml(deep).size(), 13 + 14 + 4 * d * (d - 1) + 9 * d + 4 * d + 22);
}

}  // namespace
}  // namespace quorvel
