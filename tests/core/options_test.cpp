#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/options.h"

namespace {

// A program with a required value, a checked value, a flag and --help.
struct Program {
    std::string disk;
    int level = 0;
    bool quiet = false;
    std::vector<CommandOption> table{
        {.name = "--disk",
         .argument = "DIR",
         .help = "the folder served",
         .take = [this](const std::string& v, std::string*) { return disk = v, true; },
         .required = true},
        {.name = "--level",
         .argument = "N",
         .help = "how much",
         .take =
             [this](const std::string& v, std::string* error) {
                 if (v == "high") {
                     *error = "--level is a number";
                     return false;
                 }
                 level = std::atoi(v.c_str());
                 return v == std::to_string(level);
             }},
        {.name = "--quiet",
         .alias = "-q",
         .help = "no progress",
         .take = [this](const std::string&, std::string*) { return quiet = true; }},
        {.name = "--help", .alias = "-h", .ends = true},
    };
};

}  // namespace

TEST(Options, ParseTable) {
    struct Row {
        std::vector<std::string> args;
        bool operands;  // the program takes operands
        OptionsEnd end;
        const char* error;
        std::vector<std::string> operandsSeen;
    };
    const Row rows[] = {
        {{"--disk", "D", "a", "-q", "b"}, true, OptionsEnd::Parsed, "", {"a", "b"}},
        {{"--disk", "D", "--", "-q", "--level"}, true, OptionsEnd::Parsed, "", {"-q", "--level"}},
        {{"--disk", "D", "-", ""}, true, OptionsEnd::Parsed, "", {"-", ""}},
        {{"--disk", "D", "a"}, false, OptionsEnd::Wrong, "unknown option: a", {}},
        {{"--disk", "D", "--"}, false, OptionsEnd::Wrong, "unknown option: --", {}},
        {{"--disk", "D", "-x"}, true, OptionsEnd::Wrong, "unknown option: -x", {}},
        {{"--disk"}, true, OptionsEnd::Wrong, "--disk needs a value", {}},
        {{"--disk", "D", "--level", "x"}, true, OptionsEnd::Wrong, "bad value for --level: x", {}},
        {{"--disk", "D", "--level", "high"}, true, OptionsEnd::Wrong, "--level is a number", {}},
        {{"-q"}, true, OptionsEnd::Wrong, "--disk DIR is required", {}},
        {{"--disk", ""}, true, OptionsEnd::Wrong, "--disk DIR is required", {}},
        // --help ends the parse before anything after it is looked at.
        {{"a", "-h", "--bogus"}, true, OptionsEnd::Stopped, "", {"a"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.args));
        Program program;
        std::vector<std::string> operands;
        std::string error;
        EXPECT_EQ(ParseOptions(program.table, r.args, r.operands ? &operands : nullptr, &error),
                  r.end);
        EXPECT_EQ(error, r.error);
        EXPECT_EQ(operands, r.operandsSeen);
    }

    Program program;
    std::string error;
    ASSERT_EQ(ParseOptions(program.table, {"--level", "7", "--disk", "D", "-q"}, nullptr, &error),
              OptionsEnd::Parsed);
    EXPECT_EQ(program.disk, "D");
    EXPECT_EQ(program.level, 7);
    EXPECT_TRUE(program.quiet);
}

TEST(Options, UsageText) {
    const Program program;
    EXPECT_EQ(OptionSynopsis(program.table, 6), "--disk DIR [--level N] [--quiet]");
    // Broken before the width, the next line indented as far as the first.
    EXPECT_EQ(OptionSynopsis(program.table, 6, 30), "--disk DIR [--level N]\n      [--quiet]");
    EXPECT_EQ(OptionHelp(program.table),
              "  --disk DIR   the folder served\n"
              "  --level N    how much\n"
              "  -q, --quiet  no progress\n");
    EXPECT_EQ(HelpLines({}), "");
}
